// The main window's commands: actions, the two menu bars, the toolbar, the
// recent files and where each command goes.
#include "app/mainframe.h"

#include "app/aboutdialog.h"
#include "app/childframe.h"
#include "app/commandtable.h"
#include "app/desktopuiservices.h"
#include "app/helpwindow.h"
#include "app/inputhold.h"
#include "app/newfeed.h"
#include "document/rsseditdoc.h"
#include "platform/commandids.h"

#include <buildconfig.h>

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

// Icons the desktop theme may lack fall back to the style's own.
QIcon CommandIcon(const CommandInfo& info, QStyle* style) {
    if (info.iconName.isEmpty())
        return {};
    static const QHash<int, QStyle::StandardPixmap> fallbacks = {
        {ID_FILE_NEW, QStyle::SP_FileIcon},
        {ID_FILE_OPEN, QStyle::SP_DialogOpenButton},
        {ID_FILE_SAVE, QStyle::SP_DialogSaveButton},
        {ID_FILE_CLOSE, QStyle::SP_DialogCloseButton},
        {ID_FILE_RELOAD, QStyle::SP_BrowserReload},
        {ID_POST_BACK, QStyle::SP_ArrowBack},
        {ID_POST_FORWARD, QStyle::SP_ArrowForward},
        {ID_APP_ABOUT, QStyle::SP_MessageBoxInformation},
        {ID_TOOLS_OPEN_BACKUP_FOLDER, QStyle::SP_DirOpenIcon},
        {ID_POST_DELETE, QStyle::SP_TrashIcon},
        {ID_APP_EXIT, QStyle::SP_DialogCloseButton},
    };
    QIcon fallback;
    if (auto it = fallbacks.constFind(info.id); it != fallbacks.constEnd())
        fallback = style->standardIcon(*it);
    return QIcon::fromTheme(info.iconName, fallback);
}

bool IsRecentFileId(int id) {
    return id >= ID_FILE_MRU_FILE1 && id <= ID_FILE_MRU_FILE16;
}

} // namespace

void CMainFrame::createActions() {
    auto* sortGroup = new QActionGroup(this);
    sortGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::None);
    for (const CommandInfo& info : AllCommandInfos()) {
        auto* action = new QAction(CommandIcon(info, style()), info.text, this);
        action->setStatusTip(info.prompt);
        action->setToolTip(info.toolTip);
        action->setShortcuts(info.keys);
        action->setCheckable(info.checkable);
        action->setData(info.id);
        action->setIconVisibleInMenu(true);
        if (info.id == ID_SORT_BY_POSITION || info.id == ID_SORT_BY_TITLE ||
            info.id == ID_SORT_BY_DATE)
            sortGroup->addAction(action);
        const int id = info.id;
        connect(action, &QAction::triggered, this, [this, id] { onActionTriggered(id); });
        // Accelerators work with the menus closed, so the actions belong to the window too.
        addAction(action);
        m_actions.insert(id, action);
    }
    for (int i = 0; i < RecentFileList::kMaxEntries; ++i) {
        const int id = ID_FILE_MRU_FILE1 + i;
        auto* action = new QAction(this);
        action->setData(id);
        action->setVisible(false);
        action->setStatusTip(u"Open this feed"_s);
        connect(action, &QAction::triggered, this, [this, id] { onActionTriggered(id); });
        m_recentActions.append(action);
        m_actions.insert(id, action);
    }
    m_noRecentAction = new QAction(u"Recent File"_s, this);
    m_noRecentAction->setEnabled(false);
}

void CMainFrame::fillMenu(QMenu* menu, const QList<int>& items) {
    for (int id : items) {
        if (id == 0) {
            menu->addSeparator();
        } else if (id == ID_FILE_MRU_FILE1) {
            menu->addAction(m_noRecentAction);
            menu->addActions(m_recentActions);
        } else if (QAction* action = m_actions.value(id)) {
            menu->addAction(action);
        }
    }
}

void CMainFrame::createMenus() {
    for (int resource : {128, 129}) {
        QList<QMenu*>& menus = resource == 128 ? m_menus128 : m_menus129;
        for (const MenuInfo& info : MenuBarLayout(resource)) {
            auto* menu = new QMenu(info.title, this);
            menu->setObjectName(u"menu%1_%2"_s.arg(resource).arg(menus.size()));
            menu->setToolTipsVisible(true);
            fillMenu(menu, info.items);
            if (resource == 129 && info.items.contains(ID_WINDOW_NEXT))
                connect(menu, &QMenu::aboutToShow, this, [this, menu] { fillWindowMenu(menu); });
            connect(menu, &QMenu::aboutToShow, this,
                    [this, menu] { updateActions(menu->actions()); });
            connect(menu, &QMenu::aboutToHide, this, [this, menu] {
                statusBar()->clearMessage();
                // A command's state is asked again when it runs; the keys must not
                // stay locked by what the menu showed a moment ago.
                QTimer::singleShot(0, this, [this, menu] { restoreMenuActions(menu); });
            });
            menus.append(menu);
        }
    }
}

