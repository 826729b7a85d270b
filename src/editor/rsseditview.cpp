#include "editor/rsseditview.h"

#include "document/rsseditdoc.h"
#include "feed/rssfeed.h"
#include "feed/rsspost.h"
#include "html/htmltransforms.h"
#include "htmlui/htmlsurface.h"

#include <QFile>
#include <QMessageBox>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineSettings>

using namespace Qt::StringLiterals;

static void initEditorQrc() {
    Q_INIT_RESOURCE(editor);
}

void InitEditorResources() {
    initEditorQrc();
}

namespace {

const QString kFaceUrl = u"qrc:/editor/face.html"_s;
const QString kBody = u"#richtext_edit"_s;
const QString kTitleId = u"div_title"_s;
const QString kBodyId = u"richtext_edit"_s;
const QString kLinkId = u"select_link"_s;
const QString kAuthorId = u"select_author"_s;
// String 61453: what an empty link field shows.
const QString kLinkPlaceholder = u"<Enter link to article here...>"_s;
// String 57345: the idle status line.
const QString kReady = u"Ready"_s;

} // namespace

CRSSEditView::CRSSEditView(CRSSEditDoc* doc, QWidget* parent) : QWidget(parent), m_doc(doc) {
    setFocusPolicy(Qt::StrongFocus);
    m_surface = new HtmlSurface(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_surface);
    // Cut, copy and paste from menus act on the page's own clipboard commands.
    QWebEngineSettings* settings = m_surface->page()->settings();
    settings->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, true);
    settings->setAttribute(QWebEngineSettings::JavascriptCanPaste, true);
    connect(m_surface, &HtmlSurface::htmlEvent, this, &CRSSEditView::onHtmlEvent);
    connect(m_surface, &HtmlSurface::snapshotChanged, this, [this](const QString& behaviour) {
        if (behaviour == "richtext"_L1)
            updateActions();
    });
    connect(m_surface, &HtmlSurface::loaded, this, [this](bool ok) {
        // The view stays, empty, when its page cannot be shown.
        if (!ok)
            QMessageBox::critical(this, QString(), u"Error on HTMLayoutLoadHtml"_s);
        emit faceLoaded(ok);
    });
    createActions();
    m_statusText = kReady;
    if (m_doc)
        m_doc->AddView(this);
    loadFace();
}

CRSSEditView::~CRSSEditView() {
    if (m_doc)
        m_doc->RemoveView(this);
}

void CRSSEditView::loadFace() {
    if (!m_surface->loadPage(QUrl(kFaceUrl)))
        QMessageBox::critical(this, QString(), u"Cannot init HTML face"_s);
}

bool CRSSEditView::waitUntilLoaded() {
    return m_surface->waitUntilLoaded();
}

void CRSSEditView::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    FocusBody();
}

HtmlValue CRSSEditView::richState(const QString& key) const {
    return m_surface->snapshot(u"richtext"_s).value(key);
}

// --- notifications ---------------------------------------------------------------

void CRSSEditView::OnUpdate(DocumentListener* sender, DocHint hint, const HintParam& param) {
    if (sender == this)
        return;
    switch (hint) {
    case HintSelectPost:
        FillLinkChoices();
        LoadPost(param.post);
        break;
    case HintStorePost:
        StorePost(param.post, true);
        break;
    case HintPostsInserted:
        onPostsInserted();
        break;
    case HintTitleChanged:
        // Only the post on show has its title in the face.
        if (m_doc && param.post == m_doc->GetCurrentPost())
            ShowPostTitle(param.post);
        break;
    case HintFocusEditor:
        FocusBody();
        break;
    case HintSetDescription:
        SetBodyHtml(param.text, 2);
        break;
    case HintStorePostQuietly:
        StorePost(param.post, false);
        break;
    default:
        break;
    }
}

// A new post shows its own link and author; a fresh one without an author
// takes the one shown before it, as if typed in.
void CRSSEditView::onPostsInserted() {
    if (!m_doc)
        return;
    const QString previousAuthor = ShownChoice(kAuthorId);
    const int current = m_doc->GetCurrentPost();
    LoadPost(current);
    std::optional<CRssPost> post = m_doc->GetFeed().MakePost(current);
    if (post && post->GetAuthor().isEmpty() && !previousAuthor.isEmpty()) {
        AddChoice(kAuthorId, previousAuthor);
        if (post->SetAuthor(previousAuthor))
            m_doc->NotifyViews(this, HintLinkOrAuthorChanged, current);
    }
    ShowLinkPlaceholder();
}

