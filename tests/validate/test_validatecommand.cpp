// orvanctl validate as scripts and editors use it: the line form and JSON,
// where each finding points, and the exit codes.
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Run {
    int status = -1;
    QString out;
    QString err;
};

Run Orvanctl(const QStringList& args) {
    QProcess process;
    process.start(QStringLiteral(ORVANCTL_PATH), args);
    process.waitForFinished(60000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

// A feed with nothing to report when published at kLocation.
const char kLocation[] = "http://e.example/rss.xml";
const char kCleanFeed[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<rss version=\"2.0\" xmlns:atom=\"http://www.w3.org/2005/Atom\">\n"
    "<channel><title>T</title><link>http://e.example/</link><description>D</description>\n"
    "<language>en</language><atom:link href=\"http://e.example/rss.xml\" rel=\"self\" "
    "type=\"application/rss+xml\"/>\n"
    "<item><title>A</title><guid isPermaLink=\"false\">a</guid>"
    "<pubDate>Tue, 31 Dec 2002 14:20:20 GMT</pubDate></item>\n"
    "</channel></rss>\n";

// The same feed with one line replaced by another.
QByteArray CleanFeedWith(const QByteArray& from, const QByteArray& to) {
    QByteArray feed(kCleanFeed);
    return feed.replace(from, to);
}

} // namespace

class TestValidateCommand final : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString Write(const QString& name, const QByteArray& bytes) {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return {};
        return path;
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void validate_exitCodeAndOutput_data() {
        QTest::addColumn<QByteArray>("feed");
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("ids");

        QTest::newRow("clean") << QByteArray(kCleanFeed) << 0 << QStringList();
        QTest::newRow("warnings only")
            << CleanFeedWith("<title>A</title>", "<title>A &amp;amp; B</title>") << 0
            << QStringList{"ContainsHTML"};
        QTest::newRow("error") << CleanFeedWith("Tue, 31 Dec", "Mon, 31 Dec") << 1
                               << QStringList{"IncorrectDOW"};
        QTest::newRow("not well-formed") << CleanFeedWith("<title>A</title>", "<title>A</titel>")
                                         << 3 << QStringList{"SAXError"};
    }
    void validate_exitCodeAndOutput() {
        QFETCH(QByteArray, feed);
        QFETCH(int, status);
        QFETCH(QStringList, ids);
        const QString path = Write(QStringLiteral("feed.xml"), feed);
        const Run run = Orvanctl({QStringLiteral("validate"), path, QStringLiteral("--location"),
                                  QString::fromLatin1(kLocation)});
        QCOMPARE(run.status, status);
        QStringList got;
        static const QRegularExpression form(
            QStringLiteral("^(.+):(\\d+):(\\d+): (error|warning|info): ([A-Za-z0-9]+): (.+)$"));
        for (const QString& line : run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const QRegularExpressionMatch match = form.match(line);
            QVERIFY2(match.hasMatch(), qPrintable(line));
            QCOMPARE(match.captured(1), path);
            got << match.captured(5);
        }
        QCOMPARE(got, ids);
    }

    // A value quoted in a message keeps its characters, and its line breaks
    // do not split the finding's line.
    void validate_quotedValue_staysOnOneLine() {
        const QString path = Write(QStringLiteral("quoted.xml"),
                                   CleanFeedWith("Tue, 31 Dec 2002 14:20:20 GMT",
                                                 "Mardi \xc3\xa9t\xc3\xa9 31\r\n"
                                                 "d\xc3\xa9"
                                                 "c 2002 \xf0\x9f\x98\x80 long enough"));
        const Run run = Orvanctl({QStringLiteral("validate"), path, QStringLiteral("--location"),
                                  QString::fromLatin1(kLocation)});
        QCOMPARE(run.status, 1);
        const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines[0].contains(QStringLiteral("\"Mardi \u00e9t\u00e9 31 d\u00e9c 2002 "
                                                  "\U0001F600 long enough\"")),
                 qPrintable(lines[0]));
    }

    // Lines and columns are 1-based and count characters, whatever the
    // encoding, byte-order mark or line ends; an attribute's finding points
    // at its element.
    void validate_placesFindings_data() {
        QTest::addColumn<QByteArray>("feed");
        QTest::addColumn<QString>("id");
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("column");

        const QByteArray item = "<item><title>Ünïcödé — 漢字</title><guid isPermaLink=\"false\">a"
                                "</guid><enclosure url=\"http://e.example/a.mp3\" length=\"x\" "
                                "type=\"audio/mpeg\"/></item>\n";
        // Column of "<enclosure" on that line: the characters before it.
        const int column =
            QString::fromUtf8(item.left(item.indexOf("<enclosure"))).toUcs4().size() + 1;
        const QByteArray feed =
            CleanFeedWith("<item><title>A</title><guid isPermaLink=\"false\">a</guid>"
                          "<pubDate>Tue, 31 Dec 2002 14:20:20 GMT</pubDate></item>\n",
                          item);
        QTest::newRow("UTF-8") << feed << "InvalidIntegerAttribute" << 5 << column;
        QTest::newRow("byte-order mark")
            << QByteArray("\xEF\xBB\xBF") + feed << "InvalidIntegerAttribute" << 5 << column;
        QTest::newRow("CR LF") << QByteArray(feed).replace("\n", "\r\n")
                               << "InvalidIntegerAttribute" << 5 << column;
        QByteArray latin = QByteArray(kCleanFeed)
                               .replace("UTF-8", "windows-1252")
                               .replace("<title>A</title>", "<title>\xE9t\xE9</title>")
                               .replace("Tue, 31", "Mon, 31");
        QTest::newRow("windows-1252")
            << latin << "IncorrectDOW" << 5
            << int(QByteArray("<item><title>ete</title><guid isPermaLink=\"false\">a</guid>")
                       .size()) +
                   1;
        QTest::newRow("missing element points at its parent")
            << CleanFeedWith("<description>D</description>", "") << "MissingDescription" << 3 << 1;
        // The loader points at the end tag that does not match.
        const QByteArray broken = CleanFeedWith("<title>A</title>", "<title>A</titel>");
        QTest::newRow("parser's line and column") << broken << "SAXError" << 5 << 15;
        QTest::newRow("parser's line and column, CR LF")
            << QByteArray(broken).replace("\n", "\r\n") << "SAXError" << 5 << 15;
    }
    void validate_placesFindings() {
        QFETCH(QByteArray, feed);
        QFETCH(QString, id);
        QFETCH(int, line);
        QFETCH(int, column);
        const QString path = Write(QStringLiteral("placed.xml"), feed);
        const Run run = Orvanctl({QStringLiteral("validate"), path, QStringLiteral("--location"),
                                  QString::fromLatin1(kLocation)});
        const QString expected = QStringLiteral("%1:%2:%3: ").arg(path).arg(line).arg(column);
        const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        const QStringList found = lines.filter(QStringLiteral(": %1: ").arg(id));
        QCOMPARE(found.size(), 1);
        QVERIFY2(found[0].startsWith(expected), qPrintable(found[0]));
    }

    void validate_json_hasEveryKey() {
        const QString path =
            Write(QStringLiteral("json.xml"),
                  CleanFeedWith("<title>A</title>", "<title>\"A\" &lt;b&gt;B&lt;/b&gt;</title>")
                      .replace("<guid isPermaLink=\"false\">a</guid>", "")
                      .replace("<atom:link href=\"http://e.example/rss.xml\" rel=\"self\" "
                               "type=\"application/rss+xml\"/>",
                               ""));
        const Run run = Orvanctl({QStringLiteral("validate"), path, QStringLiteral("--json")});
        QCOMPARE(run.status, 0);
        QJsonParseError error;
        const QJsonDocument json = QJsonDocument::fromJson(run.out.toUtf8(), &error);
        QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(error.errorString()));
        QHash<QString, QJsonObject> byId;
        for (const QJsonValue& value : json.array()) {
            const QJsonObject object = value.toObject();
            QCOMPARE(object.keys(), QStringList({"column", "file", "fix", "id", "line", "message",
                                                 "post", "severity"}));
            QCOMPARE(object.value(QStringLiteral("file")).toString(), path);
            byId.insert(object.value(QStringLiteral("id")).toString(), object);
        }
        QCOMPARE(byId.keys().size(), 3);
        const QJsonObject self = byId.value(QStringLiteral("MissingAtomSelfLink"));
        QVERIFY(self.value(QStringLiteral("post")).isNull());
        QCOMPARE(self.value(QStringLiteral("fix")).toBool(), true);
        const QJsonObject guid = byId.value(QStringLiteral("MissingGuid"));
        QCOMPARE(guid.value(QStringLiteral("post")).toInt(), 0);
        QCOMPARE(guid.value(QStringLiteral("severity")).toString(), QStringLiteral("warning"));
        QCOMPARE(guid.value(QStringLiteral("line")).toInt(), 5);
        const QJsonObject html = byId.value(QStringLiteral("ContainsHTML"));
        QCOMPARE(html.value(QStringLiteral("fix")).toBool(), false);
        QVERIFY(html.value(QStringLiteral("message")).toString().contains(QStringLiteral("\"A\"")));
    }

    void validate_location_checksSelfLink() {
        const QString path = Write(QStringLiteral("self.xml"), kCleanFeed);
        const Run elsewhere =
            Orvanctl({QStringLiteral("validate"), path, QStringLiteral("--location"),
                      QStringLiteral("https://other.example/feed")});
        QVERIFY(elsewhere.out.contains(QStringLiteral(": warning: SelfDoesntMatchLocation: ")));
        QCOMPARE(elsewhere.status, 0);
        QCOMPARE(Orvanctl({QStringLiteral("validate"), path}).out, QString());
    }

    void validate_badCommandLine_isUsageError_data() {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("no file") << QStringList();
        QTest::newRow("location without value") << QStringList{"f.xml", "--location"};
        QTest::newRow("unknown option") << QStringList{"f.xml", "--fix"};
        QTest::newRow("two files") << QStringList{"a.xml", "b.xml"};
    }
    void validate_badCommandLine_isUsageError() {
        QFETCH(QStringList, args);
        const Run run = Orvanctl(QStringList{QStringLiteral("validate")} + args);
        QCOMPARE(run.status, 2);
        QVERIFY(run.err.startsWith(QStringLiteral("usage: orvanctl validate FILE")));
    }

    void validate_missingFile_failsToLoadWithReason() {
        const QString path = m_dir.filePath(QStringLiteral("absent.xml"));
        const Run run = Orvanctl({QStringLiteral("validate"), path, QStringLiteral("--json")});
        QCOMPARE(run.status, 3);
        QCOMPARE(run.out, QString());
        QVERIFY2(run.err.startsWith(QStringLiteral("orvanctl: ") + path + QStringLiteral(": ")),
                 qPrintable(run.err));
    }
};

QTEST_GUILESS_MAIN(TestValidateCommand)
#include "test_validatecommand.moc"
