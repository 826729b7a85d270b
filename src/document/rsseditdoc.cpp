#include "document/rsseditdoc.h"

#include "document/filewatch.h"
#include "feed/backup.h"
#include "platform/feedlock.h"
#include "platform/settingsfile.h"
#include "platform/uiservices.h"

#include <QCoreApplication>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

std::optional<NewFeedInfo>& PendingNewFeedInfo() {
    static std::optional<NewFeedInfo> slot;
    return slot;
}

// New documents are called "Feed1", "Feed2", ... in the order they were made.
int g_untitledCount = 0;

// Two names of the same file: equal absolute paths, or the same file behind links.
bool SameFile(const QString& a, const QString& b) {
    const QFileInfo infoA(a);
    const QFileInfo infoB(b);
    if (infoA.absoluteFilePath() == infoB.absoluteFilePath())
        return true;
    const QString canonicalA = infoA.canonicalFilePath();
    return !canonicalA.isEmpty() && canonicalA == infoB.canonicalFilePath();
}

} // namespace

void SetPendingNewFeedInfo(const NewFeedInfo& info) {
    PendingNewFeedInfo() = info;
}

bool HasPendingNewFeedInfo() {
    return PendingNewFeedInfo().has_value();
}

std::optional<NewFeedInfo> TakePendingNewFeedInfo() {
    std::optional<NewFeedInfo> info;
    info.swap(PendingNewFeedInfo());
    return info;
}

CRSSEditDoc::CRSSEditDoc(UiServices* ui) : m_ui(ui) {}

CRSSEditDoc::~CRSSEditDoc() = default;

void CRSSEditDoc::WatchFile() {
    if (!QCoreApplication::instance())
        return;
    if (!m_watch)
        m_watch = std::make_unique<FileWatch>([this] { OnFileChangedOnDisk(); });
    m_watch->Watch(m_pathName.isEmpty() ? QString() : QFileInfo(m_pathName).absoluteFilePath());
}

bool CRSSEditDoc::FileChangedOnDisk() const {
    if (!m_diskState || m_pathName.isEmpty())
        return false;
    const FileIdentity now = StatFileIdentity(m_pathName);
    if (now == m_diskState->identity)
        return false;
    if (!now.exists)
        return true;
    // A touch or a copy of the same bytes is no change.
    uint64_t hash = 0;
    QString error;
    return !HashFile(m_pathName, hash, error) || hash != m_diskState->hash;
}

void CRSSEditDoc::SetFailure(const char* action, const QString& path, const QString& reason) {
    m_lastReason = reason;
    m_lastError = u"Cannot %1 %2: %3"_s.arg(QLatin1String(action), path, reason);
}

void CRSSEditDoc::OnFileChangedOnDisk() {
    if (!FileChangedOnDisk())
        return;
    const QString name = QFileInfo(m_pathName).fileName();
    if (m_modified) {
        // The save will ask what to do; until then the user is told.
        Ui().ShowStatusMessage(u"%1 was changed by another program."_s.arg(name));
        return;
    }
    if (OnFileReload(true))
        Ui().ShowStatusMessage(
            u"%1 was changed by another program and has been reloaded."_s.arg(name));
}

void CRSSEditDoc::AddView(DocumentView* view) {
    if (view && !m_views.contains(view))
        m_views.append(view);
}

void CRSSEditDoc::RemoveView(DocumentView* view) {
    m_views.removeAll(view);
}

void CRSSEditDoc::SetUiServices(UiServices* ui) {
    m_ui = ui;
}

UiServices& CRSSEditDoc::Ui() const {
    static QuietUiServices quiet;
    return m_ui ? *m_ui : quiet;
}

bool CRSSEditDoc::HasCurrentPost() const {
    return m_currentPost >= 0 && m_currentPost < m_feed.GetPostCount();
}

void CRSSEditDoc::StoreCurrentPost(DocumentListener* sender, DocHint storeHint) {
    // Without a post of its own the editor's face holds nothing to store, and
    // the feed would take -1 for the first post.
    if (HasCurrentPost())
        NotifyViews(sender, storeHint, m_currentPost);
}