void CMainFrame::useMenuBar(int menuResource) {
    if (m_menuResource == menuResource)
        return;
    m_menuResource = menuResource;
    menuBar()->clear();
    for (QMenu* menu : menuResource == 128 ? m_menus128 : m_menus129)
        menuBar()->addMenu(menu);
}

QMenu* CMainFrame::menuNamed(const QString& title) const {
    for (QMenu* menu : m_menuResource == 128 ? m_menus128 : m_menus129) {
        QString plain = menu->title();
        plain.remove(u'&');
        if (plain.compare(title, Qt::CaseInsensitive) == 0)
            return menu;
    }
    return nullptr;
}

void CMainFrame::createToolBar() {
    m_toolBar = new QToolBar(u"Standard"_s, this);
    m_toolBar->setObjectName(u"mainToolBar"_s);
    m_toolBar->setIconSize(QSize(22, 22));
    m_toolBar->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_toolBar, &QWidget::customContextMenuRequested, this, &CMainFrame::showToolBarMenu);
    addToolBar(Qt::TopToolBarArea, m_toolBar);
    applyToolBarLayout();
}

void CMainFrame::applyToolBarLayout() {
    m_toolBar->clear();
    bool pendingSeparator = false;
    for (int id : ToolBarLayout()) {
        if (id == 0) {
            pendingSeparator = !m_toolBar->actions().isEmpty();
            continue;
        }
        if (m_removedToolBarButtons.contains(id))
            continue;
        if (pendingSeparator)
            m_toolBar->addSeparator();
        pendingSeparator = false;
        m_toolBar->addAction(m_actions.value(id));
    }
}

void CMainFrame::showToolBarMenu(const QPoint& pos) {
    QMenu menu(this);
    QAction* button = m_toolBar->actionAt(pos);
    const int id = button && !button->isSeparator() ? button->data().toInt() : 0;
    QAction* remove = menu.addAction(u"Remove From ToolBar"_s);
    remove->setEnabled(id != 0);
    QAction* reset = menu.addAction(u"Reset ToolBar"_s);
    reset->setEnabled(!m_removedToolBarButtons.isEmpty());
    menu.addSeparator();
    menu.addAction(m_actions.value(ID_VIEW_TOOLBAR));
    QAction* chosen = menu.exec(m_toolBar->mapToGlobal(pos));
    if (chosen == remove)
        removeToolBarButton(id);
    else if (chosen == reset)
        resetToolBar();
}

void CMainFrame::removeToolBarButton(int id) {
    if (id == 0 || m_removedToolBarButtons.contains(id))
        return;
    m_removedToolBarButtons.append(id);
    applyToolBarLayout();
    saveWindowState();
}

void CMainFrame::resetToolBar() {
    m_removedToolBarButtons.clear();
    applyToolBarLayout();
    saveWindowState();
}

void CMainFrame::updateActions(const QList<QAction*>& actions) {
    for (QAction* action : actions) {
        const int id = action->data().toInt();
        if (id == 0 || IsRecentFileId(id))
            continue;
        bool enabled = true;
        bool checked = false;
        commandStatus(id, &enabled, &checked);
        action->setEnabled(enabled);
        if (action->isCheckable())
            action->setChecked(checked);
    }
}

void CMainFrame::updateToolBarActions() {
    if (!isVisible())
        return;
    QList<QAction*> actions = m_toolBar->actions();
    for (int id : std::initializer_list<int>{
             ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR, ID_VIEW_RSS_POSTS, ID_VIEW_PREVIEW,
             ID_POST_FILTERING, ID_SORT_BY_POSITION, ID_SORT_BY_TITLE, ID_SORT_BY_DATE}) {
        if (QAction* action = m_actions.value(id); action && !actions.contains(action))
            actions.append(action);
    }
    updateActions(actions);
}

void CMainFrame::restoreMenuActions(QMenu* menu) {
    const QList<QAction*> toolBarActions = m_toolBar->actions();
    for (QAction* action : menu->actions()) {
        const int id = action->data().toInt();
        if (id != 0 && !IsRecentFileId(id) && !toolBarActions.contains(action))
            action->setEnabled(true);
    }
}

