// Destinations as users type them, the per-feed settings in the settings
// file, the known-hosts file and the choice of media files.
#include "platform/settingsfile.h"
#include "publish/feedsettings.h"
#include "publish/knownhosts.h"
#include "publish/mediafiles.h"
#include "publish/publishdestination.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

} // namespace

class TestPublishSettings final : public QObject {
    Q_OBJECT

private slots:
    void parse_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("fileName");
        // The remote path, decoded; empty when the text is refused.
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("error");
        QTest::newRow("sftp, own port") << u"sftp://me@host:2222/www/feed.xml"_s << QString()
                                        << u"/www/feed.xml"_s << QString();
        QTest::newRow("folder takes the local name")
            << u"ftp://me@host/www/"_s << u"my feed.xml"_s << u"/www/my feed.xml"_s << QString();
        QTest::newRow("blank typed in the name")
            << u"ftps://host/a b.xml"_s << QString() << u"/a b.xml"_s << QString();
        QTest::newRow("webdav") << u"https://host/dav/f.xml?x=1#top"_s << QString()
                                << u"/dav/f.xml"_s << QString();
        QTest::newRow("local folder")
            << u"file:///srv/www/"_s << u"f.xml"_s << u"/srv/www/f.xml"_s << QString();
        QTest::newRow("plain http")
            << u"http://host/f.xml"_s << QString() << QString() << u"http:"_s;
        QTest::newRow("password in the URL")
            << u"ftp://me:pw@host/f.xml"_s << QString() << QString() << u"password"_s;
        QTest::newRow("no server")
            << u"sftp:///f.xml"_s << QString() << QString() << u"no server"_s;
        QTest::newRow("other machine's file")
            << u"file://far/f.xml"_s << QString() << QString() << u"this machine"_s;
        QTest::newRow("folder without a name")
            << u"ftp://host/www/"_s << QString() << QString() << u"folder"_s;
        QTest::newRow("empty") << u"  "_s << QString() << QString() << u"no destination"_s;
    }
    void parse() {
        QFETCH(QString, text);
        QFETCH(QString, fileName);
        QFETCH(QString, path);
        QFETCH(QString, error);
        PublishDestination destination;
        QString why;
        QCOMPARE(destination.Parse(text, fileName, &why), !path.isEmpty());
        if (path.isEmpty()) {
            QVERIFY2(why.contains(error), qPrintable(why));
            return;
        }
        QCOMPARE(destination.url().path(QUrl::FullyDecoded), path);
        QVERIFY(!destination.displayText().contains(u'?'));
    }

    void credentialKey_isTheServerNotTheFile() {
        PublishDestination a, b, c;
        QVERIFY(a.Parse(u"sftp://me@host:2222/one/feed.xml"_s, QString()));
        QVERIFY(b.Parse(u"sftp://me@host:2222/two/other.xml"_s, QString()));
        QVERIFY(c.Parse(u"sftp://you@host:2222/one/feed.xml"_s, QString()));
        QCOMPARE(a.credentialKey(), b.credentialKey());
        QVERIFY(a.credentialKey() != c.credentialKey());
        QCOMPARE(a.sibling(UploadTempName(a.fileName())).path(), u"/one/.feed.xml.orvan-upload"_s);
    }

    void settings_storeAndLoad_samePathAnySpellingKeepingOthersKeys() {
        QTemporaryDir dir;
        const QString ini = dir.path() + u"/Settings.ini"_s;
        const QString feed = dir.path() + u"/feeds/feed.xml"_s;
        WriteAll(feed, "<rss/>");
        QVERIFY(QFile::link(dir.path() + u"/feeds"_s, dir.path() + u"/link"_s));
        // Another feature's key in the same section, written first.
        const QString section = FeedSettingsSection(feed);
        QVERIFY(WriteProfileText(ini, section, u"RenewDate"_s, u"0"_s));

        FeedPublishSettings s;
        s.destination = u"sftp://me@host/"_s + QString(300, u'd') + u"/feed.xml"_s;
        s.requireTls = true;
        s.caFile = u"/etc/ca.pem"_s;
        s.publishAfterSave = true;
        s.uploadEnclosures = true;
        s.mediaBaseUrl = u"https://example.com/media/"_s;
        QVERIFY(s.Store(ini, feed));

        const FeedPublishSettings back =
            FeedPublishSettings::Load(ini, dir.path() + u"/link/../feeds/./feed.xml"_s);
        QCOMPARE(back.destination, s.destination);
        QVERIFY(back.requireTls && back.publishAfterSave && back.uploadEnclosures);
        QCOMPARE(back.caFile, s.caFile);
        QCOMPARE(back.mediaBaseUrl, s.mediaBaseUrl);
        QCOMPARE(FeedSettingsSection(dir.path() + u"/link/feed.xml"_s), section);
        QString other;
        QVERIFY(ReadProfileText(ini, section, u"renewdate"_s, other));
        QCOMPARE(other, u"0"_s);
        QVERIFY(!ReadAll(ini).contains("password"));

        // Another feed has settings of its own.
        QVERIFY(FeedPublishSettings::Load(ini, dir.path() + u"/other.xml"_s).destination.isEmpty());
    }

    void addKnownHost_appendsOneLineKeepingTheRest() {
        QTemporaryDir dir;
        const QString file = dir.path() + u"/ssh/known_hosts"_s;
        // The blob of an ed25519 key: its type, then 32 bytes.
        QByteArray blob = QByteArray::fromHex("0000000b") + "ssh-ed25519" +
                          QByteArray::fromHex("00000020") + QByteArray(32, 'k');
        QVERIFY(AddKnownHost(file, KnownHostName(u"example.org"_s, 22), blob));
        QVERIFY(QFileInfo(dir.path() + u"/ssh"_s).isDir());
        WriteAll(file, ReadAll(file) + "# mine, no line end");
        QVERIFY(AddKnownHost(file, KnownHostName(u"10.0.0.1"_s, 2222), blob));
        const QByteArray expected = "example.org ssh-ed25519 " + blob.toBase64() +
                                    "\n# mine, no line end\n[10.0.0.1]:2222 ssh-ed25519 " +
                                    blob.toBase64() + "\n";
        QCOMPARE(ReadAll(file), expected);
        QVERIFY(!AddKnownHost(file, u"host"_s, "garbage"));
        QCOMPARE(ReadAll(file), expected);
    }

    void findMediaFiles_keepsToTheBaseAndTheFolder() {
        QTemporaryDir dir;
        WriteAll(dir.path() + u"/media/a.mp3"_s, "a");
        WriteAll(dir.path() + u"/secret.txt"_s, "s");
        PublishDestination destination;
        QVERIFY(destination.Parse(u"ftp://me@host/www/feed.xml"_s, QString()));
        FeedPublishSettings settings;
        settings.mediaBaseUrl = u"https://example.com/m/"_s;
        settings.mediaFolder = dir.path() + u"/media"_s;
        const QStringList urls = {
            u"https://example.com/m/a.mp3?dl=1"_s, u"https://example.com/m/a.mp3"_s,
            u"https://example.com/m/../secret.txt"_s, u"https://example.com/m/%2E%2E/secret.txt"_s};
        QList<MediaFile> files;
        QVERIFY(FindMediaFiles(urls, settings, dir.path() + u"/feed.xml"_s, destination, files));
        QCOMPARE(files.size(), 1);
        QCOMPARE(files.first().remote.toString(), u"ftp://me@host/www/a.mp3"_s);

        settings.mediaDestination = u"ftp://me@host/media"_s;
        QVERIFY(FindMediaFiles(urls, settings, dir.path() + u"/feed.xml"_s, destination, files));
        QCOMPARE(files.first().remote.toString(), u"ftp://me@host/media/a.mp3"_s);
        settings.mediaDestination = u"ftp://me@elsewhere/media/"_s;
        QString why;
        QVERIFY(
            !FindMediaFiles(urls, settings, dir.path() + u"/feed.xml"_s, destination, files, &why));
        QVERIFY2(why.contains(u"not on the server"_s), qPrintable(why));
    }
};

QTEST_GUILESS_MAIN(TestPublishSettings)
#include "test_publishsettings.moc"
