// HtmlSurface: one web page from our Qt resources inside a widget, with the
// binding the rest of the program uses to read and write it.
//
// Start-up (main() and every GUI test):
//     #include "htmlui/htmlsurface.h"
//     PrepareHtmlUi();               // before the QApplication exists
//     QApplication app(argc, argv);
//     InitHtmlUiResources();         // qrc:/htmlui/... (binding.js, dialogs, styles)
//
// A page loads qrc:///qtwebchannel/qwebchannel.js and qrc:/htmlui/binding.js
// (then its behaviour scripts), and carries the meta tag
// <meta http-equiv="Content-Security-Policy" content="%PAGE_CSP%">, which the
// surface fills with HTMLUI_PAGE_CSP when it loads the page;
// res/htmlui/binding.js documents the page side. Calls into the page are
// asynchronous and run in order; everything read synchronously comes from the
// snapshot the page pushes with every change and before every event. flush()
// waits until the page has answered every call made so far (it runs a nested
// event loop, as does waitUntilLoaded; keys and mouse input reach the page on
// another channel, so tests wait for their effect with QTRY_* on the snapshot).
#pragma once

#include "htmlui/htmlelement.h"
#include "htmlui/htmlvalue.h"
#include "htmlui/namedvalues.h"

#include <QHash>
#include <QJsonObject>
#include <QKeySequence>
#include <QList>
#include <QSize>
#include <QUrl>
#include <QWidget>

#include <functional>

class QWebEngineView;
class QWebEnginePage;
class HtmlBridge;
class HtmlPage;

// Sets what Qt WebEngine needs before the QApplication is constructed.
void PrepareHtmlUi();
// Registers the pages, scripts and style sheets of qrc:/htmlui/.
void InitHtmlUiResources();

// The Content-Security-Policy of every page of the program: scripts only
// from our resources (so nothing inline, nothing in a post, ever runs), no
// frames loading anything, no <base> re-basing a page, no form sending
// anything anywhere.
#define HTMLUI_PAGE_CSP                                                                            \
    "default-src 'none'; script-src qrc:; style-src qrc: 'unsafe-inline'; img-src * data: qrc:; "  \
    "media-src *; frame-src 'none'; object-src 'none'; base-uri 'none'; form-action 'none'"
// What a page writes where the policy goes.
#define HTMLUI_PAGE_CSP_PLACEHOLDER "%PAGE_CSP%"

// Event codes a page raises; the first five are the ones handlers act on.
enum HtmlEventCode : int {
    HTML_BUTTON_CLICK = 0,
    HTML_BUTTON_STATE_CHANGED = 1,
    HTML_EDIT_VALUE_CHANGED = 4,
    HTML_SELECT_SELECTION_CHANGED = 5,
    // A drop-down is about to open and wants its choices.
    HTML_POPUP_REQUEST = 7,
    HTML_UI_STATE_CHANGED = 149,
    HTML_HYPERLINK_CLICK = 32896,
};

struct HtmlEvent {
    int code = 0;
    // The element the event concerns (id, "name", lower-case tag, control type).
    QString id;
    QString name;
    QString tag;
    int controlType = 0;
    // The element's attributes when the event was raised.
    HtmlValue::Map attributes;
    // The control's value, or what a behaviour attached (e.g. status text for 149).
    HtmlValue value;
    // A hyperlink's target, resolved against the page.
    QUrl url;
    // The behaviour that raised the event, empty for the binding's own.
    QString behaviour;
    // What the page was showing when it raised the event (orvan.context).
    qint64 context = 0;
};

class HtmlSurface : public QWidget {
    Q_OBJECT
public:
    using ResultHandler = std::function<void(const HtmlValue&)>;

    explicit HtmlSurface(QWidget* parent = nullptr);
    ~HtmlSurface() override;

    // Loads one of our pages, e.g. QUrl(u"qrc:/htmlui/newfeed.html"_s); false
    // when the resource does not exist (nothing is loaded then).
    bool loadPage(const QUrl& url);
    // Loads page bytes as if they lived at baseUrl (a qrc: folder or file).
    void loadHtml(const QByteArray& html, const QUrl& baseUrl);
    // The page has loaded and its binding has published the first snapshot.
    bool isLoaded() const { return m_ready; }
    // Processes events until the page is loaded (true) or failed to load.
    bool waitUntilLoaded();
    // Processes events until the page has handled every call sent so far.
    void flush();
    // Key presses handed to the page since it was loaded (shortcuts the
    // program took are not among them).
    qint64 keysDelivered() const { return m_keysDelivered; }
    // Keys the page never sees, whatever it would do with them: each press
    // emits keyTaken instead, and no shortcut of a window takes it either.
    void setTakenKeys(const QList<QKeySequence>& keys) { m_takenKeys = keys; }
    // Calls a method and waits for its answer, processing events but no user
    // input (keys typed meanwhile reach the page afterwards, in order). The
    // answer, or undefined when the page went away or timeoutMs passed.
    HtmlValue callMethodAndWait(const QString& selector, const QString& method,
                                const HtmlValue::Array& args, int timeoutMs);
    // Calls are numbered from 1 in the order sent. While an event is handled,
    // lastCallAnswered() is the last call the page had handled when it raised it.
    qint64 lastCallSent() const { return m_nextSeq - 1; }
    qint64 lastCallAnswered() const { return m_ackSeq; }