// --- loading and storing a post ------------------------------------------------------

void CRSSEditView::LoadPost(int index) {
    if (!m_doc || index < 0 || index >= m_doc->GetPostCount())
        return;
    std::optional<CRssPost> post = m_doc->GetFeed().MakePost(index);
    if (!post)
        return;
    m_loadCall = m_surface->lastCallSent() + 1;
    ShowPostTitle(index);
    SetBodyHtml(post->GetDescription(), 2);
    // An empty link or author empties its field: the face never carries one
    // post's link or author over into another.
    const QString link = post->GetLink();
    if (link.isEmpty())
        sendChoice(kLinkId, u"setChoice"_s, QString());
    else
        AddChoice(kLinkId, link);
    const QString author = post->GetAuthor();
    if (author.isEmpty())
        sendChoice(kAuthorId, u"setChoice"_s, QString());
    else
        AddChoice(kAuthorId, author);
    UpdateLinkColor();
}

void CRSSEditView::StorePost(int index, bool onlyIfChanged) {
    if (onlyIfChanged && !m_bFaceChanged)
        return;
    if (!m_doc || index < 0)
        return;
    std::optional<CRssPost> post = m_doc->GetFeed().MakePost(index);
    if (post) {
        const QString text = CleanBodyHtml(SaveBodyHtml());
        if (post->SetDescription(text) && onlyIfChanged)
            m_doc->SetModifiedFlag(true);
    }
    StoreChoice(kAuthorId);
    StoreChoice(kLinkId);
}

void CRSSEditView::SetBodyHtml(const QString& html, int mode) {
    m_pendingBody = html;
    const int seq = ++m_bodySeq;
    m_surface->callMethod(kBody, u"setBody"_s, {HtmlValue(html), HtmlValue(mode == 1)},
                          [this, seq](const HtmlValue&) {
                              if (seq == m_bodySeq)
                                  m_pendingBody.reset();
                          });
    if (mode == 1)
        m_bFaceChanged = true;
    else if (mode == 2)
        m_bFaceChanged = false;
}

QString CRSSEditView::SaveBodyHtml() const {
    // A body sent to the page counts as shown, even before the page has it.
    if (m_pendingBody)
        return u"<html><body>"_s + *m_pendingBody + u"</body></html>"_s;
    const HtmlValue html = richState(u"html"_s);
    return html.isString() ? html.toText() : QString();
}

void CRSSEditView::PushBody() {
    if (m_doc)
        m_doc->NotifyViews(this, HintSetDescription, HintParam(CleanBodyHtml(SaveBodyHtml())));
}

void CRSSEditView::FocusBody() {
    m_surface->callMethod(kBody, u"focusBody"_s);
    if (!m_surface->hasFocus())
        m_surface->setFocus(Qt::OtherFocusReason);
}

void CRSSEditView::ShowPostTitle(int index) {
    if (!m_doc)
        return;
    std::optional<CRssPost> post = m_doc->GetFeed().MakePost(index);
    if (post)
        m_surface->element(u"#"_s + kTitleId).setText(post->GetTitle());
}

void CRSSEditView::StoreTitle() {
    if (!m_doc)
        return;
    QString html = m_surface->findById(kTitleId).html();
    // An emptied line keeps a lone line break the reader should not see.
    if (html == "<br>"_L1)
        html.clear();
    const int current = m_doc->GetCurrentPost();
    std::optional<CRssPost> post = m_doc->GetFeed().MakePost(current);
    if (post)
        post->SetTitle(html);
    m_doc->NotifyViews(this, HintTitleChanged, current);
}

QString CRSSEditView::ShownChoice(const QString& id) const {
    const auto pending = m_pendingChoice.constFind(id);
    if (pending != m_pendingChoice.cend())
        return *pending;
    return m_surface->findById(id).controlValue().toText();
}

