#include "app/childframe.h"

#include "app/feedkind.h"
#include "app/feedpropertiesdialog.h"
#include "app/mainframe.h"
#include "app/problemsdock.h"
#include "document/rsseditdoc.h"
#include "editor/rsseditview.h"
#include "htmlui/htmlsurface.h"
#include "platform/commandids.h"
#include "platform/previewbarvisible.h"
#include "platform/settingsfile.h"
#include "platform/uiservices.h"
#include "postsbar/barrssitems.h"
#include "postsbar/htmlcodeedit.h"
#include "postsbar/htmlpreviewbar.h"
#include "postsbar/postslistmodel.h"
#include "postsbar/postslistview.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPointer>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

const QString kLayoutSection = u"DocumentWindow"_s;

// Asks the main frame before the window goes, so a modified feed is saved or kept.
class DocumentSubWindow final : public QMdiSubWindow {
public:
    DocumentSubWindow(CMainFrame* mainFrame, CChildFrame* frame)
        : m_mainFrame(mainFrame), m_frame(frame) {
        setAttribute(Qt::WA_DeleteOnClose);
        setWindowFlags(Qt::SubWindow | Qt::FramelessWindowHint);
    }

protected:
    void closeEvent(QCloseEvent* event) override {
        if (m_mainFrame && m_frame && !m_mainFrame->canCloseFrame(m_frame)) {
            event->ignore();
            return;
        }
        QMdiSubWindow::closeEvent(event);
    }

private:
    QPointer<CMainFrame> m_mainFrame;
    QPointer<CChildFrame> m_frame;
};

// The frame's own one-line editors (the posts list's rename box, the filter
// box) answer the Edit menu while they have the focus.
QLineEdit* FocusedLineEdit(const QWidget* frame) {
    auto* line = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    return line && frame->isAncestorOf(line) ? line : nullptr;
}

// Whether an Edit command applies to the line editor, and runs it when asked;
// false for ids that are not Edit commands.
bool LineEditCommand(QLineEdit* line, int id, bool run, bool* enabled) {
    const bool writable = !line->isReadOnly();
    const bool selected = line->hasSelectedText();
    bool on = false;
    switch (id) {
    case ID_EDIT_UNDO:
        on = writable && line->isUndoAvailable();
        break;
    case ID_EDIT_REDO:
        on = writable && line->isRedoAvailable();
        break;
    case ID_EDIT_CUT:
    case ID_EDIT_DELETE:
        on = writable && selected;
        break;
    case ID_EDIT_COPY:
        on = selected;
        break;
    case ID_EDIT_PASTE:
        on = writable && !QApplication::clipboard()->text().isEmpty();
        break;
    case ID_EDIT_SELECT_ALL:
        on = !line->text().isEmpty() && line->selectedText() != line->text();
        break;
    default:
        return false;
    }
    *enabled = on;
    if (!run || !on)
        return true;
    switch (id) {
    case ID_EDIT_UNDO:
        line->undo();
        break;
    case ID_EDIT_REDO:
        line->redo();
        break;
    case ID_EDIT_CUT:
        line->cut();
        break;
    case ID_EDIT_DELETE:
        line->del();
        break;
    case ID_EDIT_COPY:
        line->copy();
        break;
    case ID_EDIT_PASTE:
        line->paste();
        break;
    default:
        line->selectAll();
        break;
    }
    return true;
}

