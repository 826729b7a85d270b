// The checking pass reads text sixteen or thirty-two bytes at a time, looks
// a few bytes ahead for references, and compares names eight bytes at a
// time. Faults in such code show only at some positions, so every case here
// is tried with both scanners, the text starting at each offset across two
// blocks, and names of every length across three words.
#include "feed/rssfeed.h"
#include "feed/xmlcheck.h"

#include <QtTest>

namespace {

QByteArray Feed(const QByteArray& lead, const QByteArray& description) {
    return "<rss><channel><item><title>" + lead + "</title><description>" + description +
           "</description></item></channel></rss>";
}

// The column (from 1) of description's first byte in Feed(lead, ...).
int DescriptionColumn(const QByteArray& lead) {
    return static_cast<int>(Feed(lead, QByteArray()).indexOf("</description>")) + 1;
}

} // namespace

class TestXmlCheckBlocks final : public QObject {
    Q_OBJECT

private slots:
    void init() { AllowWideTextScan(true); }
    void cleanup() { AllowWideTextScan(true); }

    void text_loadsExactlyAtEveryOffset_data() {
        QTest::addColumn<QByteArray>("description");
        QTest::addColumn<QString>("text");
        QTest::newRow("escaped markup")
            << QByteArray("&lt;p&gt;a &lt;a href=&quot;x&quot;&gt;b&lt;/a&gt;&amp;&apos;&lt;/p&gt;")
            << QStringLiteral("<p>a <a href=\"x\">b</a>&'</p>");
        QTest::newRow("references side by side")
            << QByteArray("&lt;&lt;&gt;&gt;&amp;&lt;&quot;&gt;&apos;&lt;&gt;&lt;&gt;&lt;&gt;&lt;")
            << QStringLiteral("<<>>&<\">'<><><><");
        QTest::newRow("tabs and line breaks")
            << QByteArray("a\tb\n\n\tc\n                    d\t\t\n")
            << QStringLiteral("a\tb\n\n\tc\n                    d\t\t\n");
        QTest::newRow("brackets") << QByteArray("]] ]>]]]x]") << QStringLiteral("]] ]>]]]x]");
        QTest::newRow("Cyrillic and CJK with references")
            << QByteArray("\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82, "
                          "\xD0\xBC\xD0\xB8\xD1\x80 &lt;b&gt;\xE6\xBC\xA2\xE5\xAD\x97&lt;/b&gt; "
                          "&quot;\xD1\x91\xD0\xB6&quot; &amp; \xF0\x9F\x98\x80 \xEF\xBC\xA1 "
                          "\xED\x9F\xBF\xEE\x80\x80\xE0\xA0\x80\t\xC2\x80\xDF\xBF")
            << QString::fromUtf8("\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82, "
                                 "\xD0\xBC\xD0\xB8\xD1\x80 <b>\xE6\xBC\xA2\xE5\xAD\x97</b> "
                                 "\"\xD1\x91\xD0\xB6\" & \xF0\x9F\x98\x80 \xEF\xBC\xA1 "
                                 "\xED\x9F\xBF\xEE\x80\x80\xE0\xA0\x80\t\xC2\x80\xDF\xBF");
        QTest::newRow("CDATA with markup and multi-byte")
            << QByteArray("<![CDATA[<p>\xD0\xBC\xD0\xB8\xD1\x80 & \xE6\xBC\xA2] ]]</p>\n"
                          "\xD1\x91\xD0\xB6\xD1\x91\xD0\xB6\xD1\x91\xD0\xB6\xD1\x91\xD0\xB6]]>")
            << QString::fromUtf8(
                   "<p>\xD0\xBC\xD0\xB8\xD1\x80 & \xE6\xBC\xA2] ]]</p>\n"
                   "\xD1\x91\xD0\xB6\xD1\x91\xD0\xB6\xD1\x91\xD0\xB6\xD1\x91\xD0\xB6");
        QTest::newRow("multi-byte")
            << QByteArray("\xC3\xA9t\xC3\xA9 \xE6\xBC\xA2 \xF0\x9F\x98\x80")
            << QString::fromUtf8("\xC3\xA9t\xC3\xA9 \xE6\xBC\xA2 \xF0\x9F\x98\x80");
    }
    void text_loadsExactlyAtEveryOffset() {
        QFETCH(QByteArray, description);
        QFETCH(QString, text);
        for (int run = 0; run < 2 * 72; ++run) {
            // Both scanners, the text starting at each offset across two
            // blocks of the wider one.
            AllowWideTextScan(run < 72);
            const int offset = run % 72;
            const QByteArray lead(offset, 'x');
            CRssFeed feed;
            QString error;
            QVERIFY2(feed.LoadFromMemory(Feed(lead, description), &error),
                     qPrintable(QStringLiteral("run %1: %2").arg(run).arg(error)));
            QCOMPARE(feed.GetDescription(0), text);
        }
    }

