#include "htmlui/htmlsurface.h"

#include <QApplication>
#include <QFile>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(HtmlValue)

namespace {

// Records events, background presses and what would have gone to the browser.
class WatchedSurface final : public HtmlSurface {
public:
    QList<QUrl> opened;
    QList<HtmlEvent> events;
    // The behaviour state seen when each event arrived.
    QList<HtmlValue> stateAtEvent;
    int presses = 0;
    bool swallow = false;

protected:
    bool handleEvent(const HtmlEvent& event) override {
        events.append(event);
        stateAtEvent.append(snapshot(u"counter"_s));
        return swallow;
    }
    void handleBackgroundPress() override { ++presses; }
    void openExternalUrl(const QUrl& url) override { opened.append(url); }
};

QUrl page(const char* name) {
    return QUrl(u"qrc:/testpages/"_s + QLatin1String(name));
}

void load(HtmlSurface& surface, const char* name) {
    QVERIFY(surface.loadPage(page(name)));
    QVERIFY(surface.waitUntilLoaded());
}

HtmlValue roundTrip(HtmlSurface& surface, const QString& selector, const QString& method,
                    const HtmlValue::Array& args = {}) {
    HtmlValue answer(u"no answer"_s);
    surface.callMethod(selector, method, args, [&](const HtmlValue& v) { answer = v; });
    surface.flush();
    return answer;
}

} // namespace

class TestHtmlSurface final : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void loadPage_missingResourceFails();
    void loadHtml_runsBindingFromBase();
    void getValues_readsByControlType_data();
    void getValues_readsByControlType();
    void setValues_groupRules_data();
    void setValues_groupRules();
    void setValues_writesOnlyFormControls();
    void callMethod_reachesBehaviour();
    void event_carriesStateItFollows();
    void controlEvents_reachHandler();
    void hasOptionValue_matchesExactly_data();
    void hasOptionValue_matchesExactly();
    void elementCalls_changePageAndSnapshot();
    void setTableBorders_setsEveryTable();
    void hostilePage_runsNoScript();
    void linkClick_goesToHookNotPage_data();
    void linkClick_goesToHookNotPage();
    void navigation_isRefused_data();
    void navigation_isRefused();
    void backgroundPress_onlyOnPlainContent();
};

void TestHtmlSurface::initTestCase() {
    InitHtmlUiResources();
    Q_INIT_RESOURCE(testpages);
}

void TestHtmlSurface::loadPage_missingResourceFails() {
    HtmlSurface surface;
    QVERIFY(!surface.loadPage(page("nothing.html")));
    QVERIFY(!surface.loadPage(QUrl(u"https://www.orvan.example/"_s)));
    QVERIFY(!surface.isLoaded());
}

void TestHtmlSurface::loadHtml_runsBindingFromBase() {
    HtmlSurface surface;
    QFile file(u":/testpages/controls.html"_s);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QByteArray html = file.readAll();
    html.replace("<title>Controls", "<title>From bytes");
    surface.loadHtml(html, page("controls.html"));
    QVERIFY(surface.waitUntilLoaded());
    QCOMPARE(surface.title(), u"From bytes"_s);
    QCOMPARE(surface.snapshot(u"counter"_s).value(u"attached"_s), HtmlValue(true));
    // A second load starts over: the old page's state is gone once the new one publishes.
    QVERIFY(surface.loadPage(page("buttons.html")));
    QVERIFY(!surface.isLoaded());
    QVERIFY(surface.waitUntilLoaded());
    QCOMPARE(surface.title(), u"Buttons"_s);
    QVERIFY(surface.snapshot(u"counter"_s).isUndefined());
}

void TestHtmlSurface::getValues_readsByControlType_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<HtmlValue>("value");
    QTest::newRow("radio group, none checked") << u"r"_s << HtmlValue();
    QTest::newRow("radio group index") << u"r2"_s << HtmlValue(1);
    QTest::newRow("single checkbox") << u"single"_s << HtmlValue(false);
    QTest::newRow("checkbox pair, second checked") << u"pair"_s << HtmlValue(2);
    QTest::newRow("first of a name wins") << u"twice"_s << HtmlValue(u"first"_s);
    QTest::newRow("hidden input") << u"secret"_s << HtmlValue(u"hidden value"_s);
    QTest::newRow("button value") << u"Apply"_s << HtmlValue(u"v"_s);
    QTest::newRow("HTML area") << u"area"_s << HtmlValue(u"<b>bold</b>"_s);
    QTest::newRow("select") << u"pick"_s << HtmlValue(u"a"_s);
    QTest::newRow("empty textarea") << u"notes"_s << HtmlValue(QString());
}