void CRSSEditView::StoreChoice(const QString& id) {
    if (!m_doc || (id != kLinkId && id != kAuthorId))
        return;
    QString text = ShownChoice(id);
    // The placeholder is only ever shown, never stored.
    if (id == kLinkId && text.compare(kLinkPlaceholder, Qt::CaseInsensitive) == 0)
        text.clear();
    std::optional<CRssPost> post = m_doc->GetFeed().MakePost(m_doc->GetCurrentPost());
    if (!post)
        return;
    // Writing a link renews the guid and every write touches the date: an
    // unchanged field is left alone.
    if (id == kLinkId) {
        if (post->GetLink() != text)
            post->SetLink(text);
    } else if (post->GetAuthor() != text) {
        post->SetAuthor(text);
    }
}

void CRSSEditView::sendChoice(const QString& id, const QString& method, const QString& text) {
    m_pendingChoice.insert(id, text);
    const int seq = ++m_choiceSeq[id];
    m_surface->callMethod(u"#"_s + id, method, {HtmlValue(text)},
                          [this, id, seq](const HtmlValue&) {
                              if (m_choiceSeq.value(id) == seq)
                                  m_pendingChoice.remove(id);
                          });
}

void CRSSEditView::AddChoice(const QString& id, const QString& text) {
    if (text.isEmpty())
        return;
    sendChoice(id, u"addChoice"_s, text);
}

void CRSSEditView::FillLinkChoices() {
    if (!m_doc)
        return;
    for (const QString& link : m_doc->GetFeed().GetAllLinks())
        AddChoice(kLinkId, link);
}

void CRSSEditView::ShowLinkPlaceholder() {
    if (ShownChoice(kLinkId).isEmpty())
        sendChoice(kLinkId, u"setChoice"_s, QString());
    UpdateLinkColor();
}

void CRSSEditView::UpdateLinkColor() {
    const bool isPlaceholder =
        ShownChoice(kLinkId).compare(kLinkPlaceholder, Qt::CaseInsensitive) == 0;
    m_surface->element(u"#select_link input"_s)
        .setStyle(u"color"_s, isPlaceholder ? u"#ff0000"_s : QString());
}

// --- events of the face ----------------------------------------------------------------

void CRSSEditView::onHtmlEvent(const HtmlEvent& event) {
    // Keys typed just before another post was chosen can reach us after it was
    // loaded; they belong to the post shown before and must not land in this one.
    if ((event.code == HTML_EDIT_VALUE_CHANGED || event.code == HTML_SELECT_SELECTION_CHANGED) &&
        m_surface->lastCallAnswered() < m_loadCall)
        return;
    switch (event.code) {
    case HTML_BUTTON_CLICK: {
        const QString id = event.id.toLower();
        if (id == "tb_strikeout"_L1)
            ToggleSpan(u"s"_s);
        else if (id == "tb_hyperlink"_L1)
            emit commandRequested(32780);
        else if (id == "tb_image"_L1)
            emit commandRequested(32781);
        break;
    }
    case HTML_EDIT_VALUE_CHANGED:
        if (m_doc && (event.id == kTitleId || event.id == kBodyId))
            m_doc->SetModifiedFlag(true);
        if (event.id == kTitleId)
            StoreTitle();
        else if (event.id == kBodyId)
            PushBody();
        m_bFaceChanged = true;
        break;
    case HTML_SELECT_SELECTION_CHANGED:
        if (event.id == kLinkId || event.id == kAuthorId) {
            // The user's choice is newer than anything the view sent before it.
            m_pendingChoice.remove(event.id);
            ++m_choiceSeq[event.id];
        }
        StoreChoice(event.id);
        if (m_doc)
            m_doc->NotifyViews(this, HintLinkOrAuthorChanged, m_doc->GetCurrentPost());
        m_bFaceChanged = true;
        if (m_doc)
            m_doc->SetModifiedFlag(true);
        break;
    case HTML_UI_STATE_CHANGED: {
        RefreshCurrentStyle();
        QString status = kReady;
        QMap<QString, QString> attributes;
        const int link = FindCurrentObject(u"a"_s);
        if (link >= 0 && GetCurrentObjectAttributes(link, attributes)) {
            const QString href = attributes.value(u"href"_s);
            if (!href.isEmpty())
                status = href;
        }
        setStatusText(status);
        UpdateToolbarStates();
        updateActions();
        break;
    }
    default:
        break;
    }
}

void CRSSEditView::setStatusText(const QString& text) {
    if (text == m_statusText)
        return;
    m_statusText = text;
    emit statusTextChanged(text);
}