void CRSSEditDoc::NotifyViews(DocumentListener* sender, DocHint hint, const HintParam& param) {
    if (hint == HintSetDescription) {
        if (HasCurrentPost())
            m_feed.SetDescription(m_currentPost, param.text);
        SetModifiedFlag(true);
    }
    if (hint == HintSelectPost) {
        StoreCurrentPost(sender, HintStorePost);
        m_history.Add(param.post);
    }

    // A listener may go away while it is told; work on a copy.
    const QList<DocumentView*> views = m_views;
    for (DocumentView* view : views) {
        if (view != sender)
            view->onNotify(sender, hint, param);
    }
    if (m_frameHub && m_frameHub != sender)
        m_frameHub->onNotify(sender, hint, param);

    if (hint == HintSelectPost)
        m_currentPost = param.post;
    m_history.OnHint(hint, param);
}

void CRSSEditDoc::SetPathName(const QString& path) {
    m_pathName = path;
    if (!path.isEmpty())
        m_title = QFileInfo(path).fileName();
    TitleChanged();
}

void CRSSEditDoc::SetTitle(const QString& title) {
    m_title = title;
    TitleChanged();
}

QString CRSSEditDoc::GetFrameTitle() const {
    QString text = m_pathName.isEmpty() ? m_title : m_pathName;
    if (m_modified)
        text += u" *"_s;
    return text;
}

void CRSSEditDoc::SetModifiedFlag(bool modified) {
    // Whatever marks the document changed the tree, maybe behind the feed's
    // back (through pugixml): work that spans several turns of the event
    // loop must start over.
    if (modified)
        m_feed.NoteChanged();
    m_modified = modified;
    TitleChanged();
}

void CRSSEditDoc::TitleChanged() {
    if (m_titleListener)
        m_titleListener->OnDocumentTitleChanged(*this);
}

void CRSSEditDoc::DeleteContents() {
    m_feed.Clear();
    m_currentPost = -1;
}

bool CRSSEditDoc::OnNewDocument() {
    DeleteContents();
    m_modified = false;
    // A new feed comes from no file: nothing on disk to compare with.
    m_diskState.reset();
    if (m_pathName.isEmpty() && m_title.isEmpty())
        m_title = u"Feed"_s + QString::number(++g_untitledCount);

    LoadFeedOptions(m_pathName);
    const NewFeedInfo info = TakePendingNewFeedInfo().value_or(NewFeedInfo());
    const bool created = m_feed.CreateNewFeed(info);
    if (created) {
        m_feed.SetTitle(0, u"Type RSS item title here\u2026"_s);
        m_feed.SetDescription(0, u"Type description of RSS item here\u2026"_s);
    }
    NotifyViews(nullptr, HintFeedLoaded, 0);
    SetModifiedFlag(false);
    return created;
}

bool CRSSEditDoc::OnOpenDocument(const QString& path) {
    DeleteContents();
    m_lastError.clear();
    m_lastReason.clear();
    m_diskState.reset();
    LoadFeedOptions(path);
    QString error;
    FileState state;
    FeedLock lock;
    const bool loaded =
        lock.Acquire(path, kFeedLockWaitMs, &error) && m_feed.LoadFile(path, &error, &state);
    lock.Release();
    if (loaded) {
        m_diskState = state;
        NotifyViews(nullptr, HintFeedLoaded, 0);
    } else {
        SetFailure("open", path, error);
    }
    SetModifiedFlag(false);
    return loaded;
}

