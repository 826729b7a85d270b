#include "document/rsseditdoc.h"

#include "feed/backup.h"
#include "platform/uiservices.h"

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
    if (m_pathName.isEmpty() && m_title.isEmpty())
        m_title = u"Feed"_s + QString::number(++g_untitledCount);

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
    QString error;
    const bool loaded = m_feed.LoadFile(path, &error);
    if (loaded)
        NotifyViews(nullptr, HintFeedLoaded, 0);
    else
        m_lastError = u"Cannot open %1: %2"_s.arg(path, error);
    SetModifiedFlag(false);
    return loaded;
}

bool CRSSEditDoc::OnSaveDocument(const QString& path) {
    StoreCurrentPost(nullptr, HintStorePost);
    m_lastError.clear();
    // An empty tree (a load that failed) would replace the file with nothing.
    if (!m_feed.document_element()) {
        m_lastError = u"Cannot save %1: there is no feed to save"_s.arg(path);
        return false;
    }
    // Only a save over the document's own file keeps a copy of what it replaces;
    // the copy's result does not stop the save.
    if (!m_pathName.isEmpty() && SameFile(m_pathName, path))
        MakeBackup(path);
    QString error;
    if (!m_feed.SaveFile(path, &error)) {
        m_lastError = u"Cannot save %1: %2"_s.arg(path, error);
        return false;
    }
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
    return true;
}

bool CRSSEditDoc::DoSave(const QString& path) {
    if (!OnSaveDocument(path))
        return false;
    SetPathName(path);
    return true;
}
