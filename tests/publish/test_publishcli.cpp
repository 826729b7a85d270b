#include <QTest>
class TestPublishCli final : public QObject {
    Q_OBJECT
};
QTEST_GUILESS_MAIN(TestPublishCli)
#include "test_publishcli.moc"
