// The editor's side of publishing: a job on its own thread whose questions
// come as signals and wait for answers, and which may be closed at any time.
#include "publish/publishjob.h"
#include "publishtestkit.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

class TestPublishJob final : public QObject {
    Q_OBJECT

private slots:
    void job_answersQuestionsAndPublishes_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("file") << u"file"_s;
        QTest::newRow("ftp, password asked") << u"ftp"_s;
        QTest::newRow("sftp, unknown server asked") << u"sftp"_s;
    }
    void job_answersQuestionsAndPublishes() {
        QFETCH(QString, kind);
        TestTarget target;
        QVERIFY(target.start(kind, u"feed.xml"_s));
        if (kind == u"sftp")
            QVERIFY(QFile::remove(target.knownHosts));
        const QByteArray bytes = Payload(200000, 'j');
        PublishJob job(bytes, target.destination);
        job.knownHostsFile = target.knownHosts;
        connect(&job, &PublishJob::passwordAsked, &job,
                [&job](const PublishDestination&, bool) { job.answerPassword(u"secret"_s); });
        connect(&job, &PublishJob::hostKeyAsked, &job,
                [&job](const HostKeyInfo&) { job.answerHostKey(true); });
        QSignalSpy progressed(&job, &PublishJob::progressed);
        QSignalSpy accepted(&job, &PublishJob::passwordAccepted);
        QSignalSpy finished(&job, &PublishJob::finished);
        job.start();
        QVERIFY(finished.wait(60000));
        const auto result = finished.first().first().value<PublishResult>();
        QVERIFY2(result.ok, qPrintable(result.error));
        QCOMPARE(ReadAll(target.remoteFile()), bytes);
        QVERIFY(!progressed.isEmpty());
        QCOMPARE(progressed.last().first().value<PublishProgress>().sent, bytes.size());
        QCOMPARE(accepted.size(), kind == u"ftp" ? 1 : 0);
    }

    void job_closedWhileAsking_stopsAndSendsNothing() {
        TestTarget target;
        QVERIFY(target.start(u"sftp"_s, u"feed.xml"_s));
        QFile::remove(target.knownHosts);
        auto* job = new PublishJob(Payload(1000, 'c'), target.destination);
        job->knownHostsFile = target.knownHosts;
        bool asked = false;
        // The window that would answer closes instead.
        connect(job, &PublishJob::hostKeyAsked, this, [&asked, job] {
            asked = true;
            QTimer::singleShot(0, job, [job] { delete job; });
        });
        job->start();
        QTRY_VERIFY_WITH_TIMEOUT(asked, 30000);
        QTest::qWait(500);
        QVERIFY(!QFile::exists(target.remoteFile()));
        QVERIFY(!QFile::exists(target.knownHosts));
    }

    void job_cancelled_keepsOldFile() {
        TestTarget target;
        QVERIFY(target.start(u"ftp"_s, u"feed.xml"_s));
        const QByteArray old = Payload(100, 'o');
        QVERIFY(WriteAll(target.remoteFile(), old));
        PublishJob job(Payload(3 * 1024 * 1024, 'b'), target.destination);
        job.maxSendSpeed = 1024 * 1024;
        connect(&job, &PublishJob::passwordAsked, &job,
                [&job](const PublishDestination&, bool) { job.answerPassword(u"secret"_s); });
        connect(&job, &PublishJob::progressed, &job, [&job](const PublishProgress& p) {
            if (p.sent > 100000)
                job.cancel();
        });
        QSignalSpy finished(&job, &PublishJob::finished);
        job.start();
        QVERIFY(finished.wait(60000));
        QCOMPARE(finished.first().first().value<PublishResult>().failure,
                 RemoteServer::Failure::Cancelled);
        QCOMPARE(ReadAll(target.remoteFile()), old);
        QCOMPARE(Leftovers(target.siteFolder()), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestPublishJob)
#include "test_publishjob.moc"
