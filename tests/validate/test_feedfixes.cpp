// Each repair, taken the way the editor takes it: validate the feed's bytes,
// pick the finding, apply its fix to the loaded feed. The repaired feed must
// no longer give that finding, and must print exactly as the expected feed
// does, which holds every other node, text and attribute as it was.
#include <QRegularExpression>
#include <QtTest>
#include <sstream>

#include "feed/rssfeed.h"
#include "validate/feedfixes.h"
#include "validate/feedvalidator.h"

namespace {

QByteArray Feed(const char* channel, const char* rssAttributes = "") {
    return QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\"") +
           rssAttributes + "><channel>" + channel + "</channel></rss>\n";
}

// Channel elements that keep the feed free of findings beside the one tested.
const char kHead[] = "<title>T</title><link>http://e.example/blog/</link>"
                     "<description>D</description><language>en</language>";

const Finding* FindingWith(const ValidationReport& report, const QString& id) {
    for (const Finding& finding : report.findings) {
        if (QLatin1String(finding.id()) == id)
            return &finding;
    }
    return nullptr;
}

ValidationOptions At(const char* location) {
    ValidationOptions options;
    options.location = QString::fromLatin1(location);
    return options;
}

} // namespace

class TestFeedFixes final : public QObject {
    Q_OBJECT

private slots:
    void fix_removesFindingAndKeepsTheRest_data() {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("which");
        QTest::addColumn<QByteArray>("expected");

        const QString none;
        const QByteArray item = "<item><title>A</title><link>http://e.example/a</link>"
                                "<guid isPermaLink=\"false\">a</guid>";
        QTest::newRow("guid added after the last element")
            << Feed(QByteArray(kHead) +
                    "<item><title>A</title><link>http://e.example/a</link><!-- c --></item>"
                    "<item><title>B</title><guid isPermaLink=\"false\">b</guid></item>")
            << "MissingGuid" << none << none << -1
            << Feed(QByteArray(kHead) +
                    "<item><title>A</title><link>http://e.example/a</link><guid "
                    "isPermaLink=\"false\">{guid}</guid><!-- c --></item>"
                    "<item><title>B</title><guid isPermaLink=\"false\">b</guid></item>");
        QTest::newRow("wrong weekday")
            << Feed(kHead + item + "<pubDate>Thu, 19 Jul 2006 23:08:26 +1000</pubDate></item>")
            << "IncorrectDOW" << none << none << -1
            << Feed(kHead + item + "<pubDate>Wed, 19 Jul 2006 23:08:26 +1000</pubDate></item>");
        QTest::newRow("ISO date of the channel")
            << Feed(QByteArray(kHead) + "<lastBuildDate>2002-12-31T01:15:07-05:00</lastBuildDate>")
            << "InvalidRFC2822Date" << none << none << -1
            << Feed(QByteArray(kHead) +
                    "<lastBuildDate>Tue, 31 Dec 2002 01:15:07 -0500</lastBuildDate>");
        QTest::newRow("two-digit year and a comment")
            << Feed(kHead + item + "<pubDate>Thu, 09 Feb 06 23:59:45 +0000 (UTC)</pubDate></item>")
            << "ProblematicalRFC822Date" << none << none << -1
            << Feed(kHead + item + "<pubDate>Thu, 09 Feb 2006 23:59:45 +0000</pubDate></item>");
        QTest::newRow("odd offset becomes GMT")
            << Feed(kHead + item + "<pubDate>31 Dec 2002 23:20:20 -0234</pubDate></item>")
            << "ProblematicalRFC822Date" << none << none << -1
            << Feed(kHead + item + "<pubDate>Wed, 01 Jan 2003 01:54:20 GMT</pubDate></item>");
        QTest::newRow("CDATA date stays CDATA")
            << Feed(kHead + item + "<pubDate><![CDATA[2006-02-09T23:59:45Z]]></pubDate></item>")
            << "InvalidRFC2822Date" << none << none << -1
            << Feed(kHead + item +
                    "<pubDate><![CDATA[Thu, 09 Feb 2006 23:59:45 GMT]]></pubDate></item>");
        QTest::newRow("self link after the other atom links")
            << Feed(QByteArray(kHead) +
                        "<atom:link rel=\"alternate\" href=\"http://e.example/\"/>" + item +
                        "</item>",
                    " xmlns:atom=\"http://www.w3.org/2005/Atom\"")
            << "MissingAtomSelfLink"
            << "http://e.example/rss.xml" << none << -1
            << Feed(QByteArray(kHead) +
                        "<atom:link rel=\"alternate\" href=\"http://e.example/\"/><atom:link "
                        "href=\"http://e.example/rss.xml\" rel=\"self\" "
                        "type=\"application/rss+xml\"/>" +
                        item + "</item>",
                    " xmlns:atom=\"http://www.w3.org/2005/Atom\"");
        QTest::newRow("self link declares the namespace")
            << Feed(kHead + item + "</item>") << "MissingAtomSelfLink"
            << "http://e.example/rss.xml" << none << -1
            << Feed(QByteArray(kHead) +
                        "<atom:link href=\"http://e.example/rss.xml\" rel=\"self\" "
                        "type=\"application/rss+xml\"/>" +
                        item + "</item>",
                    " xmlns:atom=\"http://www.w3.org/2005/Atom\"");
        QTest::newRow("self link keeps the file's own prefix")
            << Feed(kHead + item + "</item>", " xmlns:a=\"http://www.w3.org/2005/Atom\"")
            << "MissingAtomSelfLink"
            << "http://e.example/rss.xml" << none << -1
            << Feed(QByteArray(kHead) +
                        "<a:link href=\"http://e.example/rss.xml\" rel=\"self\" "
                        "type=\"application/rss+xml\"/>" +
                        item + "</item>",
                    " xmlns:a=\"http://www.w3.org/2005/Atom\"");
        QTest::newRow("missing description added after link")
            << Feed("<title>T</title><link>http://e.example/</link><language>en</language>")
            << "MissingDescription" << none << "About <T> & more" << -1
            << Feed("<title>T</title><link>http://e.example/</link><description>About &lt;T&gt; "
                    "&amp; more</description><language>en</language>");
        QTest::newRow("empty description filled")
            << Feed("<title>T</title><description/><link>http://e.example/</link>"
                    "<language>en</language>")
            << "NotBlank" << none << "News" << -1
            << Feed("<title>T</title><description>News</description>"
                    "<link>http://e.example/</link><language>en</language>");
        QTest::newRow("blank description filled")
            << Feed("<title>T</title><description>  </description><link>http://e.example/</link>"
                    "<language>en</language>")
            << "NotBlank" << none << "News" << -1
            << Feed("<title>T</title><description>News</description>"
                    "<link>http://e.example/</link><language>en</language>");
        QTest::newRow("relative links in description and content")
            << Feed(kHead + item +
                        "<description>&lt;img src=\"/i/a.jpg\"&gt; &lt;a href=\"p/2.html\"&gt;two"
                        "&lt;/a&gt; &lt;a href=\"#top\"&gt;top&lt;/a&gt; &lt;a "
                        "href=\"http://o.example/\"&gt;o&lt;/a&gt;</description>"
                        "<content:encoded><![CDATA[<a href='../x?a=1&amp;b=2'>x</a>]]>"
                        "</content:encoded></item>",
                    " xmlns:content=\"http://purl.org/rss/1.0/modules/content/\"")
            << "ContainsRelRef" << none << none << -1
            << Feed(kHead + item +
                        "<description>&lt;img src=\"http://e.example/i/a.jpg\"&gt; &lt;a "
                        "href=\"http://e.example/blog/p/2.html\"&gt;two&lt;/a&gt; &lt;a "
                        "href=\"#top\"&gt;top&lt;/a&gt; &lt;a "
                        "href=\"http://o.example/\"&gt;o&lt;/a&gt;</description>"
                        "<content:encoded><![CDATA[<a "
                        "href='http://e.example/x?a=1&amp;b=2'>x</a>]]></content:encoded></item>",
                    " xmlns:content=\"http://purl.org/rss/1.0/modules/content/\"");
        const QByteArray other = "<item><title>B</title><guid isPermaLink=\"false\">b</guid>"
                                 "</item>";
        QTest::newRow("items moved after the other elements")
            << Feed(QByteArray(kHead) + item + "</item><category>c</category>" + other +
                    "<copyright>x</copyright>")
            << "MisplacedItem" << none << none << -1
            << Feed(QByteArray(kHead) + "<category>c</category><copyright>x</copyright>" + item +
                    "</item>" + other);
        const QByteArray first = "<enclosure url=\"http://e.example/1.mp3\" length=\"1\" "
                                 "type=\"audio/mpeg\"/>";
        const QByteArray second = "<enclosure url=\"http://e.example/2.mp3\" length=\"2\" "
                                  "type=\"audio/mpeg\"/>";
        QTest::newRow("duplicate enclosure removed")
            << Feed(kHead + item + first + second + "</item>") << "DuplicateEnclosure" << none
            << none << -1 << Feed(kHead + item + first + "</item>");
        QTest::newRow("first enclosure removed when asked")
            << Feed(kHead + item + first + second + "</item>") << "DuplicateEnclosure" << none
            << none << 0 << Feed(kHead + item + second + "</item>");
    }
    void fix_removesFindingAndKeepsTheRest() {
        QFETCH(QByteArray, input);
        QFETCH(QString, id);
        QFETCH(QString, url);
        QFETCH(QString, text);
        QFETCH(int, which);
        QFETCH(QByteArray, expected);

        const ValidationOptions options = At("http://e.example/rss.xml");
        const ValidationReport before = ValidateFeedBytes(input, options);
        const Finding* finding = FindingWith(before, id);
        QVERIFY2(finding, qPrintable(id));
        QVERIFY(finding->fix != FixKind::None);

        CRssFeed feed;
        QVERIFY(feed.LoadFromMemory(input));
        QVERIFY(ApplyFix(feed, *finding, {url, text, which}));

        const QByteArray fixed = feed.SaveToMemory();
        const ValidationReport after = ValidateFeedBytes(fixed, options);
        QVERIFY2(!FindingWith(after, id), fixed.constData());
        for (const Finding& left : after.findings)
            QVERIFY2(left.severity() != Severity::Error, qPrintable(left.message));

        if (expected.contains("{guid}")) {
            const QString guid = feed.GetGuid(finding->post);
            QVERIFY(QRegularExpression(QStringLiteral("^urn:uuid:[0-9a-f-]{36}$"))
                        .match(guid)
                        .hasMatch());
            expected.replace("{guid}", guid.toUtf8());
        }
        CRssFeed want;
        QVERIFY(want.LoadFromMemory(expected));
        QCOMPARE(feed.PrintToText(), want.PrintToText());
    }

