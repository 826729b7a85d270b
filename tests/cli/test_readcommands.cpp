#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>

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

const char kFeed[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<rss version=\"2.0\"><channel><title>c</title>\n"
    "<item><title>Zeta\ttab</title><link>http://z.example/</link>"
    "<pubDate>01 Jan 2020 00:00:00 GMT</pubDate><description>&lt;b&gt;Bold&lt;/b&gt; &amp; "
    "more</description><author>ann</author><guid>g0</guid></item>\n"
    "<item><title>Привет мир</title><link>http://p.example/</link>"
    "<pubDate>Sun, 05 Dec 2021 10:00:00 GMT</pubDate></item>\n"
    "<item><title>apple pie</title><pubDate>03 Mar 2019 07:09:05 GMT</pubDate></item>\n"
    "</channel></rss>\n";

} // namespace

class TestReadCommands final : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_feed;

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        qputenv("XDG_DATA_HOME", m_dir.filePath(QStringLiteral("data")).toUtf8());
        qputenv("XDG_CONFIG_HOME", m_dir.filePath(QStringLiteral("config")).toUtf8());
        m_feed = m_dir.filePath(QStringLiteral("feed.xml"));
        QFile file(m_feed);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(kFeed);
    }

    void count_printsPostCount() {
        const Run run = Orvanctl({QStringLiteral("count"), m_feed});
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out, QStringLiteral("3\n"));
    }

    void list_sortsAndFilters_data() {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QStringList>("indices");
        QTest::newRow("position") << QStringList() << QStringList({"0", "1", "2"});
        QTest::newRow("title") << QStringList({"--sort", "title"}) << QStringList({"0", "2", "1"});
        QTest::newRow("date") << QStringList({"--sort", "date"}) << QStringList({"1", "0", "2"});
        QTest::newRow("filter") << QStringList({"--filter", "  PIE "}) << QStringList({"2"});
        QTest::newRow("filter cyrillic")
            << QStringList({"--filter", QStringLiteral("МИР")}) << QStringList({"1"});
        QTest::newRow("filter and sort")
            << QStringList({"--filter", "e", "--sort", "title"}) << QStringList({"0", "2"});
    }
    void list_sortsAndFilters() {
        QFETCH(QStringList, options);
        QFETCH(QStringList, indices);
        const Run run = Orvanctl(QStringList({QStringLiteral("list"), m_feed}) + options);
        QCOMPARE(run.status, 0);
        QStringList got;
        const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (const QString& line : lines) {
            QCOMPARE(line.count(QLatin1Char('\t')), 3);
            got << line.section(QLatin1Char('\t'), 0, 0);
        }
        QCOMPARE(got, indices);
    }

    void list_lineHoldsFieldsWithTabsBlanked() {
        const Run run = Orvanctl({QStringLiteral("list"), m_feed});
        QCOMPARE(run.out.section(QLatin1Char('\n'), 0, 0),
                 QStringLiteral("0\tZeta tab\t01 Jan 2020 00:00:00 GMT\thttp://z.example/"));
        QCOMPARE(run.out.section(QLatin1Char('\n'), 2, 2),
                 QStringLiteral("2\tapple pie\t03 Mar 2019 07:09:05 GMT\t"));
    }

    void get_printsField_data() {
        QTest::addColumn<QString>("index");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::newRow("title") << "1"
                               << "title" << QStringLiteral("Привет мир");
        QTest::newRow("description") << "0"
                                     << "description" << QStringLiteral("<b>Bold</b> & more");
        QTest::newRow("xml") << "0"
                             << "description-xml"
                             << QStringLiteral("&lt;b&gt;Bold&lt;/b&gt; &amp; more");
        QTest::newRow("text") << "0"
                              << "description-text" << QStringLiteral("Bold & more");
        QTest::newRow("author") << "0"
                                << "author" << QStringLiteral("ann");
        QTest::newRow("guid") << "0"
                              << "guid" << QStringLiteral("g0");
        QTest::newRow("missing") << "2"
                                 << "link" << QString();
    }
    void get_printsField() {
        QFETCH(QString, index);
        QFETCH(QString, field);
        QFETCH(QString, text);
        const Run run = Orvanctl({QStringLiteral("get"), m_feed, index, field});
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out, text + QLatin1Char('\n'));
    }

    void errors_giveStatusAndMessage_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        const QString missing = QStringLiteral("/nonexistent/feed.xml");
        QTest::newRow("no command") << QStringList() << 2 << QStringLiteral("usage:");
        QTest::newRow("unknown command")
            << QStringList({"frobnicate"}) << 2 << QStringLiteral("unknown command");
        QTest::newRow("count without file")
            << QStringList({"count"}) << 2 << QStringLiteral("usage: orvanctl count FILE");
        QTest::newRow("bad sort") << QStringList({"list", "f", "--sort", "size"}) << 2
                                  << QStringLiteral("unknown sort order");
        QTest::newRow("bad field")
            << QStringList({"get", "f", "0", "colour"}) << 2 << QStringLiteral("unknown field");
        QTest::newRow("missing file") << QStringList({"count", missing}) << 3
                                      << QStringLiteral("orvanctl: ") + missing +
                                             QStringLiteral(": No such file or directory");
        QTest::newRow("device") << QStringList({"count", "/dev/zero"}) << 3
                                << QStringLiteral("orvanctl: /dev/zero: not a regular file");
        // A FIFO would block a reader that opened it to read.
        const QString fifo = m_dir.filePath(QStringLiteral("fifo"));
        ::mkfifo(QFile::encodeName(fifo).constData(), 0600);
        QTest::newRow("fifo") << QStringList({"list", fifo}) << 3
                              << QStringLiteral("orvanctl: ") + fifo +
                                     QStringLiteral(": not a regular file");
        QTest::newRow("directory")
            << QStringList({"print", "/"}) << 3 << QStringLiteral("orvanctl: /: is a directory");
    }
    void errors_giveStatusAndMessage() {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, message);
        const Run run = Orvanctl(args);
        QCOMPARE(run.status, status);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QVERIFY(run.out.isEmpty());
    }

    void output_cannotBeWritten_failsWithStatusOne() {
        QProcess process;
        process.setStandardOutputFile(QStringLiteral("/dev/full"));
        process.start(QStringLiteral(ORVANCTL_PATH), {QStringLiteral("print"), m_feed});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 1);
        QVERIFY(process.readAllStandardError().contains("cannot write the output"));
    }

    void get_indexOutOfRange_failsWithStatusOne() {
        for (const QString& index :
             {QStringLiteral("3"), QStringLiteral("-1"), QStringLiteral("x")}) {
            const Run run =
                Orvanctl({QStringLiteral("get"), m_feed, index, QStringLiteral("title")});
            QCOMPARE(run.status, 1);
            QVERIFY(
                run.err.startsWith(QStringLiteral("orvanctl: ") + m_feed + QStringLiteral(": ")));
        }
    }

    // Lists show each field on one line; get gives the exact text.
    void listAndGet_oneLineForListsExactTextForGet() {
        const QString path = m_dir.filePath(QStringLiteral("lines.xml"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("<rss><channel><item><title>\n  Two \t\n lines  </title>"
                   "<pubDate> 01 Jan 2020 </pubDate></item></channel></rss>");
        file.close();
        QCOMPARE(Orvanctl({QStringLiteral("list"), path}).out,
                 QStringLiteral("0\tTwo lines\t01 Jan 2020\t\n"));
        QCOMPARE(Orvanctl({QStringLiteral("list"), path, QStringLiteral("--filter"),
                           QStringLiteral("two lines")})
                     .out.count(u'\n'),
                 1);
        QCOMPARE(
            Orvanctl({QStringLiteral("get"), path, QStringLiteral("0"), QStringLiteral("title")})
                .out,
            QStringLiteral("\n  Two \t\n lines  \n"));
    }

    // A name that is not UTF-8 cannot be told apart from others once
    // converted, so it is refused rather than mapped to another file.
    void fileNameNotUtf8_isRefused() {
        QProcess shell;
        shell.setWorkingDirectory(m_dir.path());
        shell.start(QStringLiteral("sh"),
                    {QStringLiteral("-c"),
                     QStringLiteral("\"$0\" save-as \"$1\" \"$(printf 'x\\377.xml')\""),
                     QStringLiteral(ORVANCTL_PATH), m_feed});
        QVERIFY(shell.waitForFinished(60000));
        QCOMPARE(shell.exitCode(), 1);
        QVERIFY2(shell.readAllStandardError().contains("orvanctl: x\\xFF.xml: not valid UTF-8"),
                 "no message");
        QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral("x*")}), QStringList());
    }

    void load_notWellFormed_reportsLineAndColumn() {
        const QString bad = m_dir.filePath(QStringLiteral("bad.xml"));
        QFile file(bad);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("<rss>\n<channel>\n</rss>\n");
        file.close();
        const Run run = Orvanctl({QStringLiteral("count"), bad});
        QCOMPARE(run.status, 3);
        QVERIFY2(run.err.contains(QStringLiteral("line 3, column")), qPrintable(run.err));
    }

    void printAndSaveAs_writeTheTree() {
        const Run printed = Orvanctl({QStringLiteral("print"), m_feed});
        QCOMPARE(printed.status, 0);
        QVERIFY(printed.out.startsWith(
            QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss")));
        QVERIFY(printed.out.contains(QStringLiteral("\n        <item>\n            <title>")));
        const QString out = m_dir.filePath(QStringLiteral("copy.xml"));
        const Run saved = Orvanctl({QStringLiteral("save-as"), m_feed, out});
        QCOMPARE(saved.status, 0);
        QCOMPARE(Orvanctl({QStringLiteral("print"), out}).out, printed.out);
        // No backup: the target is another file.
        QVERIFY(!QDir(m_dir.filePath(QStringLiteral("data/Orvan_Backup"))).exists() ||
                QDir(m_dir.filePath(QStringLiteral("data/Orvan_Backup"))).isEmpty());
        const Run failed =
            Orvanctl({QStringLiteral("save-as"), m_feed, QStringLiteral("/nonexistent/x.xml")});
        QCOMPARE(failed.status, 1);
    }
};

QTEST_GUILESS_MAIN(TestReadCommands)
#include "test_readcommands.moc"