void TestHtmlSurface::getValues_readsByControlType() {
    QFETCH(QString, name);
    QFETCH(HtmlValue, value);
    HtmlSurface surface;
    load(surface, "controls.html");
    NamedValues values;
    QVERIFY(surface.getValues(values));
    QVERIFY(values.contains(name));
    QCOMPARE(values.value(name).type(), value.type());
    QVERIFY(values.value(name) == value);
    // Plain content with a name is no control.
    QVERIFY(!values.contains(u"plain"_s));
}

void TestHtmlSurface::setValues_groupRules_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<HtmlValue>("written");
    QTest::addColumn<HtmlValue>("read");
    QTest::newRow("radio index 5 of 3 changes nothing") << u"r"_s << HtmlValue(5) << HtmlValue();
    QTest::newRow("radio index 2") << u"r"_s << HtmlValue(2) << HtmlValue(2);
    QTest::newRow("radio non-integer picks 0") << u"r2"_s << HtmlValue(u"x"_s) << HtmlValue(0);
    QTest::newRow("single checkbox by truth") << u"single"_s << HtmlValue(true) << HtmlValue(true);
    QTest::newRow("checkbox mask") << u"pair"_s << HtmlValue(1) << HtmlValue(1);
    QTest::newRow("checkbox mask both") << u"pair"_s << HtmlValue(3) << HtmlValue(3);
    QTest::newRow("checkbox non-integer clears") << u"pair"_s << HtmlValue(u"3"_s) << HtmlValue(0);
    QTest::newRow("edit takes text") << u"notes"_s << HtmlValue(12) << HtmlValue(u"12"_s);
    QTest::newRow("HTML area takes HTML")
        << u"area"_s << HtmlValue(u"<i>x</i>"_s) << HtmlValue(u"<i>x</i>"_s);
    QTest::newRow("HTML area emptied") << u"area"_s << HtmlValue(QString()) << HtmlValue(QString());
}

void TestHtmlSurface::setValues_groupRules() {
    QFETCH(QString, name);
    QFETCH(HtmlValue, written);
    QFETCH(HtmlValue, read);
    HtmlSurface surface;
    load(surface, "controls.html");
    QVERIFY(surface.setValues({{name, written}}));
    surface.flush();
    QCOMPARE(surface.namedValue(name).type(), read.type());
    QVERIFY(surface.namedValue(name) == read);
}

void TestHtmlSurface::setValues_writesOnlyFormControls() {
    HtmlSurface surface;
    load(surface, "controls.html");
    QVERIFY(!surface.setValues({{u"nobody"_s, HtmlValue(u"x"_s)}}));
    QVERIFY(surface.setValues({{u"plain"_s, HtmlValue(u"overwritten"_s)},
                               {u"twice"_s, HtmlValue(u"new"_s)},
                               {u"Apply"_s, HtmlValue(u"w"_s)}}));
    surface.flush();
    QCOMPARE(surface.findById(u"plain"_s).text(), u"not a control"_s);
    QCOMPARE(surface.findById(u"twice1"_s).controlValue(), HtmlValue(u"new"_s));
    QCOMPARE(surface.findById(u"twice2"_s).controlValue(), HtmlValue(u"second"_s));
    QCOMPARE(surface.namedValue(u"Apply"_s), HtmlValue(u"v"_s));
}

void TestHtmlSurface::callMethod_reachesBehaviour() {
    HtmlSurface surface;
    load(surface, "controls.html");
    QCOMPARE(surface.snapshot(u"counter"_s).value(u"attached"_s), HtmlValue(true));
    QCOMPARE(roundTrip(surface, u"#counted"_s, u"add"_s, {HtmlValue(5)}), HtmlValue(5));
    QCOMPARE(surface.snapshot(u"counter"_s).value(u"count"_s), HtmlValue(5));
    const HtmlValue::Array args{HtmlValue(u"a"_s), HtmlValue(), HtmlValue::null(), HtmlValue(false),
                                HtmlValue(HtmlValue::Map{{u"k"_s, HtmlValue(1)}})};
    QCOMPARE(roundTrip(surface, u"#counted"_s, u"echo"_s, args), HtmlValue(args));
    QCOMPARE(roundTrip(surface, u"#counted"_s, u"nothing"_s).type(), HtmlValue::Type::Undefined);
    QCOMPARE(roundTrip(surface, u"#counted"_s, u"noSuchMethod"_s).type(),
             HtmlValue::Type::Undefined);
    QCOMPARE(roundTrip(surface, u"#twice1"_s, u"add"_s).type(), HtmlValue::Type::Undefined);
    QCOMPARE(roundTrip(surface, u"#absent"_s, u"add"_s).type(), HtmlValue::Type::Undefined);
    QCOMPARE(roundTrip(surface, u"[[bad selector"_s, u"add"_s).type(), HtmlValue::Type::Undefined);
}

