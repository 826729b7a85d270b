#include "app/childframe.h"

#include "app/mainframe.h"
#include "document/rsseditdoc.h"
#include "editor/rsseditview.h"
#include "platform/commandids.h"
#include "platform/previewbarvisible.h"
#include "platform/settingsfile.h"
#include "postsbar/barrssitems.h"
#include "postsbar/htmlcodeedit.h"
#include "postsbar/htmlpreviewbar.h"
#include "postsbar/postslistview.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QMdiSubWindow>
#include <QPointer>
#include <QScreen>

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
}

CChildFrame::CChildFrame(std::unique_ptr<CRSSEditDoc> doc, UiServices* ui, QWidget* parent)
    : QMainWindow(parent), m_doc(std::move(doc)), m_ui(ui), m_hub(this) {
    setObjectName(u"childFrame"_s);
    setAttribute(Qt::WA_DeleteOnClose, false);
    setDockOptions(AnimatedDocks | AllowNestedDocks);
    setCorner(Qt::BottomLeftCorner, Qt::LeftDockWidgetArea);

    // The view registers itself with the document.
    m_view = new CRSSEditView(m_doc.get(), this);
    m_view->setObjectName(u"postView"_s);
    setCentralWidget(m_view);
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
}

CChildFrame::~CChildFrame() {
    // Nobody may reach the bars or the view through the document once they go.
    m_doc->SetFrameHub(nullptr);
    m_doc->SetTitleListener(nullptr);
    m_hub.setListeners({});
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
}

bool CChildFrame::previewHasFocus() const {
    if (!m_previewBar || !m_previewBar->isVisible())
        return false;
    QWidget* focus = QApplication::focusWidget();
    return m_previewBar->HasEditFocus() || (focus && m_previewBar->isAncestorOf(focus));
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
    if (previewHasFocus() && m_previewBar->handleCommand(id))
        return true;
    if (viewHandleCommand(id))
        return true;
    if (CRSSEditDoc::HandlesCommand(id)) {
        m_doc->OnCommand(id);
        return true;
    }
    switch (id) {
    case ID_VIEW_RSS_POSTS:
        showPostsBar(!m_postsBar->isVisible());
        return true;
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
    case ID_VIEW_RSS_POSTS:
        *checked = m_postsBar->isVisible();
        return true;
    case ID_VIEW_PREVIEW:
        *checked = m_previewBar->isVisible();
        return true;
    default:
        break;
    }
    *enabled = true;
    return false;
}

void CChildFrame::showPostsBar(bool show) {
    m_postsBar->setVisible(show);
    if (show) {
        m_postsBar->raise();
        m_postsBar->ListView()->setFocus(Qt::OtherFocusReason);
    }
}

void CChildFrame::focusView() {
    if (m_view)
        m_view->setFocus(Qt::OtherFocusReason);
}

void CChildFrame::focusNextPane(bool forward) {
    QList<QWidget*> panes;
    if (m_postsBar->isVisible())
        panes.append(m_postsBar->ListView());
    panes.append(m_view);
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
