// The post commands of the feed document and their menu states.
#include "document/rsseditdoc.h"

#include "feed/backup.h"
#include "feed/postfooter.h"
#include "platform/commandids.h"
#include "platform/uiservices.h"

using namespace Qt::StringLiterals;

int CRSSEditDoc::EffectivePost() const {
    return m_currentPost < 0 ? 0 : m_currentPost;
}

bool CRSSEditDoc::OnPostAdd() {
    StoreCurrentPost(nullptr, HintStorePost);
    if (!m_feed.AddPost())
        return false;
    SetModifiedFlag(true);
    m_currentPost = 0;
    NotifyViews(nullptr, HintPostsInserted, 0);
    return true;
}

bool CRSSEditDoc::CanDeletePost() const {
    return m_feed.GetPostCount() > 1;
}

bool CRSSEditDoc::OnPostDelete() {
    if (!CanDeletePost())
        return false;
    const int removed = EffectivePost();
    if (removed >= m_feed.GetPostCount())
        return false;
    const QString question = u"Delete this post?\n\n\""_s + m_feed.GetTitle(removed) + u"\""_s;
    if (!Ui().AskOkCancel(question))
        return false;
    if (!m_feed.RemovePost(removed))
        return false;

    // The removed post is gone: the editor must not store its face into the
    // post that takes its number.
    m_currentPost = -1;
    SetModifiedFlag(true);
    NotifyViews(nullptr, HintPostDeleted, removed);
    // The follower takes the removed post's place; after the last post, the new last one.
    NotifyViews(nullptr, HintSelectPost, qMin(removed, m_feed.GetPostCount() - 1));
    return true;
}

bool CRSSEditDoc::OnPostRename() {
    NotifyViews(nullptr, HintRenamePost, m_currentPost);
    return true;
}

bool CRSSEditDoc::OnCopyRssFeed() {
    StoreCurrentPost(nullptr, HintStorePostQuietly);
    const QString text = QString::fromUtf8(m_feed.PrintToText());
    if (text.isEmpty() || !Ui().PutClipboardText(text)) {
        Ui().Beep();
        return false;
    }
    return true;
}

bool CRSSEditDoc::Duplicate(bool deleteOriginal) {
    StoreCurrentPost(nullptr, HintStorePost);
    const int original = EffectivePost();
    if (original >= m_feed.GetPostCount() || !m_feed.DuplicatePost(original))
        return false;
    // The copy went in as post 0, pushing the original one down.
    const bool removed = deleteOriginal && m_feed.RemovePost(original + 1);
    SetModifiedFlag(true);
    m_currentPost = 0;
    m_feed.SetDescription(0, ApplyPostFooter(m_feed.GetDescription(0)));
    NotifyViews(nullptr, HintPostsInserted, 0);
    // The history forgets the removed original and renumbers the posts after
    // it, as after Delete, so Back never lands on a post that merely took its number.
    if (removed)
        m_history.OnHint(HintPostDeleted, HintParam(original + 1));
    return true;
}

bool CRSSEditDoc::OnPostDuplicate() {
    return Duplicate(false);
}

bool CRSSEditDoc::OnPostDuplicateDelete() {
    return Duplicate(true);
}

bool CRSSEditDoc::OnFileReload(bool quiet) {
    if (!CanReload())
        return false;
    // A file that no longer loads must not cost the feed held in memory: it
    // stays, with its modified flag, so it can still be saved.
    {
        CRssFeed probe;
        QString error;
        if (!probe.LoadFile(m_pathName, &error)) {
            SetFailure("open", m_pathName, error);
            if (quiet)
                Ui().ShowStatusMessage(m_lastError);
            else
                Ui().ShowError(m_lastError);
            return false;
        }
    }
    // Keys still on their way to the editor must land before the tree they
    // were typed into goes, not in the post shown after the reload.
    StorePendingEdits();
    const int remembered = m_currentPost;
    const QString path = m_pathName;
    DeleteContents();
    const bool loaded = OnOpenDocument(path);
    // Back must never reach a post the file no longer has.
    m_history.KeepBelow(m_feed.GetPostCount());
    // A file that now holds fewer posts shows its last one.
    if (m_feed.GetPostCount() > 0)
        NotifyViews(nullptr, HintSelectPost, qMin(remembered, m_feed.GetPostCount() - 1));
    return loaded;
}

