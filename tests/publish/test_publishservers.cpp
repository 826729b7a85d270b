// Publishing against real servers on 127.0.0.1: what lands on the server's
// disk after an upload, a replace, a refused login, a cancel and a server
// that dies half way.
#include "publish/knownhosts.h"
#include "publish/mediafiles.h"
#include "publishtestkit.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Sent slowly enough that a cancel or a kill lands in the middle.
constexpr qint64 kBigSize = 3 * 1024 * 1024;
constexpr qint64 kSlowSpeed = 1024 * 1024;
constexpr qint64 kStopAt = 300 * 1024;

// A name with a blank and a letter outside ASCII: both must reach the
// server as they are, in every protocol's own quoting.
const QString kFileName = u"my feed \u00e9.xml"_s;

void AddKinds(bool withFile = true) {
    QTest::addColumn<QString>("kind");
    for (const char* kind : {"sftp", "ftp", "ftp-tls", "ftps", "webdav", "file"}) {
        if (withFile || qstrcmp(kind, "file") != 0)
            QTest::newRow(kind) << QString::fromLatin1(kind);
    }
}

PublishResult Publish(TestTarget& target, TestHooks& hooks, const QByteArray& bytes,
                      qint64 maxSpeed = 0, const QList<MediaFile>& media = {}) {
    Publisher publisher(hooks);
    publisher.knownHostsFile = target.knownHosts;
    publisher.maxSendSpeed = maxSpeed;
    return publisher.publish(bytes, target.destination, media);
}

} // namespace

class TestPublishServers final : public QObject {
    Q_OBJECT

private slots:
    void publish_putsExactBytesThenReplacesThem_data() { AddKinds(); }
    void publish_putsExactBytesThenReplacesThem() {
        QFETCH(QString, kind);
        TestTarget target;
        QVERIFY(target.start(kind, kFileName));
        TestHooks hooks;
        hooks.passwords = {target.password, target.password};

        const QByteArray first = Payload(5000, '1');
        PublishResult result = Publish(target, hooks, first);
        QVERIFY2(result.ok, qPrintable(result.error));
        QCOMPARE(ReadAll(target.remoteFile()), first);
        QCOMPARE(hooks.last.total, first.size());
        QCOMPARE(hooks.last.sent, first.size());

        const QByteArray second = Payload(3000, '2');
        result = Publish(target, hooks, second);
        QVERIFY2(result.ok, qPrintable(result.error));
        QCOMPARE(ReadAll(target.remoteFile()), second);
        QCOMPARE(Leftovers(target.siteFolder()), QStringList());
        if (kind != u"sftp" && kind != u"file")
            QCOMPARE(hooks.accepted, target.password);
    }

    void publish_refusedLogin_keepsOldFile_data() { AddKinds(false); }
    void publish_refusedLogin_keepsOldFile() {
        QFETCH(QString, kind);
        TestTarget target;
        QVERIFY(target.start(kind, kFileName));
        const QByteArray old = Payload(1000, 'o');
        QVERIFY(WriteAll(target.remoteFile(), old));
        if (kind == u"sftp") {
            // A key the server does not know, so the password is all there is.
            target.destination.keyFile = target.local.path() + u"/stranger"_s;
            QVERIFY(MakeSshKey(target.destination.keyFile));
        }
        TestHooks hooks;
        hooks.passwords = {u"wrong"_s};
        const PublishResult result = Publish(target, hooks, Payload(2000, 'n'));
        QVERIFY(!result.ok);
        QCOMPARE(result.failure, RemoteServer::Failure::Login);
        // Asked once, then again after the refusal, when the hooks gave up.
        QCOMPARE(hooks.passwordAsked, 1);
        QVERIFY2(result.error.contains(u"127.0.0.1:"_s + QString::number(target.server->port())),
                 qPrintable(result.error));
        QCOMPARE(ReadAll(target.remoteFile()), old);
        QCOMPARE(Leftovers(target.siteFolder()), QStringList());
        QVERIFY(hooks.accepted.isEmpty());

        if (kind != u"sftp") {
            // The right password on the second try goes through.
            TestHooks retry;
            retry.passwords = {u"wrong"_s, target.password};
            const QByteArray fresh = Payload(2000, 'f');
            const PublishResult second = Publish(target, retry, fresh);
            QVERIFY2(second.ok, qPrintable(second.error));
            QCOMPARE(retry.passwordAsked, 2);
            QCOMPARE(ReadAll(target.remoteFile()), fresh);
        }
    }

