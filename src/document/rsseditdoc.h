// The document of one open feed: it owns the feed tree, knows the current post,
// the sort mode and the visited posts, runs the post commands and carries every
// notification between the views, the frame's bars and the history.
#pragma once

#include "document/documentlistener.h"
#include "document/hints.h"
#include "document/posthistory.h"
#include "document/postlistorder.h"
#include "feed/newfeedinfo.h"
#include "feed/rssfeed.h"

#include "platform/fileidentity.h"

#include <QList>
#include <QString>
#include <memory>
#include <optional>

class FileWatch;
class UiServices;

// The process-wide slot for the information of the next new feed: filled once
// the user confirmed the Create RSS Feed dialog, used and emptied by the next
// OnNewDocument.
void SetPendingNewFeedInfo(const NewFeedInfo& info);
bool HasPendingNewFeedInfo();
std::optional<NewFeedInfo> TakePendingNewFeedInfo();

class CRSSEditDoc final {
public:
    // ui answers questions and reaches the desktop; without one nothing is
    // asked (every question counts as OK) and nothing is shown.
    explicit CRSSEditDoc(UiServices* ui = nullptr);
    ~CRSSEditDoc();
    CRSSEditDoc(const CRSSEditDoc&) = delete;
    CRSSEditDoc& operator=(const CRSSEditDoc&) = delete;

    // --- Who hears the document --------------------------------------------
    void AddView(DocumentView* view);
    void RemoveView(DocumentView* view);
    const QList<DocumentView*>& GetViews() const { return m_views; }
    // The hub of the frame that holds the first view; it passes hints to the bars.
    void SetFrameHub(DocumentListener* hub) { m_frameHub = hub; }
    void SetTitleListener(DocumentTitleListener* listener) { m_titleListener = listener; }
    void SetUiServices(UiServices* ui);

    // The one path for a change that concerns more than one window. In order:
    // act on HintSetDescription and HintSelectPost, tell the views except the
    // sender, then the frame's hub, then make a selected post current, then
    // let the history follow.
    void NotifyViews(DocumentListener* sender, DocHint hint, const HintParam& param = HintParam());

    // --- What the framework kept ---------------------------------------------
    const QString& GetPathName() const { return m_pathName; }
    // Also makes the file name the title.
    void SetPathName(const QString& path);
    // The file name, or "Feed" and a number for a document never saved.
    const QString& GetTitle() const { return m_title; }
    void SetTitle(const QString& title);
    // What a window shows: the full path (or the title), then " *" while modified.
    QString GetFrameTitle() const;
    bool IsModified() const { return m_modified; }
    // Stores the flag and tells the title listener.
    void SetModifiedFlag(bool modified = true);

    // --- Lifecycle -------------------------------------------------------------
    // Empties the tree; no post is current.
    void DeleteContents();
    // Builds a new feed from the pending NewFeedInfo (or empty texts).
    bool OnNewDocument();
    // Loads the file into the tree (the path name is left alone), holding the
    // feed's lock while it reads, and remembers the file as it was read.
    bool OnOpenDocument(const QString& path);
    // Stores the editor's edits and writes the tree, holding the feed's lock.
    // Before that: when the document's own file was changed by another
    // program since it was loaded or saved, asks whether to overwrite it or
    // reload it; a file that is there is backed up, and when the backup
    // cannot be written, asks whether to save without one. A failure or a
    // refusal leaves the document modified.
    bool OnSaveDocument(const QString& path);
    // Asks the views to store every edit they show that the document does not
    // have yet (the editor waits for its page), so IsModified and a save see
    // everything typed so far. Call it before asking whether to save.
    void StorePendingEdits();
    // True when the last save stopped at the user's answer (Cancel, Reload,
    // no save without a backup) rather than at a failure.
    bool LastSaveCancelled() const { return m_saveCancelled; }
    // True when the file at the document's path is no longer the one it
    // loaded or saved last (same identity, or else the same bytes).
    bool FileChangedOnDisk() const;
    // OnOpenDocument, then the path name on success.
    bool OpenDocumentFile(const QString& path);
    // OnSaveDocument, then the path name on success (Save and Save As).
    bool DoSave(const QString& path);
    // Why the last open or save failed: "Cannot open FILE: reason".
    const QString& GetLastError() const { return m_lastError; }
    // The reason alone, for messages that name the file themselves.
    const QString& GetLastReason() const { return m_lastReason; }

