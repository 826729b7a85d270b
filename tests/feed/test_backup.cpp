// Backups of feed files: every save leaves its own, none is ever replaced,
// a backup that cannot be made whole is reported, old ones are pruned.
#include "feed/backup.h"
#include "platform/settingsfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

bool WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestBackup final : public QObject {
    Q_OBJECT

    QTemporaryDir m_home;

    QString BackupFolder() const { return m_home.filePath(QStringLiteral("data/Orvan_Backup")); }
    QStringList Backups() const { return QDir(BackupFolder()).entryList(QDir::Files, QDir::Name); }

private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(m_home.isValid());
        qputenv("XDG_DATA_HOME", m_home.filePath(QStringLiteral("data")).toUtf8());
        qputenv("XDG_CONFIG_HOME", m_home.filePath(QStringLiteral("config")).toUtf8());
    }
    void init() { QDir(BackupFolder()).removeRecursively(); }

    void backupStamp_replacesCharactersUnfitForFileNames() {
        const QDateTime t(QDate(2026, 12, 5), QTime(13, 45, 10));
        const QLocale previous;
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(BackupStamp(t), QStringLiteral("12-5-26_13-45-10"));
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(BackupStamp(t), QStringLiteral("05_12_26_13-45-10"));
        QLocale::setDefault(previous);
    }

    // Name, stamp, extension, then what makes the name unique.
    void backupFileName_carriesFolderTag_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QString>("suffix");
        QTest::newRow("xml") << QStringLiteral("/f/news.xml") << QStringLiteral("news")
                             << QStringLiteral(".xml-");
        QTest::newRow("no extension")
            << QStringLiteral("/f/news") << QStringLiteral("news") << QStringLiteral("-");
        QTest::newRow("two dots") << QStringLiteral("/f/a.b.rss") << QStringLiteral("a.b")
                                  << QStringLiteral(".rss-");
    }
    void backupFileName_carriesFolderTag() {
        QFETCH(QString, path);
        QFETCH(QString, prefix);
        QFETCH(QString, suffix);
        const QDateTime t(QDate(2026, 12, 5), QTime(13, 45, 10));
        const QString tag = BackupFolderTag(path);
        QVERIFY(QRegularExpression(QStringLiteral("^[0-9a-f]{8}$")).match(tag).hasMatch());
        QCOMPARE(BackupFileName(path, t),
                 prefix + BackupStamp(t) + suffix + tag + QStringLiteral(".bak"));
        QCOMPARE(BackupFolderTag(QStringLiteral("/f/other.xml")),
                 BackupFolderTag(QStringLiteral("/f/x")));
        QVERIFY(BackupFolderTag(QStringLiteral("/g/news.xml")) != BackupFolderTag(path));
    }

    // Saves in one second, and feeds of one name in two folders, each keep
    // their own backup with the bytes the file had.
    void makeBackup_neverReplacesOne() {
        QTemporaryDir a;
        QTemporaryDir b;
        const QString first = a.filePath(QStringLiteral("news.xml"));
        const QString second = b.filePath(QStringLiteral("news.xml"));
        QStringList made;
        for (const QByteArray& text :
             {QByteArray("<rss>1</rss>"), QByteArray("<rss>2</rss>"), QByteArray("<rss>3</rss>")}) {
            QVERIFY(WriteAll(first, text));
            QString backup;
            QString error;
            QVERIFY2(MakeBackup(first, &error, &backup), qPrintable(error));
            QCOMPARE(ReadAll(backup), text);
            made << backup;
        }
        QVERIFY(WriteAll(second, "<rss>other</rss>"));
        QVERIFY(MakeBackup(second));
        QCOMPARE(Backups().size(), 4);
        QCOMPARE(ReadAll(made[0]), QByteArray("<rss>1</rss>"));
        QCOMPARE(QSet<QString>(made.begin(), made.end()).size(), 3);
        QString error;
        QVERIFY(!MakeBackup(a.filePath(QStringLiteral("missing.xml")), &error));
        QVERIFY2(error.contains(QStringLiteral("No such file")), qPrintable(error));
    }

    // Only the newest backups of a feed stay; other feeds' are not counted.
    void makeBackup_prunesOldestOfThisFeedOnly() {
        QTemporaryDir feeds;
        const QString news = feeds.filePath(QStringLiteral("news.xml"));
        const QString news2 = feeds.filePath(QStringLiteral("news2.xml"));
        QVERIFY(WriteAll(news, "<rss/>"));
        QVERIFY(WriteAll(news2, "<rss/>"));
        QVERIFY(WriteProfileNumber(SettingsIniPath(), QStringLiteral("Settings"),
                                   QStringLiteral("BackupsPerFeed"), 3));
        QVERIFY(MakeBackup(news2));
        QVERIFY(MakeBackup(news2));
        QStringList newest;
        for (int i = 0; i < 5; ++i) {
            QString backup;
            QVERIFY(MakeBackup(news, nullptr, &backup));
            newest << QFileInfo(backup).fileName();
        }
        const QStringList all = Backups();
        QCOMPARE(all.size(), 5);
        for (const QString& name : newest.mid(2))
            QVERIFY2(all.contains(name),
                     qPrintable(name + QStringLiteral(" not in ") + all.join(QLatin1Char(' '))));
        QCOMPARE(all.filter(QStringLiteral("news2")).size(), 2);
        // 0 keeps every backup.
        QVERIFY(WriteProfileNumber(SettingsIniPath(), QStringLiteral("Settings"),
                                   QStringLiteral("BackupsPerFeed"), 0));
        for (int i = 0; i < 4; ++i)
            QVERIFY(MakeBackup(news));
        QCOMPARE(Backups().size(), 9);
        QVERIFY(DeleteProfileKey(SettingsIniPath(), QStringLiteral("Settings"),
                                 QStringLiteral("BackupsPerFeed")));
        QCOMPARE(BackupsPerFeed(), 20);
    }

    // A backup that does not fit is reported and leaves nothing behind.
    void makeBackup_fullDisk_failsWithReasonLeavingNothing() {
        QTemporaryDir feeds;
        const QString news = feeds.filePath(QStringLiteral("news.xml"));
        QVERIFY(WriteAll(news, QByteArray(5000, 'x')));
        qputenv("ORVAN_TEST_DISK_FULL_AFTER", "1000");
        QString error;
        const bool made = MakeBackup(news, &error);
        qunsetenv("ORVAN_TEST_DISK_FULL_AFTER");
        QVERIFY(!made);
        QVERIFY2(error.contains(QStringLiteral("No space left on device")), qPrintable(error));
        QVERIFY(Backups().isEmpty());
    }

    void getBackupFolder_unusableDataFolder_fallsBackToFeedFolder() {
        QTemporaryDir feeds;
        const QString blocker = feeds.filePath(QStringLiteral("blocker"));
        QVERIFY(WriteAll(blocker, "a file, not a folder"));
        const QByteArray saved = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", blocker.toUtf8());
        const QString path = feeds.filePath(QStringLiteral("news.xml"));
        QVERIFY(WriteAll(path, "<rss/>"));
        QCOMPARE(GetBackupFolder(path), feeds.path());
        QVERIFY(MakeBackup(path));
        QCOMPARE(QDir(feeds.path()).entryList({QStringLiteral("news*.xml-*.bak")}).size(), 1);
        qputenv("XDG_DATA_HOME", saved);
        QVERIFY(IsDirectory(feeds.path() + u'/'));
    }
};

QTEST_GUILESS_MAIN(TestBackup)
#include "test_backup.moc"
