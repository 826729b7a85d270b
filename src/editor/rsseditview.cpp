#include "editor/rsseditview.h"

#include "document/rsseditdoc.h"
#include "feed/rssfeed.h"
#include "feed/rsspost.h"
#include "html/htmltransforms.h"
#include "htmlui/htmlsurface.h"
#include "platform/commandids.h"
#include "propsui/postpropertiespane.h"

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
// Typing pauses this long before the body is stored for the other windows.
constexpr int kStoreQuietMs = 500;
// How long a save or a switch waits for the page before going on without it.
constexpr int kPageWaitMs = 10000;
// The least height at which the face shows every row, with a few lines of body.
constexpr int kFaceMinHeight = 300;
// The posts whose numbers are remembered for late edits.
constexpr qsizetype kShownKept = 16;

} // namespace

CRSSEditView::CRSSEditView(CRSSEditDoc* doc, QWidget* parent) : QWidget(parent), m_doc(doc) {
    setFocusPolicy(Qt::StrongFocus);
    m_surface = new HtmlSurface(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_surface, 1);
    // The face lays out its title, toolbar, body, link and author within its
    // height and does not scroll: below this the author row is cut off, so
    // the post properties pane (and the preview beside) give way instead.
    m_surface->setMinimumHeight(kFaceMinHeight);
    m_properties = new PostPropertiesPane(doc, this, this);
    layout->addWidget(m_properties);
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
    m_storeTimer.setSingleShot(true);
    m_storeTimer.setInterval(kStoreQuietMs);
    connect(&m_storeTimer, &QTimer::timeout, this, [this] {
        m_surface->callMethod(kBody, u"take"_s, {HtmlValue(0)},
                              [this](const HtmlValue& answer) { storeTaken(answer); });
    });
    createActions();
    // The engine would take Ctrl+K as "delete to the end of the line" and
    // wipe the selection the link is meant for; these keys are the commands'.
    QList<QKeySequence> taken;
    for (const int id : {ID_INSERT_HYPERLINK, ID_INSERT_IMAGE})
        taken += action(id)->shortcuts();
    m_surface->setTakenKeys(taken);
    connect(m_surface, &HtmlSurface::keyTaken, this, [this](const QKeySequence& key) {
        for (const int id : {ID_INSERT_HYPERLINK, ID_INSERT_IMAGE}) {
            if (action(id)->shortcuts().contains(key))
                emit commandRequested(id);
        }
    });
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
    // Nothing can be typed until a post is shown: it would belong to none.
    updateEditable();
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

void CRSSEditView::setReadOnly(bool readOnly) {
    m_readOnly = readOnly;
    m_properties->setReadOnlyFeed(readOnly);
    updateEditable();
}

void CRSSEditView::updateEditable() {
    m_surface->callMethod(kBody, u"setEditable"_s, {HtmlValue(!m_readOnly && m_serial != 0)});
}

// --- which post an edit belongs to ---------------------------------------------------

int CRSSEditView::postOf(qint64 serial) const {
    if (!m_doc)
        return -1;
    const auto it = m_shown.find(serial);
    if (it == m_shown.end())
        return -1;
    it->index = m_doc->FindPost(it->item, it->index);
    return it->index;
}

int CRSSEditView::ShownPost() const {
    return postOf(m_serial);
}

void CRSSEditView::forgetPosts(bool all) {
    // A removed item's memory may be reused by the next node the tree makes,
    // so the check runs at once, before anything else changes the tree.
    for (auto it = m_shown.begin(); it != m_shown.end();) {
        if (all || !m_doc || m_doc->FindPost(it->item, it->index) < 0)
            it = m_shown.erase(it);
        else
            ++it;
    }
    if (!m_shown.contains(m_serial)) {
        m_serial = 0;
        updateEditable();
    }
}

// --- notifications ---------------------------------------------------------------

void CRSSEditView::OnUpdate(DocumentListener* sender, DocHint hint, const HintParam& param) {
    if (hint == HintFeedLoaded) {
        forgetPosts(true);
        // The tree the pane's post lived in is gone: its pending edit with it.
        m_properties->forgetPost();
    } else if (hint == HintPostDeleted || hint == HintPostsInserted) {
        forgetPosts(false);
    }
    if (hint == HintPostDeleted && m_properties->shownPost() < 0)
        m_properties->forgetPost();
    // Another window may have renewed the post's date or guid.
    if (hint == HintTitleChanged || hint == HintLinkOrAuthorChanged || hint == HintSetDescription)
        m_properties->refresh();
    if (sender == this)
        return;
    switch (hint) {
    case HintSelectPost:
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
        if (param.post >= 0 && param.post == ShownPost())
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
    m_storeTimer.stop();
    m_properties->showPost(index);
    m_serial = ++m_lastSerial;
    m_shown.insert(m_serial, {m_doc->GetFeed().GetItemNode(index), index});
    m_shown.remove(m_serial - kShownKept);
    // The page answers with the body it replaces when that held edits it had
    // not handed over yet: they belong to the post shown before.
    m_surface->callMethod(
        kBody, u"load"_s,
        {HtmlValue(m_serial), HtmlValue(post->GetDescription()), HtmlValue(post->GetTitle())},
        [this](const HtmlValue& answer) {
            const HtmlValue replaced = answer.value(u"replaced"_s);
            if (replaced.isMap())
                storeTaken(replaced);
        });
    m_bFaceChanged = false;
    updateEditable();
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

bool CRSSEditView::SyncWithPage() {
    if (!m_surface->isLoaded())
        return false;
    m_storeTimer.stop();
    const HtmlValue answer = m_surface->callMethodAndWait(
        kBody, u"take"_s, {HtmlValue(m_surface->keysDelivered())}, kPageWaitMs);
    if (!answer.isMap())
        return false;
    storeTaken(answer);
    return true;
}

void CRSSEditView::storeTaken(const HtmlValue& answer) {
    const HtmlValue html = answer.value(u"html"_s);
    if (html.isString())
        storeBody(answer.value(u"serial"_s).toInt(), html.toText());
}

void CRSSEditView::storeBody(qint64 serial, const QString& html) {
    const int index = postOf(serial);
    if (index < 0)
        return;
    const QString text = CleanBodyHtml(html);
    // The post on show goes through the document, which tells the preview.
    if (serial == m_serial && index == m_doc->GetCurrentPost()) {
        m_doc->NotifyViews(this, HintSetDescription, HintParam(text));
        m_properties->refresh();
        return;
    }
    if (m_doc->GetFeed().SetDescription(index, text))
        m_doc->SetModifiedFlag(true);
}

void CRSSEditView::StorePost(int index, bool onlyIfChanged) {
    // The pane's edits go to the post they were made in, whichever is current.
    m_properties->flush();
    SyncWithPage();
    if (onlyIfChanged && !m_bFaceChanged)
        return;
    if (!m_doc || index < 0)
        return;
    const int shown = ShownPost();
    std::optional<CRssPost> post = m_doc->GetFeed().MakePost(shown);
    if (!post)
        return;
    // The body as the page last handed it over, now with a fresh footer. A body
    // that already has it is left alone: storing it again would renew the
    // post's date and mark a feed modified that nobody changed.
    const QString body = post->GetDescription();
    const DescriptionFilter& filter = GetDescriptionFilter();
    if ((filter ? filter(body, 0) : body) != body && post->SetDescription(body) && onlyIfChanged)
        m_doc->SetModifiedFlag(true);
    StoreChoice(kAuthorId);
    StoreChoice(kLinkId);
}

void CRSSEditView::SetBodyHtml(const QString& html, int mode) {
    m_storeTimer.stop();
    m_surface->callMethod(kBody, u"setBody"_s, {HtmlValue(html), HtmlValue(mode == 1)});
    if (mode == 1)
        m_bFaceChanged = true;
    else if (mode == 2)
        m_bFaceChanged = false;
}

QString CRSSEditView::SaveBodyHtml() const {
    const HtmlValue html = m_surface->callMethodAndWait(kBody, u"saveHTML"_s, {}, kPageWaitMs);
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

// The title is plain text, stored exactly as it is shown.
void CRSSEditView::storeTitle(qint64 serial, const QString& text) {
    const int index = postOf(serial);
    if (index < 0)
        return;
    std::optional<CRssPost> post = m_doc->GetFeed().MakePost(index);
    if (post && post->GetTitle() != text)
        post->SetTitle(text);
    m_properties->refresh();
    m_doc->NotifyViews(this, HintTitleChanged, index);
}

void CRSSEditView::bodyChanged(qint64 serial) {
    if (postOf(serial) < 0)
        return;
    // Edits of a post left before the page heard of it come back with the
    // page's answer to the next load; only the post on show waits for a pause.
    if (serial == m_serial)
        m_storeTimer.start();
}

QString CRSSEditView::ShownChoice(const QString& id) const {
    const auto pending = m_pendingChoice.constFind(id);
    if (pending != m_pendingChoice.cend())
        return *pending;
    return m_surface->findById(id).controlValue().toText();
}

void CRSSEditView::StoreChoice(const QString& id) {
    storeChoiceText(id, m_serial, ShownChoice(id));
}

void CRSSEditView::storeChoiceText(const QString& id, qint64 serial, const QString& shown) {
    if (!m_doc || (id != kLinkId && id != kAuthorId))
        return;
    QString text = shown;
    // The placeholder is only ever shown, never stored.
    if (id == kLinkId && text.compare(kLinkPlaceholder, Qt::CaseInsensitive) == 0)
        text.clear();
    std::optional<CRssPost> post = m_doc->GetFeed().MakePost(postOf(serial));
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
    // Its date (and, for a link, its guid) may be new.
    m_properties->refresh();
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
    QSet<QString>& offered = m_offeredSet[id];
    if (!offered.contains(text)) {
        offered.insert(text);
        m_offered[id].append(text);
    }
    sendChoice(id, u"addChoice"_s, text);
}

QStringList CRSSEditView::Choices(const QString& id) const {
    const QStringList offered = m_offered.value(id);
    if (id != kLinkId || !m_doc)
        return offered;
    const QStringList links = m_doc->GetFeed().GetAllLinks();
    const QSet<QString> inFeed(links.cbegin(), links.cend());
    QStringList list;
    for (const QString& text : offered) {
        if (!inFeed.contains(text))
            list.append(text);
    }
    return list + links;
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
    switch (event.code) {
    case HTML_BUTTON_CLICK: {
        const QString id = event.id.toLower();
        if (id == "tb_strikeout"_L1)
            ToggleSpan(u"s"_s);
        else if (id == "tb_hyperlink"_L1 || id == "tb_image"_L1)
            // The command opens a dialog that talks with this page: it runs
            // once the page's message that brought the click is done with.
            QMetaObject::invokeMethod(
                this,
                [this, id] {
                    emit commandRequested(id == "tb_image"_L1 ? ID_INSERT_IMAGE
                                                              : ID_INSERT_HYPERLINK);
                },
                Qt::QueuedConnection);
        break;
    }
    case HTML_EDIT_VALUE_CHANGED:
        if (event.id != kTitleId && event.id != kBodyId)
            break;
        if (m_doc && postOf(event.context) >= 0 && !m_doc->IsModified())
            m_doc->SetModifiedFlag(true);
        if (event.id == kTitleId)
            storeTitle(event.context, event.value.toText());
        else
            bodyChanged(event.context);
        if (event.context == m_serial)
            m_bFaceChanged = true;
        break;
    case HTML_SELECT_SELECTION_CHANGED:
        if (event.id == kLinkId || event.id == kAuthorId) {
            // The user's choice is newer than anything the view sent before it.
            m_pendingChoice.remove(event.id);
            ++m_choiceSeq[event.id];
            storeChoiceText(event.id, event.context, event.value.toText());
        }
        if (m_doc && postOf(event.context) >= 0) {
            m_doc->NotifyViews(this, HintLinkOrAuthorChanged, postOf(event.context));
            m_doc->SetModifiedFlag(true);
        }
        if (event.context == m_serial)
            m_bFaceChanged = true;
        break;
    case HTML_POPUP_REQUEST:
        if (event.id == kLinkId || event.id == kAuthorId) {
            QStringList list = Choices(event.id);
            HtmlValue::Array texts;
            texts.reserve(list.size());
            for (QString& text : list)
                texts.append(HtmlValue(std::move(text)));
            m_surface->callMethod(u"#"_s + event.id, u"setChoices"_s, {HtmlValue(texts)});
        }
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