// Commands that would change a feed, refused for one that is only shown.
// Printing goes too: the editor, which it prints, holds nothing of such a file.
bool ChangesTheFeed(int id) {
    switch (id) {
    case ID_FILE_SAVE:
    case ID_FILE_PRINT:
    case ID_FILE_PRINT_PREVIEW:
    case ID_EDIT_UNDO:
    case ID_EDIT_REDO:
    case ID_EDIT_CUT:
    case ID_EDIT_PASTE:
    case ID_EDIT_DELETE:
    case ID_EDIT_REPLACE_QUOTES:
    case ID_POST_ADD:
    case ID_POST_RENAME:
    case ID_POST_DUPLICATE:
    case ID_POST_DUPLICATE_DELETE:
    case ID_POST_DELETE:
    case ID_FORMAT_BOLD:
    case ID_FORMAT_ITALIC:
    case ID_FORMAT_UNDERLINE:
    case ID_FORMAT_STRIKEOUT:
    case ID_FORMAT_UL_LIST:
    case ID_FORMAT_REMOVE_SPANS:
    case ID_FORMAT_REMOVE_NBSP:
    case ID_INSERT_HYPERLINK:
    case ID_INSERT_IMAGE:
    case ID_INSERT_TEST:
    case ID_FEED_PROPERTIES:
        return true;
    default:
        return false;
    }
}

} // namespace

void CFrameHub::onNotify(DocumentListener* sender, DocHint hint, const HintParam& param) {
    if (hint == HintPostsInserted || hint == HintRenamePost)
        m_frame->showPostsBar(true);
    // A copy: a listener may add or drop listeners while it handles the hint.
    const QList<DocumentListener*> listeners = m_listeners;
    for (DocumentListener* listener : listeners) {
        if (listener != sender)
            listener->onNotify(sender, hint, param);
    }
    if (hint == HintFeedLoaded)
        m_frame->applyFeedKind();
}

CChildFrame::CChildFrame(std::unique_ptr<CRSSEditDoc> doc, UiServices* ui, QWidget* parent)
    : QMainWindow(parent), m_doc(std::move(doc)), m_ui(ui), m_hub(this) {
    setObjectName(u"childFrame"_s);
    setAttribute(Qt::WA_DeleteOnClose, false);
    setDockOptions(AnimatedDocks | AllowNestedDocks);
    setCorner(Qt::BottomLeftCorner, Qt::LeftDockWidgetArea);

    // The view registers itself with the document.
    auto* central = new QWidget(this);
    m_view = new CRSSEditView(m_doc.get(), central);
    m_view->setObjectName(u"postView"_s);
    m_readOnlyBar = new QWidget(central);
    m_readOnlyBar->setObjectName(u"readOnlyBar"_s);
    m_readOnlyBar->setAutoFillBackground(true);
    QPalette barColours = m_readOnlyBar->palette();
    barColours.setColor(QPalette::Window, barColours.color(QPalette::ToolTipBase));
    barColours.setColor(QPalette::WindowText, barColours.color(QPalette::ToolTipText));
    m_readOnlyBar->setPalette(barColours);
    auto* icon = new QLabel(m_readOnlyBar);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(22, 22));
    m_readOnlyText = new QLabel(m_readOnlyBar);
    m_readOnlyText->setWordWrap(true);
    auto* barLayout = new QHBoxLayout(m_readOnlyBar);
    barLayout->setContentsMargins(8, 6, 8, 6);
    barLayout->addWidget(icon);
    barLayout->addWidget(m_readOnlyText, 1);
    m_readOnlyBar->hide();
    auto* centralLayout = new QVBoxLayout(central);
    centralLayout->setContentsMargins(0, 0, 0, 0);
    centralLayout->setSpacing(0);
    centralLayout->addWidget(m_readOnlyBar);
    centralLayout->addWidget(m_view, 1);
    setCentralWidget(central);
    connect(m_view, &CRSSEditView::statusTextChanged, this, &CChildFrame::statusTextChanged);
    connect(m_view, &CRSSEditView::commandRequested, this, [this](int id) {
        if (!routeCommand(id))
            emit commandForFrame(id);
    });

    m_postsBar = new CBarRssItems(m_doc.get(), ui, this);
    m_postsBar->setObjectName(u"postsBar"_s);
    m_postsBar->setAllowedAreas(Qt::LeftDockWidgetArea);
    addDockWidget(Qt::LeftDockWidgetArea, m_postsBar);
    connect(m_postsBar, &CBarRssItems::frameCommand, this, [this](int id) {
        if (!routeCommand(id))
            emit commandForFrame(id);
    });

    m_previewBar = new CHtmlPreviewBar(m_doc.get(), ui, this);
    m_previewBar->setObjectName(u"previewBar"_s);
    m_previewBar->setAllowedAreas(Qt::BottomDockWidgetArea);
    addDockWidget(Qt::BottomDockWidgetArea, m_previewBar);
    m_previewBar->setVisible(PreviewBarVisible::Get() != 0);

    const QRect screenArea = screen() ? screen()->availableGeometry() : QRect(0, 0, 1280, 800);
    resizeDocks({m_postsBar}, {screenArea.width() / 3}, Qt::Horizontal);
    resizeDocks({m_previewBar}, {qMin(300, screenArea.height() / 4)}, Qt::Vertical);

    m_hub.setListeners({m_postsBar, m_previewBar});
    // The list announced its first post before the preview could hear it.
    if (m_doc->GetCurrentPost() >= 0)
        m_previewBar->onNotify(nullptr, HintSelectPost, HintParam(m_doc->GetCurrentPost()));
    // Only the frame of the document's first view hears the bars' hints.
    m_doc->SetFrameHub(&m_hub);
    m_doc->SetTitleListener(this);
    setWindowTitle(frameTitle());
    applyFeedKind();
}