void TestHtmlSurface::event_carriesStateItFollows() {
    WatchedSurface surface;
    load(surface, "controls.html");
    surface.findById(u"counted"_s).callMethod(u"add"_s, {HtmlValue(3)});
    surface.flush();
    QCOMPARE(surface.events.size(), 1);
    const HtmlEvent& e = surface.events.front();
    QCOMPARE(e.code, int(HTML_UI_STATE_CHANGED));
    QCOMPARE(e.behaviour, u"counter"_s);
    QCOMPARE(e.id, u"counted"_s);
    QCOMPARE(e.value, HtmlValue(u"count 3"_s));
    QCOMPARE(surface.stateAtEvent.front().value(u"count"_s), HtmlValue(3));
}

void TestHtmlSurface::controlEvents_reachHandler() {
    WatchedSurface surface;
    surface.resize(600, 400);
    surface.show();
    load(surface, "controls.html");
    surface.findById(u"apply"_s).click();
    surface.findById(u"notes"_s).setFocus();
    surface.flush();
    QTest::keyClicks(surface.view()->focusProxy(), u"hi"_s);
    // Keys travel to the page on their own channel, unordered with flush().
    QTRY_VERIFY_WITH_TIMEOUT(surface.namedValue(u"notes"_s) == HtmlValue(u"hi"_s), 30000);
    QVERIFY(surface.events.size() >= 3);
    QCOMPARE(surface.events[0].code, int(HTML_BUTTON_CLICK));
    QCOMPARE(surface.events[0].name, u"Apply"_s);
    QCOMPARE(surface.events[0].attributes.value(u"type"_s), HtmlValue(u"button"_s));
    const HtmlEvent& typed = surface.events.back();
    QCOMPARE(typed.code, int(HTML_EDIT_VALUE_CHANGED));
    QCOMPARE(typed.name, u"notes"_s);
    QCOMPARE(typed.value, HtmlValue(u"hi"_s));
    QCOMPARE(surface.focusedId(), u"notes"_s);
    QVERIFY(surface.findById(u"notes"_s).hasFocus());
}

void TestHtmlSurface::hasOptionValue_matchesExactly_data() {
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("has");
    QTest::newRow("datalist option") << u"combo"_s << u"two"_s << true;
    QTest::newRow("datalist missing") << u"combo"_s << u"three"_s << false;
    QTest::newRow("select value") << u"pick"_s << u"b"_s << true;
    QTest::newRow("case counts") << u"pick"_s << u"B"_s << false;
    QTest::newRow("no option list") << u"twice1"_s << u"anything"_s << true;
}

void TestHtmlSurface::hasOptionValue_matchesExactly() {
    QFETCH(QString, id);
    QFETCH(QString, value);
    QFETCH(bool, has);
    HtmlSurface surface;
    load(surface, "controls.html");
    QCOMPARE(surface.hasOptionValue(id, value), has);
}

void TestHtmlSurface::elementCalls_changePageAndSnapshot() {
    HtmlSurface surface;
    load(surface, "controls.html");
    const HtmlElement combo = surface.findById(u"combo"_s);
    QVERIFY(!combo.isNull());
    QVERIFY(surface.findById(u"absent"_s).isNull());
    QVERIFY(surface.findById(u"twice1"_s).attribute(u"missing"_s).isNull());
    combo.insertElement(u"option"_s, u"three"_s);
    combo.setControlValue(HtmlValue(u"three"_s));
    surface.findById(u"plain"_s).setHtml(u"<em>new</em>"_s);
    surface.findById(u"plain"_s).setAttribute(u"title"_s, u"tip"_s);
    surface.findById(u"single"_s).setChecked(true);
    surface.flush();
    QVERIFY(surface.hasOptionValue(u"combo"_s, u"three"_s));
    QCOMPARE(combo.optionValues(), (QStringList{u"one"_s, u"two"_s, u"three"_s}));
    QCOMPARE(surface.namedValue(u"combo"_s), HtmlValue(u"three"_s));
    QCOMPARE(surface.findById(u"plain"_s).html(), u"<em>new</em>"_s);
    QCOMPARE(surface.findById(u"plain"_s).attribute(u"title"_s), u"tip"_s);
    QVERIFY(surface.findById(u"single"_s).isChecked());
}

