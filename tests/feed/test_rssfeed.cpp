#include "feed/rssdate.h"
#include "feed/rssfeed.h"
#include "feed/rsspost.h"
#include "feed/titleorder.h"

#include <QRegularExpression>
#include <QtTest>
#include <numeric>

namespace {

const char kFeed[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<rss version=\"2.0\" xmlns:atom=\"http://www.w3.org/2005/Atom\">\n"
    "<channel>\n"
    "  <title>Channel</title>\n"
    "  <item><title>Beta</title><link>http://b.example/</link><description>plain &amp; "
    "simple</description>\n"
    "    <author>ann</author><pubDate>Tue, 03 Mar 2026 07:09:05 "
    "GMT</pubDate><guid>g1</guid></item>\n"
    "  <atom:link href=\"http://x.example/feed\" rel=\"self\"/>\n"
    "  "
    "<item><title>alpha</title><link>http://a.example/</link><description><![CDATA[<b>bold</b>]]></"
    "description>\n"
    "    <pubDate>05 Dec 2026 10:45:34 GMT</pubDate><guid isPermaLink=\"true\">g2</guid></item>\n"
    "  <image><url>http://x.example/i.png</url></image>\n"
    "  <item><title>Alpha</title><link>http://b.example/</link><description/><link>second</link>\n"
    "    <pubDate>not a date</pubDate><author></author></item>\n"
    "  <item><title>Gamma</title><pubDate>01 Jan 2001 00:00:00 GMT</pubDate></item>\n"
    "</channel>\n"
    "</rss>\n";

bool LoadText(CRssFeed& feed, const char* text) {
    return feed.LoadFromMemory(QByteArray(text));
}

} // namespace

class TestRssFeed final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void structure_itemsCountedAmongOtherChannelChildren() {
        CRssFeed feed;
        QVERIFY(LoadText(feed, kFeed));
        QCOMPARE(feed.GetPostCount(), 4);
        QCOMPARE(feed.GetTitle(1), QStringLiteral("alpha"));
        QCOMPARE(feed.GetTitle(3), QStringLiteral("Gamma"));
        // An index below 0 addresses the first post; beyond the end nothing.
        QCOMPARE(feed.GetTitle(-1), QStringLiteral("Beta"));
        QCOMPARE(feed.GetTitle(4), QString());
        QVERIFY(!feed.MakePost(4));
        QVERIFY(!feed.MakePost(-1));
        QCOMPARE(feed.MakePost(2)->GetTitle(), QStringLiteral("Alpha"));
    }

    void structure_withoutRssOrChannel_hasNoPosts_data() {
        QTest::addColumn<QByteArray>("xml");
        QTest::newRow("atom") << QByteArray("<feed><entry><title>x</title></entry></feed>");
        QTest::newRow("no channel") << QByteArray("<rss><item><title>x</title></item></rss>");
        QTest::newRow("rdf") << QByteArray("<rdf:RDF xmlns:rdf=\"r\"><channel/>"
                                           "<item><title>x</title></item></rdf:RDF>");
    }
    void structure_withoutRssOrChannel_hasNoPosts() {
        QFETCH(QByteArray, xml);
        CRssFeed feed;
        QVERIFY(feed.LoadFromMemory(xml));
        QCOMPARE(feed.GetPostCount(), 0);
        QCOMPARE(feed.GetTitle(0), QString());
        QCOMPARE(feed.GetDescription(-1), QString());
        QVERIFY(!feed.SetTitle(0, QStringLiteral("t")));
        QVERIFY(!feed.AddPost());
        QVERIFY(!feed.DuplicatePost(0));
        QVERIFY(!feed.RemovePost(0));
    }

    void getters_readFirstTextChildOfFirstElement() {
        CRssFeed feed;
        QVERIFY(LoadText(feed, kFeed));
        QCOMPARE(feed.GetDescription(0), QStringLiteral("plain & simple"));
        QCOMPARE(feed.GetDescription(1), QStringLiteral("<b>bold</b>"));
        QCOMPARE(feed.GetLink(2), QStringLiteral("http://b.example/"));
        QCOMPARE(feed.GetDescription(2), QString());
        QCOMPARE(feed.GetAuthor(2), QString());
        QCOMPARE(feed.GetGuid(1), QStringLiteral("g2"));
        QCOMPARE(feed.GetDescriptionXml(1), QStringLiteral("&lt;b&gt;bold&lt;/b&gt;"));
    }