QString CChildFrame::readOnlyReason() const {
    return m_readOnly ? m_readOnlyText->text() : QString();
}

void CChildFrame::applyFeedKind() {
    const QString reason = ReadOnlyReason(FeedKindOf(m_doc->GetFeed()));
    m_readOnly = !reason.isEmpty();
    m_readOnlyText->setText(reason);
    m_readOnlyBar->setVisible(m_readOnly);
    // A disabled view takes no keys at all: nothing typed can be lost in it.
    m_view->setEnabled(!m_readOnly);
    m_view->setVisible(!m_readOnly);
    m_previewBar->CodeEdit()->SetLocked(m_readOnly);
    if (m_readOnly && !m_sourceView) {
        m_sourceView = new CHtmlCodeEdit(m_ui, centralWidget());
        m_sourceView->setObjectName(u"sourceView"_s);
        m_sourceView->SetLocked(true);
        centralWidget()->layout()->addWidget(m_sourceView);
    }
    if (m_sourceView) {
        m_sourceView->setVisible(m_readOnly);
        m_sourceView->ShowText(m_readOnly ? QString::fromUtf8(m_doc->GetFeed().PrintToText())
                                          : QString());
    }
}

CChildFrame::~CChildFrame() {
    // Nobody may reach the bars or the view through the document once they go.
    m_doc->SetFrameHub(nullptr);
    m_doc->SetTitleListener(nullptr);
    m_hub.setListeners({});
    delete m_problems;
    delete m_postsBar;
    delete m_previewBar;
    delete m_view;
}

QMdiSubWindow* CChildFrame::createSubWindow(CMainFrame* mainFrame) {
    auto* window = new DocumentSubWindow(mainFrame, this);
    window->setWidget(this);
    window->setWindowTitle(tabTitle());
    window->setWindowIcon(QApplication::windowIcon());
    m_subWindow = window;
    return window;
}

QString CChildFrame::frameTitle() const {
    return m_doc->GetFrameTitle();
}

QString CChildFrame::tabTitle() const {
    const QString path = m_doc->GetPathName();
    QString title = path.isEmpty() ? m_doc->GetTitle() : QFileInfo(path).fileName();
    if (m_doc->IsModified())
        title += u" *"_s;
    return title;
}

void CChildFrame::OnDocumentTitleChanged(const CRSSEditDoc&) {
    const QString title = frameTitle();
    setWindowTitle(title);
    if (m_subWindow) {
        // The tab shows the file name; its tooltip and the main title the full path.
        m_subWindow->setWindowTitle(tabTitle());
    }
    emit titleChanged();
    if (m_problems)
        m_problems->documentTitleChanged();
}

bool CChildFrame::previewHasFocus() const {
    if (!m_previewBar || !m_previewBar->isVisible())
        return false;
    QWidget* focus = QApplication::focusWidget();
    return m_previewBar->HasEditFocus() || (focus && m_previewBar->isAncestorOf(focus));
}

