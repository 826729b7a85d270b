// Checks the W3C Feed Validator's cases do not cover: the podcast tags of
// iTunes and Podcasting 2.0, the HTML of posts, namespaces, and the
// validator's use from worker threads.
#include <QtTest>
#include <thread>

#include "validate/feedvalidator.h"

namespace {

const char kLocation[] = "http://e.example/rss.xml";

// A feed that is clean on its own; rows add to its channel and its one item.
QByteArray Feed(const QByteArray& channel, const QByteArray& item) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<rss version=\"2.0\" xmlns:atom=\"http://www.w3.org/2005/Atom\" "
           "xmlns:itunes=\"http://www.itunes.com/dtds/podcast-1.0.dtd\" "
           "xmlns:podcast=\"https://podcastindex.org/namespace/1.0\">\n"
           "<channel><title>T</title><link>http://e.example/</link><description>D</description>"
           "<language>en</language><atom:link href=\"http://e.example/rss.xml\" rel=\"self\" "
           "type=\"application/rss+xml\"/>\n" +
           channel + "\n<item><title>A</title><guid isPermaLink=\"false\">a</guid>" + item +
           "</item>\n</channel></rss>\n";
}

// What Apple requires of a podcast's channel.
const QByteArray kPodcast = "<itunes:image href=\"http://e.example/cover.jpg\"/>"
                            "<itunes:category text=\"Technology\"/>"
                            "<itunes:explicit>false</itunes:explicit>";

QStringList Ids(const ValidationReport& report) {
    QStringList ids;
    for (const Finding& finding : report.findings)
        ids << QString::fromLatin1(finding.id());
    return ids;
}

} // namespace