    QWebEngineView* view() const { return m_view; }
    QWebEnginePage* page() const;

    // --- read from the snapshot (synchronous) ---
    QString title() const;
    // The page's content size in CSS pixels (width without wrapping, height at
    // it) as of the last measureContent() the page has answered.
    QSize contentSize() const;
    // Id of the element with the keyboard focus; empty when none or no id.
    QString focusedId() const;
    // Every named control, the first element of a name winning; false when none.
    bool getValues(NamedValues& values) const;
    // The value getValues would give the name; undefined when there is none.
    HtmlValue namedValue(const QString& name) const;
    // The state a page behaviour last published (a map), undefined if none.
    HtmlValue snapshot(const QString& behaviour) const;
    // What the page publishes about every element that has an id.
    HtmlElement findById(const QString& id) const;
    // True when the element has no option list or one of its options' values
    // equals the text exactly.
    bool hasOptionValue(const QString& id, const QString& value) const;

    // --- calls into the page (asynchronous, in order) ---
    // Writes each value into the first control of its name; false when the
    // snapshot knows none of the names as a control.
    bool setValues(const NamedValues& values);
    // Any element, by CSS selector; calls through it reach the first match.
    HtmlElement element(const QString& selector) const;
    // Calls a named method of the element's behaviour; the answer (undefined
    // without element, behaviour or method) goes to done.
    void callMethod(const QString& selector, const QString& method,
                    const HtmlValue::Array& args = {}, ResultHandler done = {});
    // Asks the page to measure its content (it forces a layout; not for pages
    // being edited).
    void measureContent();
    // Gives every table the border width.
    void setTableBorders(int width);
    // Sends one raw call; element operations and the above are built on it.
    void sendCall(const QString& op, const QString& selector, const HtmlValue::Array& args = {},
                  ResultHandler done = {});

    // The page text with the program's policy written in.
    static QByteArray withPolicy(QByteArray html);

signals:
    void loaded(bool ok);
    // A page behaviour published new state; empty name: the page's own part.
    void snapshotChanged(const QString& behaviour);
    // A key of setTakenKeys was pressed while the page had the keyboard.
    void keyTaken(const QKeySequence& key);
    // Every event, after handleEvent has seen it.
    void htmlEvent(const HtmlEvent& event);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Events raised by the page; true stops the default handling (a hyperlink
    // click otherwise opens the link in the desktop browser).
    virtual bool handleEvent(const HtmlEvent& event);
    // The main mouse button went down on plain page content (not a control).
    virtual void handleBackgroundPress() {}
    // The page has loaded and published (ok) or failed to load.
    virtual void handleLoaded(bool ok) { Q_UNUSED(ok) }
    // Where links leave the program; tests override it to watch.
    virtual void openExternalUrl(const QUrl& url);

private:
    friend class HtmlPage;
    friend class HtmlElement;
    void beginLoad();
    void onLoadFinished(bool ok);
    void onPosted(const QString& json);
    void deliver(const QJsonObject& call);
    void applyState(const QJsonObject& state);
    void dispatchEvent(const QJsonObject& event);
    void routeLink(const QUrl& url);
    HtmlValue elementField(const QString& id, const QString& field) const;

    QWebEngineView* m_view = nullptr;
    HtmlPage* m_page = nullptr;
    HtmlBridge* m_bridge = nullptr;
    bool m_ready = false;
    bool m_loadFailed = false;
    // Calls wait here until the page's binding is ready for them.
    QList<QJsonObject> m_pending;
    qint64 m_nextSeq = 1;
    qint64 m_ackSeq = 0;
    QHash<qint64, ResultHandler> m_handlers;
    QJsonObject m_state;
    QHash<QString, HtmlValue> m_behaviourState;
    // Bumped on every load so late answers of an old page are dropped.
    int m_generation = 0;
    qint64 m_keysDelivered = 0;
    QList<QKeySequence> m_takenKeys;
};
