#include "htmlui/htmlsurface.h"

#include "htmlui/htmlbridge.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QKeyEvent>
#include <QPointer>
#include <QTimer>

#include <QVBoxLayout>
#include <QWebChannel>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <memory>

using namespace Qt::StringLiterals;

static void initHtmlUiQrc() {
    Q_INIT_RESOURCE(htmlui);
}

void InitHtmlUiResources() {
    initHtmlUiQrc();
}

void PrepareHtmlUi() {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // Every page is one of the program's own and no post ever runs a script,
    // so all pages can live in one renderer process: each further renderer
    // would hold another 10 MB or more beside a large feed.
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (!flags.contains("--renderer-process-limit")) {
        flags += flags.isEmpty() ? "" : " ";
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags + "--renderer-process-limit=1");
    }
}

namespace {

// One profile for every surface: kept in memory only, nothing on disk.
QWebEngineProfile* sharedProfile() {
    static QWebEngineProfile* profile = [] {
        auto* p = new QWebEngineProfile(QCoreApplication::instance());
        p->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
        p->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
        return p;
    }();
    return profile;
}

bool isExternalScheme(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return scheme == "http"_L1 || scheme == "https"_L1 || scheme == "mailto"_L1 ||
           scheme == "ftp"_L1;
}

} // namespace

// Refuses every navigation but the loads the surface itself starts, and
// every new window.
class HtmlPage final : public QWebEnginePage {
public:
    HtmlPage(HtmlSurface* surface) : QWebEnginePage(sharedProfile(), surface), m_surface(surface) {}

    bool m_allowLoad = false;

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
        if (isMainFrame && m_allowLoad && type != NavigationTypeLinkClicked) {
            m_allowLoad = false;
            return true;
        }
        if (type == NavigationTypeLinkClicked && isExternalScheme(url))
            m_surface->routeLink(url);
        return false;
    }

    QWebEnginePage* createWindow(WebWindowType) override { return nullptr; }

    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                  int line, const QString& source) override {
        if (level == ErrorMessageLevel)
            qWarning("page %s:%d: %s", qPrintable(source), line, qPrintable(message));
    }

private:
    HtmlSurface* m_surface;
};

HtmlSurface::HtmlSurface(QWidget* parent) : QWidget(parent) {
    m_view = new QWebEngineView(this);
    m_page = new HtmlPage(this);
    QWebEngineSettings* s = m_page->settings();
    s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    s->setAttribute(QWebEngineSettings::FocusOnNavigationEnabled, true);
    m_view->setPage(m_page);
    m_bridge = new HtmlBridge(this);
    auto* channel = new QWebChannel(this);
    channel->registerObject(u"htmlBridge"_s, m_bridge);
    m_page->setWebChannel(channel);
    connect(m_bridge, &HtmlBridge::posted, this, &HtmlSurface::onPosted);
    connect(m_page, &QWebEnginePage::loadFinished, this, &HtmlSurface::onLoadFinished);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    setFocusProxy(m_view);
    // The widget that takes the page's keys is made (and may be remade) by
    // the engine; every child of the view is watched for key presses.
    m_view->installEventFilter(this);
    for (QObject* child : m_view->children())
        child->installEventFilter(this);
}

bool HtmlSurface::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_view) {
        if (event->type() == QEvent::ChildAdded)
            static_cast<QChildEvent*>(event)->child()->installEventFilter(this);
    } else if ((event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) &&
               watched->isWidgetType() && watched == m_view->focusProxy()) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const QKeySequence pressed(key->keyCombination());
        if (m_takenKeys.contains(pressed)) {
            // Accepting the override keeps the press away from the windows'
            // shortcuts, so it arrives here and goes no further.
            if (event->type() == QEvent::ShortcutOverride)
                event->accept();
            else
                emit keyTaken(pressed);
            return true;
        }
        if (event->type() == QEvent::KeyPress)
            ++m_keysDelivered;
    }
    return QWidget::eventFilter(watched, event);
}

HtmlSurface::~HtmlSurface() {
    // The page must go before the view that shows it.
    m_view->setPage(nullptr);
    delete m_page;
    m_page = nullptr;
}

QWebEnginePage* HtmlSurface::page() const {
    return m_page;
}

void HtmlSurface::beginLoad() {
    ++m_generation;
    m_ready = false;
    m_loadFailed = false;
    m_state = {};
    m_behaviourState.clear();
    m_handlers.clear();
    m_pending.clear();
    m_ackSeq = m_nextSeq - 1;
    m_keysDelivered = 0;
    m_bridge->setGeneration(m_generation);
    m_page->m_allowLoad = true;
}

QByteArray HtmlSurface::withPolicy(QByteArray html) {
    return html.replace(HTMLUI_PAGE_CSP_PLACEHOLDER, HTMLUI_PAGE_CSP);
}

bool HtmlSurface::loadPage(const QUrl& url) {
    const QString path = url.scheme() == "qrc"_L1 ? u":"_s + url.path() : QString();
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return false;
    // The page is handed over as text so its policy can be written in; it
    // keeps its own address for everything it refers to.
    loadHtml(file.readAll(), url);
    return true;
}

