// The Insert Hyperlink dialog driven by keys and clicks as a user drives it,
// with titles looked up on a local web server.
#include "../web/testhttpserver.h"
#include "htmlui/inserthyperlinkdialog.h"
#include "platform/settingsfile.h"
#include "web/websitetitlecache.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDesktopServices>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Stands in for the browser: remembers what would have been opened.
class UrlRecorder final : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened.append(url); }
};

} // namespace

class TestInsertHyperlinkDialog final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void typeUrlAndEnter_returnsEditedRecord();
    void refusedUrl_keepsDialogOpenWithMessage_data();
    void refusedUrl_keepsDialogOpenWithMessage();
    void editLink_escape_leavesRecordUnchanged();
    void typingPageUrl_fillsTitleAfterPause_thenAnswersFromCache();
    void titleArrival_forAnotherUrl_isIgnored();
    void clipboardSuggestion_data();
    void clipboardSuggestion();
    void isPageUrl_data();
    void isPageUrl();
    void visitButton_opensWebAddressesOnly_data();
    void visitButton_opensWebAddressesOnly();

private:
    QString settingsFile() const { return m_home.filePath(u"Settings.ini"_s); }
    // Waits for the dialog's answer after the fade.
    static int finish(InsertHyperlinkDialog& dialog, QSignalSpy& finished);

    QTemporaryDir m_home;
    std::unique_ptr<TestHttpServer> m_server;
    std::unique_ptr<WebSiteTitleCache> m_cache;
    QMetaObject::Connection m_delivery;
};

