#include "app/mainframe.h"

#include "app/childframe.h"
#include "app/desktopuiservices.h"
#include "app/inputhold.h"
#include "app/startpage.h"
#include "document/rsseditdoc.h"
#include "htmlui/inserthyperlinkdialog.h"
#include "platform/identity.h"
#include "platform/settingsfile.h"
#include "publishui/feedpublishing.h"
#include "web/websitetitlecache.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPrinter>
#include <QScreen>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTabBar>
#include <QToolBar>

using namespace Qt::StringLiterals;

namespace {
const QString kWindowSection = u"MainWindow"_s;
} // namespace

CMainFrame::CMainFrame(DesktopUiServices* ui, QWidget* parent)
    : QMainWindow(parent), m_ui(ui), m_recent(SettingsIniPath()) {
    setObjectName(u"mainFrame"_s);
    setWindowTitle(BaseTitle());
    setWindowIcon(QApplication::windowIcon());
    setDockOptions(AnimatedDocks | AllowNestedDocks);
    m_recent.Load();

    m_client = new QStackedWidget(this);
    m_mdi = new QMdiArea(m_client);
    m_mdi->setObjectName(u"mdiArea"_s);
    m_mdi->setViewMode(QMdiArea::TabbedView);
    m_mdi->setDocumentMode(true);
    m_mdi->setTabsClosable(true);
    m_mdi->setTabsMovable(true);
    m_mdi->setActivationOrder(QMdiArea::ActivationHistoryOrder);
    m_client->addWidget(m_mdi);
    setCentralWidget(m_client);

    connect(m_mdi, &QMdiArea::subWindowActivated, this, &CMainFrame::onSubWindowActivated);

    // A fetched title is stored by the cache, then offered to the Insert
    // Hyperlink dialog of the feed window (the dialog, not the window, is active).
    connect(&WebSiteTitleCache::instance(), &WebSiteTitleCache::titleArrived, this,
            [this](const QString& url, const QString& title) {
                if (m_mdi->currentSubWindow())
                    InsertHyperlinkDialog::deliverTitle(url, title);
            });

    createActions();
    createMenus();
    createToolBar();
    createPublishing();

    m_readyLabel = new QLabel(u"Ready"_s, this);
    m_readyLabel->setContentsMargins(4, 0, 4, 0);
    statusBar()->setObjectName(u"statusBar"_s);
    statusBar()->addWidget(m_readyLabel, 1);

    m_idleTimer.setInterval(250);
    connect(&m_idleTimer, &QTimer::timeout, this, &CMainFrame::updateToolBarActions);
    m_idleTimer.start();

    useMenuBar(128);
    updateRecentFileActions();
    updateClientArea();
    resize(QSize(1100, 750).boundedTo(screen() ? screen()->availableSize() : QSize(1100, 750)));
}

CMainFrame::~CMainFrame() {
    m_idleTimer.stop();
    disconnect(m_mdi, nullptr, this, nullptr);
    // The windows go first: their views and bars still talk to their documents.
    for (const QPointer<CChildFrame>& frame : std::as_const(m_frames)) {
        if (frame)
            disconnect(frame, nullptr, this, nullptr);
    }
    const QList<QMdiSubWindow*> windows = m_mdi->subWindowList();
    for (QMdiSubWindow* window : windows)
        delete window;
}

QString CMainFrame::BaseTitle() {
    QString title = u"Orvan"_s;
    const QString shortVersion = VersionInfo().GetShortVersion();
    if (!shortVersion.isEmpty())
        title += u' ' + shortVersion;
    if (IsUserAdministrator())
        title += u'^';
    return title;
}

CRSSEditDoc* CMainFrame::activeDocument() const {
    CChildFrame* frame = activeChildFrame();
    return frame ? frame->document() : nullptr;
}