class TestFeedChecks final : public QObject {
    Q_OBJECT

private slots:
    void checks_reportExactly_data() {
        QTest::addColumn<QByteArray>("channel");
        QTest::addColumn<QByteArray>("item");
        QTest::addColumn<QStringList>("ids");

        QTest::newRow("podcast with every tag right")
            << kPodcast + "<itunes:owner><itunes:name>N</itunes:name><itunes:email>n@e.example"
                          "</itunes:email></itunes:owner><itunes:type>serial</itunes:type>"
                          "<itunes:category text=\"Society &amp; Culture\"><itunes:category "
                          "text=\"Places &amp; Travel\"/></itunes:category>"
                          "<podcast:guid>9b024349-ccf0-5f69-a609-6b82873eab3c</podcast:guid>"
                          "<podcast:locked owner=\"n@e.example\">yes</podcast:locked>"
                          "<podcast:medium>podcast</podcast:medium>"
                          "<podcast:funding url=\"https://e.example/give\">Support us"
                          "</podcast:funding>"
            << QByteArray("<enclosure url=\"http://e.example/1.mp3\" length=\"9\" "
                          "type=\"audio/mpeg\"/><itunes:duration>1:02:03</itunes:duration>"
                          "<itunes:episode>3</itunes:episode><itunes:season>1</itunes:season>"
                          "<itunes:episodeType>trailer</itunes:episodeType>"
                          "<itunes:explicit>true</itunes:explicit>"
                          "<podcast:transcript url=\"https://e.example/1.vtt\" type=\"text/vtt\" "
                          "language=\"en\" rel=\"captions\"/>"
                          "<podcast:chapters url=\"https://e.example/1.json\" "
                          "type=\"application/json+chapters\"/>")
            << QStringList();
        QTest::newRow("podcast without Apple's required tags")
            << QByteArray("<itunes:author>A</itunes:author>") << QByteArray()
            << QStringList{"MissingItunesElement", "MissingItunesElement", "MissingItunesElement"};
        QTest::newRow("categories")
            << kPodcast + "<itunes:category text=\"Cooking\"/><itunes:category text=\"Games &amp; "
                          "Hobbies\"/><itunes:category text=\"Technology\"><itunes:category "
                          "text=\"Tech News\"/></itunes:category><itunes:category/>"
            << QByteArray()
            << QStringList{"InvalidItunesCategory", "ObsoleteItunesCategory",
                           "InvalidItunesCategory", "MissingAttribute"};
        QTest::newRow("channel values")
            << kPodcast + "<itunes:owner><itunes:name>N</itunes:name></itunes:owner>"
                          "<itunes:type>daily</itunes:type><itunes:block>maybe</itunes:block>"
                          "<itunes:new-feed-url>feed.xml</itunes:new-feed-url>"
                          "<itunes:image href=\"http://e.example/c.gif\"/><itunes:foo/>"
            << QByteArray()
            << QStringList{"MissingItunesEmail", "InvalidItunesChannelType", "InvalidYesNo",
                           "InvalidLink",        "ImageUrlFormat",           "UndefinedElement"};
        QTest::newRow("episode values")
            << kPodcast
            << QByteArray(
                   "<itunes:duration>1:75</itunes:duration><itunes:episode>0</itunes:episode>"
                   "<itunes:episodeType>episode</itunes:episodeType>"
                   "<itunes:explicit>maybe</itunes:explicit><enclosure "
                   "url=\"http://e.example/1.ogg\" length=\"9\" type=\"audio/ogg\"/>")
            << QStringList{"InvalidDuration", "InvalidPositiveInteger", "InvalidItunesEpisodeType",
                           "InvalidYesNoClean", "UnsupportedItunesFormat"};
        QTest::newRow("Podcasting 2.0 channel values")
            << QByteArray(
                   "<podcast:guid>not-a-uuid</podcast:guid><podcast:guid>"
                   "0b3e4f5a-1c2d-4e5f-8a9b-0c1d2e3f4a5b</podcast:guid>"
                   "<podcast:locked owner=\"nobody\">true</podcast:locked><podcast:medium>radio"
                   "</podcast:medium><podcast:funding>x</podcast:funding>"
                   "<podcast:funding url=\"https://e.example/\">") +
                   QByteArray(129, 'x') + "</podcast:funding>"
            << QByteArray() << QStringList{"InvalidPodcastGuid",     "DuplicateElement",
                                           "PodcastGuidNotVersion5", "InvalidAddrSpec",
                                           "InvalidPodcastLocked",   "InvalidPodcastMedium",
                                           "MissingAttribute",       "TooLong"};
        QTest::newRow("transcripts and chapters")
            << QByteArray()
            << QByteArray("<podcast:transcript url=\"https://e.example/1.vtt\"/>"
                          "<podcast:transcript url=\"https://e.example/1.doc\" "
                          "type=\"application/msword\" language=\"English\"/>"
                          "<podcast:transcript type=\"text/vtt\"/>"
                          "<podcast:chapters url=\"https://e.example/c.json\"/>")
            << QStringList{"MissingTranscriptType", "InvalidTranscriptType", "InvalidLanguage",
                           "MissingAttribute", "MissingChaptersType"};
        QTest::newRow("unsafe and broken HTML")
            << QByteArray()
            << QByteArray("<description>&lt;p onclick=\"x()\"&gt;a&lt;/p&gt;&lt;/div&gt;"
                          "&lt;script&gt;x()&lt;/script&gt;&lt;a href=\"javascript:x()\"&gt;"
                          "</description>")
            << QStringList{"SecurityRisk", "SecurityRiskAttr", "NotHtml"};
        QTest::newRow("plain HTML is fine")
            << QByteArray()
            << QByteArray("<description><![CDATA[<p>A<br>b <img src=\"http://e.example/i.png\"> "
                          "<a href=\"#x\">x</a> <b>B</p><hr/>]]></description>")
            << QStringList();
        // Stray text first in an element, before its children, or after them.
        QTest::newRow("text in an item, first or last")
            << QByteArray("<item>lead<title>B</title><guid isPermaLink=\"false\">b</guid></item>")
            << QByteArray("<link>http://e.example/a</link>stray")
            << QStringList{"UnexpectedText", "UnexpectedText"};
        QTest::newRow("text in element-only content")
            << QByteArray("<skipHours>x<hour>1</hour></skipHours>"
                          "<image>y<url>http://e.example/i.png</url><title>T</title>"
                          "<link>http://e.example/</link></image>")
            << QByteArray() << QStringList{"UnexpectedText", "UnexpectedText"};
        QTest::newRow("text in a self link")
            << QByteArray("<atom:link href=\"http://e.example/o.xml\" rel=\"alternate\">x"
                          "</atom:link>")
            << QByteArray() << QStringList{"AtomLinkNotEmpty"};
        QTest::newRow("undeclared prefix told once")
            << QByteArray("<media:title>a</media:title>")
            << QByteArray("<media:content url=\"http://e.example/m\"/>")
            << QStringList{"MissingNamespace"};
    }
    void checks_reportExactly() {
        QFETCH(QByteArray, channel);
        QFETCH(QByteArray, item);
        QFETCH(QStringList, ids);
        ValidationOptions options;
        options.location = QString::fromLatin1(kLocation);
        const ValidationReport report = ValidateFeedBytes(Feed(channel, item), options);
        QVERIFY(report.loaded);
        QStringList got = Ids(report);
        got.sort();
        ids.sort();
        QCOMPARE(got, ids);
    }

