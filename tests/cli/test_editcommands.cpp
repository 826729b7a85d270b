// orvanctl's editing commands, driven as a user's script would drive them.
#include "../platform/smalldisk.h"
#include "feed/rssfeed.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

QByteArray FeedWithPosts(int count) {
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\"><channel>"
                     "<title>Feed</title>\n";
    for (int i = 0; i < count; ++i) {
        const QByteArray n = QByteArray::number(i);
        xml += "<item><title>Post " + n + "</title><description>Body " + n +
               "</description><pubDate>01 Dec 2020 10:00:00 GMT</pubDate><link>https://"
               "example.org/" +
               n + "</link><author>a</author><guid>g" + n + "</guid></item>\n";
    }
    return xml + "</channel></rss>\n";
}

} // namespace

class TestEditCommands final : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_dataHome;
    int m_fileNumber = 0;

    Run Orvanctl(const QStringList& args, bool asUnprivilegedUser = false,
                 const QString& workingFolder = QString(),
                 const QList<QPair<QString, QString>>& extraEnvironment = {}) {
        QProcess process;
        process.setWorkingDirectory(workingFolder);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"XDG_DATA_HOME"_s, m_dataHome);
        for (const auto& [name, value] : extraEnvironment)
            env.insert(name, value);
        process.setProcessEnvironment(env);
        if (asUnprivilegedUser) {
            // Root ignores file permissions; the command runs as "nobody" then.
            process.start(u"setpriv"_s,
                          QStringList{u"--reuid=65534"_s, u"--regid=65534"_s, u"--clear-groups"_s,
                                      QStringLiteral(ORVANCTL_PATH)} +
                              args);
        } else {
            process.start(QStringLiteral(ORVANCTL_PATH), args);
        }
        Run run;
        if (!process.waitForFinished(60000))
            return run;
        run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.out = QString::fromUtf8(process.readAllStandardOutput());
        run.err = QString::fromUtf8(process.readAllStandardError());
        return run;
    }

    QString MakeFeed(int posts) {
        const QString path = m_dir.filePath(u"feed%1.xml"_s.arg(++m_fileNumber));
        WriteBytes(path, FeedWithPosts(posts));
        return path;
    }

    static QStringList Titles(const QString& path) {
        CRssFeed feed;
        QStringList titles;
        if (!feed.LoadFile(path))
            return {u"<not loaded>"_s};
        for (int i = 0; i < feed.GetPostCount(); ++i)
            titles.append(feed.GetTitle(i));
        return titles;
    }