CChildFrame* CMainFrame::activeChildFrame() const {
    // The current window stays current while another top-level window has the focus.
    QMdiSubWindow* window = m_mdi->currentSubWindow();
    if (!window) {
        const QList<QMdiSubWindow*> windows = m_mdi->subWindowList();
        if (windows.size() == 1)
            window = windows.first();
    }
    return window ? qobject_cast<CChildFrame*>(window->widget()) : nullptr;
}

QList<CChildFrame*> CMainFrame::childFrames() const {
    QList<CChildFrame*> frames;
    for (const QPointer<CChildFrame>& frame : m_frames) {
        if (frame)
            frames.append(frame);
    }
    return frames;
}

CChildFrame* CMainFrame::findFrameForPath(const QString& path) const {
    const QFileInfo wanted(path);
    for (CChildFrame* frame : childFrames()) {
        const QString own = frame->document()->GetPathName();
        if (!own.isEmpty() && QFileInfo(own) == wanted)
            return frame;
    }
    return nullptr;
}

bool CMainFrame::openDocumentFile(const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (CChildFrame* open = findFrameForPath(absolute)) {
        m_mdi->setActiveSubWindow(open->subWindow());
        return true;
    }
    auto doc = std::make_unique<CRSSEditDoc>(m_ui);
    if (!doc->OpenDocumentFile(absolute)) {
        QString reason = doc->GetLastError();
        if (reason.isEmpty())
            reason = QFileInfo::exists(absolute) ? u"The file is not a readable XML feed."_s
                                                 : u"The file does not exist."_s;
        const QString shown = QDir::toNativeSeparators(absolute);
        // The reader's reason may name the file already; the message names it once.
        m_ui->ShowError(reason.contains(absolute) ? reason
                                                  : u"Cannot open %1\n\n%2"_s.arg(shown, reason));
        return false;
    }
    doc->SetModifiedFlag(false);
    addChildFrame(std::move(doc));
    addToRecentFileList(absolute);
    return true;
}

int CMainFrame::openFiles(const QStringList& paths) {
    int opened = 0;
    for (const QString& path : paths) {
        if (openDocumentFile(path))
            ++opened;
    }
    return opened;
}

CChildFrame* CMainFrame::createNewDocument(const NewFeedInfo& info) {
    SetPendingNewFeedInfo(info);
    auto doc = std::make_unique<CRSSEditDoc>(m_ui);
    static int untitled = 0;
    doc->SetTitle(u"Feed%1"_s.arg(++untitled));
    if (!doc->OnNewDocument()) {
        m_ui->Beep();
        return nullptr;
    }
    return addChildFrame(std::move(doc));
}

CChildFrame* CMainFrame::addChildFrame(std::unique_ptr<CRSSEditDoc> doc) {
    auto* frame = new CChildFrame(std::move(doc), m_ui);
    QMdiSubWindow* window = frame->createSubWindow(this);
    m_mdi->addSubWindow(window);
    m_frames.append(frame);
    connect(frame, &CChildFrame::titleChanged, this, &CMainFrame::updateTitle);
    connect(frame, &CChildFrame::commandForFrame, this, &CMainFrame::runFrameCommand);
    connect(frame, &CChildFrame::statusTextChanged, this, [this](const QString& text) {
        if (text.isEmpty() || text == u"Ready"_s)
            statusBar()->clearMessage();
        else
            statusBar()->showMessage(text);
    });
    connect(frame, &QObject::destroyed, this, [this, frame] { onFrameDestroyed(frame); });
    window->showMaximized();
    m_mdi->setActiveSubWindow(window);
    updateClientArea();
    updateTitle();
    frame->restoreLayout();
    frame->focusView();
    return frame;
}