    void setTitle_touchesPubDateButSetGuidDoesNot() {
        CRssFeed feed;
        QVERIFY(LoadText(feed, kFeed));
        const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
        QVERIFY(feed.SetTitle(1, QStringLiteral("new")));
        QCOMPARE(feed.GetTitle(1), QStringLiteral("new"));
        const QDateTime touched = ParseRssDate(feed.GetPubDate(1));
        QVERIFY(touched >= QDateTime(before.date(), before.time(), Qt::UTC));
        QVERIFY(feed.SetPubDate(1, QStringLiteral("01 Jan 2000 00:00:00 GMT")));
        QVERIFY(feed.SetGuid(1, QStringLiteral("other")));
        QCOMPARE(feed.GetPubDate(1), QStringLiteral("01 Jan 2000 00:00:00 GMT"));
        // A post without pubDate stays without one, and the change still counts.
        QVERIFY(LoadText(feed, "<rss><channel><item><title>a</title></item></channel></rss>"));
        QVERIFY(feed.SetTitle(0, QStringLiteral("b")));
        QVERIFY(!feed.GetItemNode(0).child("pubDate"));
    }

    void setters_keepCdataAsCdataAndPlainAsPlain() {
        CRssFeed feed;
        QVERIFY(LoadText(feed, kFeed));
        QVERIFY(feed.SetDescription(0, QStringLiteral("<i>x</i>")));
        QVERIFY(feed.SetDescription(1, QStringLiteral("<i>y</i>")));
        const QByteArray printed = feed.PrintToText();
        QVERIFY(printed.contains("<description>&lt;i&gt;x&lt;/i&gt;</description>"));
        QVERIFY(printed.contains("<description><![CDATA[<i>y</i>]]></description>"));
    }

    void setters_emptyElementReceivesText_data() {
        QTest::addColumn<QByteArray>("item");
        QTest::newRow("self-closing") << QByteArray("<description/>");
        QTest::newRow("empty pair") << QByteArray("<description></description>");
        QTest::newRow("missing") << QByteArray("");
    }
    void setters_emptyElementReceivesText() {
        QFETCH(QByteArray, item);
        CRssFeed feed;
        QVERIFY(feed.LoadFromMemory("<rss><channel><item><title>t</title>" + item +
                                    "<pubDate>01 Jan 2000 00:00:00 GMT</pubDate></item>"
                                    "</channel></rss>"));
        QVERIFY(feed.SetDescription(0, QStringLiteral("body")));
        QCOMPARE(feed.GetDescription(0), QStringLiteral("body"));
        QVERIFY(feed.GetPubDate(0) != QStringLiteral("01 Jan 2000 00:00:00 GMT"));
        CRssFeed reloaded;
        QVERIFY(reloaded.LoadFromMemory(feed.SaveToMemory()));
        QCOMPARE(reloaded.GetDescription(0), QStringLiteral("body"));
    }

    void setters_emptyTextOnMissingElement_changesNothing() {
        CRssFeed feed;
        QVERIFY(LoadText(feed, "<rss><channel><item><pubDate>01 Jan 2000 00:00:00 GMT</pubDate>"
                               "</item></channel></rss>"));
        const QByteArray before = feed.PrintToText();
        QVERIFY(!feed.SetAuthor(0, QString()));
        QVERIFY(!feed.SetGuid(0, QStringLiteral("g")));
        QVERIFY(!feed.SetPubDate(1, QStringLiteral("x")));
        QCOMPARE(feed.PrintToText(), before);
    }