bool CMainFrame::commandStatus(int id, bool* enabled, bool* checked) {
    *enabled = true;
    *checked = false;
    CChildFrame* frame = activeChildFrame();
    if (frame && frame->commandStatus(id, enabled, checked))
        return true;
    switch (id) {
    case ID_VIEW_TOOLBAR:
        *checked = m_toolBar->isVisible();
        return true;
    case ID_VIEW_STATUS_BAR:
        *checked = statusBar()->isVisible();
        return true;
    case ID_VIEW_RSS_POSTS:
    case ID_VIEW_PREVIEW:
    case ID_FILE_CLOSE:
    case ID_FILE_SAVE:
    case ID_FILE_SAVE_AS:
    case ID_FILE_PRINT:
    case ID_FILE_PRINT_PREVIEW:
        *enabled = frame != nullptr;
        return true;
    case ID_FILE_PUBLISH:
    case ID_FILE_PUBLISH_SETTINGS:
        *enabled = frame && !frame->isReadOnly();
        return true;
    case ID_WINDOW_NEXT:
    case ID_WINDOW_PREVIOUS:
        *enabled = m_mdi->subWindowList().size() > 1;
        return true;
    case ID_FILE_NEW:
    case ID_FILE_OPEN:
    case ID_FILE_PRINT_SETUP:
    case ID_APP_EXIT:
    case ID_APP_ABOUT:
    case ID_HELP_CONTENTS:
    case ID_HELP_W3C_VALIDATOR:
    case ID_HELP_WEB_SITE:
    case ID_HELP_OUR_RSS_FEED:
    case ID_HELP_SUPPORT:
    case ID_HELP_RENDERER_HOME:
    case ID_FILE_RECENT_POPUP:
    case ID_NEXT_PANE:
    case ID_PREV_PANE:
        return true;
    default:
        break;
    }
    // A command nobody in reach handles is greyed, as the framework did.
    *enabled = false;
    return false;
}

void CMainFrame::onActionTriggered(int id) {
    bool enabled = true;
    bool checked = false;
    if (!IsRecentFileId(id)) {
        commandStatus(id, &enabled, &checked);
        if (!enabled)
            return;
    }
    runCommand(id);
    updateToolBarActions();
}

bool CMainFrame::runCommand(int id) {
    if (CChildFrame* frame = activeChildFrame(); frame && frame->routeCommand(id))
        return true;
    return runFrameCommand(id);
}

bool CMainFrame::runFrameCommand(int id) {
    CRSSEditDoc* doc = activeDocument();
    if (IsRecentFileId(id)) {
        const int index = id - ID_FILE_MRU_FILE1;
        if (index < m_recent.Count()) {
            const QString path = m_recent.Entries().at(index);
            if (!openDocumentFile(path)) {
                // A feed that is gone leaves the list, as the framework did.
                if (!QFileInfo::exists(path)) {
                    m_recent.RemoveAndSave(path);
                    updateRecentFileActions();
                    reloadStartPage();
                }
            }
        }
        return true;
    }
    switch (id) {
    case ID_FILE_NEW:
        newFeed();
        return true;
    case ID_FILE_OPEN:
        openFileDialog();
        return true;
    case ID_FILE_SAVE:
        saveDocument(doc, false);
        return true;
    case ID_FILE_SAVE_AS:
        saveDocument(doc, true);
        return true;
    case ID_FILE_CLOSE:
        closeChildFrame(activeChildFrame());
        return true;
    case ID_FILE_PUBLISH:
        publishDocument(activeChildFrame());
        return true;
    case ID_FILE_PUBLISH_SETTINGS:
        editPublishSettings(activeChildFrame());
        return true;
    case ID_FILE_PRINT_SETUP: {
        if (!m_printer)
            m_printer = std::make_unique<QPrinter>();
        QPageSetupDialog dialog(m_printer.get(), this);
        dialog.exec();
        return true;
    }
    case ID_APP_EXIT:
        close();
        return true;
    case ID_APP_ABOUT: {
        CAboutDlg about(this);
        about.exec();
        return true;
    }
    case ID_HELP_CONTENTS:
        showHelp();
        return true;
    case ID_WINDOW_NEXT:
    case ID_WINDOW_PREVIOUS:
        activateNeighbourWindow(id == ID_WINDOW_NEXT ? 1 : -1);
        return true;
    case ID_HELP_W3C_VALIDATOR:
        openHelpUrl(QStringLiteral(ORVAN_URL_VALIDATOR));
        return true;
    case ID_HELP_WEB_SITE:
        openHelpUrl(QStringLiteral(ORVAN_URL_HOME));
        return true;
    case ID_HELP_OUR_RSS_FEED:
        openHelpUrl(QStringLiteral(ORVAN_URL_NEWS_FEED));
        return true;
    case ID_HELP_SUPPORT:
        openHelpUrl(QStringLiteral(ORVAN_URL_SUPPORT));
        return true;
    case ID_HELP_RENDERER_HOME:
        openHelpUrl(QStringLiteral(ORVAN_URL_RENDERER_HOME));
        return true;
    case ID_VIEW_TOOLBAR:
        m_toolBar->setVisible(!m_toolBar->isVisible());
        return true;
    case ID_VIEW_STATUS_BAR:
        statusBar()->setVisible(!statusBar()->isVisible());
        return true;
    case ID_FILE_RECENT_POPUP:
        showRecentFilesPopup();
        return true;
    case ID_NEXT_PANE:
    case ID_PREV_PANE:
        focusNextPane(id == ID_NEXT_PANE);
        return true;
    default:
        break;
    }
    return false;
}

