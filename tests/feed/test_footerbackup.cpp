#include "feed/backup.h"
#include "feed/postfooter.h"
#include "feed/rssfeed.h"
#include "feed/rsspost.h"
#include "platform/identity.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

bool WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class TestFooterBackup final : public QObject {
    Q_OBJECT

    QTemporaryDir m_home;

private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(m_home.isValid());
        qputenv("XDG_DATA_HOME", m_home.filePath(QStringLiteral("data")).toUtf8());
        qputenv("XDG_CONFIG_HOME", m_home.filePath(QStringLiteral("config")).toUtf8());
    }

    void footer_namesVersionAndBuildDate() {
        const QString footer = MakePostFooter();
        QVERIFY(footer.startsWith(QStringLiteral("<p name=\"ADV\"><A HREF=\"")));
        QVERIFY(footer.contains(ProductHomeUrl()));
        QVERIFY(footer.contains(QStringLiteral("/images/orvan_ico_32.png\" STYLE=")));
        QVERIFY(footer.contains(QStringLiteral(" v") + VersionInfo().GetVersionText() +
                                QStringLiteral(" (released: ") + BuildDateText() +
                                QStringLiteral(")") + QChar(0x2026) + QStringLiteral("</FONT>")));
        QVERIFY(footer.endsWith(QStringLiteral("</A></p>")));
    }

    void applyPostFooter_keepsExactlyOneFooter_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("body");
        // A footer of an older version, as the browser writes it back.
        const QString old = QStringLiteral(
            "<p name=\"ADV\"><a href=\"https://www.orvan.example/home_orvan.php\" "
            "target=\"_blank\"><img src=\"x.png\"><font color=\"maroon\">&nbsp;<code>This post "
            "created by Orvan</code> v0.9</font></a></p>");
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("one word") << QStringLiteral("word") << QStringLiteral("word");
        QTest::newRow("old footer") << QStringLiteral("text<BR>") + old << QStringLiteral("text");
        QTest::newRow("current footer")
            << QStringLiteral("text<BR>") + MakePostFooter() << QStringLiteral("text");
        QTest::newRow("capital tag")
            << QStringLiteral("text<br><P NAME=ADV><A HREF=x>THIS POST CREATED BY ORVAN</A></P>")
            << QStringLiteral("text");
        QTest::newRow("only footer") << old << QString();
        QTest::newRow("two footers")
            << QStringLiteral("a<BR>") + old + QStringLiteral("b<BR>") + old
            << QStringLiteral("ab");
        QTest::newRow("unclosed start")
            << QStringLiteral("a<p name=\"ADV\">b") << QStringLiteral("a<p name=\"ADV\">b");
        // What the user typed into or after the footer stays, before the new footer.
        QTest::newRow("typed inside footer paragraph")
            << QStringLiteral("a<br>") +
                   QString(old).replace(QStringLiteral("</a></p>"), QStringLiteral("</a>typed</p>"))
            << QStringLiteral("a<p>typed</p>");
        QTest::newRow("typed after footer")
            << QStringLiteral("a<br>") + old + QStringLiteral("<p>after</p>")
            << QStringLiteral("a<p>after</p>");
        QTest::newRow("paragraph split off the footer")
            << QStringLiteral("a<br>") + old + QStringLiteral("<p name=\"ADV\">split</p>")
            << QStringLiteral("a<p name=\"ADV\">split</p>");
        QTest::newRow("other attributes beside the name")
            << QStringLiteral("a<p class=\"x\" name='ADV'><a href=\"y\">This post created by "
                              "Orvan</a>&nbsp;<br></p>")
            << QStringLiteral("a");
    }
    void applyPostFooter_keepsExactlyOneFooter() {
        QFETCH(QString, text);
        QFETCH(QString, body);
        const QString stored = ApplyPostFooter(text);
        if (body.isEmpty()) {
            QCOMPARE(stored, QString());
            return;
        }
        QCOMPARE(stored, body + QStringLiteral("<BR>") + MakePostFooter());
        // Storing again and again changes nothing: no breaks pile up.
        if (!body.contains(QLatin1String("name=\"ADV\">b")))
            QCOMPARE(ApplyPostFooter(ApplyPostFooter(stored)), stored);
    }

    void findNoCase_exactThenUpperCase() {
        QCOMPARE(FindNoCase(QStringLiteral("aXbxc"), QStringLiteral("x"), 0), 3);
        QCOMPARE(FindNoCase(QStringLiteral("aXbc"), QStringLiteral("x"), 0), 1);
        QCOMPARE(FindNoCase(QStringLiteral("aXbc"), QStringLiteral("x"), 2), -1);
        QCOMPARE(FindNoCase(QStringLiteral("ab"), QStringLiteral("x"), 5), -1);
    }

    void installedFilter_appliesToPostSetDescription() {
        CRssFeed feed;
        QVERIFY(feed.LoadFromMemory("<rss><channel><item><description>x</description></item>"
                                    "</channel></rss>"));
        InstallPostFooterFilter();
        QVERIFY(feed.MakePost(0)->SetDescription(QStringLiteral("hello")));
        QCOMPARE(feed.GetDescription(0), QStringLiteral("hello<BR>") + MakePostFooter());
        QVERIFY(feed.MakePost(0)->SetDescription(feed.GetDescription(0)));
        QCOMPARE(feed.GetDescription(0), QStringLiteral("hello<BR>") + MakePostFooter());
        SetDescriptionFilter(nullptr);
    }

    void backupStamp_replacesCharactersUnfitForFileNames() {
        const QDateTime t(QDate(2026, 12, 5), QTime(13, 45, 10));
        const QString stamp = BackupStamp(t);
        for (const QChar c : stamp)
            QVERIFY2(c != QLatin1Char('/') && c != QLatin1Char('.') && c != QLatin1Char(' ') &&
                         c != QLatin1Char(':'),
                     qPrintable(stamp));
        QVERIFY(stamp.endsWith(QStringLiteral("_13-45-10")));
        // Under a locale whose short date uses "/", the name is still a plain file name.
        const QLocale previous;
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(BackupStamp(t), QStringLiteral("12-5-26_13-45-10"));
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(BackupStamp(t), QStringLiteral("05_12_26_13-45-10"));
        QLocale::setDefault(previous);
    }

    void backupFileName_nameStampExtensionBak_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QString>("suffix");
        QTest::newRow("xml") << QStringLiteral("/f/news.xml") << QStringLiteral("news")
                             << QStringLiteral(".xml.bak");
        QTest::newRow("no extension")
            << QStringLiteral("/f/news") << QStringLiteral("news") << QStringLiteral(".bak");
        QTest::newRow("two dots") << QStringLiteral("/f/a.b.rss") << QStringLiteral("a.b")
                                  << QStringLiteral(".rss.bak");
    }
    void backupFileName_nameStampExtensionBak() {
        QFETCH(QString, path);
        QFETCH(QString, prefix);
        QFETCH(QString, suffix);
        const QDateTime t(QDate(2026, 12, 5), QTime(13, 45, 10));
        QCOMPARE(BackupFileName(path, t), prefix + BackupStamp(t) + suffix);
    }

    void makeBackup_copiesIntoDataFolderAndReplacesSameStamp() {
        QTemporaryDir feeds;
        const QString path = feeds.filePath(QStringLiteral("news.xml"));
        QVERIFY(WriteAll(path, "<rss>1</rss>"));
        const QString folder = GetBackupFolder(path);
        QCOMPARE(folder, m_home.filePath(QStringLiteral("data/Orvan_Backup")));
        QVERIFY(IsDirectory(folder));
        QVERIFY(IsDirectory(folder + QLatin1Char('/')));
        QVERIFY(MakeBackup(path));
        QVERIFY(WriteAll(path, "<rss>2</rss>"));
        QVERIFY(MakeBackup(path));
        const QStringList backups = QDir(folder).entryList(QDir::Files);
        QVERIFY(backups.size() == 1 || backups.size() == 2);
        for (const QString& name : backups) {
            QVERIFY(name.startsWith(QStringLiteral("news")));
            QVERIFY(name.endsWith(QStringLiteral(".xml.bak")));
        }
        QVERIFY(QDir(folder).removeRecursively());
        QVERIFY(!MakeBackup(feeds.filePath(QStringLiteral("missing.xml"))));
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
        QCOMPARE(QDir(feeds.path()).entryList({QStringLiteral("news*.xml.bak")}).size(), 1);
        qputenv("XDG_DATA_HOME", saved);
    }
};

QTEST_GUILESS_MAIN(TestFooterBackup)
#include "test_footerbackup.moc"