    // A tree that keeps the file's layout as text between elements: a new
    // element gets the indentation of its neighbours, a moved one takes its
    // own along, a removed one leaves no blank line.
    void fix_keepsTheLayoutOfTheFile_data() {
        QTest::addColumn<int>("fix");
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("guid") << int(FixKind::AddGuid) << QString()
                              << QByteArray(
                                     "<rss version=\"2.0\">\n  <channel>\n    <title>T</title>\n"
                                     "    <item>\n      <title>A</title>\n      <enclosure "
                                     "url=\"http://e.example/1.mp3\" length=\"1\" "
                                     "type=\"audio/mpeg\"/>\n      <enclosure "
                                     "url=\"http://e.example/2.mp3\" length=\"2\" "
                                     "type=\"audio/mpeg\"/>\n      <guid "
                                     "isPermaLink=\"false\">{guid}</guid>\n    </item>\n"
                                     "    <category>c</category>\n  </channel>\n</rss>");
        QTest::newRow("self link") << int(FixKind::AddSelfLink) << "http://e.example/rss.xml"
                                   << QByteArray("<rss version=\"2.0\" "
                                                 "xmlns:atom=\"http://www.w3.org/2005/Atom\">\n  "
                                                 "<channel>\n    <title>T</title>\n    <atom:link "
                                                 "href=\"http://e.example/rss.xml\" rel=\"self\" "
                                                 "type=\"application/rss+xml\"/>\n    <item>\n"
                                                 "      <title>A</title>\n      <enclosure "
                                                 "url=\"http://e.example/1.mp3\" length=\"1\" "
                                                 "type=\"audio/mpeg\"/>\n      <enclosure "
                                                 "url=\"http://e.example/2.mp3\" length=\"2\" "
                                                 "type=\"audio/mpeg\"/>\n    </item>\n    "
                                                 "<category>c</category>\n  </channel>\n</rss>");
        QTest::newRow("items last") << int(FixKind::MoveItems) << QString()
                                    << QByteArray("<rss version=\"2.0\">\n  <channel>\n    "
                                                  "<title>T</title>\n    <category>c</category>\n"
                                                  "    <item>\n      <title>A</title>\n      "
                                                  "<enclosure url=\"http://e.example/1.mp3\" "
                                                  "length=\"1\" type=\"audio/mpeg\"/>\n      "
                                                  "<enclosure url=\"http://e.example/2.mp3\" "
                                                  "length=\"2\" type=\"audio/mpeg\"/>\n    "
                                                  "</item>\n  </channel>\n</rss>");
        QTest::newRow("enclosure") << int(FixKind::RemoveDuplicateEnclosure) << QString()
                                   << QByteArray("<rss version=\"2.0\">\n  <channel>\n    "
                                                 "<title>T</title>\n    <item>\n      "
                                                 "<title>A</title>\n      <enclosure "
                                                 "url=\"http://e.example/1.mp3\" length=\"1\" "
                                                 "type=\"audio/mpeg\"/>\n    </item>\n    "
                                                 "<category>c</category>\n  </channel>\n</rss>");
    }
    void fix_keepsTheLayoutOfTheFile() {
        QFETCH(int, fix);
        QFETCH(QString, argument);
        QFETCH(QByteArray, expected);
        const char* input =
            "<rss version=\"2.0\">\n  <channel>\n    <title>T</title>\n    <item>\n      "
            "<title>A</title>\n      <enclosure url=\"http://e.example/1.mp3\" length=\"1\" "
            "type=\"audio/mpeg\" />\n      <enclosure url=\"http://e.example/2.mp3\" "
            "length=\"2\" type=\"audio/mpeg\" />\n    </item>\n    <category>c</category>\n"
            "  </channel>\n</rss>";
        CRssFeed feed;
        QVERIFY(feed.load_string(input, pugi::parse_default | pugi::parse_ws_pcdata));
        feed.RebuildIndex();
        Finding finding;
        finding.fix = static_cast<FixKind>(fix);
        finding.post = 0;
        finding.which = 1;
        QVERIFY(ApplyFix(feed, finding, {argument, argument, -1}));
        std::ostringstream out;
        feed.save(out, "", pugi::format_raw | pugi::format_no_declaration);
        expected.replace("{guid}", feed.GetGuid(0).toUtf8());
        QCOMPARE(QByteArray::fromStdString(out.str()), expected);
    }

