#include "feed/newfeedinfo.h"
#include "feed/rssdate.h"
#include "feed/rssfeed.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <unistd.h>

namespace {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class TestFeedIo final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void load_condensesPlainTextButKeepsCdata_data() {
        QTest::addColumn<QByteArray>("description");
        QTest::addColumn<QString>("text");
        QTest::newRow("runs") << QByteArray("  two \t words\n  and\r\nmore  ")
                              << QStringLiteral("two words and more");
        QTest::newRow("cdata") << QByteArray("<![CDATA[  two \n words ]]>")
                               << QStringLiteral("  two \n words ");
        QTest::newRow("entities") << QByteArray("&lt;&amp;&gt;&quot;&apos;&#233;&#x4E2D;")
                                  << QString::fromUtf8("<&>\"'\xC3\xA9\xE4\xB8\xAD");
        QTest::newRow("blank only") << QByteArray("   \n ") << QString();
        // Referenced white space is condensed as well, so a saved text reads back the same.
        QTest::newRow("referenced blanks")
            << QByteArray("&#32;x&#10;&#10; y&#9;") << QStringLiteral("x y");
        QTest::newRow("referenced only") << QByteArray("&#32;&#10;") << QString();
    }
    void load_condensesPlainTextButKeepsCdata() {
        QFETCH(QByteArray, description);
        QFETCH(QString, text);
        CRssFeed feed;
        QVERIFY(feed.LoadFromMemory("<rss><channel><item><description>" + description +
                                    "</description></item></channel></rss>"));
        QCOMPARE(feed.GetDescription(0), text);
        CRssFeed reloaded;
        QVERIFY(reloaded.LoadFromMemory(feed.SaveToMemory()));
        QCOMPARE(reloaded.SaveToMemory(), feed.SaveToMemory());
    }

    void print_layoutIsIndentedOneElementPerLine() {
        CRssFeed feed;
        QVERIFY(feed.LoadFromMemory("<?xml version=\"1.0\"?><!-- c --><rss version=\"2.0\">"
                                    "<channel><item><title>T</title><x:y a=\"1\"/>"
                                    "<description><![CDATA[<b>]]></description></item>"
                                    "<?pi data?></channel></rss>"));
        QCOMPARE(feed.PrintToText(),
                 QByteArray("<?xml version=\"1.0\"?>\n"
                            "<!-- c -->\n"
                            "<rss version=\"2.0\">\n"
                            "    <channel>\n"
                            "        <item>\n"
                            "            <title>T</title>\n"
                            "            <x:y a=\"1\" />\n"
                            "            <description><![CDATA[<b>]]></description>\n"
                            "        </item>\n"
                            "        <?pi data?>\n"
                            "    </channel>\n"
                            "</rss>\n"));
    }

    void save_keepsByteOrderMarkAndLineEnds_data() {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<QByteArray>("newline");
        QTest::newRow("bom lf") << QByteArray("\xEF\xBB\xBF") << QByteArray("\n");
        QTest::newRow("bom crlf") << QByteArray("\xEF\xBB\xBF") << QByteArray("\r\n");
        QTest::newRow("plain lf") << QByteArray() << QByteArray("\n");
        QTest::newRow("plain crlf") << QByteArray() << QByteArray("\r\n");
    }
    void save_keepsByteOrderMarkAndLineEnds() {
        QFETCH(QByteArray, head);
        QFETCH(QByteArray, newline);
        CRssFeed feed;
        QVERIFY(feed.LoadFromMemory(head + "<?xml version=\"1.0\"?>" + newline + "<rss>" + newline +
                                    "<channel/></rss>" + newline));
        const QByteArray saved = feed.SaveToMemory();
        QCOMPARE(saved.startsWith("\xEF\xBB\xBF"), !head.isEmpty());
        QCOMPARE(saved.contains("\r\n"), newline == "\r\n");
        QCOMPARE(saved.count("\n"), saved.count(newline));
        // The clipboard text is always LF without a byte-order mark.
        QVERIFY(!feed.PrintToText().contains('\r'));
        QVERIFY(feed.PrintToText().startsWith("<?xml"));
    }

    void save_crLfInsideInstruction_isNotDoubled() {
        CRssFeed feed;
        QVERIFY(feed.LoadFromMemory("<?pi a\r\nb?>\r\n<rss/>\r\n"));
        const QByteArray saved = feed.SaveToMemory();
        QVERIFY(!saved.contains("\r\r"));
        // Mixed line ends are saved as LF.
        QVERIFY(feed.LoadFromMemory("<rss>\r\n<channel/>\n</rss>\r\n"));
        QVERIFY(!feed.SaveToMemory().contains('\r'));
        QVERIFY(feed.LoadFromMemory("<?pi a\r\nb?>\r\n<rss/>\r\n"));
        CRssFeed reloaded;
        QVERIFY(reloaded.LoadFromMemory(saved));
        QCOMPARE(reloaded.SaveToMemory(), saved);
    }

