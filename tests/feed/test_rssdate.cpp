#include "feed/rssdate.h"

#include <QtTest>

class TestRssDate final : public QObject {
    Q_OBJECT

private slots:
    void formatRssDate_isUtcWithEnglishMonth() {
        const QDateTime utc(QDate(2026, 3, 3), QTime(7, 9, 5), Qt::UTC);
        QCOMPARE(FormatRssDate(utc), QStringLiteral("03 Mar 2026 07:09:05 GMT"));
        const QDateTime offset(QDate(2026, 3, 3), QTime(10, 9, 5), Qt::OffsetFromUTC, 3 * 3600);
        QCOMPARE(FormatRssDate(offset), QStringLiteral("03 Mar 2026 07:09:05 GMT"));
        QVERIFY(TryParseRssDate(FormatRssDate()).has_value());
    }

    void parseRssDate_readsKnownForms_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDateTime>("expected");
        const QDateTime dec5(QDate(2026, 12, 5), QTime(10, 45, 34), Qt::UTC);
        QTest::newRow("written form") << QStringLiteral("05 Dec 2026 10:45:34 GMT") << dec5;
        QTest::newRow("weekday") << QStringLiteral("Sat, 05 Dec 2026 10:45:34 +0000") << dec5;
        QTest::newRow("zone ignored") << QStringLiteral("Sat, 5 Dec 2026 10:45:34 PST") << dec5;
        QTest::newRow("lower month numeric zone")
            << QStringLiteral("05 dec 2026 10:45:34 +0300") << dec5;
        QTest::newRow("no seconds") << QStringLiteral("Sat, 05 Dec 2026 10:45 GMT")
                                    << QDateTime(QDate(2026, 12, 5), QTime(10, 45), Qt::UTC);
        QTest::newRow("two-digit year") << QStringLiteral("05 Dec 26 10:45:34 GMT") << dec5;
        QTest::newRow("iso") << QStringLiteral("2026-12-05T10:45:34+02:00") << dec5;
        QTest::newRow("iso z fraction") << QStringLiteral("2026-12-05T10:45:34.25Z") << dec5;
        QTest::newRow("odd spacing") << QStringLiteral("  05   Dec  2026 10:45:34") << dec5;
    }
    void parseRssDate_readsKnownForms() {
        QFETCH(QString, text);
        QFETCH(QDateTime, expected);
        const std::optional<QDateTime> parsed = TryParseRssDate(text);
        QVERIFY2(parsed.has_value(), qPrintable(text));
        QCOMPARE(*parsed, expected);
        QCOMPARE(ParseRssDate(text), expected);
    }

    void parseRssDate_unreadable_givesCurrentLocalTime_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << QString();
        QTest::newRow("feb 31") << QStringLiteral("31 Feb 2026 10:00:00 GMT");
        QTest::newRow("hour 25") << QStringLiteral("01 Jan 2026 25:00:00 GMT");
        QTest::newRow("unknown month") << QStringLiteral("01 Foo 2026 10:00:00");
        QTest::newRow("words") << QStringLiteral("yesterday");
        QTest::newRow("missing seconds in fallback") << QStringLiteral("01 Jan, 2026 10:00");
    }
    void parseRssDate_unreadable_givesCurrentLocalTime() {
        QFETCH(QString, text);
        QVERIFY(!TryParseRssDate(text).has_value());
        const QDateTime now = QDateTime::currentDateTime();
        const QDateTime parsed = ParseRssDate(text);
        const QDateTime localAsUtc(now.date(), now.time(), Qt::UTC);
        QVERIFY(qAbs(parsed.secsTo(localAsUtc)) <= 2);
    }

    void localeStamp_isShortDateAndSecondsTrimmed() {
        const QDateTime t(QDate(2026, 12, 5), QTime(13, 45, 10));
        const QString stamp = LocaleStamp(t);
        QVERIFY2(stamp.endsWith(QStringLiteral(" 13:45:10")), qPrintable(stamp));
        QCOMPARE(stamp, stamp.trimmed());
        QVERIFY(stamp.startsWith(QLocale().toString(t.date(), QLocale::ShortFormat).trimmed()));
    }
};

QTEST_GUILESS_MAIN(TestRssDate)
#include "test_rssdate.moc"
