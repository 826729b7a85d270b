#include "htmlui/htmlvalue.h"

#include <QTest>

class TestHtmlValue final : public QObject {
    Q_OBJECT
private slots:
    void dummy() {}
};

QTEST_GUILESS_MAIN(TestHtmlValue)
#include "test_htmlvalue.moc"