    // Each fault is placed after the description's first `at` bytes.
    void text_faultFoundAtEveryOffset_data() {
        QTest::addColumn<QByteArray>("description");
        QTest::addColumn<int>("at");
        QTest::addColumn<QString>("reason");
        QTest::newRow("near miss of &lt;") << QByteArray("ab&l;") << 2 << QStringLiteral("&l;");
        QTest::newRow("&lt without ';'") << QByteArray("&lt;&gtx") << 4 << QStringLiteral("';'");
        QTest::newRow("&lt; with a wrong letter")
            << QByteArray("&lt;&gu;") << 4 << QStringLiteral("&gu;");
        QTest::newRow("&quo without ';'")
            << QByteArray("&lt;&quo;") << 4 << QStringLiteral("&quo;");
        QTest::newRow("control character")
            << QByteArray("a\tb\t&lt;\x01") << 8 << QStringLiteral("U+0001");
        QTest::newRow("escape character") << QByteArray("abc\x1B") << 3 << QStringLiteral("U+001B");
        QTest::newRow("']]>'") << QByteArray("&gt;]]>") << 4 << QStringLiteral("']]>'");
        QTest::newRow("cut UTF-8") << QByteArray("&lt;\xC3(") << 4 << QStringLiteral("UTF-8");
        // In a run of multi-byte characters, with more after the fault so
        // that it lies inside a block the vector step reads; at counts
        // characters.
        const QByteArray mir("\xD0\xBC\xD0\xB8\xD1\x80\xD0\xBC\xD0\xB8\xD1\x80");
        QTest::newRow("cut two-byte character")
            << mir + "\xD0(" + mir + mir << 6 << QStringLiteral("UTF-8");
        QTest::newRow("overlong form")
            << mir + "\xC0\xAF" + mir + mir << 6 << QStringLiteral("UTF-8");
        QTest::newRow("encoded surrogate in a run")
            << mir + "\xED\xA0\x80" + mir + mir << 6 << QStringLiteral("UTF-8");
        QTest::newRow("U+FFFE in a run")
            << mir + "\xEF\xBF\xBE" + mir + mir << 6 << QStringLiteral("U+FFFE");
        QTest::newRow("stray continuation byte")
            << mir + "\x80" + mir + mir << 6 << QStringLiteral("UTF-8");
        QTest::newRow("control character in a run")
            << mir + "\x01" + mir + mir << 6 << QStringLiteral("U+0001");
        QTest::newRow("cut three-byte character")
            << QByteArray("\xE6\xBC\xA2\xE6\xBC") + mir + mir << 1 << QStringLiteral("UTF-8");
        QTest::newRow("undeclared entity in a run") << mir + "&co;" << 6 << QStringLiteral("&co;");
        QTest::newRow("control character in CDATA")
            << "<![CDATA[" + mir + "\x02" + mir + mir + "]]>" << 15 << QStringLiteral("U+0002");
        QTest::newRow("cut character in CDATA")
            << "<![CDATA[<" + mir + "\xE6" + mir + mir + "]]>" << 16 << QStringLiteral("UTF-8");
        QTest::newRow("reference to U+0000")
            << QByteArray("&lt;&#0;") << 4 << QStringLiteral("&#0;");
    }
    void text_faultFoundAtEveryOffset() {
        QFETCH(QByteArray, description);
        QFETCH(int, at);
        QFETCH(QString, reason);
        for (int run = 0; run < 2 * 72; ++run) {
            // Both scanners, the text starting at each offset across two
            // blocks of the wider one.
            AllowWideTextScan(run < 72);
            const int offset = run % 72;
            const QByteArray lead(offset, 'x');
            const QString where =
                QStringLiteral("line 1, column %1)").arg(DescriptionColumn(lead) + at);
            CRssFeed feed;
            QString error;
            QVERIFY2(!feed.LoadFromMemory(Feed(lead, description), &error),
                     qPrintable(QStringLiteral("run %1 loaded").arg(run)));
            QVERIFY2(error.contains(reason) && error.contains(where),
                     qPrintable(QStringLiteral("run %1: %2").arg(run).arg(error)));
        }
    }