    void findings_carryPostAndField() {
        const QByteArray feed =
            Feed(QByteArray(), "<pubDate>Mon, 31 Dec 2002 14:20:20 GMT</pubDate>"
                               "<enclosure url=\"http://e.example/1.mp3\" length=\"-1\" "
                               "type=\"audio/mpeg\"/>");
        const ValidationReport report = ValidateFeedBytes(feed);
        QStringList fields;
        for (const Finding& finding : report.findings) {
            if (finding.post == 0)
                fields << finding.field + QLatin1Char(' ') + QLatin1String(finding.id());
        }
        QCOMPARE(fields, QStringList({"pubDate IncorrectDOW",
                                      "enclosure@length InvalidNonNegativeInteger"}));
    }

    // Lines and columns stay right far into a file and along one long line:
    // many findings on a minified feed, and one after thousands of lines.
    void findings_arePlacedByLineAndCharacter_data() {
        QTest::addColumn<QByteArray>("feed");
        QByteArray oneLine = "<rss version=\"2.0\"><channel><title>T</title><link>http://e.example/"
                             "</link><description>D</description><language>en</language>";
        for (int i = 0; i < 50; ++i)
            oneLine += "<item><title>\xC3\xA9t\xC3\xA9 \xE6\xBC\xA2 " + QByteArray::number(i) +
                       "</title><author>a@e.example</author></item>";
        oneLine += "</channel></rss>";
        QTest::newRow("one line") << oneLine;
        QByteArray tall = "<rss version=\"2.0\"><channel><title>T</title><link>http://e.example/"
                          "</link><description>D</description><language>en</language>\n";
        for (int i = 0; i < 3; ++i)
            tall += QByteArray(70000 + i * 4099, '\n') + "<item><title>A" + QByteArray::number(i) +
                    "</title>\r\n   <author>a@e.example</author></item>";
        tall += "</channel></rss>";
        QTest::newRow("many lines") << tall;
        // The tree is parsed from the text with the entities' texts in it; the
        // places are the file's. An entity of several lines comes before the
        // items, and one in an attribute stands among them.
        QByteArray entities =
            "<?xml version=\"1.0\"?>\r\n<!DOCTYPE rss [\r\n<!ENTITY multi \"a\r\nb\r\nc\r\nd\">"
            "\r\n<!ENTITY host \"http://e.example\">\r\n]>\r\n<rss version=\"2.0\"><channel>"
            "<title>T &multi;</title><link>&host;/</link><description>&multi;</description>"
            "<language>en</language>\r\n";
        for (int i = 0; i < 3; ++i)
            entities += "<item><title>&multi; " + QByteArray::number(i) + "</title><link>&host;/" +
                        QByteArray::number(i) +
                        "</link>\r\n  <author>a@e.example</author></item>\r\n";
        entities += "</channel></rss>\r\n";
        QTest::newRow("declared entities, CR LF") << entities;
    }
    void findings_arePlacedByLineAndCharacter() {
        QFETCH(QByteArray, feed);
        const ValidationReport report = ValidateFeedBytes(feed);
        QVERIFY(report.loaded);
        // Where each <item> and <author> starts, counted the slow way.
        const QString text = QString::fromUtf8(feed);
        const QStringList lines = text.split(QLatin1Char('\n'));
        QList<QPair<int, int>> items;
        QList<QPair<int, int>> authors;
        for (int l = 0; l < lines.size(); ++l) {
            const QString& chars = lines[l];
            for (qsizetype at = chars.indexOf(QStringLiteral("<item>")); at >= 0;
                 at = chars.indexOf(QStringLiteral("<item>"), at + 1))
                items << qMakePair(l + 1, int(chars.left(at).toUcs4().size()) + 1);
            for (qsizetype at = chars.indexOf(QStringLiteral("<author>")); at >= 0;
                 at = chars.indexOf(QStringLiteral("<author>"), at + 1))
                authors << qMakePair(l + 1, int(chars.left(at).toUcs4().size()) + 1);
        }
        QList<QPair<int, int>> missingGuid;
        QList<QPair<int, int>> realName;
        for (const Finding& finding : report.findings) {
            if (finding.msg == Msg::MissingGuid)
                missingGuid << qMakePair(finding.line, finding.column);
            if (finding.msg == Msg::MissingRealName)
                realName << qMakePair(finding.line, finding.column);
        }
        QCOMPARE(missingGuid, items);
        QCOMPARE(realName, authors);
    }