void HtmlSurface::loadHtml(const QByteArray& html, const QUrl& baseUrl) {
    beginLoad();
    m_page->setContent(withPolicy(html), u"text/html;charset=UTF-8"_s, baseUrl);
}

void HtmlSurface::onLoadFinished(bool ok) {
    m_page->m_allowLoad = false;
    if (ok || m_ready)
        return;
    m_loadFailed = true;
    handleLoaded(false);
    emit loaded(false);
}

bool HtmlSurface::waitUntilLoaded() {
    if (m_ready || m_loadFailed)
        return m_ready;
    QEventLoop loop;
    const auto c = connect(this, &HtmlSurface::loaded, &loop, &QEventLoop::quit);
    if (!m_ready && !m_loadFailed)
        loop.exec();
    disconnect(c);
    return m_ready;
}

void HtmlSurface::flush() {
    if (!waitUntilLoaded())
        return;
    const int generation = m_generation;
    const qint64 seq = m_nextSeq;
    sendCall(u"ping"_s, {});
    QEventLoop loop;
    const auto c = connect(this, &HtmlSurface::snapshotChanged, &loop, [&] {
        if (m_ackSeq >= seq || generation != m_generation)
            loop.quit();
    });
    const auto f = connect(this, &HtmlSurface::loaded, &loop, &QEventLoop::quit);
    if (m_ackSeq < seq)
        loop.exec();
    disconnect(c);
    disconnect(f);
}

HtmlValue HtmlSurface::callMethodAndWait(const QString& selector, const QString& method,
                                         const HtmlValue::Array& args, int timeoutMs) {
    if (!waitUntilLoaded())
        return {};
    // The answer may come after this call gave up waiting; it must find
    // something alive to write to.
    struct Wait {
        HtmlValue answer;
        bool answered = false;
        QPointer<QEventLoop> loop;
    };
    const auto wait = std::make_shared<Wait>();
    QEventLoop loop;
    wait->loop = &loop;
    const int generation = m_generation;
    callMethod(selector, method, args, [wait](const HtmlValue& value) {
        wait->answer = value;
        wait->answered = true;
        if (wait->loop)
            wait->loop->quit();
    });
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    const auto reload = connect(this, &HtmlSurface::loaded, &loop, &QEventLoop::quit);
    const auto gone =
        connect(m_page, &QWebEnginePage::renderProcessTerminated, &loop, [&loop] { loop.quit(); });
    timer.start(timeoutMs);
    if (!wait->answered)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    wait->loop = nullptr;
    disconnect(reload);
    disconnect(gone);
    if (!wait->answered || generation != m_generation) {
        qWarning("page did not answer %s in time", qPrintable(method));
        return {};
    }
    return wait->answer;
}

void HtmlSurface::sendCall(const QString& op, const QString& selector, const HtmlValue::Array& args,
                           ResultHandler done) {
    const qint64 seq = m_nextSeq++;
    if (done)
        m_handlers.insert(seq, std::move(done));
    QJsonObject call{{u"seq"_s, seq},
                     {u"op"_s, op},
                     {u"selector"_s, selector},
                     {u"args"_s, HtmlValue(args).toJson()}};
    if (m_ready)
        deliver(call);
    else
        m_pending.append(call);
}

void HtmlSurface::deliver(const QJsonObject& call) {
    emit m_bridge->deliver(QString::fromUtf8(QJsonDocument(call).toJson(QJsonDocument::Compact)));
}

void HtmlSurface::onPosted(const QString& json) {
    const int generation = m_generation;
    const QJsonObject message = QJsonDocument::fromJson(json.toUtf8()).object();
    if (message.value(u"generation"_s).toInt(-1) != m_generation)
        return;
    applyState(message.value(u"state"_s).toObject());
    const bool first = !m_ready;
    if (first) {
        m_ready = true;
        const QList<QJsonObject> pending = std::exchange(m_pending, {});
        for (const QJsonObject& call : pending)
            deliver(call);
    }
    const qint64 ack = message.value(u"seq"_s).toInteger();
    for (const QJsonValue& r : message.value(u"results"_s).toArray()) {
        const qint64 seq = r[u"seq"_s].toInteger();
        if (ResultHandler done = m_handlers.take(seq))
            done(HtmlValue::fromJson(r[u"value"_s]));
        if (generation != m_generation)
            return;
    }
    if (ack > m_ackSeq)
        m_ackSeq = ack;
    if (first) {
        handleLoaded(true);
        emit loaded(true);
    }
    if (generation != m_generation)
        return;
    emit snapshotChanged(QString());
    for (const QJsonValue& e : message.value(u"events"_s).toArray()) {
        dispatchEvent(e.toObject());
        if (generation != m_generation)
            return;
    }
}

void HtmlSurface::applyState(const QJsonObject& state) {
    const QJsonObject behaviours = state.value(u"behaviours"_s).toObject();
    m_state = state;
    m_state.remove(u"behaviours"_s);
    QStringList changed;
    for (auto it = behaviours.begin(); it != behaviours.end(); ++it) {
        const HtmlValue v = HtmlValue::fromJson(it.value());
        auto old = m_behaviourState.find(it.key());
        if (old == m_behaviourState.end() || *old != v) {
            m_behaviourState.insert(it.key(), v);
            changed.append(it.key());
        }
    }
    for (const QString& name : changed)
        emit snapshotChanged(name);
}