    void publish_cancelled_keepsOldFileAndRemovesPartOne_data() { AddKinds(); }
    void publish_cancelled_keepsOldFileAndRemovesPartOne() {
        QFETCH(QString, kind);
        TestTarget target;
        QVERIFY(target.start(kind, kFileName));
        const QByteArray old = Payload(1000, 'o');
        QVERIFY(WriteAll(target.remoteFile(), old));
        TestHooks hooks;
        hooks.passwords = {target.password};
        hooks.onProgress = [](const PublishProgress& p) { return p.sent < kStopAt; };
        const PublishResult result = Publish(target, hooks, Payload(kBigSize, 'b'), kSlowSpeed);
        QVERIFY(!result.ok);
        QCOMPARE(result.failure, RemoteServer::Failure::Cancelled);
        QCOMPARE(ReadAll(target.remoteFile()), old);
        QCOMPARE(Leftovers(target.siteFolder()), QStringList());
    }

    void publish_serverDiesHalfWay_keepsOldFile_data() { AddKinds(false); }
    void publish_serverDiesHalfWay_keepsOldFile() {
        QFETCH(QString, kind);
        TestTarget target;
        QVERIFY(target.start(kind, kFileName));
        const QByteArray old = Payload(1000, 'o');
        QVERIFY(WriteAll(target.remoteFile(), old));
        TestHooks hooks;
        hooks.passwords = {target.password};
        TestServer* server = target.server.get();
        hooks.onProgress = [server](const PublishProgress& p) {
            if (p.sent >= kStopAt)
                server->kill();
            return true;
        };
        const PublishResult result = Publish(target, hooks, Payload(kBigSize, 'b'), kSlowSpeed);
        QVERIFY(!result.ok);
        QCOMPARE(result.failure, RemoteServer::Failure::Other);
        QVERIFY2(result.error.contains(u"127.0.0.1"_s), qPrintable(result.error));
        QCOMPARE(ReadAll(target.remoteFile()), old);
    }

    void publish_unknownServer_asksThenAddsItsKeyKeepingTheFile() {
        TestTarget target;
        QVERIFY(target.start(u"sftp"_s, kFileName));
        const QByteArray comment = "# kept by hand\n";
        QVERIFY(WriteAll(target.knownHosts, comment));

        TestHooks refuse;
        PublishResult result = Publish(target, refuse, Payload(100, 'r'));
        QVERIFY(!result.ok);
        QCOMPARE(result.failure, RemoteServer::Failure::HostKey);
        QCOMPARE(refuse.hostAsked, 1);
        QCOMPARE(refuse.lastHost.hostName,
                 u"[127.0.0.1]:"_s + QString::number(target.server->port()));
        QVERIFY(refuse.lastHost.fingerprint.startsWith(u"SHA256:"_s));
        QVERIFY(!QFile::exists(target.remoteFile()));
        QCOMPARE(ReadAll(target.knownHosts), comment);

        TestHooks accept;
        accept.acceptHost = true;
        const QByteArray bytes = Payload(100, 'a');
        result = Publish(target, accept, bytes);
        QVERIFY2(result.ok, qPrintable(result.error));
        QCOMPARE(ReadAll(target.remoteFile()), bytes);
        const QByteArray hostKey =
            ReadAll(static_cast<SshServer*>(target.server.get())->hostKey() + u".pub"_s);
        const QByteArray line = "[127.0.0.1]:" + QByteArray::number(target.server->port()) + ' ' +
                                hostKey.split(' ').mid(0, 2).join(' ') + '\n';
        QCOMPARE(ReadAll(target.knownHosts), comment + line);

        // Known now: not asked again.
        TestHooks again;
        result = Publish(target, again, bytes);
        QVERIFY2(result.ok, qPrintable(result.error));
        QCOMPARE(again.hostAsked, 0);
    }