    // Runs of multi-byte characters are checked a block at a time from where
    // the run starts, so a character cut by a block's end is placed at every
    // distance from that start: valid ones load, cut or stray ones fail.
    void utf8Runs_checkedAcrossBlocks() {
        const QByteArray two("\xD0\xB6");
        const QByteArray three("\xE6\xBC\xA2");
        const QByteArray tail = (two + three).repeated(6);
        for (int distance = 0; distance < 40; ++distance) {
            // Two-byte characters, and an ASCII letter when the distance is
            // odd, before what is checked.
            const QByteArray run = two.repeated(distance / 2) + (distance % 2 ? "x" : "");
            const QString context = QStringLiteral("distance %1").arg(distance);
            for (const QByteArray& valid : {two + two, three + three, three + two + three}) {
                CRssFeed feed;
                QString error;
                QVERIFY2(feed.LoadFromMemory(Feed(QByteArray(), run + valid + tail), &error),
                         qPrintable(context + QStringLiteral(": ") + error));
                QCOMPARE(feed.GetDescription(0), QString::fromUtf8(run + valid + tail));
            }
            for (const QByteArray& fault :
                 {QByteArray("\xD0("), QByteArray("\x80"), QByteArray("\xE6\xBC("),
                  QByteArray("\xD0\xD0\xB6"), QByteArray("\xE6\xBC\xD0\xB6")}) {
                CRssFeed feed;
                QString error;
                QVERIFY2(!feed.LoadFromMemory(Feed(QByteArray(), run + fault + tail), &error),
                         qPrintable(context + QStringLiteral(" loaded a fault")));
                QVERIFY2(error.contains(QStringLiteral("not valid UTF-8")),
                         qPrintable(context + QStringLiteral(": ") + error));
            }
        }
    }

    // End tags that match, that differ in their last byte, and that are one
    // byte longer or shorter, for names of every length up to three words,
    // with the file ending right after them or going on.
    void endTag_matchedByWholeName() {
        for (int length = 1; length <= 24; ++length) {
            QByteArray name;
            for (int i = 0; i < length; ++i)
                name += static_cast<char>('a' + i % 26);
            QByteArray last = name;
            last[length - 1] = '_';
            const QByteArray open = "<rss><" + name + ">t";
            for (const QByteArray& tail : {QByteArray(), QByteArray(40, ' ')}) {
                const QString context =
                    QStringLiteral("length %1, tail %2").arg(length).arg(tail.size());
                CRssFeed feed;
                QString error;
                QVERIFY2(feed.LoadFromMemory(open + "</" + name + "></rss>" + tail, &error),
                         qPrintable(context + QStringLiteral(": ") + error));
                for (const QByteArray& other : {last, name + "z", name.left(length - 1)}) {
                    QVERIFY2(!feed.LoadFromMemory(open + "</" + other + "></rss>" + tail, &error),
                             qPrintable(context + QStringLiteral(": </") +
                                        QString::fromLatin1(other) + QStringLiteral("> loaded")));
                    QVERIFY2(error.contains(QStringLiteral("does not match <") +
                                            QString::fromLatin1(name) + QLatin1Char('>')) ||
                                 error.contains(QStringLiteral("an element name")),
                             qPrintable(context + QStringLiteral(": ") + error));
                }
            }
        }
    }

    // White space before a tag is layout when it holds a line break and the
    // element holds no text of its own; a blank without one is kept, however
    // long the run.
    void layout_runsOfEveryLength() {
        CRssFeed plain;
        QVERIFY(plain.LoadFromMemory(
            "<rss><channel><item><title>a</title><link>l</link></item></channel></rss>"));
        for (int length = 0; length <= 40; ++length) {
            const QByteArray run(length, ' ');
            CRssFeed feed;
            QVERIFY(feed.LoadFromMemory("<rss><channel><item><title>a</title>\n" + run +
                                        "<link>l</link></item></channel></rss>"));
            QVERIFY2(feed.PrintToText() == plain.PrintToText(),
                     qPrintable(QString::number(length)));
            if (length == 0)
                continue;
            QVERIFY(feed.LoadFromMemory("<rss><channel><item><description><b>x</b>" + run +
                                        "<i>y</i></description></item></channel></rss>"));
            QVERIFY2(feed.PrintToText().contains("<b>x</b>" + run + "<i>y</i>"),
                     qPrintable(QString::number(length)));
        }
    }
};

QTEST_GUILESS_MAIN(TestXmlCheckBlocks)
#include "test_xmlcheckblocks.moc"