    void load_otherEncodings_decodeAndSaveBack_data() {
        QTest::addColumn<QString>("encoding");
        QTest::addColumn<QString>("title");
        QTest::newRow("latin1") << QStringLiteral("ISO-8859-1") << QString::fromUtf8("Café été");
        QTest::newRow("cp1251") << QStringLiteral("windows-1251") << QStringLiteral("Привет");
        QTest::newRow("koi8") << QStringLiteral("KOI8-R") << QStringLiteral("Мир");
        QTest::newRow("cp1252") << QStringLiteral("windows-1252") << QString::fromUtf8("€uro");
    }
    void load_otherEncodings_decodeAndSaveBack() {
        QFETCH(QString, encoding);
        QFETCH(QString, title);
        const QString xml = QStringLiteral("<?xml version=\"1.0\" encoding=\"%1\"?>\n<rss>\n"
                                           "    <channel>\n        <item>\n"
                                           "            <title>%2</title>\n        </item>\n"
                                           "    </channel>\n</rss>\n")
                                .arg(encoding, title);
        QStringEncoder encoder(encoding.toLatin1().constData());
        QVERIFY(encoder.isValid());
        const QByteArray bytes = encoder.encode(xml);
        CRssFeed feed;
        QVERIFY(feed.LoadFromMemory(bytes));
        QCOMPARE(feed.GetTitle(0), title);
        QCOMPARE(feed.SaveToMemory(), bytes);
        // A character the encoding cannot hold becomes a character reference.
        QVERIFY(feed.SetTitle(0, title + QChar(0x4E2D)));
        const QByteArray saved = feed.SaveToMemory();
        QVERIFY(saved.contains("&#20013;"));
        CRssFeed reloaded;
        QVERIFY(reloaded.LoadFromMemory(saved));
        QCOMPARE(reloaded.GetTitle(0), title + QChar(0x4E2D));
    }

