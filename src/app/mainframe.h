// The program's main window: menus, toolbar and status bar, the document
// windows in an MDI area (always maximised), and the start page that fills the
// window while no feed is open.
#pragma once

#include "platform/recentfilelist.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <memory>
#include <vector>

class CChildFrame;
class CHelpWindow;
class CRSSEditDoc;
class CStartPage;
class DesktopUiServices;
class FeedPublishing;
class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QPrinter;
class QStackedWidget;
class QToolBar;
struct NewFeedInfo;

class CMainFrame final : public QMainWindow {
    Q_OBJECT
public:
    // ui answers questions and reaches the desktop; it is not owned.
    explicit CMainFrame(DesktopUiServices* ui, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // "Orvan 1.00", with "^" when running as root.
    static QString BaseTitle();

    // Opens a feed in a new document window (or shows the window that has it
    // already); a failure is told to the user naming the file and the reason.
    bool openDocumentFile(const QString& path);
    // Opens each file in turn; a file that fails does not stop the rest.
    int openFiles(const QStringList& paths);
    // Asks for the new feed's title, link and category and opens a window for it.
    void newFeed();
    // A window for a new feed built from info, without asking.
    CChildFrame* createNewDocument(const NewFeedInfo& info);

    // Runs a command the way a menu choice does; false when nobody took it.
    bool runCommand(int id);
    // Whether the command is enabled and checked where it would run now.
    bool commandStatus(int id, bool* enabled, bool* checked);
    QAction* commandAction(int id) const { return m_actions.value(id); }
    QMenu* menuNamed(const QString& title) const;
    QToolBar* mainToolBar() const { return m_toolBar; }

    CChildFrame* activeChildFrame() const;
    QList<CChildFrame*> childFrames() const;
    QMdiArea* mdiArea() const { return m_mdi; }
    // Null while a feed is open.
    CStartPage* startPage() const { return m_startPage; }
    RecentFileList& recentFiles() { return m_recent; }

    // Save, Save As and Close of a document window's feed.
    bool saveDocument(CRSSEditDoc* doc, bool askForName);
    // Asks "Save changes to …?" for a modified feed; false when the user cancelled.
    bool saveModified(CRSSEditDoc* doc);
    // Closes the window (asking first); false when the user kept it open.
    bool closeChildFrame(CChildFrame* frame);
    // Called by a document window's sub-window when the user closes it.
    bool canCloseFrame(CChildFrame* frame);

    // The toolbar's "Remove From ToolBar" and its way back; both are remembered.
    void removeToolBarButton(int id);
    void resetToolBar();

    // File > Publish: saves the feed when it has changes (a new feed asks for
    // its name), asks for its settings when it has no destination yet, then
    // uploads it.
    void publishDocument(CChildFrame* frame);
    // File > Publish Settings…; true when the user confirmed them.
    bool editPublishSettings(CChildFrame* frame);
    // The uploads of the open feeds.
    FeedPublishing* publishing() const { return m_publishing.get(); }

    // Main window geometry and the toolbar and dock layout in the settings file.
    void saveWindowState();
    void restoreWindowState();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // --- mainframecommands.cpp ---------------------------------------------------
    void createActions();
    void createMenus();
    void createToolBar();
    void fillMenu(QMenu* menu, const QList<int>& items);
    void useMenuBar(int menuResource);
    void updateActions(const QList<QAction*>& actions);
    void updateToolBarActions();
    void restoreMenuActions(QMenu* menu);
    void onActionTriggered(int id);
    bool runFrameCommand(int id);
    void updateRecentFileActions();
    void showRecentFilesPopup();
    void showToolBarMenu(const QPoint& pos);
    void applyToolBarLayout();
    void openHelpUrl(const QString& url);
    void showHelp();
    void focusNextPane(bool forward);
    // The Window menu lists the open feeds after its own items.
    void fillWindowMenu(QMenu* menu);
    // The feed window step tabs away (1 the next, -1 the previous), round the ends.
    void activateNeighbourWindow(int step);

    // --- mainframepublish.cpp ------------------------------------------------------
    void createPublishing();

    // --- mainframe.cpp --------------------------------------------------------------
    CChildFrame* addChildFrame(std::unique_ptr<CRSSEditDoc> doc);
    CChildFrame* findFrameForPath(const QString& path) const;
    void onSubWindowActivated(QMdiSubWindow* window);
    void onFrameDestroyed(CChildFrame* frame);
    void updateClientArea();
    void updateTitle();
    void addToRecentFileList(const QString& path);
    void reloadStartPage();
    void createStartPage();
    // Where the file dialogs start: the folder of the feed used last, else the
    // user's documents, never the folder the program happened to start in.
    QString feedFolder() const;
    void openFileDialog();
    CRSSEditDoc* activeDocument() const;

    DesktopUiServices* m_ui;
    RecentFileList m_recent;
    QHash<int, QAction*> m_actions;
    QList<QAction*> m_recentActions;
    QAction* m_noRecentAction = nullptr;
    QList<QMenu*> m_menus128;
    QList<QMenu*> m_menus129;
    int m_menuResource = 0;
    QToolBar* m_toolBar = nullptr;
    QList<int> m_removedToolBarButtons;
    QLabel* m_readyLabel = nullptr;
    QStackedWidget* m_client = nullptr;
    CStartPage* m_startPage = nullptr;
    QMdiArea* m_mdi = nullptr;
    QTimer m_idleTimer;
    std::unique_ptr<QPrinter> m_printer;
    QPointer<CHelpWindow> m_helpWindow;
    QList<QAction*> m_windowListActions;
    // Document windows in the order they were opened.
    QList<QPointer<CChildFrame>> m_frames;
    std::unique_ptr<FeedPublishing> m_publishing;
    // A save made for File > Publish, which publishes by itself afterwards.
    bool m_savingToPublish = false;
    // The user chose to quit once the uploads have ended.
    bool m_quitWhenPublished = false;
};
