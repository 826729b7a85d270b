// A print made a part at a time gives the very bytes of a whole print,
// wherever the parts end, in every form a file can take.
#include "feed/feedprintjob.h"
#include "feed/rssfeed.h"

#include <QtTest>

namespace {

// The feed printed in parts of at most nodes nodes each.
QByteArray PrintInParts(const CRssFeed& feed, size_t nodes, bool* failed = nullptr) {
    FeedPrintJob job(feed);
    std::vector<std::string> parts;
    DocumentPrinter::Step step = DocumentPrinter::Step::More;
    while (step == DocumentPrinter::Step::More) {
        parts.emplace_back();
        step = job.Print(parts.back(), nodes);
    }
    if (failed)
        *failed = step == DocumentPrinter::Step::Failed;
    return step == DocumentPrinter::Step::Done ? FeedBytesFromText(parts, job.Form())
                                               : QByteArray();
}

QByteArray Utf16Le(const QString& text) {
    QByteArray bytes("\xFF\xFE", 2);
    bytes.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    return bytes;
}

const char kItems[] =
    "<item><title>One &amp; two</title><description><![CDATA[<p>a ]]]]><![CDATA[> b</p>]]>"
    "</description></item>\n"
    "<item><title>Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80</title>"
    "<description>Mixed <b>bold</b> and <i>it<u>al</u></i> text</description>"
    "<enclosure url=\"a.mp3\" length=\"1\" type=\"audio/mpeg\"/></item>\n"
    "<item><title>Three</title><!-- a note --><?app keep?><guid>g3</guid><pubDate>Tue, 04 Jun 2024 "
    "10:00:00 +0000</pubDate></item>\n";

QByteArray Feed(const QByteArray& prologue, const QByteArray& epilogue = QByteArray()) {
    return prologue +
           "<rss version=\"2.0\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">\n"
           "<channel><title>T</title><link>https://e.example/</link>\n" +
           QByteArray(kItems) + "<dc:rights>R</dc:rights></channel></rss>\n" + epilogue;
}

} // namespace

class TestFeedPrintJob final : public QObject {
    Q_OBJECT

private slots:
    void partsMakeTheWholePrint_data() {
        QTest::addColumn<QByteArray>("file");
        const QByteArray decl("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
        QTest::newRow("utf-8") << Feed(decl);
        QTest::newRow("bom") << QByteArray("\xEF\xBB\xBF") + Feed(decl);
        QTest::newRow("cr lf") << Feed(decl).replace("\n", "\r\n");
        QTest::newRow("before and after the root")
            << Feed(decl + "<!-- head -->\n<?xml-stylesheet href=\"s.xsl\" type=\"text/xsl\"?>\n"
                           "<!DOCTYPE rss [<!ENTITY e \"x\">]>\n",
                    "<!-- tail -->\n<?end?>\n");
        QTest::newRow("utf-16") << Utf16Le(QString::fromUtf8(
            Feed("<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n").replace("\n", "\r\n")));
        // Characters Latin-1 cannot hold go out as references.
        QTest::newRow("latin-1") << Feed("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n")
                                        .replace("Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80",
                                                 "Caf\xE9 &#8364; &#128512;");
        QTest::newRow("windows-1252")
            << Feed("<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n")
                   .replace("Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "Caf\xE9 \x80 &#128512;");
        QTest::newRow("no declaration") << Feed(QByteArray());
    }

    void partsMakeTheWholePrint() {
        QFETCH(QByteArray, file);
        CRssFeed feed;
        QString error;
        QVERIFY2(feed.LoadFromMemory(file, &error), qPrintable(error));
        // Edited texts too, with what needs escaping in them.
        QVERIFY(feed.SetTitle(0, QStringLiteral("A <b>&</b> \"q\" \u20AC\r\nnext")));
        const QByteArray whole = feed.SaveToMemory();
        QVERIFY(!whole.isEmpty());
        for (size_t nodes : {size_t(1), size_t(2), size_t(3), size_t(7), size_t(1000000)})
            QCOMPARE(PrintInParts(feed, nodes), whole);
    }

    // What a save refuses to write, a print in parts refuses too.
    void unwritableFeedFails() {
        CRssFeed feed;
        QVERIFY(feed.LoadFromMemory(
            Feed("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n")
                .replace("Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "Caf\xE9")));
        feed.GetChannelNode().append_child(pugi::node_comment).set_value("\xE2\x82\xAC");
        feed.NoteChanged();
        QVERIFY(feed.SaveToMemory().isEmpty());
        bool failed = false;
        QVERIFY(PrintInParts(feed, 2, &failed).isEmpty());
        QVERIFY(failed);
    }

    // Every kind of change moves the revision on, so a print spread over
    // time knows to start over.
    void everyChangeMovesTheRevision() {
        CRssFeed feed;
        QVERIFY(feed.LoadFromMemory(Feed(QByteArray())));
        const auto changes = [](CRssFeed& f) -> QList<std::function<bool()>> {
            return {[&f] { return f.SetTitle(2, QStringLiteral("x")); },
                    [&f] { return f.SetLink(2, QStringLiteral("https://x.example/")); },
                    [&f] { return f.SetAuthor(2, QStringLiteral("a@x.example")); },
                    [&f] { return f.SetDescription(2, QStringLiteral("d")); },
                    [&f] { return f.SetPubDate(2, QStringLiteral("Tue, 04 Jun 2024")); },
                    [&f] { return f.SetGuid(2, QStringLiteral("g")); },
                    [&f] { return f.AddPost(); },
                    [&f] { return f.DuplicatePost(1); },
                    [&f] { return f.RemovePost(0); },
                    [&f] {
                        f.RebuildIndex();
                        return true;
                    },
                    [&f] { return f.LoadFromMemory(Feed(QByteArray())); },
                    [&f] {
                        f.Clear();
                        return true;
                    }};
        }(feed);
        for (qsizetype i = 0; i < changes.size(); ++i) {
            const quint64 before = feed.GetRevision();
            QVERIFY(changes[i]());
            QVERIFY2(feed.GetRevision() != before, qPrintable(QString::number(i)));
        }
    }
};

QTEST_GUILESS_MAIN(TestFeedPrintJob)
#include "test_feedprintjob.moc"