    void load_utf16WithBom_savesBackAsUtf16() {
        const QString xml = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n<rss>\n"
                                           "    <channel>\n        <item>\n"
                                           "            <title>Ω</title>\n        </item>\n"
                                           "    </channel>\n</rss>\n");
        QByteArray bytes("\xFF\xFE", 2);
        bytes.append(reinterpret_cast<const char*>(xml.utf16()), xml.size() * 2);
        CRssFeed feed;
        QVERIFY(feed.LoadFromMemory(bytes));
        QCOMPARE(feed.GetTitle(0), QStringLiteral("Ω"));
        QCOMPARE(feed.SaveToMemory(), bytes);
    }

    void load_unknownEncoding_failsNamingIt() {
        CRssFeed feed;
        QString error;
        QVERIFY(!feed.LoadFromMemory("<?xml version=\"1.0\" encoding=\"x-no-such-set\"?><rss/>",
                                     &error));
        QVERIFY2(error.contains(QStringLiteral("x-no-such-set")), qPrintable(error));
    }

    void load_badInput_failsWithEmptyTree_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        QTest::newRow("empty") << QByteArray() << QStringLiteral("line 1, column 1");
        QTest::newRow("garbage") << QByteArray("\x01\x89\xFF\x00\x13garbage", 12)
                                 << QStringLiteral("not well-formed");
        QTest::newRow("truncated")
            << QByteArray("<rss>\n<channel>\n<item><title>x</tit") << QStringLiteral("line 3");
        QTest::newRow("mismatch") << QByteArray("<rss>\n  <a></b></rss>")
                                  << QStringLiteral("line 2, column 8");
    }
    void load_declarationAfterText_failsRatherThanMisreading() {
        CRssFeed feed;
        QString error;
        QVERIFY(!feed.LoadFromMemory("s<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<rss/>",
                                     &error));
        QVERIFY2(error.contains(QStringLiteral("declaration")), qPrintable(error));
        // White space before the declaration still lets it choose the encoding.
        QVERIFY(feed.LoadFromMemory(
            "\n <?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
            "<rss><channel><item><title>caf\xE9</title></item></channel></rss>"));
        QCOMPARE(feed.GetTitle(0), QString::fromUtf8("caf\xC3\xA9"));
        QCOMPARE(feed.GetEncoding(), QStringLiteral("ISO-8859-1"));
    }

    void load_badInput_failsWithEmptyTree() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        CRssFeed feed;
        QVERIFY(feed.LoadFromMemory("<rss><channel><item/></channel></rss>"));
        QString error;
        QVERIFY(!feed.LoadFromMemory(bytes, &error));
        QVERIFY2(error.contains(reason), qPrintable(error));
        QCOMPARE(feed.GetPostCount(), 0);
        QVERIFY(!feed.first_child());
    }

    void load_deeplyNestedElements_loadsPrintsAndFrees() {
        QByteArray xml;
        for (int i = 0; i < 10000; ++i)
            xml += "<e> a  b ";
        for (int i = 0; i < 10000; ++i)
            xml += "</e>";
        CRssFeed feed;
        QVERIFY(feed.LoadFromMemory(xml));
        QVERIFY(feed.PrintToText().contains("a b"));
    }

    void loadFile_unreadableOrDirectory_failsWithReason() {
        QTemporaryDir dir;
        CRssFeed feed;
        QString error;
        QVERIFY(!feed.LoadFile(dir.path(), &error));
        QCOMPARE(error, QStringLiteral("is a directory"));
        QVERIFY(!feed.LoadFile(dir.filePath(QStringLiteral("missing.xml")), &error));
        QVERIFY(error.startsWith(QStringLiteral("cannot be read")));
        if (geteuid() != 0) {
            const QString locked = dir.filePath(QStringLiteral("locked.xml"));
            QVERIFY(WriteAll(locked, "<rss/>"));
            QFile::setPermissions(locked, QFileDevice::WriteOwner);
            QVERIFY(!feed.LoadFile(locked, &error));
        }
    }

    void saveFile_isAtomicAndFailureKeepsOldFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("feed.xml"));
        QVERIFY(WriteAll(path, "<rss><channel><item><title>old</title></item></channel></rss>"));
        CRssFeed feed;
        QVERIFY(feed.LoadFile(path));
        QVERIFY(feed.SetTitle(0, QStringLiteral("new")));
        QVERIFY(feed.SaveFile(path));
        QVERIFY(ReadAll(path).contains("<title>new</title>"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("feed.xml")});
        // A target whose folder is missing fails and reports why.
        QString error;
        QVERIFY(!feed.SaveFile(dir.filePath(QStringLiteral("no/such/feed.xml")), &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!feed.SaveFile(dir.path(), &error));
        if (geteuid() != 0) {
            const QByteArray before = ReadAll(path);
            QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
            QVERIFY(!feed.SaveFile(path));
            QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                  QFileDevice::ExeOwner);
            QCOMPARE(ReadAll(path), before);
        }
    }

    void createNewFeed_buildsTreeInFixedOrder() {
        CRssFeed feed;
        QVERIFY(feed.LoadFromMemory("<old/>"));
        NewFeedInfo info{QStringLiteral("My feed"), QStringLiteral("http://m.example/"),
                         QStringLiteral("News")};
        QVERIFY(feed.CreateNewFeed(info));
        QCOMPARE(feed.GetPostCount(), 1);
        QCOMPARE(feed.GetTitle(0), QStringLiteral("New Item"));
        QVERIFY(!feed.HasByteOrderMark());
        const pugi::xml_node declaration = feed.first_child();
        QCOMPARE(declaration.type(), pugi::node_declaration);
        const pugi::xml_node rss = declaration.next_sibling();
        QCOMPARE(QString::fromUtf8(rss.first_attribute().name()), QStringLiteral("version"));
        QCOMPARE(QString::fromUtf8(rss.first_attribute().next_attribute().value()),
                 QStringLiteral("http://www.w3.org/2005/Atom"));
        QStringList names;
        QStringList texts;
        for (pugi::xml_node n : rss.child("channel").children()) {
            names << QString::fromUtf8(n.name());
            texts << QString::fromUtf8(n.child_value());
        }
        QCOMPARE(names.join(QLatin1Char(' ')),
                 QStringLiteral("title link description language managingEditor webMaster "
                                "category copyright docs pubDate generator item"));
        QCOMPARE(texts[0], info.title);
        QCOMPARE(texts[1], info.link);
        QCOMPARE(texts[6], info.category);
        QVERIFY(TryParseRssDate(texts[9]).has_value());
        QCOMPARE(texts[10], GeneratorText());
        QVERIFY(GeneratorText().startsWith(QStringLiteral("Orvan ")));
        QVERIFY(GeneratorText().endsWith(QStringLiteral("/home_orvan.php")));
        const QByteArray saved = feed.SaveToMemory();
        QVERIFY(saved.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss"));
        QVERIFY(!saved.contains('\r'));
    }
};

QTEST_GUILESS_MAIN(TestFeedIo)
#include "test_feedio.moc"
