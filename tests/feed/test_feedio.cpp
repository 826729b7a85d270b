#include "feed/feedprinter.h"
#include "feed/newfeedinfo.h"
#include "feed/rssdate.h"
#include "feed/rssfeed.h"
#include "feed/xmlcheck.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>
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

    // Every text reads back exactly as the file wrote it, and saves so.
    void load_keepsTextExactly_data() {
        QTest::addColumn<QByteArray>("description");
        QTest::addColumn<QString>("text");
        QTest::newRow("runs") << QByteArray("  two \t words\n  and\r\nmore  ")
                              << QStringLiteral("  two \t words\n  and\nmore  ");
        QTest::newRow("cdata") << QByteArray("<![CDATA[  two \n words ]]>")
                               << QStringLiteral("  two \n words ");
        QTest::newRow("entities") << QByteArray("&lt;&amp;&gt;&quot;&apos;&#233;&#x4E2D;")
                                  << QString::fromUtf8("<&>\"'\xC3\xA9\xE4\xB8\xAD");
        QTest::newRow("blank only") << QByteArray("   \n ") << QStringLiteral("   \n ");
        QTest::newRow("referenced blanks")
            << QByteArray("&#32;x&#10;&#13;&#10; y&#9;") << QStringLiteral(" x\n\r\n y\t");
        QTest::newRow("escaped pre") << QByteArray("&lt;pre&gt;a\n  b\n    c&lt;/pre&gt;")
                                     << QStringLiteral("<pre>a\n  b\n    c</pre>");
    }
    void load_keepsTextExactly() {
        QFETCH(QByteArray, description);
        QFETCH(QString, text);
        CRssFeed feed;
        QVERIFY(feed.LoadFromMemory("<rss><channel><item><description>" + description +
                                    "</description></item></channel></rss>"));
        QCOMPARE(feed.GetDescription(0), text);
        CRssFeed reloaded;
        QVERIFY(reloaded.LoadFromMemory(feed.SaveToMemory()));
        QCOMPARE(reloaded.GetDescription(0), text);
        QCOMPARE(reloaded.SaveToMemory(), feed.SaveToMemory());
    }

    // Text that stands first in an element and text after its other
    // children read in order, save as loaded, and an edit replaces all of it.
    void mixedText_readsInOrder_editReplacesAll_data() {
        QTest::addColumn<QByteArray>("description");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("edited");
        QTest::newRow("only text") << QByteArray("a &amp; b") << QStringLiteral("a & b")
                                   << QByteArray("<description>new</description>");
        QTest::newRow("text, element, text") << QByteArray("a<b>x</b>c") << QStringLiteral("axc")
                                             << QByteArray("<description>new</description>");
        QTest::newRow("text, comment, text") << QByteArray("a<!--n-->b") << QStringLiteral("ab")
                                             << QByteArray("<description>new</description>");
        QTest::newRow("text then CDATA")
            << QByteArray("a<![CDATA[<p>]]>") << QStringLiteral("a<p>")
            << QByteArray("<description><![CDATA[new]]></description>");
        QTest::newRow("element first") << QByteArray("<b>x</b>y") << QStringLiteral("xy")
                                       << QByteArray("<description>new</description>");
    }
    void mixedText_readsInOrder_editReplacesAll() {
        QFETCH(QByteArray, description);
        QFETCH(QString, text);
        QFETCH(QByteArray, edited);
        const QByteArray input = "<rss><channel><item><description>" + description +
                                 "</description></item></channel></rss>";
        CRssFeed feed;
        QVERIFY(feed.LoadFromMemory(input));
        QCOMPARE(feed.GetDescription(0), text);
        QVERIFY(feed.SaveToMemory().contains("<description>" + description + "</description>"));
        QVERIFY(feed.SetDescription(0, QStringLiteral("new")));
        const QByteArray saved = feed.SaveToMemory();
        QVERIFY2(saved.contains(edited), saved.constData());
        CRssFeed reloaded;
        QVERIFY(reloaded.LoadFromMemory(saved));
        QCOMPARE(reloaded.GetDescription(0), QStringLiteral("new"));
        // Emptied, the element is left with nothing in it.
        QVERIFY(feed.SetDescription(0, QString()));
        QVERIFY(feed.SaveToMemory().contains("<description />"));
    }

    // Content with text of its own is written exactly as loaded; only white
    // space between the children of an element without text is laid out anew.
    void save_mixedContentAsLoaded_elementOnlyIndented() {
        const QByteArray mixed =
            "<x:div xmlns:x=\"http://www.w3.org/1999/xhtml\">\n"
            "<x:p>Hello <x:b>bold</x:b> world</x:p><x:p><x:b>x</x:b> <x:i>y</x:i></x:p>"
            "<x:p> <x:span>\n  <x:b>z</x:b>\n</x:span> </x:p></x:div>";
        CRssFeed feed;
        QVERIFY(feed.LoadFromMemory("<rss>\n<channel>\n\n  <item>\n   <title>T</title>\n" + mixed +
                                    "</item></channel></rss>"));
        const QByteArray saved = feed.SaveToMemory();
        QCOMPARE(saved, QByteArray("<rss>\n"
                                   "    <channel>\n"
                                   "        <item>\n"
                                   "            <title>T</title>\n"
                                   "            <x:div xmlns:x=\"http://www.w3.org/1999/xhtml\">\n"
                                   "                <x:p>Hello <x:b>bold</x:b> world</x:p>\n"
                                   "                <x:p><x:b>x</x:b> <x:i>y</x:i></x:p>\n"
                                   "                <x:p> <x:span><x:b>z</x:b></x:span> </x:p>\n"
                                   "            </x:div>\n"
                                   "        </item>\n"
                                   "    </channel>\n"
                                   "</rss>\n"));
        CRssFeed reloaded;
        QVERIFY(reloaded.LoadFromMemory(saved));
        QCOMPARE(reloaded.SaveToMemory(), saved);
        // Lists show a title on one line, whatever the file holds.
        QVERIFY(feed.LoadFromMemory("<rss><channel><item><title>\n  Two\t lines\n here </title>"
                                    "</item></channel></rss>"));
        QCOMPARE(feed.GetTitle(0), QStringLiteral("\n  Two\t lines\n here "));
        QCOMPARE(feed.GetTitleLine(0), QStringLiteral("Two lines here"));
    }

    // Characters a reader would change (a CR, white space in an attribute)
    // are written as references, so they read back the same.
    void save_referencesKeepWhatReadersWouldChange() {
        CRssFeed feed;
        QVERIFY(feed.LoadFromMemory("<r a=\"x&#9;y&#10;z&#13;\">a&#13;b<![CDATA[c]]></r>"));
        QCOMPARE(QByteArray(feed.child("r").attribute("a").value()), QByteArray("x\ty\nz\r"));
        const QByteArray saved = feed.SaveToMemory();
        QCOMPARE(saved, QByteArray("<r a=\"x&#9;y&#10;z&#13;\">a&#13;b<![CDATA[c]]></r>\n"));
    }

    // A file nested as deep as allowed saves with capped indentation.
    void save_deepNesting_indentationStopsGrowing() {
        QByteArray xml;
        for (int i = 0; i < kMaxElementDepth; ++i)
            xml += "<e>";
        xml += "x";
        for (int i = 0; i < kMaxElementDepth; ++i)
            xml += "</e>";
        CRssFeed feed;
        QString error;
        QVERIFY2(feed.LoadFromMemory(xml, &error), qPrintable(error));
        const QByteArray saved = feed.SaveToMemory();
        int longest = 0;
        for (const QByteArray& line : saved.split('\n'))
            longest = std::max(longest, static_cast<int>(line.size()));
        QVERIFY2(longest <= kMaxIndentLevels * 4 + 16, QByteArray::number(longest).constData());
        QVERIFY(saved.size() < xml.size() * 60);
        CRssFeed reloaded;
        QVERIFY(reloaded.LoadFromMemory(saved));
        QCOMPARE(reloaded.SaveToMemory(), saved);
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

    // What a conforming XML parser refuses is refused, naming the place.
    void load_badInput_failsWithEmptyTree_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        auto doc = [](const QByteArray& body) { return "<rss>" + body + "</rss>"; };
        QTest::newRow("empty") << QByteArray() << QStringLiteral("no element");
        QTest::newRow("truncated")
            << QByteArray("<rss>\n<channel>\n<item><title>x</tit") << QStringLiteral("line 3");
        QTest::newRow("mismatch") << QByteArray("<rss>\n  <a></b></rss>")
                                  << QStringLiteral("line 2, column 6");
        QTest::newRow("invalid UTF-8")
            << doc("\n ab\xC3\x28")
            << QStringLiteral("line 2, column 4): bytes that are not valid UTF-8");
        QTest::newRow("overlong UTF-8") << doc("\xC0\xAF") << QStringLiteral("not valid UTF-8");
        QTest::newRow("encoded surrogate")
            << doc("\xED\xA0\x80") << QStringLiteral("not valid UTF-8");
        QTest::newRow("U+FFFE") << doc("\xEF\xBF\xBE") << QStringLiteral("U+FFFE");
        QTest::newRow("raw control") << doc("a\x01") << QStringLiteral("U+0001 is not allowed");
        QTest::newRow("windows-1252 gap")
            << QByteArray("<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n<rss>\x80\x81</rss>")
            << QStringLiteral(
                   "line 2, column 7, byte offset 52): bytes that are not valid windows-1252");
        QTest::newRow("ISO-8859-8 gap")
            << QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-8\"?><rss>\xBF</rss>")
            << QStringLiteral("not valid ISO-8859-8");
        QTest::newRow("Shift_JIS lead byte alone")
            << QByteArray("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><rss>\x81</rss>")
            << QStringLiteral("not valid Shift_JIS");
        QTest::newRow("UTF-16 lone surrogate")
            << QByteArray("\xFF\xFE<\0r\0>\0\x00\xD8<\0/\0r\0>\0", 20)
            << QStringLiteral("surrogate");
        QTest::newRow("UTF-16 odd byte count")
            << QByteArray("\xFF\xFE<\0r\0/\0>\0\0", 11) << QStringLiteral("odd number of bytes");
        QTest::newRow("UTF-16 without byte-order mark")
            << QByteArray("<\0r\0/\0>\0", 8) << QStringLiteral("column 2): an element name");
        QTest::newRow("UTF-16 declared, no mark")
            << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-16\"?><rss/>")
            << QStringLiteral("byte-order mark");
        QTest::newRow("reference to U+0000") << doc("abc&#0;def") << QStringLiteral("&#0;");
        QTest::newRow("reference to U+0001") << doc("&#x1;") << QStringLiteral("&#x1;");
        QTest::newRow("reference to a surrogate") << doc("&#xD800;") << QStringLiteral("&#xD800;");
        QTest::newRow("reference beyond Unicode")
            << doc("&#99999999999;") << QStringLiteral("does not allow");
        QTest::newRow("text after the root")
            << doc("") + "tail" << QStringLiteral("after the root");
        QTest::newRow("second root") << doc("") + "<rss/>" << QStringLiteral("second root");
        QTest::newRow("undeclared entity") << doc("&co;") << QStringLiteral("&co; is not declared");
        QTest::newRow("repeated attribute")
            << QByteArray("<rss a=\"1\" a=\"2\"/>") << QStringLiteral("attribute a is repeated");
        QTest::newRow("attributes run together")
            << QByteArray("<rss a=\"1\"b=\"2\"/>") << QStringLiteral("white space");
        QTest::newRow("'<' in an attribute")
            << QByteArray("<rss a=\"<\"/>") << QStringLiteral("'<' in an attribute value");
        QTest::newRow("']]>' in text") << doc("a]]>b") << QStringLiteral("']]>' in text");
        QTest::newRow("'--' in a comment") << doc("<!-- a -- b -->") << QStringLiteral("'--'");
        QTest::newRow("declaration after white space")
            << QByteArray(" <?xml version=\"1.0\"?><rss/>") << QStringLiteral("very start");
        QTest::newRow("declaration after text")
            << QByteArray("s<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<rss/>")
            << QStringLiteral("text before the root");
        QTest::newRow("parameter entity")
            << QByteArray("<!DOCTYPE rss [<!ENTITY % p \"x\">]><rss/>")
            << QStringLiteral("parameter entities are not supported");
        QTest::newRow("external entity")
            << QByteArray("<!DOCTYPE rss [<!ENTITY e SYSTEM \"/etc/passwd\">]><rss>&e;</rss>")
            << QStringLiteral("external entity &e;");
        QTest::newRow("entity defined elsewhere")
            << QByteArray("<!DOCTYPE rss SYSTEM \"rss.dtd\"><rss>&nbsp;</rss>")
            << QStringLiteral("external DTD is not read");
        QTest::newRow("entity refers to itself")
            << QByteArray("<!DOCTYPE rss [<!ENTITY a \"x&b;\"><!ENTITY b \"&a;\">]><rss>&a;</rss>")
            << QStringLiteral("refers to itself");
        QByteArray bomb = "<!DOCTYPE rss [<!ENTITY a0 \"" + QByteArray(64, 'x') + "\">";
        for (int i = 1; i < 10; ++i)
            bomb += "<!ENTITY a" + QByteArray::number(i) + " \"" +
                    QByteArray("&a" + QByteArray::number(i - 1) + ";").repeated(10) + "\">";
        QTest::newRow("entity bomb") << bomb + "]><rss>&a9;</rss>" << QStringLiteral("limit");
        QTest::newRow("entity with unbalanced markup")
            << QByteArray("<!DOCTYPE rss [<!ENTITY a \"<b>\">]><rss>&a;</rss>")
            << QStringLiteral("in the text of an entity");
        QByteArray deep;
        for (int i = 0; i <= kMaxElementDepth; ++i)
            deep += "<e>";
        QTest::newRow("nested too deep") << deep << QStringLiteral("nested more than 1000 deep");
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

    // Internal entities are expanded where they are used; the DOCTYPE that
    // declares them is saved as it was.
    void load_internalEntities_expandedAndDoctypeKept() {
        const QByteArray doctype = "<!DOCTYPE rss [\n  <!ENTITY co \"A&amp;B &#34;Co&#34;\">\n"
                                   "  <!ENTITY whole \"&co; Ltd\">\n]>";
        CRssFeed feed;
        QString error;
        QVERIFY2(feed.LoadFromMemory(doctype + "\n<rss><channel><item><title a=\"&whole;\">&whole;"
                                               "</title></item></channel></rss>",
                                     &error),
                 qPrintable(error));
        QCOMPARE(feed.GetTitle(0), QStringLiteral("A&B \"Co\" Ltd"));
        const QByteArray saved = feed.SaveToMemory();
        QVERIFY2(saved.startsWith(doctype + "\n"), saved.constData());
        QVERIFY(
            saved.contains("<title a=\"A&amp;B &quot;Co&quot; Ltd\">A&amp;B \"Co\" Ltd</title>"));
        CRssFeed reloaded;
        QVERIFY(reloaded.LoadFromMemory(saved));
        QCOMPARE(reloaded.SaveToMemory(), saved);
    }

    // Devices, FIFOs and folders are refused before anything is read.
    void loadFile_notARegularFile_failsWithReason() {
        QTemporaryDir dir;
        CRssFeed feed;
        QString error;
        QVERIFY(!feed.LoadFile(dir.path(), &error));
        QCOMPARE(error, QStringLiteral("is a directory"));
        QVERIFY(!feed.LoadFile(QStringLiteral("/dev/zero"), &error));
        QCOMPARE(error, QStringLiteral("not a regular file"));
        const QString fifo = dir.filePath(QStringLiteral("fifo"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QVERIFY(!feed.LoadFile(fifo, &error));
        QCOMPARE(error, QStringLiteral("not a regular file"));
        QVERIFY(!feed.LoadFile(dir.filePath(QStringLiteral("missing.xml")), &error));
        QCOMPARE(error, QStringLiteral("No such file or directory"));
        if (geteuid() != 0) {
            const QString locked = dir.filePath(QStringLiteral("locked.xml"));
            QVERIFY(WriteAll(locked, "<rss/>"));
            QFile::setPermissions(locked, QFileDevice::WriteOwner);
            QVERIFY(!feed.LoadFile(locked, &error));
            QCOMPARE(error, QStringLiteral("Permission denied"));
        }
    }

    // A CDATA text in a legacy encoding: what the encoding cannot hold goes
    // between CDATA sections as a reference, never as a literal "&#8364;".
    void save_legacyEncodingCdata_referencesOutsideSections() {
        CRssFeed feed;
        QVERIFY(feed.LoadFromMemory("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
                                    "<rss><channel><item><description><![CDATA[caf\xE9]]>"
                                    "</description></item></channel></rss>"));
        const QString text = QString::fromUtf8("caf\xC3\xA9 \xE2\x82\xAC"
                                               "5 <b>]]></b>");
        QVERIFY(feed.SetDescription(0, text));
        const QByteArray saved = feed.SaveToMemory();
        QVERIFY2(saved.contains("<![CDATA[caf\xE9 ]]>&#8364;<![CDATA[5 <b>]]]]><![CDATA[></b>]]>"),
                 saved.constData());
        CRssFeed reloaded;
        QVERIFY(reloaded.LoadFromMemory(saved));
        QCOMPARE(reloaded.GetDescription(0), text);
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
