#include <QTest>
class TestHtmlDialog final : public QObject {
    Q_OBJECT
private slots:
    void dummy() {}
};
QTEST_MAIN(TestHtmlDialog)
#include "test_htmldialog.moc"