    void notRss_isReportedOnce() {
        const ValidationReport report = ValidateFeedBytes(
            "<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>t</title></feed>");
        QCOMPARE(Ids(report), QStringList{"UndefinedElement"});
        QCOMPARE(report.errorCount(), 1);
    }

    // Elements nested deeper than a call stack could follow are walked all
    // the same (or refused by the loader), never a crash.
    void deepNesting_isWalkedWithoutRecursion() {
        const int depth = 200000;
        QByteArray nested;
        nested.reserve(depth * 12);
        for (int i = 0; i < depth; ++i)
            nested += "<x:a>";
        nested += "<b/>";
        for (int i = 0; i < depth; ++i)
            nested += "</x:a>";
        const ValidationReport report = ValidateFeedBytes(
            Feed(QByteArray(), "<x:deep xmlns:x=\"urn:x\">" + nested + "</x:deep>"));
        if (report.loaded)
            QCOMPARE(Ids(report).count(QStringLiteral("NotInANamespace")), 1);
        else
            QCOMPARE(Ids(report), QStringList{"SAXError"});
    }

    // Nothing is shared between calls, so workers may validate side by side.
    void validate_onSeveralThreads_givesTheSameFindings() {
        QByteArray items;
        for (int i = 0; i < 300; ++i)
            items += "<item><title>P" + QByteArray::number(i) +
                     "</title><author>a@e.example</author><pubDate>Mon, 31 Dec 2002 14:20:20 "
                     "GMT</pubDate><description>&lt;img src=\"/i.png\"&gt;</description></item>";
        const QByteArray feed = Feed(items, QByteArray());
        const QStringList expected = Ids(ValidateFeedBytes(feed));
        QCOMPARE(expected.size(), 4 * 300);
        std::vector<QStringList> results(4);
        std::vector<std::thread> threads;
        for (size_t t = 0; t < results.size(); ++t)
            threads.emplace_back(
                [&feed, &results, t] { results[t] = Ids(ValidateFeedBytes(feed)); });
        for (std::thread& thread : threads)
            thread.join();
        for (const QStringList& result : results)
            QCOMPARE(result, expected);
    }
};

QTEST_GUILESS_MAIN(TestFeedChecks)
#include "test_feedchecks.moc"
