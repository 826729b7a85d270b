#include "htmlui/createfeeddialog.h"
#include "htmlui/htmldialog.h"

#include <QApplication>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWebEngineView>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

QUrl page(const char* name) {
    return QUrl(u"qrc:/testpages/"_s + QLatin1String(name));
}

// Runs the step once the dialog's page is ready and its modal loop runs.
void whenReady(HtmlDialog& dialog, std::function<void()> step) {
    QObject::connect(
        &dialog, &HtmlDialog::pageReady, &dialog, [step] { QTimer::singleShot(0, step); },
        Qt::SingleShotConnection);
}

// Keys go where the user's would: to the widget inside the web view.
void pressKey(HtmlDialog& dialog, Qt::Key key) {
    QWidget* target = dialog.surface()->view()->focusProxy();
    QTest::keyClick(target ? target : dialog.surface()->view(), key);
}

class RecordingDialog final : public HtmlDialog {
public:
    QStringList others;

protected:
    bool onOtherButton(const HtmlEvent& event) override {
        others.append(event.name);
        return true;
    }
};

} // namespace

class TestHtmlDialog final : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void clickNamedButton_answersCodeAndRefreshesMap_data();
    void clickNamedButton_answersCodeAndRefreshesMap();
    void closeBox_answersCancelAndKeepsMap();
    void enterAndEsc_clickRoleButtons_data();
    void enterAndEsc_clickRoleButtons();
    void enterWithoutDefaultButton_doesNothing();
    void otherButtons_goToOnOtherButtonOrNowhere();
    void missingPage_answersCancel();
    void dialog_takesTitleAndPageSize();
    void dialog_isPlacedByAlignment_data();
    void dialog_isPlacedByAlignment();
    void createFeed_confirmEmpty_answersOkWithEmptyTexts();
    void createFeed_esc_answersCancelAndKeepsInfo();
    void createFeed_firstKeystrokes_goIntoTitle();
};

void TestHtmlDialog::initTestCase() {
    InitHtmlUiResources();
    Q_INIT_RESOURCE(testpages);
}

void TestHtmlDialog::clickNamedButton_answersCodeAndRefreshesMap_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("refreshed");
    QTest::newRow("ok in lower case") << u"ok"_s << 1 << true;
    QTest::newRow("Close") << u"Close"_s << 8 << false;
    QTest::newRow("Retry") << u"Retry"_s << 4 << true;
    QTest::newRow("YES") << u"YES"_s << 6 << true;
    QTest::newRow("no") << u"no"_s << 7 << false;
}

void TestHtmlDialog::clickNamedButton_answersCodeAndRefreshesMap() {
    QFETCH(QString, button);
    QFETCH(int, code);
    QFETCH(bool, refreshed);
    HtmlDialog dialog;
    NamedValues map{{u"field"_s, HtmlValue(u"from map"_s)}, {u"stale"_s, HtmlValue(1)}};
    dialog.setValues(&map);
    QString shown;
    whenReady(dialog, [&] {
        shown = dialog.surface()->namedValue(u"field"_s).toText();
        dialog.surface()->element(u"#field"_s).setControlValue(HtmlValue(u"typed"_s));
        dialog.surface()->element(u"[name='%1']"_s.arg(button)).click();
    });
    QCOMPARE(dialog.showModal(page("buttons.html")), code);
    QCOMPARE(dialog.resultCode(), code);
    QCOMPARE(shown, u"from map"_s);
    if (refreshed) {
        QCOMPARE(map.value(u"field"_s), HtmlValue(u"typed"_s));
        QVERIFY(!map.contains(u"stale"_s));
    } else {
        QCOMPARE(map.value(u"field"_s), HtmlValue(u"from map"_s));
        QVERIFY(map.contains(u"stale"_s));
    }
}

void TestHtmlDialog::closeBox_answersCancelAndKeepsMap() {
    HtmlDialog dialog;
    NamedValues map{{u"field"_s, HtmlValue(u"kept"_s)}};
    dialog.setValues(&map);
    whenReady(dialog, [&] {
        dialog.surface()->element(u"#field"_s).setControlValue(HtmlValue(u"typed"_s));
        dialog.surface()->flush();
        dialog.close();
    });
    QCOMPARE(dialog.showModal(page("buttons.html")), 2);
    QCOMPARE(map, (NamedValues{{u"field"_s, HtmlValue(u"kept"_s)}}));
}

void TestHtmlDialog::enterAndEsc_clickRoleButtons_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("code");
    QTest::newRow("Enter clicks OK") << int(Qt::Key_Return) << 1;
    QTest::newRow("Esc clicks Cancel") << int(Qt::Key_Escape) << 2;
}

void TestHtmlDialog::enterAndEsc_clickRoleButtons() {
    QFETCH(int, key);
    QFETCH(int, code);
    HtmlFocusDialog dialog(nullptr, {}, u"field"_s);
    NamedValues map;
    dialog.setValues(&map);
    whenReady(dialog, [&] { pressKey(dialog, Qt::Key(key)); });
    QCOMPARE(dialog.showModal(page("buttons.html")), code);
    QCOMPARE(map.contains(u"field"_s), code == 1);
}