    // A field is all the text inside its element; setting it replaces all of it.
    void fields_readAllTextAndSettingReplacesIt_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("printed");
        const QByteArray cdata = "<title><![CDATA[N ]]]]><![CDATA[> <&>]]></title>";
        const QByteArray plain = "<title>N ]]&gt; &lt;&amp;&gt;</title>";
        QTest::newRow("two CDATA sections")
            << QByteArray("<![CDATA[a ]]]]><![CDATA[> b]]>") << QStringLiteral("a ]]> b") << cdata;
        QTest::newRow("comment inside")
            << QByteArray("a<!-- c -->b") << QStringLiteral("ab") << plain;
        QTest::newRow("markup inside")
            << QByteArray("<b>bold</b> <i>x</i>") << QStringLiteral("bold x") << plain;
        QTest::newRow("text then CDATA")
            << QByteArray("a <![CDATA[<b>]]>") << QStringLiteral("a <b>") << cdata;
        QTest::newRow("nested CDATA")
            << QByteArray("<x:p>1<![CDATA[2]]></x:p>3") << QStringLiteral("123") << plain;
    }
    void fields_readAllTextAndSettingReplacesIt() {
        QFETCH(QByteArray, content);
        QFETCH(QString, text);
        QFETCH(QByteArray, printed);
        CRssFeed feed;
        QVERIFY(feed.LoadFromMemory("<rss><channel><item><title>" + content +
                                    "</title></item></channel></rss>"));
        QCOMPARE(feed.GetTitle(0), text);
        QCOMPARE(QString::fromUtf8(feed.GetFieldUtf8(0, "title")), text);
        const QString value = QStringLiteral("N ]]> <&>");
        QVERIFY(feed.SetTitle(0, value));
        QVERIFY(feed.SetTitle(0, value));
        QVERIFY2(feed.PrintToText().contains(printed), feed.PrintToText().constData());
        CRssFeed reloaded;
        QVERIFY(reloaded.LoadFromMemory(feed.SaveToMemory()));
        QCOMPARE(reloaded.GetTitle(0), value);
    }

    // What XML cannot hold never reaches the tree, so no save can be refused.
    void setters_dropCharactersXmlForbids() {
        CRssFeed feed;
        QVERIFY(LoadText(feed, kFeed));
        const QString bad = QStringLiteral("a\x01"
                                           "b\x07"
                                           "c\tx\uFFFEy") +
                            QChar(0xD800) + u'z';
        QVERIFY(HasCharactersXmlForbids(bad));
        QVERIFY(!HasCharactersXmlForbids(QString::fromUtf8("tab\tline\n\xF0\x9F\x98\x80")));
        QVERIFY(feed.SetTitle(0, bad));
        QVERIFY(feed.SetDescription(1, bad));
        QCOMPARE(feed.GetTitle(0), QStringLiteral("abc\txyz"));
        QCOMPARE(feed.GetDescription(1), QStringLiteral("abc\txyz"));
        CRssFeed reloaded;
        QVERIFY(reloaded.LoadFromMemory(feed.SaveToMemory()));
        QCOMPARE(reloaded.GetTitle(0), QStringLiteral("abc\txyz"));
    }

    void setters_wideCharactersConvertWithoutLoss_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("chinese") << QString(5000, QChar(0x4E2D));
        QTest::newRow("cyrillic") << QStringLiteral("Привет, мир");
        QTest::newRow("emoji") << QString::fromUtf8("\xF0\x9F\x98\x80 smile");
    }
    void setters_wideCharactersConvertWithoutLoss() {
        QFETCH(QString, text);
        CRssFeed feed;
        QVERIFY(LoadText(feed, kFeed));
        QVERIFY(feed.SetTitle(0, text));
        QCOMPARE(feed.GetTitle(0), text);
        CRssFeed reloaded;
        QVERIFY(reloaded.LoadFromMemory(feed.SaveToMemory()));
        QCOMPARE(reloaded.GetTitle(0), text);
    }

    void setLink_rewritesGuidWithStampAndPermaLinkFalse() {
        CRssFeed feed;
        QVERIFY(LoadText(feed, kFeed));
        QVERIFY(feed.SetLink(1, QStringLiteral("http://n.example/p")));
        const QString guid = feed.GetGuid(1);
        QVERIFY2(guid.startsWith(QStringLiteral("http://n.example/p?")), qPrintable(guid));
        const QString stamp = guid.mid(19);
        QVERIFY(!stamp.isEmpty());
        QVERIFY(!stamp.contains(QLatin1Char(' ')) && !stamp.contains(QLatin1Char('.')));
        QCOMPARE(
            QString::fromUtf8(feed.GetItemNode(1).child("guid").attribute("isPermaLink").value()),
            QStringLiteral("false"));
        // No guid element: none is created.
        QVERIFY(feed.SetLink(3, QStringLiteral("http://g.example/")));
        QVERIFY(!feed.GetItemNode(3).child("guid"));
    }

    void addPost_insertsDefaultsAsPostZero() {
        CRssFeed feed;
        QVERIFY(LoadText(feed, kFeed));
        QVERIFY(feed.AddPost());
        QCOMPARE(feed.GetPostCount(), 5);
        QCOMPARE(feed.GetTitle(0), QStringLiteral("New Item"));
        QCOMPARE(feed.GetTitle(1), QStringLiteral("Beta"));
        QStringList names;
        for (pugi::xml_node n : feed.GetItemNode(0).children())
            names << QString::fromUtf8(n.name());
        QCOMPARE(names, QStringList({QStringLiteral("title"), QStringLiteral("description"),
                                     QStringLiteral("pubDate"), QStringLiteral("link"),
                                     QStringLiteral("author"), QStringLiteral("guid")}));
        QVERIFY(
            QRegularExpression(QStringLiteral("^[0-9a-f]{32}$")).match(feed.GetGuid(0)).hasMatch());
        QVERIFY(!feed.GetItemNode(0).child("guid").attribute("isPermaLink"));
        // The new item stands before the first item, after the channel title.
        QCOMPARE(QString::fromUtf8(feed.GetItemNode(0).previous_sibling().name()),
                 QStringLiteral("title"));
    }

    void addPost_inChannelWithoutItems_goesToTheEnd() {
        CRssFeed feed;
        QVERIFY(LoadText(feed, "<rss><channel><title>c</title></channel></rss>"));
        QVERIFY(feed.AddPost());
        QCOMPARE(feed.GetPostCount(), 1);
        QVERIFY(!feed.GetItemNode(0).next_sibling());
    }

    void duplicateAndRemove_keepIndexInStepWithTree() {
        CRssFeed feed;
        QVERIFY(LoadText(feed, kFeed));
        QVERIFY(feed.DuplicatePost(2));
        QCOMPARE(feed.GetPostCount(), 5);
        QCOMPARE(feed.GetTitle(0), QStringLiteral("Alpha"));
        QCOMPARE(feed.GetTitle(3), QStringLiteral("Alpha"));
        QVERIFY(feed.RemovePost(3));
        QCOMPARE(feed.GetPostCount(), 4);
        QCOMPARE(feed.GetTitle(3), QStringLiteral("Gamma"));
        QVERIFY(!feed.RemovePost(4));
        // The index always agrees with a fresh walk of the tree.
        std::vector<QString> titles = feed.CollectTitles();
        feed.RebuildIndex();
        QCOMPARE(feed.CollectTitles(), titles);
        while (feed.GetPostCount() > 0)
            QVERIFY(feed.RemovePost(0));
        QVERIFY(!feed.DuplicatePost(0));
        QVERIFY(feed.AddPost());
        QCOMPARE(feed.GetPostCount(), 1);
    }

    void getAllLinks_distinctNonEmptyOrdinalOrder() {
        CRssFeed feed;
        QVERIFY(LoadText(feed, kFeed));
        QCOMPARE(feed.GetAllLinks(), QStringList({QStringLiteral("http://a.example/"),
                                                  QStringLiteral("http://b.example/")}));
    }

    // Titles are ordered from their UTF-8 bytes; the order must be exactly
    // that of the UTF-16 texts, also where the two encodings disagree.
    void titleSortBytes_matchUtf16Order_data() {
        QTest::addColumn<QByteArray>("a");
        QTest::addColumn<QByteArray>("b");
        QTest::newRow("ascii") << QByteArray("Apple") << QByteArray("apple");
        QTest::newRow("prefix") << QByteArray("News") << QByteArray("News today");
        QTest::newRow("empty") << QByteArray("") << QByteArray("a");
        QTest::newRow("equal") << QByteArray("Same") << QByteArray("Same");
        QTest::newRow("cyrillic") << QByteArray("\xd0\x91\xd0\xb0")
                                  << QByteArray("\xd0\x90\xd1\x8f");
        // U+E000 sorts above U+1F600 in UTF-16 (surrogates come first).
        QTest::newRow("private use vs emoji")
            << QByteArray("x\xee\x80\x80") << QByteArray("x\xf0\x9f\x98\x80");
        QTest::newRow("U+FFFD vs U+10000")
            << QByteArray("\xef\xbf\xbd") << QByteArray("\xf0\x90\x80\x80");
        QTest::newRow("same high surrogate")
            << QByteArray("\xf0\x9f\x98\x80") << QByteArray("\xf0\x9f\x98\x81");
        QTest::newRow("U+D7FF vs emoji")
            << QByteArray("\xed\x9f\xbf") << QByteArray("\xf0\x9f\x98\x80");
        QTest::newRow("ill-formed byte") << QByteArray("a\xff") << QByteArray("a\xef\xbf\xbc");
        QTest::newRow("encoded surrogate")
            << QByteArray("\xed\xa0\x80") << QByteArray("\xee\x80\x80");
        QTest::newRow("cut sequence") << QByteArray("ab\xe2\x82") << QByteArray("ab\xe2\x82\xac");
    }

    void titleSortBytes_matchUtf16Order() {
        QFETCH(QByteArray, a);
        QFETCH(QByteArray, b);
        std::vector<char> ka;
        std::vector<char> kb;
        AppendTitleSortBytes(ka, std::string_view(a.constData(), size_t(a.size())));
        AppendTitleSortBytes(kb, std::string_view(b.constData(), size_t(b.size())));
        // Compared as unsigned bytes, as the sort does.
        const auto less = [](const std::vector<char>& x, const std::vector<char>& y) {
            return std::lexicographical_compare(x.begin(), x.end(), y.begin(), y.end(),
                                                [](char l, char r) { return uchar(l) < uchar(r); });
        };
        const QString sa = QString::fromUtf8(a);
        const QString sb = QString::fromUtf8(b);
        QCOMPARE(less(ka, kb), sa < sb);
        QCOMPARE(less(kb, ka), sb < sa);
    }

    // Many titles with long shared beginnings, repeats and characters on
    // both sides of the UTF-16 surrogate range sort as the shown texts do,
    // equal titles keeping their positions.
    void sortByTitle_matchesStableUtf16Sort() {
        const QStringList parts = {QStringLiteral("A"),
                                   QStringLiteral("a"),
                                   QStringLiteral("Long shared beginning "),
                                   QString(QChar(0xE000)),
                                   QStringLiteral("\U0001F600"),
                                   QString(QChar(0xFFFD)),
                                   QStringLiteral("\u00e9"),
                                   QStringLiteral("\u0416")};
        QByteArray xml = "<rss><channel>";
        QStringList titles;
        quint32 seed = 7;
        for (int i = 0; i < 400; ++i) {
            QString title;
            for (int k = 0; k < 1 + i % 4; ++k) {
                seed = seed * 1103515245u + 12345u;
                title += parts[int((seed >> 16) % quint32(parts.size()))];
            }
            titles.append(title);
            xml += "<item><title>" + title.toHtmlEscaped().toUtf8() + "</title></item>";
        }
        xml += "</channel></rss>";
        CRssFeed feed;
        QVERIFY(feed.LoadFromMemory(xml));
        std::vector<int> expected(size_t(titles.size()));
        std::iota(expected.begin(), expected.end(), 0);
        std::stable_sort(expected.begin(), expected.end(),
                         [&](int a, int b) { return feed.GetTitle(a) < feed.GetTitle(b); });
        QCOMPARE(feed.SortedIndices(PostOrder::ByTitle), expected);
    }

    void ordering_byTitleIsOrdinalAndByDateNewestFirst() {
        CRssFeed feed;
        QVERIFY(LoadText(feed, kFeed));
        QCOMPARE(feed.SortedIndices(PostOrder::ByTitle), (std::vector<int>{2, 0, 3, 1}));
        // The unreadable date counts as now: above every dated post.
        QCOMPARE(feed.SortedIndices(PostOrder::ByDate), (std::vector<int>{2, 1, 0, 3}));
        QCOMPARE(feed.SortedIndices(PostOrder::ByPosition), (std::vector<int>{0, 1, 2, 3}));
        QVERIFY(feed.ComparePosts(PostOrder::ByTitle, 2, 1));
        QVERIFY(!feed.ComparePosts(PostOrder::ByTitle, 1, 1));
        QVERIFY(feed.ComparePosts(PostOrder::ByDate, 1, 0));
        QVERIFY(!feed.ComparePosts(PostOrder::ByDate, 3, 0));
        QVERIFY(feed.ComparePosts(PostOrder::ByPosition, 0, 3));
    }

    void plainText_tagsRemovedThenEntitiesDecoded_data() {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("text");
        QTest::newRow("tags") << QStringLiteral("<p>a <b>b</b></p>c") << QStringLiteral("a bc");
        QTest::newRow("entities") << QStringLiteral("&laquo;x&raquo;&nbsp;&lt;y&gt;")
                                  << QStringLiteral("\"x\" <y>");
        QTest::newRow("decoded tag stays") << QStringLiteral("&lt;b&gt;") << QStringLiteral("<b>");
        QTest::newRow("open without close") << QStringLiteral("a < b") << QStringLiteral("a < b");
        QTest::newRow("close before open")
            << QStringLiteral("a > b <i>c") << QStringLiteral("a > b c");
    }
    void plainText_tagsRemovedThenEntitiesDecoded() {
        QFETCH(QString, html);
        QFETCH(QString, text);
        QCOMPARE(DescriptionPlainText(html), text);
    }

    void escapeForXml_countsAndIsNotIdempotent() {
        QString text = QStringLiteral("a<b>&\"c' &amp;");
        QCOMPARE(EscapeForXml(text), 5);
        QCOMPARE(text, QStringLiteral("a&lt;b&gt;&amp;&quot;c' &amp;amp;"));
        QString empty;
        QCOMPARE(EscapeForXml(empty), 0);
    }

    void postSetDescription_passesThroughFilterButFeedSetterDoesNot() {
        CRssFeed feed;
        QVERIFY(LoadText(feed, kFeed));
        SetDescriptionFilter([](const QString& text, int) { return text + QStringLiteral("!"); });
        QVERIFY(feed.MakePost(0)->SetDescription(QStringLiteral("a")));
        QCOMPARE(feed.GetDescription(0), QStringLiteral("a!"));
        QVERIFY(feed.SetDescription(0, QStringLiteral("b")));
        QCOMPARE(feed.GetDescription(0), QStringLiteral("b"));
        SetDescriptionFilter(nullptr);
        QVERIFY(feed.MakePost(0)->SetDescription(QStringLiteral("c")));
        QCOMPARE(feed.GetDescription(0), QStringLiteral("c"));
    }

    void sort_hundredThousandPosts_usesIndex() {
        QByteArray xml = "<rss><channel>";
        for (int i = 0; i < 100000; ++i)
            xml += "<item><title>t" + QByteArray::number((i * 7919) % 100000) +
                   "</title><pubDate>0" + QByteArray::number(i % 9 + 1) +
                   " Jan 2020 00:00:00 GMT</pubDate></item>";
        xml += "</channel></rss>";
        CRssFeed feed;
        QVERIFY(feed.LoadFromMemory(xml));
        QCOMPARE(feed.GetPostCount(), 100000);
        const std::vector<int> order = feed.SortedIndices(PostOrder::ByTitle);
        for (size_t i = 1; i < order.size(); ++i)
            QVERIFY(!feed.ComparePosts(PostOrder::ByTitle, order[i], order[i - 1]));
        QCOMPARE(feed.GetTitle(99999),
                 QStringLiteral("t") + QString::number((99999 * 7919) % 100000));
    }
};

QTEST_GUILESS_MAIN(TestRssFeed)
#include "test_rssfeed.moc"