bool CMainFrame::saveModified(CRSSEditDoc* doc) {
    if (!doc)
        return true;
    // Keys typed just before the close count: when none has reached the
    // document yet, the editor hands them over before it is asked. Keys
    // pressed while it does (a Return meant for the question) are held and
    // given to the question once it shows, never to the post.
    CInputHold hold(this);
    if (!doc->IsModified())
        doc->StorePendingEdits();
    if (!doc->IsModified())
        return true;
    // The page answered while the keys typed meanwhile waited in the queue.
    hold.takeQueuedInput();
    QString name = doc->GetPathName().isEmpty() ? doc->GetTitle() : doc->GetPathName();
    switch (m_ui->AskSaveChanges(QDir::toNativeSeparators(name))) {
    case DesktopUiServices::SaveAnswer::Save:
        return saveDocument(doc, false);
    case DesktopUiServices::SaveAnswer::Discard:
        return true;
    case DesktopUiServices::SaveAnswer::Cancel:
        break;
    }
    return false;
}

bool CMainFrame::saveDocument(CRSSEditDoc* doc, bool askForName) {
    if (!doc)
        return false;
    QString path = doc->GetPathName();
    if (askForName || path.isEmpty()) {
        QString suggestion = path;
        if (suggestion.isEmpty())
            suggestion = QDir(feedFolder()).filePath(doc->GetTitle() + u".xml"_s);
        path = m_ui->ChooseSaveFileName(suggestion);
        if (path.isEmpty())
            return false;
    }
    if (!doc->DoSave(path)) {
        // The user's own answer (Cancel, Reload) needs no error box.
        if (doc->LastSaveCancelled())
            return false;
        QString reason = doc->GetLastError();
        if (reason.isEmpty())
            reason = u"The file could not be written."_s;
        m_ui->ShowError(u"Cannot save %1\n\n%2"_s.arg(QDir::toNativeSeparators(path), reason));
        return false;
    }
    addToRecentFileList(doc->GetPathName());
    updateTitle();
    if (!m_savingToPublish)
        m_publishing->feedSaved(doc->GetPathName());
    return true;
}

bool CMainFrame::canCloseFrame(CChildFrame* frame) {
    if (!frame)
        return true;
    if (!saveModified(frame->document()))
        return false;
    if (!m_publishing->askBeforeClosingFeed(frame->document()->GetPathName()))
        return false;
    frame->saveLayout();
    return true;
}

bool CMainFrame::closeChildFrame(CChildFrame* frame) {
    if (!frame)
        return false;
    return frame->subWindow()->close();
}

void CMainFrame::onFrameDestroyed(CChildFrame* frame) {
    m_frames.removeAll(frame);
    m_frames.removeAll(nullptr);
    // The sub-window is still being torn down; look again once it is gone.
    QTimer::singleShot(0, this, [this] {
        updateClientArea();
        updateTitle();
    });
}

void CMainFrame::onSubWindowActivated(QMdiSubWindow* window) {
    if (window && !window->isMaximized())
        window->showMaximized();
    updateClientArea();
    updateTitle();
}

// The start page lives only while no feed is open: its web page would
// otherwise hold its memory behind a feed of a hundred megabytes.
void CMainFrame::updateClientArea() {
    const bool anyDocument = !m_mdi->subWindowList().isEmpty();
    if (anyDocument && m_startPage) {
        m_client->setCurrentWidget(m_mdi);
        m_client->removeWidget(m_startPage);
        m_startPage->deleteLater();
        m_startPage = nullptr;
    } else if (!anyDocument && !m_startPage) {
        createStartPage();
    }
    m_client->setCurrentWidget(anyDocument ? static_cast<QWidget*>(m_mdi) : m_startPage);
    useMenuBar(anyDocument ? 129 : 128);
}

void CMainFrame::createStartPage() {
    m_startPage = new CStartPage(m_ui, m_client);
    m_client->insertWidget(0, m_startPage);
    // The page's links arrive while its message is being handled; a dialog
    // made of a page of its own could not load before that returns.
    connect(m_startPage, &CStartPage::newFeedRequested, this, &CMainFrame::newFeed,
            Qt::QueuedConnection);
    connect(
        m_startPage, &CStartPage::openFileRequested, this,
        [this](const QString& path) { openDocumentFile(path); }, Qt::QueuedConnection);
    connect(m_startPage, &CStartPage::statusTextChanged, this, [this](const QString& text) {
        if (text.isEmpty())
            statusBar()->clearMessage();
        else
            statusBar()->showMessage(text);
    });
    reloadStartPage();
}