void TestHtmlSurface::setTableBorders_setsEveryTable() {
    HtmlSurface surface;
    load(surface, "controls.html");
    surface.setTableBorders(3);
    surface.flush();
    QVERIFY(surface.findById(u"t1"_s).attribute(u"style"_s).contains(u"3px"_s));
}

void TestHtmlSurface::hostilePage_runsNoScript() {
    WatchedSurface surface;
    surface.resize(600, 400);
    surface.show();
    load(surface, "hostile.html");
    surface.findById(u"clicky"_s).click();
    surface.findById(u"jslink"_s).click();
    surface.flush();
    // Images fail asynchronously; give the broken one every chance to fire.
    QTest::qWait(300);
    surface.flush();
    QCOMPARE(surface.namedValue(u"probe"_s), HtmlValue(u"untouched"_s));
    QVERIFY(surface.opened.isEmpty());
    QCOMPARE(surface.page()->url(), page("hostile.html"));
    // Neither the page's <base> nor its form can take it elsewhere.
    QString base;
    surface.page()->runJavaScript(u"document.getElementById('relative').href"_s,
                                  [&](const QVariant& v) { base = v.toString(); });
    QTRY_VERIFY(!base.isEmpty());
    QCOMPARE(base, u"qrc:/testpages/page.html"_s);
    surface.findById(u"send"_s).click();
    surface.flush();
    QTest::qWait(300);
    QCOMPARE(surface.page()->url(), page("hostile.html"));
    QVERIFY(surface.opened.isEmpty());
}

void TestHtmlSurface::linkClick_goesToHookNotPage_data() {
    QTest::addColumn<QString>("id");
    QTest::addColumn<bool>("swallow");
    QTest::addColumn<QString>("opened");
    QTest::newRow("external") << u"ext"_s << false << u"https://www.orvan.example/page"_s;
    QTest::newRow("handled by the surface") << u"ext"_s << true << QString();
    QTest::newRow("relative stays inside") << u"rel"_s << false << QString();
}

void TestHtmlSurface::linkClick_goesToHookNotPage() {
    QFETCH(QString, id);
    QFETCH(bool, swallow);
    QFETCH(QString, opened);
    WatchedSurface surface;
    surface.swallow = swallow;
    load(surface, "controls.html");
    surface.findById(id).click();
    surface.flush();
    QCOMPARE(surface.opened, opened.isEmpty() ? QList<QUrl>() : QList<QUrl>{QUrl(opened)});
    if (id == u"ext"_s) {
        QCOMPARE(surface.events.size(), 1);
        QCOMPARE(surface.events[0].code, int(HTML_HYPERLINK_CLICK));
        QCOMPARE(surface.events[0].url, QUrl(u"https://www.orvan.example/page"_s));
    }
    QCOMPARE(surface.page()->url(), page("controls.html"));
}

void TestHtmlSurface::navigation_isRefused_data() {
    QTest::addColumn<QString>("script");
    QTest::newRow("remote") << u"location.href = 'https://www.orvan.example/'"_s;
    QTest::newRow("another page of ours") << u"location.href = 'hostile.html'"_s;
    QTest::newRow("new window") << u"window.open('https://www.orvan.example/')"_s;
}

void TestHtmlSurface::navigation_isRefused() {
    QFETCH(QString, script);
    WatchedSurface surface;
    load(surface, "controls.html");
    bool ran = false;
    surface.page()->runJavaScript(script, [&](const QVariant&) { ran = true; });
    QTRY_VERIFY(ran);
    QTest::qWait(200);
    surface.flush();
    QCOMPARE(surface.page()->url(), page("controls.html"));
    QCOMPARE(surface.title(), u"Controls"_s);
}

void TestHtmlSurface::backgroundPress_onlyOnPlainContent() {
    WatchedSurface surface;
    load(surface, "buttons.html");
    const auto press = [&](const QString& id) {
        bool ran = false;
        surface.page()->runJavaScript(
            u"document.getElementById('%1').dispatchEvent("
            "new MouseEvent('mousedown', {bubbles: true, button: 0}))"_s.arg(id),
            [&](const QVariant&) { ran = true; });
        QTRY_VERIFY(ran);
        surface.flush();
    };
    press(u"plain"_s);
    QCOMPARE(surface.presses, 0);
    surface.sendCall(u"setOption"_s, {}, {HtmlValue(u"movable"_s), HtmlValue(true)});
    press(u"field"_s);
    QCOMPARE(surface.presses, 0);
    press(u"plain"_s);
    QCOMPARE(surface.presses, 1);
}

int main(int argc, char** argv) {
    PrepareHtmlUi();
    QApplication app(argc, argv);
    TestHtmlSurface test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_htmlsurface.moc"