    void publish_serverKeyChanged_refusesWithoutAsking() {
        TestTarget target;
        QVERIFY(target.start(u"sftp"_s, kFileName));
        const QByteArray old = Payload(100, 'o');
        QVERIFY(WriteAll(target.remoteFile(), old));
        const QByteArray known = ReadAll(target.knownHosts);
        auto* ssh = static_cast<SshServer*>(target.server.get());
        const int port = ssh->port();
        ssh->kill();
        const QString otherKey = target.local.path() + u"/other_host_key"_s;
        QVERIFY(MakeSshKey(otherKey));
        QVERIFY(ssh->start(otherKey, port));

        TestHooks hooks;
        hooks.acceptHost = true;
        const PublishResult result = Publish(target, hooks, Payload(100, 'n'));
        QVERIFY(!result.ok);
        QCOMPARE(result.failure, RemoteServer::Failure::HostKey);
        QCOMPARE(hooks.hostAsked, 0);
        QVERIFY2(result.error.contains(u"WARNING"_s) && result.error.contains(u"changed"_s),
                 qPrintable(result.error));
        QCOMPARE(ReadAll(target.remoteFile()), old);
        QCOMPARE(ReadAll(target.knownHosts), known);
    }

    void publish_media_sendsOnlyChangedFiles_data() { AddKinds(); }
    void publish_media_sendsOnlyChangedFiles() {
        QFETCH(QString, kind);
        TestTarget target;
        QVERIFY(target.start(kind, u"feed.xml"_s));
        QTemporaryDir media;
        QVERIFY(WriteAll(media.path() + u"/one.mp3"_s, Payload(4000, 'a')));
        QVERIFY(WriteAll(media.path() + u"/sub dir/two.mp3"_s, Payload(6000, 'b')));
        FeedPublishSettings settings;
        settings.mediaBaseUrl = u"https://example.com/media"_s;
        settings.mediaFolder = media.path();
        const QStringList enclosures = {u"https://example.com/media/one.mp3"_s,
                                        u"https://example.com/media/sub%20dir/two.mp3"_s,
                                        u"https://example.com/media/missing.mp3"_s,
                                        u"https://elsewhere.example/one.mp3"_s};
        auto publishMedia = [&](int sent, int unchanged) {
            QList<MediaFile> files;
            QString why;
            if (!FindMediaFiles(enclosures, settings, media.path() + u"/feed.xml"_s,
                                target.destination, files, &why))
                return why;
            TestHooks hooks;
            hooks.passwords = {target.password};
            const PublishResult result = Publish(target, hooks, Payload(500, 'f'), 0, files);
            if (!result.ok)
                return result.error;
            if (result.mediaSent != sent || result.mediaUnchanged != unchanged)
                return u"sent %1, unchanged %2"_s.arg(result.mediaSent).arg(result.mediaUnchanged);
            return QString();
        };
        QCOMPARE(publishMedia(2, 0), QString());
        QCOMPARE(ReadAll(target.siteFolder() + u"/one.mp3"_s), Payload(4000, 'a'));
        QCOMPARE(ReadAll(target.siteFolder() + u"/sub dir/two.mp3"_s), Payload(6000, 'b'));
        QCOMPARE(publishMedia(0, 2), QString());
        QVERIFY(WriteAll(media.path() + u"/one.mp3"_s, Payload(4100, 'c')));
        QCOMPARE(publishMedia(1, 1), QString());
        QCOMPARE(ReadAll(target.siteFolder() + u"/one.mp3"_s), Payload(4100, 'c'));
    }
};

QTEST_GUILESS_MAIN(TestPublishServers)
#include "test_publishservers.moc"