bool CRSSEditDoc::OnSaveDocument(const QString& path) {
    StoreCurrentPost(nullptr, HintStorePost);
    m_lastError.clear();
    m_lastReason.clear();
    m_saveCancelled = false;
    // An empty tree (a load that failed) would replace the file with nothing.
    if (!m_feed.document_element()) {
        SetFailure("save", path, u"there is no feed to save"_s);
        return false;
    }
    QString error;
    FeedLock lock;
    if (!lock.Acquire(path, kFeedLockWaitMs, &error)) {
        SetFailure("save", path, error);
        return false;
    }
    const bool ownFile = !m_pathName.isEmpty() && SameFile(m_pathName, path);
    if (ownFile && FileChangedOnDisk()) {
        const QString name = QFileInfo(path).fileName();
        switch (Ui().AskChangedFile(
            u"%1 was changed by another program. Overwrite it, or reload it and lose your changes?"_s
                .arg(name))) {
        case UiServices::ChangedFileChoice::Overwrite:
            break;
        case UiServices::ChangedFileChoice::Reload:
            lock.Release();
            m_saveCancelled = true;
            OnFileReload();
            return false;
        case UiServices::ChangedFileChoice::Cancel:
            m_saveCancelled = true;
            SetFailure("save", path, u"it was changed by another program"_s);
            return false;
        }
    }
    // Whatever file the save replaces, its last state is kept first.
    if (QFileInfo(path).isFile()) {
        QString reason;
        if (!MakeBackup(path, &reason) &&
            !Ui().AskYesNo(
                u"The backup could not be written: %1. Save without a backup?"_s.arg(reason))) {
            m_saveCancelled = true;
            SetFailure("save", path, u"the backup could not be written: %1"_s.arg(reason));
            return false;
        }
    }
    if (m_savesApplyOptions)
        ApplySaveOptions(m_feed, m_options);
    FileState written;
    if (!m_feed.SaveFile(path, &error, &written)) {
        SetFailure("save", path, error);
        return false;
    }
    m_diskState = written;
    SetModifiedFlag(false);
    return true;
}

void CRSSEditDoc::StorePendingEdits() {
    StoreCurrentPost(nullptr, HintStorePost);
}

int CRSSEditDoc::FindPost(pugi::xml_node item, int hint) const {
    if (!item)
        return -1;
    const int count = m_feed.GetPostCount();
    if (hint >= 0 && hint < count && m_feed.GetItemNode(hint) == item)
        return hint;
    for (int i = 0; i < count; ++i) {
        if (m_feed.GetItemNode(i) == item)
            return i;
    }
    return -1;
}

bool CRSSEditDoc::OpenDocumentFile(const QString& path) {
    if (!OnOpenDocument(path))
        return false;
    SetPathName(path);
    WatchFile();
    return true;
}

bool CRSSEditDoc::DoSave(const QString& path) {
    if (!OnSaveDocument(path))
        return false;
    // The options go with the feed to its new name (a new feed's to its first).
    const bool newName = m_pathName.isEmpty() || !SameFile(m_pathName, path);
    if (newName && m_savesApplyOptions && !(m_options == FeedOptions()))
        m_options.Store(SettingsIniPath(), path);
    SetPathName(path);
    WatchFile();
    return true;
}

void CRSSEditDoc::LoadFeedOptions(const QString& path) {
    m_options = FeedOptions::Load(SettingsIniPath(), path);
    m_feed.SetRenewsDateOnEdit(m_options.renewPubDateOnEdit);
}

bool CRSSEditDoc::SetFeedOptions(const FeedOptions& options) {
    m_options = options;
    m_feed.SetRenewsDateOnEdit(options.renewPubDateOnEdit);
    return m_pathName.isEmpty() || options.Store(SettingsIniPath(), m_pathName);
}

bool CRSSEditDoc::ApplyFieldEdits(int post, const QList<FieldEdit>& edits, DocumentListener* sender,
                                  QString* error) {
    if (post >= m_feed.GetPostCount()) {
        if (error)
            *error = u"the feed has no post %1"_s.arg(post);
        return false;
    }
    bool changed = false;
    const bool done = ::ApplyFieldEdits(m_feed, post, edits, &changed, error);
    if (changed) {
        SetModifiedFlag(true);
        if (post >= 0)
            NotifyViews(sender, HintLinkOrAuthorChanged, post);
    }
    return done;
}
