// orvanctl get, set, append and enclosure on channel and post fields, run as
// a script runs them, with the saved file read back byte for byte.
#include "keptlines.h"
#include "testmedia.h"

#include "feed/feedoptions.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

// Laid out as the program writes files, with things it does not know.
const QByteArray kFeed = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                         "<rss version=\"2.0\" xmlns:atom=\"http://www.w3.org/2005/Atom\">\n"
                         "    <channel>\n"
                         "        <title>Show</title>\n"
                         "        <link>https://e.example/</link>\n"
                         "        <description>About</description>\n"
                         "        <x:unknown xmlns:x=\"urn:x\" a=\"1\">kept</x:unknown>\n"
                         "        <!-- a comment -->\n"
                         "        <item>\n"
                         "            <title>Episode</title>\n"
                         "            <description><![CDATA[<p>Body</p>]]></description>\n"
                         "            <pubDate>01 Dec 2020 10:00:00 GMT</pubDate>\n"
                         "            <guid>g1</guid>\n"
                         "            <y-unknown>also kept</y-unknown>\n"
                         "        </item>\n"
                         "    </channel>\n"
                         "</rss>\n";

QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

// Answers HEAD (and GET) for enclosure files on 127.0.0.1.
class MediaServer final : public QObject {
public:
    MediaServer() {
        m_server.listen(QHostAddress::LocalHost);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { answer(socket); });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    QString url(const char* path) const {
        return u"http://127.0.0.1:%1%2"_s.arg(m_server.serverPort()).arg(QLatin1String(path));
    }
    QStringList methods;

private:
    void answer(QTcpSocket* socket) {
        QByteArray& request = m_requests[socket];
        request += socket->readAll();
        if (!request.contains("\r\n\r\n"))
            return;
        const QList<QByteArray> words = request.split(' ');
        const QByteArray method = words.value(0);
        const QByteArray path = words.value(1);
        m_requests.remove(socket);
        methods.append(QString::fromLatin1(method + ' ' + path));
        QByteArray head;
        QByteArray body;
        if (path == "/ep.mp3") {
            head = "200 OK\r\nContent-Type: audio/mpeg\r\nContent-Length: 12345";
        } else if (path == "/nohead.m4a" && method == "HEAD") {
            head = "405 Method Not Allowed\r\nContent-Length: 0";
        } else if (path == "/nohead.m4a") {
            body = QByteArray(999, 'x');
            head = "200 OK\r\nContent-Length: 999";
        } else {
            head = "404 Not Found\r\nContent-Length: 0";
        }
        socket->write("HTTP/1.1 " + head + "\r\nConnection: close\r\n\r\n");
        if (method != "HEAD")
            socket->write(body);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QHash<QTcpSocket*, QByteArray> m_requests;
};

} // namespace

class TestProperties final : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    int m_files = 0;

    QString ConfigHome() const { return m_dir.filePath(u"config"_s); }
    QString SettingsFile() const { return ConfigHome() + u"/Orvan/Settings.ini"_s; }

    // Runs orvanctl while this thread's event loop keeps answering the server.
    Run Orvanctl(const QStringList& args) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"XDG_DATA_HOME"_s, m_dir.filePath(u"data"_s));
        env.insert(u"XDG_CONFIG_HOME"_s, ConfigHome());
        for (const QString& name : {u"http_proxy"_s, u"https_proxy"_s, u"HTTP_PROXY"_s,
                                    u"HTTPS_PROXY"_s, u"ALL_PROXY"_s, u"all_proxy"_s})
            env.remove(name);
        process.setProcessEnvironment(env);
        QEventLoop loop;
        connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
        process.start(QStringLiteral(ORVANCTL_PATH), args);
        if (process.state() != QProcess::NotRunning)
            loop.exec();
        Run run;
        run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.out = QString::fromUtf8(process.readAllStandardOutput());
        run.err = QString::fromUtf8(process.readAllStandardError());
        return run;
    }

    QString NewFeed(const QByteArray& bytes = kFeed) {
        const QString path = m_dir.filePath(u"feed%1.xml"_s.arg(++m_files));
        WriteBytes(path, bytes);
        return path;
    }