    // Where there is nothing certain to repair, the tree stays as it was.
    void fix_withNothingToRepair_changesNothing_data() {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("fix");
        QTest::addColumn<int>("post");
        QTest::addColumn<QString>("argument");

        const QByteArray item = QByteArray(kHead) + "<item><title>A</title><guid>g</guid>";
        QTest::newRow("guid present")
            << Feed(item + "</item>") << int(FixKind::AddGuid) << 0 << QString();
        QTest::newRow("post out of range")
            << Feed(item + "</item>") << int(FixKind::AddGuid) << 1 << QString();
        QTest::newRow("date already right")
            << Feed(item + "<pubDate>Tue, 31 Dec 2002 14:20:20 GMT</pubDate></item>")
            << int(FixKind::RewriteDate) << 0 << "pubDate";
        QTest::newRow("date unreadable") << Feed(item + "<pubDate>yesterday</pubDate></item>")
                                         << int(FixKind::RewriteDate) << 0 << "pubDate";
        QTest::newRow("military zone")
            << Feed(item + "<pubDate>31 Dec 2002 14:20:20 A</pubDate></item>")
            << int(FixKind::RewriteDate) << 0 << "pubDate";
        QTest::newRow("day that does not exist")
            << Feed(item + "<pubDate>Sat, 31 Jun 2006 23:08:26 +1000</pubDate></item>")
            << int(FixKind::RewriteDate) << 0 << "pubDate";
        QTest::newRow("self link present")
            << Feed(QByteArray(kHead) + "<atom:link rel=\"self\" href=\"http://e.example/f\"/>",
                    " xmlns:atom=\"http://www.w3.org/2005/Atom\"")
            << int(FixKind::AddSelfLink) << -1 << "http://e.example/rss.xml";
        QTest::newRow("self link not a full URL")
            << Feed(kHead) << int(FixKind::AddSelfLink) << -1 << "rss.xml";
        QTest::newRow("description has text")
            << Feed(kHead) << int(FixKind::FillDescription) << -1 << "Other";
        QTest::newRow("description text empty")
            << Feed("<title>T</title><description> </description>") << int(FixKind::FillDescription)
            << -1 << "  ";
        QTest::newRow("channel link relative")
            << Feed("<title>T</title><link>/blog/</link><item><description>&lt;a "
                    "href=\"a.html\"&gt;a&lt;/a&gt;</description></item>")
            << int(FixKind::AbsoluteLinks) << 0 << QString();
        QTest::newRow("no relative links")
            << Feed(item + "<description>&lt;a href=\"http://x.example/\"&gt;x&lt;/a&gt;"
                           "</description></item>")
            << int(FixKind::AbsoluteLinks) << 0 << QString();
        QTest::newRow("items already last")
            << Feed(item + "</item>") << int(FixKind::MoveItems) << -1 << QString();
        QTest::newRow("one enclosure")
            << Feed(item + "<enclosure url=\"http://e.example/1.mp3\" length=\"1\" "
                           "type=\"audio/mpeg\"/></item>")
            << int(FixKind::RemoveDuplicateEnclosure) << 0 << "0";
    }
    void fix_withNothingToRepair_changesNothing() {
        QFETCH(QByteArray, input);
        QFETCH(int, fix);
        QFETCH(int, post);
        QFETCH(QString, argument);

        CRssFeed feed;
        QVERIFY(feed.LoadFromMemory(input));
        const QByteArray before = feed.PrintToText();
        Finding finding;
        finding.fix = static_cast<FixKind>(fix);
        finding.post = post;
        finding.field = argument;
        finding.which = argument.toInt();
        QVERIFY(!ApplyFix(feed, finding, {argument, argument, -1}));
        QCOMPARE(feed.PrintToText(), before);
    }
};

QTEST_GUILESS_MAIN(TestFeedFixes)
#include "test_feedfixes.moc"
