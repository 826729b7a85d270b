#include "htmlui/htmlsurface.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Records what would have gone to the desktop browser.
class WatchedSurface final : public HtmlSurface {
public:
    QList<QUrl> opened;
    QList<HtmlEvent> events;
    bool swallow = false;

protected:
    bool handleEvent(const HtmlEvent& event) override {
        events.append(event);
        return swallow;
    }
    void openExternalUrl(const QUrl& url) override { opened.append(url); }
};

QUrl page(const char* name) {
    return QUrl(u"qrc:/testpages/"_s + QLatin1String(name));
}

} // namespace

class TestHtmlSurface final : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void loadPage_publishesSnapshot();
    void loadPage_missingResourceFails();

private:
};

void TestHtmlSurface::initTestCase() {
    InitHtmlUiResources();
    Q_INIT_RESOURCE(testpages);
}

void TestHtmlSurface::loadPage_publishesSnapshot() {
    WatchedSurface surface;
    QVERIFY(surface.loadPage(page("controls.html")));
    QVERIFY(surface.waitUntilLoaded());
    QCOMPARE(surface.title(), u"Controls"_s);
    QCOMPARE(surface.snapshot(u"counter"_s).value(u"attached"_s), HtmlValue(true));
    int answer = 0;
    surface.callMethod(u"#counted"_s, u"add"_s, {HtmlValue(5)},
                       [&](const HtmlValue& v) { answer = int(v.toInt()); });
    surface.flush();
    QCOMPARE(answer, 5);
    QCOMPARE(surface.snapshot(u"counter"_s).value(u"count"_s), HtmlValue(5));
}

void TestHtmlSurface::loadPage_missingResourceFails() {
    HtmlSurface surface;
    QVERIFY(!surface.loadPage(page("nothing.html")));
    QVERIFY(!surface.loadPage(QUrl(u"https://www.orvan.example/"_s)));
}

int main(int argc, char** argv) {
    PrepareHtmlUi();
    QApplication app(argc, argv);
    TestHtmlSurface test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_htmlsurface.moc"
