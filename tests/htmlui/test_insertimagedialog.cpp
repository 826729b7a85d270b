// The Insert Image dialog driven by keys into its page, its live sample and
// what it gives back, with the sample image served on 127.0.0.1.
#include "../web/testhttpserver.h"
#include "buildconfig.h"
#include "htmlui/insertimagedialog.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QImage>
#include <QTest>
#include <QTimer>
#include <QWebEngineView>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

// Runs the step once the page is ready and the modal loop runs. The step must
// end by closing the dialog (Enter or Esc), so it only records what it sees.
void whenReady(HtmlDialog& dialog, std::function<void()> step) {
    QObject::connect(
        &dialog, &HtmlDialog::pageReady, &dialog, [step] { QTimer::singleShot(0, step); },
        Qt::SingleShotConnection);
}

QWidget* keyTarget(HtmlDialog& dialog) {
    QWidget* proxy = dialog.surface()->view()->focusProxy();
    return proxy ? proxy : dialog.surface()->view();
}

void press(HtmlDialog& dialog, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(keyTarget(dialog), key, modifiers);
}

// Types into the field with the focus, replacing what it holds.
void retype(HtmlDialog& dialog, const QString& text) {
    press(dialog, Qt::Key_A, Qt::ControlModifier);
    press(dialog, Qt::Key_Backspace);
    if (!text.isEmpty())
        QTest::keyClicks(keyTarget(dialog), text);
}

QString field(HtmlDialog& dialog, const QString& name) {
    return dialog.surface()->namedValue(name).toText();
}

QString sampleAttribute(HtmlDialog& dialog, const QString& name) {
    return dialog.surface()->findById(u"img_sample"_s).attribute(name);
}

// Waits (bounded) until the page shows what the keys did.
bool settle(std::function<bool()> done) {
    return QTest::qWaitFor(done, 10000);
}

// A user types once the dialog is up and active; keys sent before are lost.
bool activated(HtmlDialog& dialog) {
    return settle([&] { return dialog.isActiveWindow(); });
}

QByteArray tinyPng() {
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

} // namespace

class TestInsertImageDialog final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void newImage_typedAlt_givesLiveSampleAndEscapedTag();
    void editImage_keepsWidthAndAlignment_data();
    void editImage_keepsWidthAndAlignment();
    void emptiedBorder_isLeftOutEverywhere();
    void refusedSource_staysOpenAndCancelKeepsRecord();
    void suggestedSource_data();
    void suggestedSource();

private:
    QString picture() const { return m_server->url(u"/pic.png"_s); }

    std::unique_ptr<TestHttpServer> m_server;
};

void TestInsertImageDialog::initTestCase() {
    InitHtmlUiResources();
    m_server = std::make_unique<TestHttpServer>();
    m_server->page("/pic.png", tinyPng(), "image/png");
}

void TestInsertImageDialog::init() {
    QApplication::clipboard()->setText(picture());
}

void TestInsertImageDialog::newImage_typedAlt_givesLiveSampleAndEscapedTag() {
    InsertImageDialog dialog{ImageInfo()};
    QString shownSource;
    QString sampleSource;
    bool sampleAltFollowed = false;
    const QString alt = u"Tom & \"Jerry\" <3"_s;
    whenReady(dialog, [&] {
        shownSource = field(dialog, u"edit_src"_s);
        sampleSource = sampleAttribute(dialog, u"src"_s);
        activated(dialog);
        press(dialog, Qt::Key_Tab);
        QTest::keyClicks(keyTarget(dialog), alt);
        sampleAltFollowed = settle([&] { return sampleAttribute(dialog, u"alt"_s) == alt; });
        press(dialog, Qt::Key_Return);
    });
    QCOMPARE(dialog.run(), int(HtmlDialog::ResultClose));
    QCOMPARE(shownSource, picture());
    QCOMPARE(sampleSource, picture());
    QVERIFY(sampleAltFollowed);
    const ImageInfo info = dialog.imageInfo();
    QCOMPARE(info.src, picture());
    QCOMPARE(info.alt, alt);
    QCOMPARE(info.border, 0);
    QCOMPARE(info.hspace, 1);
    QCOMPARE(info.vspace, 1);
    QCOMPARE(info.width, -1);
    QCOMPARE(info.height, -1);
    QVERIFY(info.align.isEmpty());
    QCOMPARE(dialog.imageTag(), u"<IMG SRC=\""_s + picture() +
                                    u"\" ALT=\"Tom &amp; &quot;Jerry&quot; &lt;3\" BORDER=\"0\" "
                                    "HSPACE=\"1\" VSPACE=\"1\">"_s);
}

