// Fields of the channel and of posts by path: where new elements go, how
// namespaces are declared, what an empty value removes, and what is left as
// it was.
#include "feed/feedfields.h"
#include "feed/feedoptions.h"
#include "feed/podcastguid.h"
#include "feed/rssfeed.h"

#include "platform/feedsection.h"
#include "platform/settingsfile.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// Laid out as the program writes files, so a save shows exactly what moved.
const QByteArray kFeed = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                         "<rss version=\"2.0\" xmlns:atom=\"http://www.w3.org/2005/Atom\">\n"
                         "    <channel>\n"
                         "        <title>Show</title>\n"
                         "        <category>One</category>\n"
                         "        <x-unknown a=\"1\">kept</x-unknown>\n"
                         "        <category domain=\"d\">Two</category>\n"
                         "        <!-- a comment -->\n"
                         "        <item>\n"
                         "            <title>Post</title>\n"
                         "            <pubDate>01 Dec 2020 10:00:00 GMT</pubDate>\n"
                         "            <guid>g1</guid>\n"
                         "        </item>\n"
                         "    </channel>\n"
                         "</rss>\n";

QByteArray Replaced(QByteArray text, const QByteArray& from, const QByteArray& to) {
    Q_ASSERT(text.contains(from));
    return text.replace(from, to);
}

} // namespace

class TestFeedFields final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void set_writesOnlyItsElement_data() {
        QTest::addColumn<int>("post");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("expected");

