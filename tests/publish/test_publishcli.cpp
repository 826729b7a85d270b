// orvanctl publish as a script runs it: exit codes, messages, the stored
// destination, ORVAN_PASSWORD, host keys and TLS, and the bytes on the server.
#include "platform/settingsfile.h"
#include "publish/feedsettings.h"
#include "publishtestkit.h"

#include <QProcess>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

struct Run {
    int exitCode = -1;
    QString err;
};

const QByteArray kFeed = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\">\n"
                         "    <channel>\n        <title>Mine</title>\n        <item>\n"
                         "            <title>First</title>\n        </item>\n    </channel>\n"
                         "</rss>\n";

} // namespace

class TestPublishCli final : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_feed;

    Run Orvanctl(const QStringList& args, const QString& password = QString()) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"HOME"_s, m_dir.path());
        env.insert(u"XDG_CONFIG_HOME"_s, m_dir.path() + u"/config"_s);
        // No secret store of the machine's user is ever asked.
        env.remove(u"DBUS_SESSION_BUS_ADDRESS"_s);
        env.remove(u"ORVAN_PASSWORD"_s);
        if (!password.isNull())
            env.insert(u"ORVAN_PASSWORD"_s, password);
        process.setProcessEnvironment(env);
        process.setStandardInputFile(QProcess::nullDevice());
        process.start(QStringLiteral(ORVANCTL_PATH), QStringList{u"publish"_s} + args);
        process.waitForFinished(120000);
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardError())};
    }

private slots:
    void init() {
        m_feed = m_dir.path() + u"/my feed.xml"_s;
        QVERIFY(WriteAll(m_feed, kFeed));
    }

    void refusals_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        const QString to = u"file://"_s + m_dir.path() + u"/out/"_s;
        QTest::newRow("feed does not load") << QByteArray("<rss><channel><title>cut")
                                            << QStringList{to} << 3 << u"is not published"_s;
        QTest::newRow("no arguments") << kFeed << QStringList{} << 2 << u"usage:"_s;
        QTest::newRow("unknown option")
            << kFeed << QStringList{to, u"--force"_s} << 2 << u"usage:"_s;
        QTest::newRow("option without value")
            << kFeed << QStringList{to, u"--key"_s} << 2 << u"usage:"_s;
        QTest::newRow("scheme we do not speak")
            << kFeed << QStringList{u"http://127.0.0.1/f.xml"_s} << 2 << u"http:"_s;
        QTest::newRow("no destination") << kFeed << QStringList{} << 1 << u"no destination"_s;
    }
    void refusals() {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QVERIFY(WriteAll(m_feed, content));
        // "no arguments" leaves out the file too.
        const QStringList all = QTest::currentDataTag() == QByteArray("no arguments")
                                    ? args
                                    : QStringList{m_feed} + args;
        const Run run = Orvanctl(all);
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        if (exitCode != 2)
            QVERIFY2(run.err.startsWith(u"orvanctl: "_s + m_feed + u": "_s), qPrintable(run.err));
        QVERIFY(!QFileInfo::exists(m_dir.path() + u"/out"_s));
    }

    void storedDestination_publishesWithThePasswordFromTheEnvironment() {
        TestTarget target;
        QVERIFY(target.start(u"ftp"_s, u"feed.xml"_s));
        FeedPublishSettings settings;
        settings.destination = target.destination.url().toString();
        QVERIFY(settings.Store(m_dir.path() + u"/config/Orvan/Settings.ini"_s, m_feed));

        Run run = Orvanctl({m_feed}, u"secret"_s);
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QCOMPARE(ReadAll(target.remoteFile()), kFeed);

        QVERIFY(WriteAll(m_feed, QByteArray(kFeed).replace("First", "Changed")));
        run = Orvanctl({m_feed}, u"wrong"_s);
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.startsWith(u"orvanctl: "_s + m_feed + u": "_s) &&
                     run.err.contains(settings.destination) && run.err.contains(u"530"_s),
                 qPrintable(run.err));
        QCOMPARE(ReadAll(target.remoteFile()), kFeed);

        // No password at all, and no terminal to ask on.
        run = Orvanctl({m_feed});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(u"no password"_s), qPrintable(run.err));
    }

    void unknownServer_needsTheOptionToBeAdded() {
        TestTarget target;
        QVERIFY(target.start(u"sftp"_s, u"feed.xml"_s));
        const QString known = m_dir.path() + u"/fresh_known_hosts"_s;
        const QStringList args = {m_feed,
                                  target.destination.url().toString(),
                                  u"--key"_s,
                                  target.destination.keyFile,
                                  u"--known-hosts"_s,
                                  known};
        Run run = Orvanctl(args);
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(u"SHA256:"_s) && run.err.contains(u"--accept-new-host-key"_s),
                 qPrintable(run.err));
        QVERIFY(!QFileInfo::exists(known));
        QVERIFY(!QFileInfo::exists(target.remoteFile()));

        run = Orvanctl(args + QStringList{u"--accept-new-host-key"_s});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QCOMPARE(ReadAll(target.remoteFile()), kFeed);
        QVERIFY(ReadAll(known).startsWith(
            "[127.0.0.1]:" + QByteArray::number(target.server->port()) + " ssh-ed25519 "));
    }

    void requiredTls_verifiesTheServerAgainstTheGivenCa() {
        TestTarget target;
        QVERIFY(target.start(u"ftp-tls"_s, u"feed.xml"_s));
        const QStringList args = {m_feed, target.destination.url().toString(), u"--require-tls"_s};
        Run run = Orvanctl(args, u"secret"_s);
        QCOMPARE(run.exitCode, 1);
        QVERIFY(!QFileInfo::exists(target.remoteFile()));
        run = Orvanctl(args + QStringList{u"--cacert"_s, target.destination.caFile}, u"secret"_s);
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QCOMPARE(ReadAll(target.remoteFile()), kFeed);
    }
};

QTEST_GUILESS_MAIN(TestPublishCli)
#include "test_publishcli.moc"