private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(m_dir.isValid());
    }

    void setThenGet_addsOnlyTheField_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("line");
        const QList<std::tuple<const char*, const char*, const char*, const char*>> rows = {
            {"channel", "language", "en-us", "<language>en-us</language>"},
            {"channel", "copyright", "(c) 2026", "<copyright>(c) 2026</copyright>"},
            {"channel", "managingEditor", "ed@e.example (Ed)",
             "<managingEditor>ed@e.example (Ed)</managingEditor>"},
            {"channel", "webMaster", "wm@e.example", "<webMaster>wm@e.example</webMaster>"},
            {"channel", "ttl", "60", "<ttl>60</ttl>"},
            {"channel", "docs", "https://cyber.harvard.edu/rss/rss.html",
             "<docs>https://cyber.harvard.edu/rss/rss.html</docs>"},
            {"channel", "category@domain", "https://e.example/c", "<category domain=\""},
            {"channel", "atom:link[@rel=self]@href", "https://e.example/feed.xml",
             "<atom:link rel=\"self\" href=\"https://e.example/feed.xml\" />"},
            {"channel", "image/url", "https://e.example/i.png",
             "<url>https://e.example/i.png</url>"},
            {"channel", "image/width", "144", "<width>144</width>"},
            {"channel", "itunes:author", "Ann", "<itunes:author>Ann</itunes:author>"},
            {"channel", "itunes:owner/itunes:email", "ann@e.example",
             "<itunes:email>ann@e.example</itunes:email>"},
            {"channel", "itunes:image@href", "https://e.example/a.jpg",
             "<itunes:image href=\"https://e.example/a.jpg\" />"},
            {"channel", "itunes:category@text", "Arts", "<itunes:category text=\"Arts\" />"},
            {"channel", "itunes:explicit", "false", "<itunes:explicit>false</itunes:explicit>"},
            {"channel", "itunes:type", "serial", "<itunes:type>serial</itunes:type>"},
            {"channel", "itunes:new-feed-url", "https://n.example/f",
             "<itunes:new-feed-url>https://n.example/f</itunes:new-feed-url>"},
            {"channel", "podcast:guid", "9b024349-ccf0-5f69-a609-6b82873eab3c",
             "<podcast:guid>9b024349-ccf0-5f69-a609-6b82873eab3c</podcast:guid>"},
            {"channel", "podcast:locked@owner", "ann@e.example",
             "<podcast:locked owner=\"ann@e.example\" />"},
            {"channel", "podcast:funding@url", "https://e.example/give",
             "<podcast:funding url=\"https://e.example/give\" />"},
            {"channel", "podcast:medium", "music", "<podcast:medium>music</podcast:medium>"},
            {"0", "pubDate", "02 Jan 2021 08:00:00 GMT",
             "<pubDate>02 Jan 2021 08:00:00 GMT</pubDate>"},
            {"0", "guid@isPermaLink", "false", "<guid isPermaLink=\"false\">g1</guid>"},
            {"0", "comments", "https://e.example/c", "<comments>https://e.example/c</comments>"},
            {"0", "source@url", "https://o.example/f", "<source url=\"https://o.example/f\" />"},
            {"0", "enclosure@type", "audio/mpeg", "<enclosure type=\"audio/mpeg\" />"},
            {"0", "itunes:title", "One", "<itunes:title>One</itunes:title>"},
            {"0", "itunes:episode", "3", "<itunes:episode>3</itunes:episode>"},
            {"0", "itunes:season", "2", "<itunes:season>2</itunes:season>"},
            {"0", "itunes:episodeType", "bonus", "<itunes:episodeType>bonus</itunes:episodeType>"},
            {"0", "itunes:duration", "61", "<itunes:duration>61</itunes:duration>"},
            {"0", "podcast:transcript@url", "https://e.example/t.vtt",
             "<podcast:transcript url=\"https://e.example/t.vtt\" />"},
            {"0", "podcast:chapters@url", "https://e.example/c.json",
             "<podcast:chapters url=\"https://e.example/c.json\" />"},
            {"0", "category", "Tech", "<category>Tech</category>"},
        };
        for (const auto& [target, field, value, line] : rows) {
            QTest::addRow("%s %s", target, field)
                << QString::fromLatin1(target) << QString::fromLatin1(field)
                << QString::fromUtf8(value) << QByteArray(line);
        }
    }

    void setThenGet_addsOnlyTheField() {
        QFETCH(QString, target);
        QFETCH(QString, field);
        QFETCH(QString, value);
        QFETCH(QByteArray, line);
        const QString feed = NewFeed();
        Run run = Orvanctl({u"set"_s, feed, target, field, value});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        run = Orvanctl({u"get"_s, feed, target, field});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, value + u'\n');
        const QByteArray saved = ReadBytes(feed);
        // A field the post has already is rewritten in its place.
        QByteArray before = kFeed;
        if (field == u"pubDate")
            before.replace("<pubDate>01 Dec 2020 10:00:00 GMT</pubDate>", line);
        else if (field == u"guid@isPermaLink")
            before.replace("<guid>g1</guid>", line);
        QList<QByteArray> added;
        QVERIFY2(KeptInOrder(before, saved, &added), saved.constData());
        QVERIFY2(saved.contains(line), saved.constData());
        // New lines are the field and the elements it sits in, indented as their siblings.
        for (const QByteArray& addedLine : added)
            QVERIFY2(addedLine.startsWith("        <") || addedLine.startsWith("            <") ||
                         addedLine.startsWith("        </"),
                     addedLine.constData());
        const QByteArray prefix = field.section(u':', 0, 0).toLatin1();
        if (field.contains(u':'))
            QCOMPARE(saved.count("xmlns:" + prefix + "="), 1);
        // Editing a new field leaves the post's date alone.
        if (field != u"pubDate")
            QVERIFY(saved.contains("<pubDate>01 Dec 2020 10:00:00 GMT</pubDate>"));
    }

    void manyFields_declareEachNamespaceOnce() {
        const QString feed = NewFeed();
        for (const QStringList& args :
             {QStringList{u"channel"_s, u"itunes:author"_s, u"Ann"_s},
              {u"channel"_s, u"itunes:owner/itunes:name"_s, u"Ann"_s},
              {u"channel"_s, u"podcast:locked"_s, u"yes"_s},
              {u"0"_s, u"itunes:duration"_s, u"10"_s},
              {u"0"_s, u"podcast:chapters@type"_s, u"application/json+chapters"_s}}) {
            const Run run = Orvanctl(QStringList{u"set"_s, feed} + args);
            QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        }
        const QByteArray saved = ReadBytes(feed);
        QVERIFY2(
            saved.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\" "
                             "xmlns:atom=\"http://www.w3.org/2005/Atom\" "
                             "xmlns:itunes=\"http://www.itunes.com/dtds/podcast-1.0.dtd\" "
                             "xmlns:podcast=\"https://podcastindex.org/namespace/1.0\">\n"),
            saved.constData());
        QList<QByteArray> added;
        QVERIFY(KeptInOrder(kFeed, saved, &added));
        QCOMPARE(added.size(), 7);
    }

    void repeated_appendSetAndRemove() {
        const QString feed = NewFeed();
        QCOMPARE(Orvanctl({u"append"_s, feed, u"channel"_s, u"category"_s, u"News"_s}).exitCode, 0);
        QCOMPARE(Orvanctl({u"append"_s, feed, u"channel"_s, u"category[@domain=d]"_s, u"Tech"_s})
                     .exitCode,
                 0);
        QVERIFY(ReadBytes(feed).contains("        <category>News</category>\n"
                                         "        <category domain=\"d\">Tech</category>\n"
                                         "        <item>"));
        Run run = Orvanctl({u"get"_s, feed, u"channel"_s, u"category"_s});
        QCOMPARE(run.out, u"News\nTech\n"_s);
        QCOMPARE(Orvanctl({u"set"_s, feed, u"channel"_s, u"category"_s, u"Solo"_s}).exitCode, 0);
        QCOMPARE(Orvanctl({u"get"_s, feed, u"channel"_s, u"category"_s}).out, u"Solo\n"_s);
        QCOMPARE(Orvanctl({u"set"_s, feed, u"channel"_s, u"category"_s, QString()}).exitCode, 0);
        QCOMPARE(ReadBytes(feed), kFeed);
        // A missing element prints nothing and fails.
        run = Orvanctl({u"get"_s, feed, u"channel"_s, u"category"_s});
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.out, QString());
    }

    void refusals_leaveTheFileAsItWas_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::newRow("undeclared prefix")
            << QStringList{u"set"_s, u"channel"_s, u"media:title"_s, u"x"_s} << 1
            << u"unknown namespace prefix media"_s;
        QTest::newRow("not a path")
            << QStringList{u"set"_s, u"channel"_s, u"a[b"_s, u"x"_s} << 2 << u"not a field"_s;
        QTest::newRow("control character")
            << QStringList{u"set"_s, u"0"_s, u"itunes:title"_s, u"a\u0007"_s} << 1 << u"U+0007"_s;
        QTest::newRow("empty append")
            << QStringList{u"append"_s, u"0"_s, u"category"_s, QString()} << 1 << u"adds nothing"_s;
        QTest::newRow("no such post")
            << QStringList{u"set"_s, u"4"_s, u"comments"_s, u"x"_s} << 1 << u"out of range"_s;
    }

    void refusals_leaveTheFileAsItWas() {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        const QString feed = NewFeed();
        args.insert(1, feed);
        const Run run = Orvanctl(args);
        QTEST(run.exitCode, "exitCode");
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QCOMPARE(ReadBytes(feed), kFeed);
    }

    void classicFields_keepTheirWays() {
        const QString feed = NewFeed();
        // An empty title keeps its element and, as before, renews the date.
        QCOMPARE(Orvanctl({u"set"_s, feed, u"0"_s, u"title"_s, QString()}).exitCode, 0);
        QByteArray saved = ReadBytes(feed);
        QVERIFY(saved.contains("<title />"));
        QVERIFY(!saved.contains("01 Dec 2020"));
        QCOMPARE(Orvanctl({u"get"_s, feed, u"0"_s, u"author"_s}).out, u"\n"_s);

        // A podcaster's feed keeps its episode dates.
        const QString episodes = NewFeed();
        FeedOptions options;
        options.renewPubDateOnEdit = false;
        QVERIFY(options.Store(SettingsFile(), episodes));
        QCOMPARE(Orvanctl({u"set"_s, episodes, u"0"_s, u"title"_s, u"Renamed"_s}).exitCode, 0);
        saved = ReadBytes(episodes);
        QVERIFY(saved.contains("<title>Renamed</title>"));
        QVERIFY(saved.contains("<pubDate>01 Dec 2020 10:00:00 GMT</pubDate>"));
    }

    void saveOptions_writeGeneratorAndBuildDate_butNotOnSaveAs() {
        const QString feed = NewFeed();
        FeedOptions options;
        options.writeGenerator = true;
        options.renewLastBuildDate = true;
        QVERIFY(options.Store(SettingsFile(), feed));
        const QString copy = m_dir.filePath(u"copy.xml"_s);
        QCOMPARE(Orvanctl({u"save-as"_s, feed, copy}).exitCode, 0);
        QCOMPARE(ReadBytes(copy), kFeed);
        QCOMPARE(Orvanctl({u"set"_s, feed, u"channel"_s, u"ttl"_s, u"5"_s}).exitCode, 0);
        QVERIFY(Orvanctl({u"get"_s, feed, u"channel"_s, u"generator"_s}).out.startsWith(u"Orvan"));
        QVERIFY(
            Orvanctl({u"get"_s, feed, u"channel"_s, u"lastBuildDate"_s}).out.endsWith(u" GMT\n"_s));
    }

    void enclosure_fromLocalFile_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("duration");
        // 192 frames of 1152 samples at 44.1 kHz: 5.0 seconds.
        QTest::newRow("mp3") << u"ep 1.mp3"_s << testmedia::SilentMp3(192) << u"audio/mpeg"_s
                             << u"5"_s;
        QTest::newRow("m4a") << u"ep2.m4a"_s << testmedia::SilentM4a(7) << u"audio/mp4"_s << u"7"_s;
        QTest::newRow("not media")
            << u"notes.txt"_s << QByteArray("just text\n") << u"text/plain"_s << QString();
    }

    void enclosure_fromLocalFile() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        const QString media = m_dir.filePath(name);
        QVERIFY(WriteBytes(media, bytes));
        const QString feed = NewFeed();
        const QString url = u"https://e.example/media/"_s + name;
        const Run run = Orvanctl({u"enclosure"_s, feed, u"0"_s, url, u"--file"_s, media});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QCOMPARE(Orvanctl({u"get"_s, feed, u"0"_s, u"enclosure@url"_s}).out, url + u'\n');
        QCOMPARE(Orvanctl({u"get"_s, feed, u"0"_s, u"enclosure@length"_s}).out,
                 QString::number(bytes.size()) + u'\n');
        QTEST(Orvanctl({u"get"_s, feed, u"0"_s, u"enclosure@type"_s}).out.trimmed(), "type");
        QTEST(Orvanctl({u"get"_s, feed, u"0"_s, u"itunes:duration"_s}).out.trimmed(), "duration");
        QList<QByteArray> added;
        QVERIFY(KeptInOrder(kFeed, ReadBytes(feed), &added));
    }

    void enclosure_fromServer_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("length");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QStringList>("requests");
        QTest::newRow("HEAD") << u"/ep.mp3"_s << 0 << u"12345"_s << u"audio/mpeg"_s
                              << QStringList{u"HEAD /ep.mp3"_s};
        QTest::newRow("no HEAD: GET, type from the name")
            << u"/nohead.m4a"_s << 0 << u"999"_s << u"audio/mp4"_s
            << QStringList{u"HEAD /nohead.m4a"_s, u"GET /nohead.m4a"_s};
        QTest::newRow("missing") << u"/gone.mp3"_s << 1 << QString() << QString()
                                 << QStringList{u"HEAD /gone.mp3"_s};
    }

    void enclosure_fromServer() {
        QFETCH(QString, path);
        QFETCH(int, exitCode);
        MediaServer server;
        const QString feed = NewFeed();
        const QString url = server.url(path.toLatin1().constData());
        const Run run = Orvanctl({u"enclosure"_s, feed, u"0"_s, url});
        QCOMPARE(run.exitCode, exitCode);
        QTEST(server.methods, "requests");
        if (exitCode != 0) {
            QVERIFY2(run.err.contains(u"404"_s), qPrintable(run.err));
            QCOMPARE(ReadBytes(feed), kFeed);
            return;
        }
        QTEST(Orvanctl({u"get"_s, feed, u"0"_s, u"enclosure@length"_s}).out.trimmed(), "length");
        QTEST(Orvanctl({u"get"_s, feed, u"0"_s, u"enclosure@type"_s}).out.trimmed(), "type");
        QVERIFY(ReadBytes(feed).contains(u"<enclosure url=\"%1\" length="_s.arg(url).toUtf8()));
    }
};

QTEST_GUILESS_MAIN(TestProperties)
#include "test_properties.moc"
