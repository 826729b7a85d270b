#include "htmlui/htmlvalue.h"

#include <QJsonValue>
#include <QTest>

Q_DECLARE_METATYPE(HtmlValue)

using namespace Qt::StringLiterals;

class TestHtmlValue final : public QObject {
    Q_OBJECT
private slots:
    void utf8ToUtf16_decodes_data();
    void utf8ToUtf16_decodes();
    void utf8ToUtf16_stopsAtLengthOrZero();
    void json_roundTripKeepsTypes_data();
    void json_roundTripKeepsTypes();
    void toText_convertsEveryType();
};

void TestHtmlValue::utf8ToUtf16_decodes_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::newRow("byte-order mark dropped") << QByteArray("\xEF\xBB\xBF"
                                                           "A")
                                             << u"A"_s << true;
    QTest::newRow("lone FF") << QByteArray("\xFF") << u"?"_s << false;
    QTest::newRow("four bytes to a pair")
        << QByteArray("\xF0\x9F\x98\x80") << QString::fromUtf16(u"\xD83D\xDE00") << true;
    QTest::newRow("two and three bytes") << QByteArray("\xC3\xA9\xE2\x82\xAC") << u"é€"_s << true;
    QTest::newRow("stray continuation") << QByteArray("a\x80"
                                                      "b")
                                        << u"a?b"_s << false;
    QTest::newRow("cut short ends the text") << QByteArray("ab\xE2\x82") << u"ab?"_s << false;
    QTest::newRow("mark after text kept")
        << QByteArray("A\xEF\xBB\xBF") << QString::fromUtf16(u"A\xFEFF") << true;
}

void TestHtmlValue::utf8ToUtf16_decodes() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QString out;
    QCOMPARE(utf8ToUtf16(bytes.constData(), bytes.size(), out), ok);
    QCOMPARE(out, text);
}

void TestHtmlValue::utf8ToUtf16_stopsAtLengthOrZero() {
    QString out;
    QVERIFY(utf8ToUtf16("abc\0def", 7, out));
    QCOMPARE(out, u"abc"_s);
    QVERIFY(utf8ToUtf16("abcdef", 2, out));
    QCOMPARE(out, u"ab"_s);
    QVERIFY(utf8ToUtf16("xyz", -1, out));
    QCOMPARE(out, u"xyz"_s);
    // A zero inside a sequence cuts it short.
    QVERIFY(!utf8ToUtf16("\xC3\0", 2, out));
    QCOMPARE(out, u"?"_s);
}

void TestHtmlValue::json_roundTripKeepsTypes_data() {
    QTest::addColumn<HtmlValue>("value");
    QTest::newRow("undefined") << HtmlValue();
    QTest::newRow("null") << HtmlValue::null();
    QTest::newRow("boolean") << HtmlValue(true);
    QTest::newRow("integer") << HtmlValue(-42);
    QTest::newRow("string") << HtmlValue(u"<b>x</b>"_s);
    QTest::newRow("array with undefined")
        << HtmlValue(HtmlValue::Array{HtmlValue(1), HtmlValue(), HtmlValue(u"s"_s)});
    QTest::newRow("map of map") << HtmlValue(
        HtmlValue::Map{{u"font-weight"_s, HtmlValue(u"700"_s)},
                       {u"inner"_s, HtmlValue(HtmlValue::Map{{u"u"_s, HtmlValue()}})}});
}

void TestHtmlValue::json_roundTripKeepsTypes() {
    QFETCH(HtmlValue, value);
    const HtmlValue back = HtmlValue::fromJson(value.toJson());
    QCOMPARE(back.type(), value.type());
    QVERIFY(back == value);
}

void TestHtmlValue::toText_convertsEveryType() {
    QCOMPARE(HtmlValue().toText(), QString());
    QCOMPARE(HtmlValue(7).toText(), u"7"_s);
    QCOMPARE(HtmlValue(false).toText(), u"false"_s);
    QCOMPARE(valueToText(HtmlValue(u"text"_s)), u"text"_s);
    QCOMPARE(HtmlValue(HtmlValue::Array{HtmlValue(1), HtmlValue(u"a"_s)}).toText(), u"[1,\"a\"]"_s);
    // A fractional number from the page arrives as its text.
    QCOMPARE(HtmlValue::fromJson(QJsonValue(1.5)), HtmlValue(u"1.5"_s));
}

QTEST_GUILESS_MAIN(TestHtmlValue)
#include "test_htmlvalue.moc"
