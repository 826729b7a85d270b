#include "app/aboutdialog.h"
#include "app/startpage.h"

#include <QDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestStartPage : public QObject {
    Q_OBJECT
private slots:
    void recentMarkup_escapesPathAndName_data();
    void recentMarkup_escapesPathAndName();
    void recentMarkup_stopsAtFirstEmptyEntry();
    void displayName_shortensByFolder_data();
    void displayName_shortensByFolder();
    void pageText_replacesMarkersAndBorders();
    void pageText_withoutMarkupKeepsMarkers();
    void linkClick_decidesAction_data();
    void linkClick_decidesAction();
    void aboutLine_followsProductVersion_data();
    void aboutLine_followsProductVersion();
};

void TestStartPage::recentMarkup_escapesPathAndName_data() {
    QTest::addColumn<QString>("path");
    QTest::newRow("quote") << u"/feeds/a\"onmouseover=\"x.xml"_s;
    QTest::newRow("tag") << u"/feeds/<script>alert(1)</script>.xml"_s;
    QTest::newRow("ampersand") << u"/feeds/news&amp;more.xml"_s;
    QTest::newRow("apostrophe and greater") << u"/feeds/it's > that.xml"_s;
}

void TestStartPage::recentMarkup_escapesPathAndName() {
    QFETCH(QString, path);
    const QString markup = BuildRecentFileMarkup({path}, u"/elsewhere"_s);
    // Exactly one link with its own two attributes, whatever the name holds.
    QCOMPARE(markup.count(u"<A "_s), 1);
    QCOMPARE(markup.count(u'"'), 4);
    QCOMPARE(markup.count(u'<'), 3);
    QVERIFY(markup.contains(u"#open_mru_doc#"_s + path.toHtmlEscaped() + u'"'));
    QVERIFY(markup.contains(u"TITLE=\""_s + path.toHtmlEscaped() + u"\">"_s));
    // What the page hands back as the link's target is the path itself.
    const QString href = u"#open_mru_doc#"_s + path;
    QString opened;
    QCOMPARE(ClassifyStartPageLink(href, &opened), StartPageLink::OpenRecentFile);
    QCOMPARE(opened, path);
}

void TestStartPage::recentMarkup_stopsAtFirstEmptyEntry() {
    const QString markup =
        BuildRecentFileMarkup({u"/a/one.xml"_s, QString(), u"/a/three.xml"_s}, u"/a"_s);
    QCOMPARE(markup, u"&nbsp;&bull;&nbsp;<A HREF=\"#open_mru_doc#/a/one.xml\" "
                     u"TITLE=\"/a/one.xml\">one.xml</A><BR>"_s);
    QVERIFY(BuildRecentFileMarkup({}, u"/a"_s).isEmpty());
}

void TestStartPage::displayName_shortensByFolder_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("currentDir");
    QTest::addColumn<QString>("expected");
    QTest::newRow("current folder") << u"/w/f/feed.xml"_s << u"/w/f"_s << u"feed.xml"_s;
    QTest::newRow("other folder") << u"/w/g/feed.xml"_s << u"/w/f"_s << u"/w/g/feed.xml"_s;
    QTest::newRow("long path")
        << u"/srv/very-long-folder-name/another-long-folder/third-level/feeds/news.xml"_s << u"/w"_s
        << u"/srv/\u2026/third-level/feeds/news.xml"_s;
    QTest::newRow("long name only")
        << u"/srv/a/b/c/this-is-a-very-long-feed-file-name-that-never-fits-anywhere.xml"_s
        << u"/w"_s
        << u"/srv/\u2026/this-is-a-very-long-feed-file-name-that-never-fits-anywhere.xml"_s;
}

void TestStartPage::displayName_shortensByFolder() {
    QFETCH(QString, path);
    QFETCH(QString, currentDir);
    QFETCH(QString, expected);
    QCOMPARE(RecentFileDisplayName(path, currentDir), expected);
}

void TestStartPage::pageText_replacesMarkersAndBorders() {
    const QString page =
        u"<TABLE BORDER=1><TR><TD><!--START_MRU-->old<!--END_MRU--></TD></TR></TABLE>"_s;
    QCOMPARE(PrepareStartPageText(page, u"NEW"_s),
             u"<TABLE BORDER=0><TR><TD>NEW</TD></TR></TABLE>"_s);
}

void TestStartPage::pageText_withoutMarkupKeepsMarkers() {
    const QString page = u"<p><!--START_MRU--><!--END_MRU--></p>"_s;
    QCOMPARE(PrepareStartPageText(page, QString()), page);
    // A second marker missing leaves the page as it is.
    QCOMPARE(PrepareStartPageText(u"<!--START_MRU-->x"_s, u"NEW"_s), u"<!--START_MRU-->x"_s);
}

void TestStartPage::linkClick_decidesAction_data() {
    QTest::addColumn<QString>("href");
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("path");
    const int browser = int(StartPageLink::OpenInBrowser);
    QTest::newRow("http") << u"http://www.orvan.example/"_s << browser << QString();
    QTest::newRow("HTTP in capitals") << u"HTTP://WWW.ORVAN.EXAMPLE/"_s << browser << QString();
    QTest::newRow("https") << u"https://www.orvan.example/home_forum.php"_s << browser << QString();
    QTest::newRow("new feed") << u"#Create_New_Doc"_s << int(StartPageLink::CreateNewFeed)
                              << QString();
    QTest::newRow("recent") << u"#OPEN_MRU_DOC#/tmp/a b.xml"_s << int(StartPageLink::OpenRecentFile)
                            << u"/tmp/a b.xml"_s;
    QTest::newRow("other fragment") << u"#top"_s << int(StartPageLink::NotHandled) << QString();
    QTest::newRow("mailto") << u"mailto:a@b.example"_s << int(StartPageLink::NotHandled)
                            << QString();
}

void TestStartPage::linkClick_decidesAction() {
    QFETCH(QString, href);
    QFETCH(int, action);
    QFETCH(QString, path);
    QString opened;
    QCOMPARE(int(ClassifyStartPageLink(href, &opened)), action);
    QCOMPARE(opened, path);
}

void TestStartPage::aboutLine_followsProductVersion_data() {
    QTest::addColumn<QString>("productVersion");
    QTest::addColumn<QString>("expected");
    QTest::newRow("four numbers") << u"2, 0, 0, 5"_s << u"Orvan Version 2.0.0 build 5"_s;
    QTest::newRow("no version") << QString() << u"Orvan"_s;
}

void TestStartPage::aboutLine_followsProductVersion() {
    QFETCH(QString, productVersion);
    QFETCH(QString, expected);
    QCOMPARE(CAboutDlg::VersionLine(productVersion), expected);
}

int RunStartPageTests(int argc, char** argv) {
    TestStartPage test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_startpage.moc"