        const QByteArray channelEnd = "        <!-- a comment -->\n        <item>\n";
        QTest::newRow("new channel element goes before the first item")
            << -1 << u"language"_s << u"en-us"_s
            << Replaced(kFeed, channelEnd,
                        "        <!-- a comment -->\n        <language>en-us</language>\n"
                        "        <item>\n");
        QTest::newRow("set leaves one of a repeated element, in the first one's place")
            << -1 << u"category"_s << u"Solo"_s
            << Replaced(Replaced(kFeed, "<category>One</category>", "<category>Solo</category>"),
                        "        <category domain=\"d\">Two</category>\n", "");
        QTest::newRow("post element goes at the end of the item")
            << 0 << u"comments"_s << u"https://e.example/c"_s
            << Replaced(kFeed, "<guid>g1</guid>\n",
                        "<guid>g1</guid>\n"
                        "            <comments>https://e.example/c</comments>\n");
        QTest::newRow("nested elements are made on the way")
            << -1 << u"image/url"_s << u"https://e.example/i.png"_s
            << Replaced(kFeed, channelEnd,
                        "        <!-- a comment -->\n        <image>\n"
                        "            <url>https://e.example/i.png</url>\n        </image>\n"
                        "        <item>\n");
        QTest::newRow("a namespace is declared on rss when first used")
            << -1 << u"itunes:explicit"_s << u"false"_s
            << Replaced(Replaced(kFeed, "xmlns:atom=\"http://www.w3.org/2005/Atom\"",
                                 "xmlns:atom=\"http://www.w3.org/2005/Atom\" "
                                 "xmlns:itunes=\"http://www.itunes.com/dtds/podcast-1.0.dtd\""),
                        channelEnd,
                        "        <!-- a comment -->\n"
                        "        <itunes:explicit>false</itunes:explicit>\n        <item>\n");
        QTest::newRow("an attribute of a new element")
            << 0 << u"enclosure@length"_s << u"1234"_s
            << Replaced(kFeed, "<guid>g1</guid>\n",
                        "<guid>g1</guid>\n            <enclosure length=\"1234\" />\n");
        QTest::newRow("an attribute of an existing element")
            << 0 << u"guid@isPermaLink"_s << u"false"_s
            << Replaced(kFeed, "<guid>", "<guid isPermaLink=\"false\">");
        QTest::newRow("a condition picks the element and is given to a new one")
            << -1 << u"atom:link[@rel=self]@href"_s << u"https://e.example/feed.xml"_s
            << Replaced(kFeed, channelEnd,
                        "        <!-- a comment -->\n        <atom:link rel=\"self\" "
                        "href=\"https://e.example/feed.xml\" />\n        <item>\n");
        QTest::newRow("empty removes a new field")
            << -1 << u"x-unknown"_s << QString()
            << Replaced(kFeed, "        <x-unknown a=\"1\">kept</x-unknown>\n", "");
        QTest::newRow("empty removes every repeated element")
            << -1 << u"category"_s << QString()
            << Replaced(Replaced(kFeed, "        <category>One</category>\n", ""),
                        "        <category domain=\"d\">Two</category>\n", "");
        QTest::newRow("empty keeps a field every channel needs")
            << -1 << u"title"_s << QString() << Replaced(kFeed, "<title>Show</title>", "<title />");
        QTest::newRow("removing what is not there changes nothing")
            << 0 << u"itunes:owner/itunes:email"_s << QString() << kFeed;
        QTest::newRow("the same text changes nothing")
            << -1 << u"x-unknown"_s << u"kept"_s << kFeed;
        QTest::newRow("control characters are dropped")
            << -1 << u"x-unknown"_s << u"a\u0001b"_s << Replaced(kFeed, ">kept<", ">ab<");
    }

    void set_writesOnlyItsElement() {
        QFETCH(int, post);
        QFETCH(QString, path);
        QFETCH(QString, value);
        QFETCH(QByteArray, expected);
        CRssFeed feed;
        QVERIFY(feed.LoadFromMemory(kFeed));
        bool changed = false;
        QString error;
        QVERIFY2(SetFeedField(feed, post, *FieldPath::Parse(path), value, &changed, &error),
                 qPrintable(error));
        QCOMPARE(feed.SaveToMemory(), expected);
        QCOMPARE(changed, expected != kFeed);
        // The post's date and guid are the user's: new fields never renew them.
        QCOMPARE(feed.GetPubDate(0), u"01 Dec 2020 10:00:00 GMT"_s);
        QCOMPARE(feed.GetGuid(0), u"g1"_s);
    }

    // Removing the last element of a parent takes the parent too, unless
    // text is left in it: that text, and so the parent, stays.
    void remove_keepsAParentThatHoldsText() {
        CRssFeed feed;
        QVERIFY(feed.LoadFromMemory("<rss><channel><title>T</title><image>note<url>u</url></image>"
                                    "<textInput><name>n</name></textInput></channel></rss>"));
        QVERIFY(SetFeedField(feed, -1, *FieldPath::Parse(u"image/url"_s), QString()));
        QVERIFY(SetFeedField(feed, -1, *FieldPath::Parse(u"textInput/name"_s), QString()));
        const QByteArray saved = feed.SaveToMemory();
        QVERIFY2(saved.contains("<image>note</image>"), saved.constData());
        QVERIFY2(!saved.contains("textInput"), saved.constData());
        // A field whose text is replaced keeps none of the old.
        QVERIFY(SetFeedField(feed, -1, *FieldPath::Parse(u"image"_s), u"new"_s));
        QVERIFY(feed.SaveToMemory().contains("<image>new</image>"));
    }

    void namespaces_followTheFilesOwnPrefix_data() {
        QTest::addColumn<QByteArray>("rss");
        QTest::addColumn<QByteArray>("expectedRss");
        QTest::addColumn<QByteArray>("expectedElement");
        QTest::newRow("own prefix")
            << QByteArray("<rss xmlns:it=\"http://www.itunes.com/dtds/podcast-1.0.dtd\">")
            << QByteArray("<rss xmlns:it=\"http://www.itunes.com/dtds/podcast-1.0.dtd\">")
            << QByteArray("<it:author>Ann</it:author>");
        QTest::newRow("usual prefix taken by another namespace")
            << QByteArray("<rss xmlns:itunes=\"urn:other\">")
            << QByteArray("<rss xmlns:itunes=\"urn:other\" "
                          "xmlns:itunes2=\"http://www.itunes.com/dtds/podcast-1.0.dtd\">")
            << QByteArray("<itunes2:author>Ann</itunes2:author>");
        QTest::newRow("declared already")
            << QByteArray("<rss xmlns:itunes=\"http://www.itunes.com/dtds/podcast-1.0.dtd\">")
            << QByteArray("<rss xmlns:itunes=\"http://www.itunes.com/dtds/podcast-1.0.dtd\">")
            << QByteArray("<itunes:author>Ann</itunes:author>");
    }

    void namespaces_followTheFilesOwnPrefix() {
        QFETCH(QByteArray, rss);
        QFETCH(QByteArray, expectedRss);
        QFETCH(QByteArray, expectedElement);
        CRssFeed feed;
        QVERIFY(feed.LoadFromMemory(rss + "<channel><title>T</title></channel></rss>"));
        const FieldPath path = *FieldPath::Parse(u"itunes:author"_s);
        QVERIFY(SetFeedField(feed, -1, path, u"Ann"_s));
        // A second element of the namespace declares nothing more.
        QVERIFY(SetFeedField(feed, -1, *FieldPath::Parse(u"itunes:owner/itunes:name"_s), u"B"_s));
        const QByteArray saved = feed.SaveToMemory();
        QVERIFY2(saved.startsWith(expectedRss + "\n"), saved.constData());
        QVERIFY2(saved.contains(expectedElement), saved.constData());
        QCOMPARE(saved.count("xmlns:"), expectedRss.count("xmlns:"));
        QCOMPARE(GetFieldValues(feed.GetChannelNode(), path), QStringList{u"Ann"_s});
    }

    void get_listsEveryValue_data() {
        QTest::addColumn<int>("post");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QStringList>("values");
        QTest::newRow("repeated") << -1 << u"category"_s << QStringList{u"One"_s, u"Two"_s};
        QTest::newRow("attribute of those that have it")
            << -1 << u"category@domain"_s << QStringList{u"d"_s};
        QTest::newRow("condition") << -1 << u"category[@domain=d]"_s << QStringList{u"Two"_s};
        QTest::newRow("missing") << 0 << u"itunes:duration"_s << QStringList();
        QTest::newRow("post") << 0 << u"guid"_s << QStringList{u"g1"_s};
    }

    void get_listsEveryValue() {
        QFETCH(int, post);
        QFETCH(QString, path);
        QFETCH(QStringList, values);
        CRssFeed feed;
        QVERIFY(feed.LoadFromMemory(kFeed));
        QCOMPARE(GetFieldValues(FieldContext(feed, post), *FieldPath::Parse(path)), values);
    }

    void parse_refusesWhatIsNoPath_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << QString();
        QTest::newRow("empty step") << u"image//url"_s;
        QTest::newRow("attribute without name") << u"enclosure@"_s;
        QTest::newRow("open condition") << u"link[@rel=self"_s;
        QTest::newRow("blank") << u"a b"_s;
    }

    void parse_refusesWhatIsNoPath() {
        QFETCH(QString, text);
        QString error;
        QVERIFY(!FieldPath::Parse(text, &error));
        QVERIFY(error.contains(u"not a field"_s));
    }

    void set_refusesAnUndeclaredPrefix() {
        CRssFeed feed;
        QVERIFY(feed.LoadFromMemory(kFeed));
        QString error;
        QVERIFY(
            !SetFeedField(feed, -1, *FieldPath::Parse(u"media:title"_s), u"x"_s, nullptr, &error));
        QVERIFY(error.contains(u"unknown namespace prefix media"_s));
        QCOMPARE(feed.SaveToMemory(), kFeed);
    }

    void append_andRepeatedValues_keepTheirPlaces() {
        CRssFeed feed;
        QVERIFY(feed.LoadFromMemory(kFeed));
        const FieldPath category = *FieldPath::Parse(u"category"_s);
        QVERIFY(AppendFieldValue(feed.GetChannelNode(), category, u"Three"_s));
        QVERIFY(feed.SaveToMemory().contains("<category domain=\"d\">Two</category>\n"
                                             "        <category>Three</category>\n"));
        // Rewritten in place: the first keeps its place before x-unknown.
        bool changed = false;
        QVERIFY(SetRepeatedValues(feed.GetChannelNode(), category,
                                  {{u"Uno"_s, {{u"domain"_s, u"e"_s}}}, {u"Two"_s, {}}},
                                  {u"domain"_s}, &changed));
        QVERIFY(changed);
        QCOMPARE(feed.SaveToMemory(),
                 Replaced(Replaced(kFeed, "<category>One</category>",
                                   "<category domain=\"e\">Uno</category>"),
                          "<category domain=\"d\">Two</category>", "<category>Two</category>"));
        QCOMPARE(GetRepeatedValues(feed.GetChannelNode(), category, {u"domain"_s}),
                 (QList<RepeatedValue>{{u"Uno"_s, {{u"domain"_s, u"e"_s}}}, {u"Two"_s, {}}}));
    }

    void renewOption_offKeepsThePostsDate() {
        CRssFeed feed;
        QVERIFY(feed.LoadFromMemory(kFeed));
        feed.SetRenewsDateOnEdit(false);
        QVERIFY(SetFeedField(feed, 0, *FieldPath::Parse(u"title"_s), u"New"_s));
        QCOMPARE(feed.GetTitle(0), u"New"_s);
        QCOMPARE(feed.GetPubDate(0), u"01 Dec 2020 10:00:00 GMT"_s);
        feed.SetRenewsDateOnEdit(true);
        QVERIFY(SetFeedField(feed, 0, *FieldPath::Parse(u"title"_s), u"Newer"_s));
        QVERIFY(feed.GetPubDate(0) != u"01 Dec 2020 10:00:00 GMT"_s);
    }

    void podcastGuid_isTheNamespacesUuidV5_data() {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("guid");
        QTest::newRow("published vector")
            << u"https://podnews.net/rss"_s << u"9b024349-ccf0-5f69-a609-6b82873eab3c"_s;
        QTest::newRow("scheme and trailing slashes do not count")
            << u"http://podnews.net/rss//"_s << u"9b024349-ccf0-5f69-a609-6b82873eab3c"_s;
        QTest::newRow("nothing") << u"  "_s << QString();
    }

    void podcastGuid_isTheNamespacesUuidV5() {
        QFETCH(QString, url);
        QFETCH(QString, guid);
        QCOMPARE(PodcastGuidForUrl(url), guid);
    }

    void options_roundTripBesideThePublishingKeys() {
        QTemporaryDir dir;
        const QString ini = dir.filePath(u"Settings.ini"_s);
        const QString feedPath = dir.filePath(u"feed.xml"_s);
        const QString section = FeedSettingsSection(feedPath);
        QVERIFY(WriteProfileText(ini, section, u"Destination"_s, u"sftp://h/f.xml"_s));
        QCOMPARE(FeedOptions::Load(ini, feedPath), FeedOptions());
        FeedOptions options;
        options.writeGenerator = true;
        options.renewPubDateOnEdit = false;
        options.mediaBaseUrl = u"https://e.example/media/"_s;
        QVERIFY(options.Store(ini, feedPath));
        QCOMPARE(FeedOptions::Load(ini, feedPath), options);
        QString destination;
        QVERIFY(ReadProfileText(ini, section, u"Destination"_s, destination));
        QCOMPARE(destination, u"sftp://h/f.xml"_s);
    }

    void saveOptions_touchOnlyWhatIsOn() {
        CRssFeed feed;
        QVERIFY(feed.LoadFromMemory(kFeed));
        ApplySaveOptions(feed, FeedOptions());
        QCOMPARE(feed.SaveToMemory(), kFeed);
        FeedOptions options;
        options.writeGenerator = true;
        options.renewLastBuildDate = true;
        ApplySaveOptions(feed, options);
        const pugi::xml_node channel = feed.GetChannelNode();
        QVERIFY(GetFieldValue(channel, *FieldPath::Parse(u"generator"_s)).startsWith(u"Orvan"_s));
        QVERIFY(GetFieldValue(channel, *FieldPath::Parse(u"lastBuildDate"_s)).endsWith(u" GMT"_s));
    }

    void mediaUrl_joinsBaseAndEncodedName() {
        QCOMPARE(MediaUrlFor(u"https://e.example/media"_s, u"ep 1.mp3"_s),
                 u"https://e.example/media/ep%201.mp3"_s);
        QCOMPARE(MediaUrlFor(u"https://e.example/media/"_s, u"a.m4a"_s),
                 u"https://e.example/media/a.m4a"_s);
    }
};

QTEST_GUILESS_MAIN(TestFeedFields)
#include "test_feedfields.moc"