bool CChildFrame::sourceHasFocus() const {
    return m_sourceView && m_sourceView->isVisible() && m_sourceView->hasFocus();
}

bool CChildFrame::viewHandleCommand(int id) {
    return m_view->handleCommand(id);
}

bool CChildFrame::viewCommandStatus(int id, bool* enabled, bool* checked) {
    return m_view->commandStatus(id, enabled, checked);
}

bool CChildFrame::routeCommand(int id) {
    if (m_postsBar->handleCommand(id))
        return true;
    bool enabled = false;
    if (QLineEdit* line = FocusedLineEdit(this); line && LineEditCommand(line, id, true, &enabled))
        return true;
    if (sourceHasFocus() && m_sourceView->handleCommand(id))
        return true;
    if (m_readOnly && ChangesTheFeed(id)) {
        if (m_ui)
            m_ui->Beep();
        return true;
    }
    if (previewHasFocus() && m_previewBar->handleCommand(id))
        return true;
    if (viewHandleCommand(id))
        return true;
    if (CRSSEditDoc::HandlesCommand(id)) {
        m_doc->OnCommand(id);
        return true;
    }
    switch (id) {
    case ID_TOOLS_VALIDATE_FEED:
        if (m_readOnly) {
            if (m_ui)
                m_ui->Beep();
            return true;
        }
        showProblems();
        return true;
    case ID_VIEW_RSS_POSTS:
        showPostsBar(!m_postsBar->isVisible());
        return true;
    case ID_FEED_PROPERTIES: {
        FeedPropertiesDialog dialog(m_doc.get(), this);
        dialog.exec();
        return true;
    }
    case ID_VIEW_PREVIEW: {
        const bool show = !m_previewBar->isVisible();
        m_previewBar->setVisible(show);
        PreviewBarVisible::SetAndStore(show ? 1 : 0);
        return true;
    }
    default:
        break;
    }
    return false;
}

bool CChildFrame::commandStatus(int id, bool* enabled, bool* checked) {
    *enabled = true;
    *checked = false;
    if (m_postsBar->commandStatus(id, enabled, checked))
        return true;
    if (QLineEdit* line = FocusedLineEdit(this); line && LineEditCommand(line, id, false, enabled))
        return true;
    if (sourceHasFocus() && m_sourceView->commandStatus(id, enabled, checked))
        return true;
    if (m_readOnly && ChangesTheFeed(id)) {
        *enabled = false;
        return true;
    }
    if (previewHasFocus() && m_previewBar->commandStatus(id, enabled, checked))
        return true;
    if (viewCommandStatus(id, enabled, checked))
        return true;
    if (CRSSEditDoc::HandlesCommand(id)) {
        *enabled = m_doc->IsCommandEnabled(id);
        *checked = m_doc->IsCommandChecked(id);
        return true;
    }
    switch (id) {
    case ID_TOOLS_VALIDATE_FEED:
        // A file that is not RSS is no feed to validate.
        *enabled = !m_readOnly;
        return true;
    case ID_VIEW_RSS_POSTS:
        *checked = m_postsBar->isVisible();
        return true;
    case ID_VIEW_PREVIEW:
        *checked = m_previewBar->isVisible();
        return true;
    case ID_FEED_PROPERTIES:
        return true;
    default:
        break;
    }
    *enabled = true;
    return false;
}