private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(m_dir.isValid());
        // Readable for the unprivileged user of the permission tests.
        QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                                QFileDevice::ExeOther | QFileDevice::ReadGroup |
                                                QFileDevice::ExeGroup);
        m_dataHome = m_dir.filePath(u"data"_s);
        QVERIFY(QDir().mkpath(m_dataHome));
        QFile::setPermissions(m_dataHome, QFileDevice::Permissions(0x7777));
    }

    void new_buildsFeedAndRefusesToOverwrite() {
        const QString path = m_dir.filePath(u"new.xml"_s);
        Run run = Orvanctl({u"new"_s, path, u"--title"_s, u"Mine"_s, u"--category"_s, u"News"_s});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QString());
        CRssFeed feed;
        QVERIFY(feed.LoadFile(path));
        QCOMPARE(feed.GetPostCount(), 1);
        QCOMPARE(feed.GetTitle(0), u"Type RSS item title here\u2026"_s);
        QCOMPARE(QString::fromUtf8(feed.GetChannelNode().child("title").text().get()), u"Mine"_s);

        const QByteArray before = ReadBytes(path);
        run = Orvanctl({u"new"_s, path});
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.err.contains(path));
        QCOMPARE(ReadBytes(path), before);
        QCOMPARE(Orvanctl({u"new"_s, path, u"--force"_s, u"--title"_s, u"Other"_s}).exitCode, 0);
        QVERIFY(ReadBytes(path).contains("<title>Other</title>"));
    }

    void add_setsFieldsThroughThePostAndLeavesOneBackup() {
        const QString path = MakeFeed(2);
        const Run folder = Orvanctl({u"backup-folder"_s, path});
        QCOMPARE(folder.exitCode, 0);
        const QDir backups(folder.out.trimmed());
        const QString pattern = QFileInfo(path).completeBaseName() + u"*.bak"_s;
        const qsizetype backupsBefore = backups.entryList({pattern}, QDir::Files).size();

        const Run run = Orvanctl({u"add"_s, path, u"--title"_s, u"Fresh"_s, u"--link"_s,
                                  u"https://example.org/fresh"_s, u"--description"_s, u"Hello"_s});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.err, QString());

        CRssFeed feed;
        QVERIFY(feed.LoadFile(path));
        QCOMPARE(feed.GetPostCount(), 3);
        QCOMPARE(feed.GetTitle(0), u"Fresh"_s);
        QVERIFY(feed.GetGuid(0).startsWith(u"https://example.org/fresh?"_s));
        QVERIFY(feed.GetDescription(0).startsWith(u"Hello<BR><p name=\"ADV\">"_s));
        QCOMPARE(backups.entryList({pattern}, QDir::Files).size(), backupsBefore + 1);
    }

    void set_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expectedStart");
        QTest::newRow("title") << u"title"_s << u"Renamed"_s << u"Renamed"_s;
        QTest::newRow("author") << u"author"_s << u"me@example.org"_s << u"me@example.org"_s;
        QTest::newRow("link") << u"link"_s << u"https://example.org/x"_s
                              << u"https://example.org/x"_s;
        QTest::newRow("description with footer")
            << u"description"_s << u"<b>Bold</b>"_s << u"<b>Bold</b><BR><p name=\"ADV\">"_s;
    }

    void set() {
        QFETCH(QString, field);
        QFETCH(QString, value);
        QFETCH(QString, expectedStart);
        const QString path = MakeFeed(3);
        QCOMPARE(Orvanctl({u"set"_s, path, u"1"_s, field, value}).exitCode, 0);
        CRssFeed feed;
        QVERIFY(feed.LoadFile(path));
        const QString stored = field == u"title"    ? feed.GetTitle(1)
                               : field == u"author" ? feed.GetAuthor(1)
                               : field == u"link"   ? feed.GetLink(1)
                                                    : feed.GetDescription(1);
        QVERIFY2(stored.startsWith(expectedStart), qPrintable(stored));
        QVERIFY(!feed.GetPubDate(1).contains(u"2020"_s));
        QCOMPARE(feed.GetTitle(0), u"Post 0"_s);
    }

    void deleteAndDuplicate_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("expectedTitles");
        QTest::newRow("delete") << QStringList{u"delete"_s, u"1"_s}
                                << QStringList{u"Post 0"_s, u"Post 2"_s};
        QTest::newRow("delete last")
            << QStringList{u"delete"_s, u"2"_s} << QStringList{u"Post 0"_s, u"Post 1"_s};
        QTest::newRow("duplicate")
            << QStringList{u"duplicate"_s, u"2"_s}
            << QStringList{u"Post 2"_s, u"Post 0"_s, u"Post 1"_s, u"Post 2"_s};
        QTest::newRow("duplicate and delete")
            << QStringList{u"duplicate"_s, u"1"_s, u"--delete-original"_s}
            << QStringList{u"Post 1"_s, u"Post 0"_s, u"Post 2"_s};
    }

    void deleteAndDuplicate() {
        QFETCH(QStringList, args);
        QFETCH(QStringList, expectedTitles);
        const QString path = MakeFeed(3);
        args.insert(1, path);
        const Run run = Orvanctl(args);
        QCOMPARE(run.err, QString());
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(Titles(path), expectedTitles);
    }

    void badInput_data() {
        QTest::addColumn<int>("posts");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::newRow("index out of range")
            << 3 << QStringList{u"set"_s, u"3"_s, u"title"_s, u"x"_s} << 1 << u"out of range"_s;
        QTest::newRow("negative index")
            << 3 << QStringList{u"delete"_s, u"-1"_s} << 1 << u"out of range"_s;
        QTest::newRow("index not a number")
            << 3 << QStringList{u"duplicate"_s, u"two"_s} << 1 << u"not a post index"_s;
        QTest::newRow("unknown field")
            << 3 << QStringList{u"set"_s, u"0"_s, u"pubDate"_s, u"x"_s} << 2 << u"unknown field"_s;
        QTest::newRow("unknown option")
            << 3 << QStringList{u"add"_s, u"--colour"_s, u"red"_s} << 2 << u"unknown option"_s;
        QTest::newRow("only post") << 1 << QStringList{u"delete"_s, u"0"_s} << 1 << u"only post"_s;
        // What XML cannot hold is refused, not stored, nor silently dropped.
        QTest::newRow("control character in a title")
            << 3 << QStringList{u"set"_s, u"0"_s, u"title"_s, u"bell\u0007"_s} << 1
            << u"U+0007, which XML does not allow"_s;
        QTest::newRow("control character in a new post")
            << 3 << QStringList{u"add"_s, u"--description"_s, u"a\u001Bb"_s} << 1 << u"U+001B"_s;
    }

    void badInput() {
        QFETCH(int, posts);
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        const QString path = MakeFeed(posts);
        const QByteArray before = ReadBytes(path);
        args.insert(1, path);
        const Run run = Orvanctl(args);
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QCOMPARE(ReadBytes(path), before);
    }

    void doubleDash_endsOptions_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("expectedTitles");
        QTest::newRow("add") << QStringList{u"add"_s, u"--title"_s, u"T"_s, u"--"_s, u"--f.xml"_s}
                             << QStringList{u"T"_s, u"Post 0"_s};
        QTest::newRow("duplicate")
            << QStringList{u"duplicate"_s, u"--delete-original"_s, u"--"_s, u"--f.xml"_s, u"0"_s}
            << QStringList{u"Post 0"_s};
        QTest::newRow("list") << QStringList{u"list"_s, u"--"_s, u"--f.xml"_s}
                              << QStringList{u"Post 0"_s};
    }

    void doubleDash_endsOptions() {
        QFETCH(QStringList, args);
        QFETCH(QStringList, expectedTitles);
        const QString folder = m_dir.filePath(u"dashes%1"_s.arg(++m_fileNumber));
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(WriteBytes(folder + u"/--f.xml"_s, FeedWithPosts(1)));
        const Run run = Orvanctl(args, false, folder);
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QCOMPARE(Titles(folder + u"/--f.xml"_s), expectedTitles);
    }

    // A full disk fails the command with the system's reason and leaves the
    // file as it was: on a real small file system where the tests may mount
    // one (as root), and through the writer's test seam everywhere.
    void fullDisk_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("targetExists");
        QTest::addColumn<bool>("smallDisk");
        for (const bool small : {true, false}) {
            const char* where = small ? "small disk" : "seam";
            QTest::addRow("new, %s", where) << QStringList{u"new"_s} << false << small;
            QTest::addRow("set, %s", where)
                << QStringList{u"set"_s, u"0"_s, u"title"_s, u"Changed"_s} << true << small;
            QTest::addRow("add, %s", where)
                << QStringList{u"add"_s, u"--title"_s, u"More"_s} << true << small;
        }
    }

    void fullDisk() {
        QFETCH(QStringList, args);
        QFETCH(bool, targetExists);
        QFETCH(bool, smallDisk);
        SmallDisk disk;
        if (smallDisk && !disk.isMounted())
            QSKIP("a small tmpfs needs root");
        const QString folder =
            smallDisk ? disk.path() : m_dir.filePath(u"full%1"_s.arg(++m_fileNumber));
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + u"/feed.xml"_s;
        if (targetExists)
            QVERIFY(WriteBytes(path, FeedWithPosts(2)));
        const QByteArray before = ReadBytes(path);
        if (smallDisk)
            disk.fillLeaving(0);
        args.insert(1, path);

        const Run run = smallDisk ? Orvanctl(args)
                                  : Orvanctl(args, false, QString(),
                                             {{u"ORVAN_TEST_DISK_FULL_AFTER"_s, u"100"_s}});

        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(path) && run.err.contains(u"No space left"_s),
                 qPrintable(run.err));
        QCOMPARE(QFile::exists(path), targetExists);
        QCOMPARE(ReadBytes(path), before);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).filter(u".orvan-"_s),
                 QStringList());
    }

    void missingFile_reportsLoadFailure() {
        const QString path = m_dir.filePath(u"absent.xml"_s);
        const Run run = Orvanctl({u"add"_s, path});
        QCOMPARE(run.exitCode, 3);
        QVERIFY(run.err.contains(path));
        QVERIFY(!QFile::exists(path));
    }

    void readOnly_data() {
        QTest::addColumn<bool>("folderReadOnly");
        QTest::newRow("read-only file") << false;
        QTest::newRow("read-only folder") << true;
    }

    void readOnly() {
        QFETCH(bool, folderReadOnly);
        const bool root = ::geteuid() == 0;
        if (root && QStandardPaths::findExecutable(u"setpriv"_s).isEmpty())
            QSKIP("running as root without setpriv: permissions cannot hold");
        const QString folder =
            m_dir.filePath(folderReadOnly ? u"locked-folder"_s : u"open-folder"_s);
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + u"/feed.xml"_s;
        QVERIFY(WriteBytes(path, FeedWithPosts(2)));
        const auto readAll = QFileDevice::ReadOwner | QFileDevice::ReadGroup |
                             QFileDevice::ReadOther | QFileDevice::ExeOwner |
                             QFileDevice::ExeGroup | QFileDevice::ExeOther;
        if (folderReadOnly) {
            QFile::setPermissions(path, readAll | QFileDevice::WriteOwner |
                                            QFileDevice::WriteGroup | QFileDevice::WriteOther);
            QFile::setPermissions(folder, readAll);
        } else {
            QFile::setPermissions(folder, readAll | QFileDevice::WriteOwner |
                                              QFileDevice::WriteGroup | QFileDevice::WriteOther);
            QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup |
                                            QFileDevice::ReadOther);
        }
        const QByteArray before = ReadBytes(path);

        const Run run = Orvanctl({u"set"_s, path, u"0"_s, u"title"_s, u"Changed"_s}, root);

        QFile::setPermissions(folder, readAll | QFileDevice::WriteOwner);
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(path), qPrintable(run.err));
        QCOMPARE(ReadBytes(path), before);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{u"feed.xml"_s});
    }
};

QTEST_GUILESS_MAIN(TestEditCommands)
#include "test_editcommands.moc"