void TestHtmlDialog::enterWithoutDefaultButton_doesNothing() {
    HtmlFocusDialog dialog(nullptr, {}, u"field"_s);
    bool stillOpen = false;
    whenReady(dialog, [&] {
        pressKey(dialog, Qt::Key_Return);
        dialog.surface()->flush();
        stillOpen = dialog.isVisible();
        dialog.surface()->element(u"[name='no']"_s).click();
    });
    QCOMPARE(dialog.showModal(page("noroles.html")), 7);
    QVERIFY(stillOpen);
}

void TestHtmlDialog::otherButtons_goToOnOtherButtonOrNowhere() {
    RecordingDialog dialog;
    whenReady(dialog, [&] {
        dialog.surface()->element(u"[name='Apply']"_s).click();
        dialog.surface()->element(u"#unnamed"_s).click();
        dialog.surface()->flush();
        dialog.surface()->element(u"[name='Cancel']"_s).click();
    });
    QCOMPARE(dialog.showModal(page("buttons.html")), 2);
    QCOMPARE(dialog.others, QStringList{u"Apply"_s});
}

void TestHtmlDialog::missingPage_answersCancel() {
    HtmlDialog dialog;
    QCOMPARE(dialog.showModal(page("absent.html")), 2);
    QVERIFY(!dialog.isVisible());
}

void TestHtmlDialog::dialog_takesTitleAndPageSize() {
    CreateFeedDialog dialog;
    QSize content;
    whenReady(dialog, [&] {
        content = dialog.surface()->contentSize();
        dialog.reject();
    });
    NewFeedInfo info;
    dialog.run(info);
    QCOMPARE(dialog.windowTitle(), u"Create RSS Feed"_s);
    QVERIFY(content.width() > 200 && content.height() > 100);
    QCOMPARE(dialog.size(), content);
}

void TestHtmlDialog::dialog_isPlacedByAlignment_data() {
    QTest::addColumn<int>("alignment");
    QTest::newRow("at x, y") << int(HtmlDialog::AlignAtPosition);
    QTest::newRow("centred on the parent") << int(HtmlDialog::AlignOnParent);
    QTest::newRow("centred on the screen") << int(HtmlDialog::AlignOnScreen);
}

void TestHtmlDialog::dialog_isPlacedByAlignment() {
    QFETCH(int, alignment);
    QWidget parent;
    parent.setGeometry(200, 100, 800, 600);
    parent.show();
    HtmlDialog dialog(&parent);
    dialog.setAlignment(HtmlDialog::Alignment(alignment));
    dialog.setPosition(QPoint(30, 40));
    QRect placed;
    whenReady(dialog, [&] {
        placed = dialog.frameGeometry();
        dialog.reject();
    });
    dialog.showModal(page("buttons.html"));
    QRect container = parent.frameGeometry();
    if (alignment == HtmlDialog::AlignOnScreen)
        container = parent.screen()->availableGeometry();
    if (alignment == HtmlDialog::AlignAtPosition) {
        QCOMPARE(placed.topLeft(), QPoint(30, 40));
    } else {
        // The window frame is only known once shown; allow for its width.
        const QPoint off = placed.center() - container.center();
        QVERIFY2(qAbs(off.x()) <= 4 && qAbs(off.y()) <= 4,
                 qPrintable(u"%1,%2"_s.arg(off.x()).arg(off.y())));
    }
}

void TestHtmlDialog::createFeed_confirmEmpty_answersOkWithEmptyTexts() {
    CreateFeedDialog dialog;
    whenReady(dialog, [&] { dialog.surface()->element(u"[name='OK']"_s).click(); });
    NewFeedInfo info;
    QCOMPARE(dialog.run(info), 1);
    QVERIFY(info.title.isEmpty() && info.link.isEmpty() && info.category.isEmpty());
    QVERIFY(!info.title.isNull());
}

void TestHtmlDialog::createFeed_esc_answersCancelAndKeepsInfo() {
    CreateFeedDialog dialog;
    QString shownLink;
    whenReady(dialog, [&] {
        shownLink = dialog.surface()->namedValue(u"elem_link"_s).toText();
        dialog.surface()->element(u"#elem_title"_s).setControlValue(HtmlValue(u"changed"_s));
        pressKey(dialog, Qt::Key_Escape);
    });
    NewFeedInfo info{u"Title"_s, u"https://www.orvan.example/"_s, u"News"_s};
    QCOMPARE(dialog.run(info), 2);
    QCOMPARE(shownLink, u"https://www.orvan.example/"_s);
    QCOMPARE(info.title, u"Title"_s);
    QCOMPARE(info.link, u"https://www.orvan.example/"_s);
    QCOMPARE(info.category, u"News"_s);
}

void TestHtmlDialog::createFeed_firstKeystrokes_goIntoTitle() {
    CreateFeedDialog dialog;
    whenReady(dialog, [&] {
        QWidget* target = dialog.surface()->view()->focusProxy();
        QTest::keyClicks(target ? target : dialog.surface()->view(), u"My feed"_s);
        pressKey(dialog, Qt::Key_Return);
    });
    NewFeedInfo info{QString(), u"link"_s, u"cat"_s};
    QCOMPARE(dialog.run(info), 1);
    QCOMPARE(info.title, u"My feed"_s);
    QCOMPARE(info.link, u"link"_s);
    QCOMPARE(info.category, u"cat"_s);
}

int main(int argc, char** argv) {
    PrepareHtmlUi();
    QApplication app(argc, argv);
    TestHtmlDialog test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_htmldialog.moc"