    // --- State other windows read ------------------------------------------------
    CRssFeed& GetFeed() { return m_feed; }
    const CRssFeed& GetFeed() const { return m_feed; }
    int GetPostCount() const { return m_feed.GetPostCount(); }
    // -1 for none.
    int GetCurrentPost() const { return m_currentPost; }
    // The index of the post whose item element this is, -1 when it is no
    // longer in the feed; hint is where it was last seen (checked first).
    int FindPost(pugi::xml_node item, int hint = -1) const;
    PostSortMode GetSortMode() const { return m_sortMode; }
    // Stores the mode without telling anyone (a column header click notifies itself).
    void SetSortMode(PostSortMode mode) { m_sortMode = mode; }
    const PostHistory& GetHistory() const { return m_history; }
    // The posts bar reports whether its filter box exists (the Filtering check mark).
    void SetFilterBoxShown(bool shown) { m_filterBoxShown = shown; }

    // --- Commands ------------------------------------------------------------------
    // Each answers whether it changed or did something.
    bool OnPostAdd();
    // Asks "Delete this post?" first.
    bool OnPostDelete();
    bool OnPostRename();
    bool OnCopyRssFeed();
    bool OnPostDuplicate();
    bool OnPostDuplicateDelete();
    // Reopens the file without a question, discarding unsaved changes. A file
    // that no longer loads leaves the document as it was and shows the error
    // (in the status bar when quiet).
    bool OnFileReload(bool quiet = false);
    bool OnPostBack();
    // Never enabled; does nothing.
    bool OnPostForward();
    bool OnSortByPosition();
    bool OnSortByTitle();
    bool OnSortByDate();
    bool OnSortBy(PostSortMode mode);
    bool OnOpenBackupFolder();
    bool OnFiltering();

    // --- Command states ------------------------------------------------------------
    bool CanAddPost() const { return true; }
    // Only while the feed has more than one post.
    bool CanDeletePost() const;
    bool CanRenamePost() const { return true; }
    bool CanCopyRssFeed() const { return true; }
    bool CanDuplicatePost() const { return true; }
    bool CanReload() const { return !m_pathName.isEmpty(); }
    bool CanGoBack() const { return m_history.CanGoBack(); }
    bool CanGoForward() const { return false; }
    bool CanSort() const { return true; }
    // Computing the backup folder creates it.
    bool CanOpenBackupFolder() const;
    bool CanFilter() const { return true; }
    // The radio mark of the sort commands.
    bool IsSortModeChecked(PostSortMode mode) const { return m_sortMode == mode; }
    bool IsFilteringChecked() const { return m_filterBoxShown; }

    // Command routing by identifier (ids of platform/commandids.h).
    static bool HandlesCommand(int id);
    bool IsCommandEnabled(int id) const;
    bool IsCommandChecked(int id) const;
    // Runs the command; false when it is not a document command or did nothing.
    bool OnCommand(int id);

private:
    // The post the commands act on: the current one, the first when none is current.
    int EffectivePost() const;
    bool HasCurrentPost() const;
    // Asks the editor to store the current post, when there is one.
    void StoreCurrentPost(DocumentListener* sender, DocHint storeHint);
    bool Duplicate(bool deleteOriginal);
    UiServices& Ui() const;
    void TitleChanged();
    // Follows the file on disk while a desktop runs (an application object
    // exists): a change while nothing is unsaved reloads the feed.
    void WatchFile();
    void OnFileChangedOnDisk();
    // Records why an open ("open") or a save ("save") of path failed.
    void SetFailure(const char* action, const QString& path, const QString& reason);

    CRssFeed m_feed;
    PostHistory m_history;
    int m_currentPost = 0;
    PostSortMode m_sortMode = PostSortMode::ByPosition;

    QString m_pathName;
    QString m_title;
    bool m_modified = false;
    bool m_filterBoxShown = false;
    QString m_lastError;
    QString m_lastReason;
    bool m_saveCancelled = false;
    // The file as it was last loaded or saved; nothing known for a new feed.
    std::optional<FileState> m_diskState;
    std::unique_ptr<FileWatch> m_watch;

    QList<DocumentView*> m_views;
    DocumentListener* m_frameHub = nullptr;
    DocumentTitleListener* m_titleListener = nullptr;
    UiServices* m_ui = nullptr;
};