bool CRSSEditDoc::OnPostBack() {
    if (!m_history.CanGoBack())
        return false;
    const int target = m_history.TakeBackTarget();
    NotifyViews(nullptr, HintSelectPost, target);
    return true;
}

bool CRSSEditDoc::OnPostForward() {
    return false;
}

bool CRSSEditDoc::OnSortBy(PostSortMode mode) {
    if (mode == m_sortMode)
        return false;
    m_sortMode = mode;
    NotifyViews(nullptr, HintSortChanged, 0);
    return true;
}

bool CRSSEditDoc::OnSortByPosition() {
    return OnSortBy(PostSortMode::ByPosition);
}

bool CRSSEditDoc::OnSortByTitle() {
    return OnSortBy(PostSortMode::ByTitle);
}

bool CRSSEditDoc::OnSortByDate() {
    return OnSortBy(PostSortMode::ByDate);
}

bool CRSSEditDoc::CanOpenBackupFolder() const {
    return !m_pathName.isEmpty() && IsDirectory(GetBackupFolder(m_pathName));
}

bool CRSSEditDoc::OnOpenBackupFolder() {
    if (!CanOpenBackupFolder())
        return false;
    const QString folder = GetBackupFolder(m_pathName);
    QString reason;
    if (Ui().OpenFolder(folder, &reason))
        return true;
    Ui().ShowError(u"Cannot open directory %1"_s.arg(folder) + reason);
    return false;
}

bool CRSSEditDoc::OnFiltering() {
    NotifyViews(nullptr, HintToggleFilter, 0);
    return true;
}

bool CRSSEditDoc::HandlesCommand(int id) {
    switch (id) {
    case ID_POST_ADD:
    case ID_POST_DELETE:
    case ID_POST_RENAME:
    case ID_TOOLS_COPY_RSS_FEED:
    case ID_POST_DUPLICATE:
    case ID_POST_DUPLICATE_DELETE:
    case ID_FILE_RELOAD:
    case ID_POST_BACK:
    case ID_POST_FORWARD:
    case ID_SORT_BY_POSITION:
    case ID_SORT_BY_TITLE:
    case ID_SORT_BY_DATE:
    case ID_TOOLS_OPEN_BACKUP_FOLDER:
    case ID_POST_FILTERING:
        return true;
    default:
        return false;
    }
}

bool CRSSEditDoc::IsCommandEnabled(int id) const {
    switch (id) {
    case ID_POST_DELETE:
        return CanDeletePost();
    case ID_FILE_RELOAD:
        return CanReload();
    case ID_POST_BACK:
        return CanGoBack();
    case ID_POST_FORWARD:
        return CanGoForward();
    case ID_TOOLS_OPEN_BACKUP_FOLDER:
        return CanOpenBackupFolder();
    default:
        return HandlesCommand(id);
    }
}

bool CRSSEditDoc::IsCommandChecked(int id) const {
    switch (id) {
    case ID_SORT_BY_POSITION:
        return IsSortModeChecked(PostSortMode::ByPosition);
    case ID_SORT_BY_TITLE:
        return IsSortModeChecked(PostSortMode::ByTitle);
    case ID_SORT_BY_DATE:
        return IsSortModeChecked(PostSortMode::ByDate);
    case ID_POST_FILTERING:
        return IsFilteringChecked();
    default:
        return false;
    }
}

bool CRSSEditDoc::OnCommand(int id) {
    switch (id) {
    case ID_POST_ADD:
        return OnPostAdd();
    case ID_POST_DELETE:
        return OnPostDelete();
    case ID_POST_RENAME:
        return OnPostRename();
    case ID_TOOLS_COPY_RSS_FEED:
        return OnCopyRssFeed();
    case ID_POST_DUPLICATE:
        return OnPostDuplicate();
    case ID_POST_DUPLICATE_DELETE:
        return OnPostDuplicateDelete();
    case ID_FILE_RELOAD:
        return OnFileReload();
    case ID_POST_BACK:
        return OnPostBack();
    case ID_POST_FORWARD:
        return OnPostForward();
    case ID_SORT_BY_POSITION:
        return OnSortByPosition();
    case ID_SORT_BY_TITLE:
        return OnSortByTitle();
    case ID_SORT_BY_DATE:
        return OnSortByDate();
    case ID_TOOLS_OPEN_BACKUP_FOLDER:
        return OnOpenBackupFolder();
    case ID_POST_FILTERING:
        return OnFiltering();
    default:
        return false;
    }
}
