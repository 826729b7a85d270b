// What orvanctl's saves do to the files around them: no change is lost to a
// command running at the same moment, the file a save replaces is backed up
// first, and the file keeps its links, mode and owner.
#include "feed/rssfeed.h"
#include "platform/feedlock.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

struct Run {
    int exitCode = -1;
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
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\"><channel>\n";
    for (int i = 0; i < count; ++i)
        xml += "<item><title>Post " + QByteArray::number(i) +
               "</title><description>Body</description><pubDate>01 Dec 2020 10:00:00 "
               "GMT</pubDate></item>\n";
    return xml + "</channel></rss>\n";
}

QStringList Titles(const QString& path) {
    CRssFeed feed;
    QStringList titles;
    if (!feed.LoadFile(path))
        return {u"<not loaded>"_s};
    for (int i = 0; i < feed.GetPostCount(); ++i)
        titles.append(feed.GetTitle(i));
    return titles;
}

} // namespace

class TestSaveSafety final : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_fileNumber = 0;

    QProcessEnvironment Environment(const QList<QPair<QString, QString>>& extra = {}) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"XDG_DATA_HOME"_s, m_dir.filePath(u"data"_s));
        env.insert(u"XDG_CONFIG_HOME"_s, m_dir.filePath(u"config"_s));
        for (const auto& [name, value] : extra)
            env.insert(name, value);
        return env;
    }

    Run Orvanctl(const QStringList& args, const QList<QPair<QString, QString>>& extra = {}) {
        QProcess process;
        process.setProcessEnvironment(Environment(extra));
        process.start(QStringLiteral(ORVANCTL_PATH), args);
        Run run;
        if (!process.waitForFinished(60000))
            return run;
        run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.err = QString::fromUtf8(process.readAllStandardError());
        return run;
    }

    QString MakeFeed(int posts, const QByteArray& bytes = QByteArray()) {
        // No name is another's start, so each feed's backups are told apart.
        const QString path = m_dir.filePath(u"f%1-feed.xml"_s.arg(++m_fileNumber));
        WriteBytes(path, bytes.isEmpty() ? FeedWithPosts(posts) : bytes);
        return path;
    }

    QStringList BackupsOf(const QString& path) const {
        return QDir(m_dir.filePath(u"data/Orvan_Backup"_s))
            .entryList({QFileInfo(path).completeBaseName() + QStringLiteral("*.bak")}, QDir::Files);
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        // The test process takes locks too; it shares orvanctl's lock folder.
        qputenv("XDG_DATA_HOME", m_dir.filePath(u"data"_s).toUtf8());
        qputenv("XDG_CONFIG_HOME", m_dir.filePath(u"config"_s).toUtf8());
    }

    // Two editing commands at the same moment: both changes land.
    void concurrentSets_bothChangesLand() {
        for (int round = 0; round < 20; ++round) {
            const QString path = MakeFeed(2);
            QProcess first;
            QProcess second;
            first.setProcessEnvironment(Environment());
            second.setProcessEnvironment(Environment());
            first.start(QStringLiteral(ORVANCTL_PATH),
                        {u"set"_s, path, u"0"_s, u"title"_s, u"A"_s});
            second.start(QStringLiteral(ORVANCTL_PATH),
                         {u"set"_s, path, u"1"_s, u"title"_s, u"B"_s});
            QVERIFY(first.waitForFinished(60000) && second.waitForFinished(60000));
            QCOMPARE(first.exitCode(), 0);
            QCOMPARE(second.exitCode(), 0);
            QCOMPARE(Titles(path), QStringList({u"A"_s, u"B"_s}));
        }
    }

    // A lock held by someone else for longer than the wait fails the
    // command and leaves the file alone; read commands need no lock.
    void lockHeldElsewhere_failsAfterWaiting() {
        const QString path = MakeFeed(1);
        const QByteArray before = ReadBytes(path);
        FeedLock lock;
        QString error;
        QVERIFY2(lock.Acquire(path, 0, &error), qPrintable(error));
        const Run run = Orvanctl({u"set"_s, path, u"0"_s, u"title"_s, u"late"_s});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(path + u": locked by another program"_s), qPrintable(run.err));
        QCOMPARE(ReadBytes(path), before);
        QCOMPARE(Orvanctl({u"count"_s, path}).exitCode, 0);
    }

    // Saving over a file that is there backs it up first, whichever command.
    void replacedFile_isBackedUpFirst_data() {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("save-as over another feed") << QStringList{u"save-as"_s, u"SOURCE"_s};
        QTest::newRow("new --force") << QStringList{u"new"_s, u"--force"_s};
    }
    void replacedFile_isBackedUpFirst() {
        QFETCH(QStringList, args);
        const QString source = MakeFeed(3);
        const QString target = MakeFeed(1);
        const QByteArray old = ReadBytes(target);
        args.replaceInStrings(u"SOURCE"_s, source);
        args.insert(1, args.first() == u"save-as"_s ? source : target);
        if (args.first() == u"save-as"_s)
            args[2] = target;
        const Run run = Orvanctl(args);
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QVERIFY(ReadBytes(target) != old);
        const QStringList backups = BackupsOf(target);
        QCOMPARE(backups.size(), 1);
        QCOMPARE(ReadBytes(m_dir.filePath(u"data/Orvan_Backup/"_s + backups.first())), old);
    }

    // When the backup cannot be written the save does not happen.
    void backupFails_saveRefusedFileUnchanged() {
        const QString path = MakeFeed(2);
        const QByteArray before = ReadBytes(path);
        const Run run = Orvanctl({u"set"_s, path, u"0"_s, u"title"_s, u"x"_s},
                                 {{u"ORVAN_TEST_DISK_FULL_AFTER"_s, u"10"_s}});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(
            run.err.startsWith(u"orvanctl: "_s + path + u": the backup could not be written"_s) &&
                run.err.contains(u"No space left on device"_s),
            qPrintable(run.err));
        QCOMPARE(ReadBytes(path), before);
        QVERIFY(BackupsOf(path).isEmpty());
    }

    // Every name of a file with several hard links sees the new text; when
    // the rewrite fails, every name keeps the old one.
    void hardLinks_savedInPlace_restoredOnFailure() {
        const QString path = MakeFeed(2);
        const QString other = path + u".link"_s;
        QCOMPARE(::link(QFile::encodeName(path).constData(), QFile::encodeName(other).constData()),
                 0);
        struct stat before {};
        ::stat(QFile::encodeName(path).constData(), &before);
        QCOMPARE(Orvanctl({u"set"_s, path, u"0"_s, u"title"_s, u"Linked"_s}).exitCode, 0);
        QCOMPARE(Titles(other), QStringList({u"Linked"_s, u"Post 1"_s}));
        struct stat after {};
        ::stat(QFile::encodeName(path).constData(), &after);
        QCOMPARE(after.st_ino, before.st_ino);
        QCOMPARE(after.st_nlink, nlink_t(2));

        const QByteArray old = ReadBytes(path);
        // Room for the backup (a copy of the old text), not for the longer new text.
        const Run run =
            Orvanctl({u"add"_s, path, u"--title"_s, QString(400, u'x')},
                     {{u"ORVAN_TEST_DISK_FULL_AFTER"_s, QString::number(old.size() + 50)}});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(u"No space left on device"_s), qPrintable(run.err));
        QCOMPARE(ReadBytes(path), old);
        QCOMPARE(ReadBytes(other), old);
    }

    // Through a symbolic link the target is replaced and the link stays.
    void symbolicLink_targetSavedLinkKept() {
        const QString target = MakeFeed(1);
        const QString link = m_dir.filePath(u"link%1.xml"_s.arg(++m_fileNumber));
        QVERIFY(QFile::link(QFileInfo(target).fileName(), link));
        QCOMPARE(Orvanctl({u"set"_s, link, u"0"_s, u"title"_s, u"Through"_s}).exitCode, 0);
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(Titles(target), QStringList({u"Through"_s}));
    }

    // The saved file keeps the mode, owner and group it had.
    void save_keepsModeOwnerAndGroup() {
        const QString path = MakeFeed(1);
        const QByteArray native = QFile::encodeName(path);
        QCOMPARE(::chmod(native.constData(), 0640), 0);
        const bool root = ::geteuid() == 0;
        if (root)
            QCOMPARE(::chown(native.constData(), 65534, 65534), 0);
        struct stat before {};
        ::stat(native.constData(), &before);
        QCOMPARE(Orvanctl({u"set"_s, path, u"0"_s, u"title"_s, u"Kept"_s}).exitCode, 0);
        struct stat after {};
        ::stat(native.constData(), &after);
        QVERIFY(after.st_ino != before.st_ino);
        QCOMPARE(after.st_mode & 07777, mode_t(0640));
        QCOMPARE(after.st_uid, before.st_uid);
        QCOMPARE(after.st_gid, before.st_gid);
    }

    // A description held in two CDATA sections is replaced whole: one
    // footer, no tail of the old text.
    void setDescriptionTwice_cdataReplacedWhole() {
        const QString path = MakeFeed(
            0, "<rss><channel><item><title>t</title><description><![CDATA[old ]]]]><![CDATA["
               "> tail]]></description></item></channel></rss>");
        for (const QString& text : {u"first"_s, u"second"_s})
            QCOMPARE(Orvanctl({u"set"_s, path, u"0"_s, u"description"_s, text}).exitCode, 0);
        CRssFeed feed;
        QVERIFY(feed.LoadFile(path));
        const QString description = feed.GetDescription(0);
        QVERIFY2(description.startsWith(u"second<BR><p name=\"ADV\">"_s), qPrintable(description));
        QCOMPARE(description.count(u"name=\"ADV\""_s), 1);
        QVERIFY(!description.contains(u"tail"_s));
        QVERIFY(ReadBytes(path).contains("<description><![CDATA[second"));
    }
};

QTEST_GUILESS_MAIN(TestSaveSafety)
#include "test_savesafety.moc"