void HtmlSurface::dispatchEvent(const QJsonObject& e) {
    HtmlEvent event;
    event.code = e.value(u"code"_s).toInt();
    event.id = e.value(u"id"_s).toString();
    event.name = e.value(u"name"_s).toString();
    event.tag = e.value(u"tag"_s).toString();
    event.controlType = e.value(u"type"_s).toInt();
    event.attributes = HtmlValue::fromJson(e.value(u"attrs"_s)).toMap();
    event.value = HtmlValue::fromJson(e.value(u"value"_s));
    event.url = QUrl(e.value(u"url"_s).toString());
    event.behaviour = e.value(u"behaviour"_s).toString();
    event.context = e.value(u"context"_s).toInteger();
    if (event.code == -1) {
        handleBackgroundPress();
        return;
    }
    const bool handled = handleEvent(event);
    emit htmlEvent(event);
    if (!handled && event.code == HTML_HYPERLINK_CLICK && isExternalScheme(event.url))
        openExternalUrl(event.url);
}

bool HtmlSurface::handleEvent(const HtmlEvent& event) {
    Q_UNUSED(event)
    return false;
}

void HtmlSurface::routeLink(const QUrl& url) {
    openExternalUrl(url);
}

void HtmlSurface::openExternalUrl(const QUrl& url) {
    QDesktopServices::openUrl(url);
}

QString HtmlSurface::title() const {
    return m_state.value(u"title"_s).toString();
}

QSize HtmlSurface::contentSize() const {
    const QJsonObject size = m_state.value(u"size"_s).toObject();
    return QSize(size.value(u"w"_s).toInt(), size.value(u"h"_s).toInt());
}

QString HtmlSurface::focusedId() const {
    return m_state.value(u"focus"_s).toObject().value(u"id"_s).toString();
}

bool HtmlSurface::getValues(NamedValues& values) const {
    const QJsonObject named = m_state.value(u"values"_s).toObject();
    for (auto it = named.begin(); it != named.end(); ++it) {
        if (!values.contains(it.key()))
            values.insert(it.key(), HtmlValue::fromJson(it.value()));
    }
    return !values.isEmpty();
}

HtmlValue HtmlSurface::namedValue(const QString& name) const {
    const QJsonObject named = m_state.value(u"values"_s).toObject();
    return named.contains(name) ? HtmlValue::fromJson(named.value(name)) : HtmlValue();
}

HtmlValue HtmlSurface::snapshot(const QString& behaviour) const {
    return m_behaviourState.value(behaviour);
}

HtmlValue HtmlSurface::elementField(const QString& id, const QString& field) const {
    const QJsonObject element = m_state.value(u"elements"_s).toObject().value(id).toObject();
    if (field.isEmpty())
        return element.isEmpty() ? HtmlValue() : HtmlValue(true);
    return HtmlValue::fromJson(element.value(field));
}

HtmlElement HtmlSurface::findById(const QString& id) const {
    if (id.isEmpty() || !m_state.value(u"elements"_s).toObject().contains(id))
        return {};
    QString escaped;
    for (const QChar c : id) {
        if (!c.isLetterOrNumber() && c != u'_' && c != u'-')
            escaped += u'\\' + QString::number(c.unicode(), 16) + u' ';
        else
            escaped += c;
    }
    if (!escaped.isEmpty() && (escaped.front().isDigit()))
        escaped = u"\\3"_s + escaped.front() + u' ' + escaped.mid(1);
    return HtmlElement(const_cast<HtmlSurface*>(this), u'#' + escaped, id);
}

HtmlElement HtmlSurface::element(const QString& selector) const {
    return HtmlElement(const_cast<HtmlSurface*>(this), selector, QString());
}

bool HtmlSurface::hasOptionValue(const QString& id, const QString& value) const {
    const HtmlValue options = elementField(id, u"options"_s);
    if (!options.isArray())
        return true;
    for (const HtmlValue& option : options.toArray()) {
        if (option.toText() == value)
            return true;
    }
    return false;
}

bool HtmlSurface::setValues(const NamedValues& values) {
    const QJsonObject named = m_state.value(u"values"_s).toObject();
    bool any = false;
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        any = any || named.contains(it.key());
    sendCall(u"setValues"_s, {}, {HtmlValue(values)});
    return any;
}

void HtmlSurface::callMethod(const QString& selector, const QString& method,
                             const HtmlValue::Array& args, ResultHandler done) {
    HtmlValue::Array all{HtmlValue(method)};
    all.append(args);
    sendCall(u"callMethod"_s, selector, all, std::move(done));
}

void HtmlSurface::measureContent() {
    sendCall(u"measure"_s, {});
}

void HtmlSurface::setTableBorders(int width) {
    sendCall(u"setTableBorders"_s, {}, {HtmlValue(width)});
}