void CChildFrame::showProblems() {
    if (!m_problems) {
        m_problems = new CProblemsDock(m_doc.get(), this);
        m_problems->setAllowedAreas(Qt::BottomDockWidgetArea | Qt::RightDockWidgetArea);
        addDockWidget(Qt::BottomDockWidgetArea, m_problems);
        // Beside the preview the messages get the larger part of the width.
        if (m_previewBar->isVisible()) {
            splitDockWidget(m_previewBar, m_problems, Qt::Horizontal);
            const int width = m_previewBar->width();
            resizeDocks({m_previewBar, m_problems}, {width * 2 / 5, width * 3 / 5}, Qt::Horizontal);
        }
        m_hub.setListeners({m_postsBar, m_previewBar, m_problems});
        connect(
            m_problems, &CProblemsDock::errorPostsChanged, this,
            [this](const std::vector<bool>& posts) { m_postsBar->Model()->SetErrorPosts(posts); });
        connect(m_problems, &CProblemsDock::focusFieldRequested, this, &CChildFrame::focusField);
        connect(m_problems, &CProblemsDock::postChangedByFix, this, &CChildFrame::showFixedPost);
    }
    const bool wasOpen = m_problems->isVisible();
    m_problems->show();
    m_problems->raise();
    // Asked again for an open pane, the user wants a fresh check.
    if (wasOpen)
        m_problems->validateNow();
    m_problems->list()->setFocus(Qt::OtherFocusReason);
}

void CChildFrame::focusField(const QString& field) {
    if (m_readOnly)
        return;
    HtmlSurface* surface = m_view->surface();
    if (field == "description"_L1) {
        m_view->FocusBody();
        return;
    }
    if (field == "title"_L1)
        surface->element(u"#div_title"_s).setFocus();
    else if (field == "link"_L1)
        surface->element(u"#select_link input"_s).setFocus();
    else if (field == "author"_L1)
        surface->element(u"#select_author input"_s).setFocus();
    else
        return;
    surface->setFocus(Qt::OtherFocusReason);
}

void CChildFrame::showFixedPost(int post) {
    // Every edit was stored before the fix, so the editor can show the post
    // afresh without losing what was typed.
    if (post >= 0 && post == m_view->ShownPost())
        m_view->LoadPost(post);
    if (post >= 0 && post == m_doc->GetCurrentPost())
        m_previewBar->onNotify(nullptr, HintSelectPost, HintParam(post));
    // The list reads its rows from the feed as it paints them: the fixed
    // post's date shows once the rows on screen are painted again.
    m_postsBar->ListView()->viewport()->update();
}

void CChildFrame::showPostsBar(bool show) {
    m_postsBar->setVisible(show);
    if (show) {
        m_postsBar->raise();
        m_postsBar->ListView()->setFocus(Qt::OtherFocusReason);
    }
}

void CChildFrame::focusView() {
    QWidget* editor = m_readOnly ? static_cast<QWidget*>(m_sourceView) : m_view;
    if (editor)
        editor->setFocus(Qt::OtherFocusReason);
}

void CChildFrame::focusNextPane(bool forward) {
    QList<QWidget*> panes;
    if (m_postsBar->isVisible())
        panes.append(m_postsBar->ListView());
    panes.append(m_readOnly ? static_cast<QWidget*>(m_sourceView) : m_view);
    if (m_previewBar->isVisible() && m_previewBar->CodeEdit())
        panes.append(m_previewBar->CodeEdit());
    QWidget* focus = QApplication::focusWidget();
    qsizetype at = -1;
    for (qsizetype i = 0; i < panes.size(); ++i) {
        if (focus && (panes[i] == focus || panes[i]->isAncestorOf(focus)))
            at = i;
    }
    const qsizetype count = panes.size();
    const qsizetype next = at < 0 ? 0 : (at + (forward ? 1 : count - 1)) % count;
    panes[next]->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
}

void CChildFrame::saveLayout() {
    WriteProfileText(SettingsIniPath(), kLayoutSection, u"State"_s,
                     QString::fromLatin1(saveState().toBase64()));
}

void CChildFrame::restoreLayout() {
    const auto entries = ReadProfileSection(SettingsIniPath(), kLayoutSection);
    for (const auto& [key, value] : entries) {
        if (key.compare(u"State"_s, Qt::CaseInsensitive) == 0)
            restoreState(QByteArray::fromBase64(value.toLatin1()));
    }
    // The preview's visibility is its own setting, not the saved layout's.
    m_previewBar->setVisible(PreviewBarVisible::Get() != 0);
    m_postsBar->setVisible(true);
}