void CMainFrame::openHelpUrl(const QString& url) {
    m_ui->OpenUrl(url);
}

void CMainFrame::showHelp() {
    // One help window, left open beside the editor while the user works.
    if (!m_helpWindow) {
        m_helpWindow = new CHelpWindow(this);
        m_helpWindow->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_helpWindow->show();
    m_helpWindow->raise();
    m_helpWindow->activateWindow();
}

void CMainFrame::fillWindowMenu(QMenu* menu) {
    qDeleteAll(m_windowListActions);
    m_windowListActions.clear();
    // The list in the order of the tabs, which the user may have moved.
    const QList<QMdiSubWindow*> windows = m_mdi->subWindowList(QMdiArea::CreationOrder);
    if (windows.isEmpty())
        return;
    m_windowListActions.append(menu->addSeparator());
    for (qsizetype i = 0; i < windows.size(); ++i) {
        QMdiSubWindow* window = windows[i];
        auto* frame = qobject_cast<CChildFrame*>(window->widget());
        QString name = frame ? frame->tabTitle() : window->windowTitle();
        name.replace(u'&', u"&&"_s);
        const QString number = i < 9 ? u"&%1 "_s.arg(i + 1) : QString::number(i + 1) + u' ';
        QAction* action = menu->addAction(number + name);
        action->setCheckable(true);
        action->setChecked(window == m_mdi->activeSubWindow());
        if (frame)
            action->setStatusTip(frame->frameTitle());
        const QPointer<QMdiSubWindow> target = window;
        connect(action, &QAction::triggered, this, [this, target] {
            if (target)
                m_mdi->setActiveSubWindow(target);
        });
        m_windowListActions.append(action);
    }
}

void CMainFrame::activateNeighbourWindow(int step) {
    const QList<QMdiSubWindow*> windows = m_mdi->subWindowList(QMdiArea::CreationOrder);
    if (windows.size() < 2)
        return;
    const qsizetype at = windows.indexOf(m_mdi->activeSubWindow());
    const qsizetype count = windows.size();
    m_mdi->setActiveSubWindow(windows[((at < 0 ? 0 : at) + step + count) % count]);
}

void CMainFrame::openFileDialog() {
    openFiles(m_ui->ChooseOpenFileNames(feedFolder()));
}

void CMainFrame::newFeed() {
    if (!isVisible())
        show();
    NewFeedInfo info;
    bool asked = false;
    {
        CInputHold hold(this);
        asked = AskNewFeedInfo(this, info);
    }
    if (asked)
        createNewDocument(info);
}

void CMainFrame::updateRecentFileActions() {
    const QStringList& entries = m_recent.Entries();
    const QString currentDir = QDir::currentPath();
    for (int i = 0; i < m_recentActions.size(); ++i) {
        QAction* action = m_recentActions[i];
        if (i >= entries.size()) {
            action->setVisible(false);
            continue;
        }
        QString shown = entries[i];
        if (QFileInfo(shown).absolutePath() == currentDir)
            shown = QFileInfo(shown).fileName();
        shown.replace(u'&', u"&&"_s);
        const QString number = i < 9 ? u"&%1"_s.arg(i + 1) : QString::number(i + 1);
        action->setText(number + u' ' + shown);
        action->setToolTip(entries[i]);
        action->setStatusTip(u"Open "_s + entries[i]);
        action->setVisible(true);
    }
    m_noRecentAction->setVisible(entries.isEmpty());
}

void CMainFrame::showRecentFilesPopup() {
    QMenu popup(this);
    popup.setToolTipsVisible(true);
    for (QAction* action : std::as_const(m_recentActions)) {
        if (action->isVisible())
            popup.addAction(action);
    }
    if (!popup.actions().isEmpty())
        popup.addSeparator();
    popup.addAction(m_actions.value(ID_FILE_OPEN));
    QPoint where = QCursor::pos();
    if (!geometry().contains(where))
        where = mapToGlobal(rect().center());
    popup.exec(where);
}

void CMainFrame::focusNextPane(bool forward) {
    if (CChildFrame* frame = activeChildFrame())
        frame->focusNextPane(forward);
}