void CMainFrame::updateTitle() {
    QString title = BaseTitle();
    if (CChildFrame* frame = activeChildFrame())
        title += u" - "_s + frame->frameTitle();
    setWindowTitle(title);
}

void CMainFrame::addToRecentFileList(const QString& path) {
    if (path.isEmpty())
        return;
    m_recent.AddAndSave(path);
    updateRecentFileActions();
    reloadStartPage();
}

QString CMainFrame::feedFolder() const {
    for (const QString& path : m_recent.Entries()) {
        const QString folder = QFileInfo(path).absolutePath();
        if (QFileInfo(folder).isDir())
            return folder;
    }
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

void CMainFrame::reloadStartPage() {
    if (m_startPage)
        m_startPage->reload(m_recent.Entries());
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    for (CChildFrame* frame : childFrames()) {
        if (!saveModified(frame->document())) {
            event->ignore();
            return;
        }
    }
    switch (m_publishing->askBeforeQuitting()) {
    case FeedPublishing::QuitAnswer::Now:
        break;
    case FeedPublishing::QuitAnswer::WhenDone:
        m_quitWhenPublished = true;
        event->ignore();
        return;
    case FeedPublishing::QuitAnswer::Cancel:
        event->ignore();
        return;
    }
    saveWindowState();
    for (CChildFrame* frame : childFrames()) {
        frame->saveLayout();
        frame->document()->SetModifiedFlag(false);
    }
    event->accept();
}

void CMainFrame::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        // Keep the document window filling the client area after the frame changes size.
        if (QMdiSubWindow* window = m_mdi->activeSubWindow())
            window->showMaximized();
    }
}

void CMainFrame::saveWindowState() {
    const QString ini = SettingsIniPath();
    WriteProfileText(ini, kWindowSection, u"Geometry"_s,
                     QString::fromLatin1(saveGeometry().toBase64()));
    WriteProfileText(ini, kWindowSection, u"State"_s, QString::fromLatin1(saveState().toBase64()));
    QStringList removed;
    for (int id : std::as_const(m_removedToolBarButtons))
        removed.append(QString::number(id));
    WriteProfileText(ini, kWindowSection, u"ToolBarRemoved"_s, removed.join(u','));
    WriteProfileNumber(ini, kWindowSection, u"StatusBar"_s, statusBar()->isVisible() ? 1 : 0);
}

void CMainFrame::restoreWindowState() {
    const auto entries = ReadProfileSection(SettingsIniPath(), kWindowSection);
    bool restoredGeometry = false;
    for (const auto& [key, value] : entries) {
        if (key.compare(u"Geometry"_s, Qt::CaseInsensitive) == 0)
            restoredGeometry = restoreGeometry(QByteArray::fromBase64(value.toLatin1()));
        else if (key.compare(u"State"_s, Qt::CaseInsensitive) == 0)
            restoreState(QByteArray::fromBase64(value.toLatin1()));
        else if (key.compare(u"StatusBar"_s, Qt::CaseInsensitive) == 0)
            statusBar()->setVisible(value.trimmed() != u"0"_s);
        else if (key.compare(u"ToolBarRemoved"_s, Qt::CaseInsensitive) == 0) {
            m_removedToolBarButtons.clear();
            for (const QString& id : value.split(u',', Qt::SkipEmptyParts))
                m_removedToolBarButtons.append(id.trimmed().toInt());
            applyToolBarLayout();
        }
    }
    if (!restoredGeometry) {
        // Without a window manager "maximised" means nothing; fill the screen by hand.
        if (QScreen* where = screen())
            setGeometry(where->availableGeometry());
        setWindowState(windowState() | Qt::WindowMaximized);
    }
}