void TestInsertImageDialog::editImage_keepsWidthAndAlignment_data() {
    QTest::addColumn<QString>("align");
    QTest::addColumn<QString>("shownAlign");
    QTest::newRow("listed, other case") << u"left"_s << u"LEFT"_s;
    QTest::newRow("not listed") << u"absmiddle"_s << u"absmiddle"_s;
}

void TestInsertImageDialog::editImage_keepsWidthAndAlignment() {
    QFETCH(QString, align);
    QFETCH(QString, shownAlign);
    const ImageInfo existing = ImageInfoFromAttributes(
        {{u"src"_s, picture()}, {u"width"_s, u"50%"_s}, {u"align"_s, align}});
    InsertImageDialog dialog(existing);
    QString shownWidth;
    QString shownAlignment;
    whenReady(dialog, [&] {
        shownWidth = field(dialog, u"edit_width"_s);
        shownAlignment = field(dialog, u"select_align"_s);
        press(dialog, Qt::Key_Return);
    });
    QCOMPARE(dialog.run(), int(HtmlDialog::ResultClose));
    QCOMPARE(shownWidth, u"50"_s);
    QCOMPARE(shownAlignment, shownAlign);
    const AttributeMap written = ImageAttributes(dialog.imageInfo());
    QCOMPARE(written.at(u"width"_s), u"50"_s);
    QCOMPARE(written.at(u"align"_s), shownAlign);
    QCOMPARE(written.at(u"src"_s), picture());
}

void TestInsertImageDialog::emptiedBorder_isLeftOutEverywhere() {
    InsertImageDialog dialog{ImageInfo()};
    bool sampleLostBorder = false;
    whenReady(dialog, [&] {
        // Source, alternate text, width, height, then the border.
        activated(dialog);
        for (int i = 0; i < 4; ++i)
            press(dialog, Qt::Key_Tab);
        retype(dialog, QString());
        sampleLostBorder = settle([&] {
            return field(dialog, u"edit_border"_s).isEmpty() &&
                   sampleAttribute(dialog, u"border"_s).isNull();
        });
        press(dialog, Qt::Key_Return);
    });
    QCOMPARE(dialog.run(), int(HtmlDialog::ResultClose));
    QVERIFY(sampleLostBorder);
    QCOMPARE(dialog.imageInfo().border, -1);
    QVERIFY(!dialog.imageTag().contains(u"BORDER"_s));
    QVERIFY(!ImageAttributes(dialog.imageInfo()).contains(u"border"_s));
}

void TestInsertImageDialog::refusedSource_staysOpenAndCancelKeepsRecord() {
    ImageInfo existing;
    existing.src = picture();
    existing.alt = u"kept"_s;
    InsertImageDialog dialog(existing);
    bool refusedShown = false;
    bool sampleDropped = false;
    bool stayedOpen = false;
    whenReady(dialog, [&] {
        activated(dialog);
        retype(dialog, u" JaVaScript:alert(1)"_s);
        refusedShown = settle(
            [&] { return dialog.surface()->findById(u"message"_s).text() == RefusedUrlMessage(); });
        sampleDropped = sampleAttribute(dialog, u"src"_s).isNull();
        press(dialog, Qt::Key_Return);
        dialog.surface()->flush();
        QTest::qWait(100);
        stayedOpen = dialog.isVisible();
        press(dialog, Qt::Key_Escape);
    });
    QCOMPARE(dialog.run(), int(HtmlDialog::ResultCancel));
    QVERIFY(refusedShown);
    QVERIFY(sampleDropped);
    QVERIFY(stayedOpen);
    QCOMPARE(dialog.imageInfo().src, picture());
    QCOMPARE(dialog.imageInfo().alt, u"kept"_s);
    QVERIFY(dialog.imageTag().isEmpty());
}

void TestInsertImageDialog::suggestedSource_data() {
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<bool>("taken");
    QTest::newRow("capital PNG") << u"HTTP://A.EXAMPLE/PIC.PNG"_s << true;
    QTest::newRow("web page") << u"https://a.example/page.html"_s << false;
    QTest::newRow("local file") << u"file:///home/me/a.png"_s << false;
    QTest::newRow("empty") << QString() << false;
}

void TestInsertImageDialog::suggestedSource() {
    QFETCH(QString, clipboard);
    QFETCH(bool, taken);
    QApplication::clipboard()->setText(clipboard);
    QCOMPARE(InsertImageDialog::suggestedSource(),
             taken ? clipboard : QString::fromUtf8(ORVAN_URL_SAMPLE_IMAGE));
}

int main(int argc, char** argv) {
    PrepareHtmlUi();
    QApplication app(argc, argv);
    TestInsertImageDialog test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_insertimagedialog.moc"