void TestInsertHyperlinkDialog::initTestCase() {
    QVERIFY(m_home.isValid());
    for (const char* name :
         {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY", "all_proxy"})
        qunsetenv(name);
    m_server = std::make_unique<TestHttpServer>();
    m_server->page("/local.html", "<html><head><title>Local Page</title></head></html>",
                   "text/html; charset=utf-8");
    m_server->page("/other.html", "<html><head><title>Other Page</title></head></html>",
                   "text/html; charset=utf-8");
}

void TestInsertHyperlinkDialog::init() {
    QFile::remove(settingsFile());
    QApplication::clipboard()->clear();
    m_cache = std::make_unique<WebSiteTitleCache>(settingsFile());
    // What the main window does with every title a worker brings.
    m_delivery = connect(m_cache.get(), &WebSiteTitleCache::titleArrived, this,
                         &InsertHyperlinkDialog::deliverTitle);
}

void TestInsertHyperlinkDialog::cleanup() {
    disconnect(m_delivery);
    m_cache.reset();
}

int TestInsertHyperlinkDialog::finish(InsertHyperlinkDialog& dialog, QSignalSpy& finished) {
    if (!QTest::qWaitFor([&] { return !finished.isEmpty(); }, 10000))
        return -1;
    return dialog.result();
}

void TestInsertHyperlinkDialog::typeUrlAndEnter_returnsEditedRecord() {
    InsertHyperlinkDialog dialog(nullptr, m_cache.get());
    dialog.setLinkInfo(LinkInfo{QString(), u"news"_s, QString(), QString()},
                       InsertHyperlinkDialog::TextReadOnly);
    QSignalSpy finished(&dialog, &QDialog::finished);
    dialog.open();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QVERIFY(!dialog.visitButton()->isEnabled());
    const QString url = m_server->url(u"/news.html"_s);
    QTest::keyClicks(dialog.urlEdit(), url);
    // A page opens in a new window by default, and the side buttons wake up.
    QCOMPARE(dialog.targetCombo()->currentText(), u"_blank"_s);
    QVERIFY(dialog.visitButton()->isEnabled() && dialog.updateTitleButton()->isEnabled());
    QTest::keyClicks(dialog.titleEdit(), u"Say \"hi\""_s);
    // The link's text is shown, not edited, when the editor inserts a link.
    QTest::keyClicks(dialog.textEdit(), u" more"_s);
    QTest::keyClick(dialog.urlEdit(), Qt::Key_Return);
    QCOMPARE(finish(dialog, finished), int(QDialog::Accepted));
    const LinkInfo info = dialog.linkInfo();
    QCOMPARE(info.url, url);
    QCOMPARE(info.text, u"news"_s);
    QCOMPARE(info.title, u"Say 'hi'"_s);
    QCOMPARE(info.target, u"_blank"_s);
}

void TestInsertHyperlinkDialog::refusedUrl_keepsDialogOpenWithMessage_data() {
    QTest::addColumn<QString>("pasted");
    QTest::newRow("javascript") << u"javascript:alert(1)"_s;
    QTest::newRow("mixed case with tab") << u" JaVa\tScript:alert(1)"_s;
    QTest::newRow("file") << u"file:///etc/passwd"_s;
}

void TestInsertHyperlinkDialog::refusedUrl_keepsDialogOpenWithMessage() {
    QFETCH(QString, pasted);
    InsertHyperlinkDialog dialog(nullptr, m_cache.get());
    dialog.setLinkInfo(LinkInfo{QString(), u"x"_s, QString(), QString()},
                       InsertHyperlinkDialog::TextReadOnly);
    QSignalSpy finished(&dialog, &QDialog::finished);
    dialog.open();
    QApplication::clipboard()->setText(pasted);
    QTest::keySequence(dialog.urlEdit(), QKeySequence::Paste);
    QCOMPARE(dialog.urlEdit()->text(), pasted);
    QTest::keyClick(dialog.urlEdit(), Qt::Key_Return);
    QTest::qWait(50);
    QVERIFY(finished.isEmpty());
    QVERIFY(dialog.isVisible());
    QVERIFY(dialog.messageLabel()->isVisible());
    QCOMPARE(dialog.messageLabel()->text(), RefusedUrlMessage());
    // The dialog grows for the message instead of squeezing its fields.
    QTRY_VERIFY(dialog.height() >= dialog.layout()->minimumSize().height());
    QTRY_VERIFY(dialog.urlEdit()->height() >= dialog.urlEdit()->minimumSizeHint().height());
    // The address is selected, so typing a good one replaces it.
    QTest::keyClicks(dialog.urlEdit(), u"https://a.example/ok"_s);
    QVERIFY(!dialog.messageLabel()->isVisible());
    QTest::keyClick(dialog.urlEdit(), Qt::Key_Return);
    QCOMPARE(finish(dialog, finished), int(QDialog::Accepted));
    QCOMPARE(dialog.linkInfo().url, u"https://a.example/ok"_s);
}

void TestInsertHyperlinkDialog::editLink_escape_leavesRecordUnchanged() {
    LinkInfo info{u"http://a.example/"_s, u"t"_s, u"Title"_s, u"_top"_s};
    bool shown = false;
    QTimer::singleShot(0, this, [&] {
        InsertHyperlinkDialog* dialog = InsertHyperlinkDialog::openDialog();
        if (!dialog)
            return;
        shown = dialog->urlEdit()->text() == info.url &&
                dialog->titleEdit()->text() == info.title &&
                dialog->targetCombo()->currentText() == info.target;
        QTest::keyClicks(dialog->urlEdit(), u"changed"_s);
        QTest::keyClicks(dialog->titleEdit(), u"changed"_s);
        QTest::keyClick(dialog->urlEdit(), Qt::Key_Escape);
    });
    QVERIFY(!InsertHyperlinkDialog::editLink(info, InsertHyperlinkDialog::TextReadOnly));
    QVERIFY(shown);
    QCOMPARE(info.url, u"http://a.example/"_s);
    QCOMPARE(info.title, u"Title"_s);
    QCOMPARE(info.target, u"_top"_s);
    QCOMPARE(info.text, u"t"_s);
}

void TestInsertHyperlinkDialog::typingPageUrl_fillsTitleAfterPause_thenAnswersFromCache() {
    const QString url = m_server->url(u"/local.html"_s);
    {
        InsertHyperlinkDialog dialog(nullptr, m_cache.get());
        dialog.open();
        QTest::keyClicks(dialog.urlEdit(), url);
        // Nothing is asked while the user types; the lookup waits for the pause.
        QCOMPARE(m_cache->fetchesStarted(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(dialog.titleEdit()->text(), u"Local Page"_s, 20000);
        QCOMPARE(m_cache->fetchesStarted(), 1);
        dialog.reject();
    }
    QString stored;
    QVERIFY(ReadProfileText(settingsFile(), u"WebSiteTitles"_s, url, stored));
    QCOMPARE(stored, u"Local Page"_s);
    const int requests = m_server->hits("/local.html");

    InsertHyperlinkDialog again(nullptr, m_cache.get());
    again.open();
    QTest::keyClicks(again.urlEdit(), url);
    QTRY_COMPARE_WITH_TIMEOUT(again.titleEdit()->text(), u"Local Page"_s, 20000);
    QCOMPARE(m_cache->fetchesStarted(), 1);
    QCOMPARE(m_server->hits("/local.html"), requests);
}

void TestInsertHyperlinkDialog::titleArrival_forAnotherUrl_isIgnored() {
    InsertHyperlinkDialog dialog(nullptr, m_cache.get());
    QSignalSpy arrived(m_cache.get(), &WebSiteTitleCache::titleArrived);
    dialog.open();
    QTest::keyClicks(dialog.urlEdit(), m_server->url(u"/other.html"_s));
    // The lookup starts after the pause; the user goes on typing before its
    // answer is handled, so the title is not this address's any more.
    QVERIFY(QTest::qWaitFor([&] { return m_cache->fetchesStarted() == 1; }, 5000));
    QTest::keyClicks(dialog.urlEdit(), u"x"_s);
    QTRY_COMPARE_WITH_TIMEOUT(arrived.size(), 1, 20000);
    QVERIFY(dialog.titleEdit()->text().isEmpty());
}

void TestInsertHyperlinkDialog::clipboardSuggestion_data() {
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<bool>("offered");
    QTest::newRow("local page") << m_server->url(u"/local.html"_s) << true;
    QTest::newRow("file") << u"file:///home/me/page.html"_s << false;
    QTest::newRow("javascript") << u"javascript:alert(1)//a.html"_s << false;
}

void TestInsertHyperlinkDialog::clipboardSuggestion() {
    QFETCH(QString, clipboard);
    QFETCH(bool, offered);
    QApplication::clipboard()->setText(clipboard);
    InsertHyperlinkDialog dialog(nullptr, m_cache.get());
    dialog.open();
    QCOMPARE(dialog.urlEdit()->text(), offered ? clipboard : QString());
    if (offered) {
        // The suggestion is looked up at once, without waiting for a pause.
        QCOMPARE(m_cache->fetchesStarted(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(dialog.titleEdit()->text(), u"Local Page"_s, 20000);
    }
    dialog.reject();
    // An address already there is never replaced by the clipboard's.
    InsertHyperlinkDialog editing(nullptr, m_cache.get());
    editing.setLinkInfo(LinkInfo{u"kept.html"_s, {}, {}, {}}, InsertHyperlinkDialog::TextReadOnly);
    editing.open();
    QCOMPARE(editing.urlEdit()->text(), u"kept.html"_s);
}

void TestInsertHyperlinkDialog::isPageUrl_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("page");
    QTest::newRow("html in capitals") << u"http://a.example/INDEX.HTML"_s << true;
    QTest::newRow("php") << u"a.example/x.php"_s << true;
    QTest::newRow("fragment cut") << u"http://a.example/a.htm#part"_s << true;
    QTest::newRow("host and slash") << u"www.a.example/"_s << true;
    QTest::newRow("image") << u"http://a.example/a.gif"_s << false;
}

void TestInsertHyperlinkDialog::isPageUrl() {
    QFETCH(QString, text);
    QFETCH(bool, page);
    QCOMPARE(InsertHyperlinkDialog::isPageUrl(text), page);
}

void TestInsertHyperlinkDialog::visitButton_opensWebAddressesOnly_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("opened");
    QTest::newRow("without scheme") << u"www.a.example/x"_s << u"http://www.a.example/x"_s;
    QTest::newRow("https") << u"https://a.example/x"_s << u"https://a.example/x"_s;
    QTest::newRow("file") << u"file:///etc/passwd"_s << QString();
    QTest::newRow("javascript") << u"javascript:alert(1)"_s << QString();
}

void TestInsertHyperlinkDialog::visitButton_opensWebAddressesOnly() {
    QFETCH(QString, typed);
    QFETCH(QString, opened);
    UrlRecorder browser;
    for (const QString& scheme : {u"http"_s, u"https"_s, u"file"_s, u"javascript"_s})
        QDesktopServices::setUrlHandler(scheme, &browser, "open");
    InsertHyperlinkDialog dialog(nullptr, m_cache.get());
    dialog.open();
    // A click lands where the button is once the dialog has unfolded.
    QTRY_VERIFY(!dialog.isUnfolding());
    QTest::keyClicks(dialog.urlEdit(), typed);
    QTest::mouseClick(dialog.visitButton(), Qt::LeftButton);
    if (opened.isEmpty()) {
        QVERIFY(browser.opened.isEmpty());
        QVERIFY(dialog.messageLabel()->isVisible());
    } else {
        QCOMPARE(browser.opened, QList<QUrl>{QUrl(opened)});
    }
    for (const QString& scheme : {u"http"_s, u"https"_s, u"file"_s, u"javascript"_s})
        QDesktopServices::unsetUrlHandler(scheme);
    dialog.reject();
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.filePath(u"data"_s).toUtf8());
    qputenv("XDG_CONFIG_HOME", home.filePath(u"config"_s).toUtf8());
    QStandardPaths::setTestModeEnabled(true);
    TestInsertHyperlinkDialog test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_inserthyperlinkdialog.moc"
