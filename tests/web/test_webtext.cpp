// Text side of page titles: header parsing, character sets, the tokenizer and
// the title cleaner. No network.
#include "web/charsetcodepages.h"
#include "web/httpdownload.h"
#include "web/markuptokenizer.h"
#include "web/titletext.h"

#include <QtTest>

#include <unicode/ucnv.h>

using namespace Qt::StringLiterals;

namespace {

QByteArray encode(const QString& text, const char* charset) {
    UErrorCode status = U_ZERO_ERROR;
    UConverter* converter = ucnv_open(charset, &status);
    if (U_FAILURE(status))
        return QByteArray();
    QByteArray out(text.size() * 4 + 16, '\0');
    const int32_t length = ucnv_fromUChars(converter, out.data(), int32_t(out.size()),
                                           reinterpret_cast<const UChar*>(text.utf16()),
                                           int32_t(text.size()), &status);
    ucnv_close(converter);
    return U_FAILURE(status) ? QByteArray() : out.left(length);
}

} // namespace

class TestWebText final : public QObject {
    Q_OBJECT

private slots:
    void charsetFromContentType_givesName_data();
    void charsetFromContentType_givesName();
    void splitUrl_splitsAtFirstSlash_data();
    void splitUrl_splitsAtFirstSlash();
    void charsetToCodePage_findsFirstRow_data();
    void charsetToCodePage_findsFirstRow();
    void pageBytesToUtf8_convertsByCodePage_data();
    void pageBytesToUtf8_convertsByCodePage();
    void pageBytesToUtf8_stopsAtZero();
    void detectCodePage_recognisesPageBytes_data();
    void detectCodePage_recognisesPageBytes();
    void findElementText_readsTitle_data();
    void findElementText_readsTitle();
    void tokenizer_capsTokenLength();
    void cleanTitle_givesRealCharacters_data();
    void cleanTitle_givesRealCharacters();
};

void TestWebText::charsetFromContentType_givesName_data() {
    QTest::addColumn<QString>("contentType");
    QTest::addColumn<QString>("charset");
    QTest::newRow("plain") << u"text/html; charset=windows-1251"_s << u"windows-1251"_s;
    QTest::newRow("quoted") << u"text/html; charset=\"koi8-r\""_s << u"koi8-r"_s;
    QTest::newRow("single quotes") << u"text/html; charset='utf-8'"_s << u"utf-8"_s;
    QTest::newRow("semicolon kept") << u"text/html;charset=utf-8;q=1"_s << u"utf-8;q=1"_s;
    QTest::newRow("space ends") << u"text/html; charset=utf-8 ; x"_s << u"utf-8"_s;
    QTest::newRow("none") << u"text/html"_s << QString();
    QTest::newRow("capitalised key") << u"text/html; Charset=utf-8"_s << QString();
    QTest::newRow("empty value") << u"text/html; charset="_s << QString();
}

void TestWebText::charsetFromContentType_givesName() {
    QFETCH(QString, contentType);
    QFETCH(QString, charset);
    QCOMPARE(charsetFromContentType(contentType), charset);
}

void TestWebText::splitUrl_splitsAtFirstSlash_data() {
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("path");
    QTest::newRow("full") << u"http://a.example/b/c?d"_s << true << u"http://"_s << u"a.example"_s
                          << u"/b/c?d"_s;
    QTest::newRow("no path") << u"https://a.example"_s << true << u"https://"_s << QString()
                             << u"a.example"_s;
    QTest::newRow("no scheme") << u"a.example/b"_s << false << QString() << QString() << QString();
}

void TestWebText::splitUrl_splitsAtFirstSlash() {
    QFETCH(QString, url);
    QString host, path, scheme;
    QTEST(splitUrl(url, host, path, scheme), "ok");
    QTEST(scheme, "scheme");
    QTEST(host, "host");
    QTEST(path, "path");
}

void TestWebText::charsetToCodePage_findsFirstRow_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("codePage");
    QTest::newRow("upper case") << u"WINDOWS-1251"_s << 1251;
    QTest::newRow("latin-1 is 1252") << u"ISO-8859-1"_s << 1252;
    QTest::newRow("first of a repeated name") << u"iso-2022-jp"_s << 50220;
    QTest::newRow("last row") << u"iso-8859-1"_s << 1252;
    QTest::newRow("unknown") << u"x-klingon"_s << -1;
    QTest::newRow("empty") << QString() << -1;
}

void TestWebText::charsetToCodePage_findsFirstRow() {
    QFETCH(QString, name);
    QTEST(charsetToCodePage(name), "codePage");
}

void TestWebText::pageBytesToUtf8_convertsByCodePage_data() {
    QTest::addColumn<QString>("charset");
    QTest::addColumn<QString>("text");
    const QString russian = u"<title>Новости дня</title>"_s;
    const QString japanese = u"<title>今日のニュース</title>"_s;
    QTest::newRow("windows-1251") << u"windows-1251"_s << russian;
    QTest::newRow("koi8-r") << u"koi8-r"_s << russian;
    QTest::newRow("cp866") << u"cp866"_s << russian;
    QTest::newRow("shift_jis") << u"shift_jis"_s << japanese;
    QTest::newRow("euc-jp") << u"euc-jp"_s << japanese;
    QTest::newRow("big5") << u"big5"_s << u"<title>今日新聞</title>"_s;
    QTest::newRow("euc-kr") << u"euc-kr"_s << u"<title>오늘의 뉴스</title>"_s;
    QTest::newRow("iso-8859-2") << u"iso-8859-2"_s << u"<title>Zażółć</title>"_s;
    QTest::newRow("windows-1252 for latin-1") << u"iso-8859-1"_s << u"<title>Grüße</title>"_s;
    QTest::newRow("ebcdic known by number") << u"x-ebcdic-germany"_s << u"<title>Grüße</title>"_s;
}

void TestWebText::pageBytesToUtf8_convertsByCodePage() {
    QFETCH(QString, charset);
    QFETCH(QString, text);
    // ICU spells some of the table's names otherwise.
    const QByteArray icuName = charset == u"x-ebcdic-germany" ? "ibm-273" : charset.toLatin1();
    const QByteArray bytes = encode(text, icuName.constData());
    QVERIFY(!bytes.isEmpty());
    QCOMPARE(QString::fromUtf8(pageBytesToUtf8(bytes, charsetToCodePage(charset))), text);
}

void TestWebText::pageBytesToUtf8_stopsAtZero() {
    QCOMPARE(pageBytesToUtf8(QByteArray("abc\0def", 7), 65001), QByteArray("abc"));
    const QByteArray utf16("a\0b\0\0\0c\0", 8);
    QCOMPARE(pageBytesToUtf8(utf16, 1200), QByteArray("ab"));
    QCOMPARE(pageBytesToUtf8(QByteArray("\0a\0b", 4), 1201), QByteArray("ab"));
    QVERIFY(pageBytesToUtf8(QByteArray("abc"), -1).isEmpty());
    QVERIFY(pageBytesToUtf8(QByteArray(), 65001).isEmpty());
}

void TestWebText::detectCodePage_recognisesPageBytes_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("codePage");
    const QString russian =
        u"<html><head><title>Новости</title></head><body><p>Сегодня в городе прошёл большой "
        "праздник. Жители вышли на улицы, чтобы посмотреть на парад и послушать музыку. "
        "Вечером состоялся концерт, на котором выступили известные артисты.</p></body></html>"_s;
    const QString japanese =
        u"<html><head><title>ニュース</title></head><body><p>今日は東京で大きな祭りが"
        "ありました。多くの人々が通りに出て、パレードを見たり音楽を聞いたりしました。"
        "夜には有名な歌手のコンサートが開かれました。</p></body></html>"_s;
    QTest::newRow("koi8-r") << encode(russian, "koi8-r") << 20866;
    QTest::newRow("shift_jis") << encode(japanese, "shift_jis") << 932;
    QTest::newRow("utf-8 with bom") << QByteArray("\xEF\xBB\xBF") + russian.toUtf8() << 65001;
    QTest::newRow("nothing") << QByteArray() << 0;
}

void TestWebText::detectCodePage_recognisesPageBytes() {
    QFETCH(QByteArray, bytes);
    QTEST(detectCodePage(bytes.constData(), bytes.size()), "codePage");
}

void TestWebText::findElementText_readsTitle_data() {
    QTest::addColumn<QByteArray>("html");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("text");
    QTest::newRow("plain") << QByteArray("<html><head><title>Hello World</title>") << true
                           << u"Hello World"_s;
    QTest::newRow("upper case") << QByteArray("<HTML><TITLE>Big</TITLE>") << true << u"Big"_s;
    QTest::newRow("self-closing") << QByteArray("<title/><p>body</p>") << true << QString();
    QTest::newRow("nested kept, comment dropped")
        << QByteArray("<title>A <b>B</b><!-- c --><![CDATA[d]]></title>") << true << u"A B"_s;
    QTest::newRow("attributes with markup")
        << QByteArray("<meta content=\"a>b\" x='</title>'><title lang=en>T</title>") << true
        << u"T"_s;
    QTest::newRow("unclosed") << QByteArray("<title>Cut off") << false << u"Cut off"_s;
    QTest::newRow("none") << QByteArray("<p>no title</p>") << false << QString();
    QTest::newRow("basic entities")
        << QByteArray("<title>&lt;a&gt; &quot;b&quot; &apos;c&apos; &amp;amp;</title>") << true
        << u"<a> \"b\" 'c' &amp;"_s;
    QTest::newRow("other references kept")
        << QByteArray("<title>It&#8217;s &raquo; &#x2014;</title>") << true
        << u"It&#8217;s &raquo; &#x2014;"_s;
    QTest::newRow("bare ampersand")
        << QByteArray("<title>AT&T & friends</title>") << true << u"AT&T & friends"_s;
    QTest::newRow("lone less-than") << QByteArray("<title>a < b</title>") << true << u"a < b"_s;
    QTest::newRow("four-byte utf-8")
        << QByteArray("<title>Party \xF0\x9F\x8E\x89</title>") << true << u"Party \U0001F389"_s;
    QTest::newRow("two and three bytes")
        << QByteArray("<title>\xC3\xBC\xE2\x82\xAC</title>") << true << u"ü€"_s;
    QTest::newRow("stray byte") << QByteArray("<title>a\xFF</title>") << true << u"a?"_s;
    QTest::newRow("zero ends input") << QByteArray("<title>a\0</title>", 18) << false << u"a"_s;
    QTest::newRow("text before title ignored")
        << QByteArray("junk <title>x</title> more") << true << u"x"_s;
}

void TestWebText::findElementText_readsTitle() {
    QFETCH(QByteArray, html);
    QString text;
    QTEST(findElementText(html.constData(), html.size(), u"title"_s, text), "found");
    QTEST(text, "text");
}

void TestWebText::tokenizer_capsTokenLength() {
    const QByteArray word(5000, 'w');
    MarkupTokenizer tokenizer(word.constData(), word.size());
    QCOMPARE(tokenizer.next(), MarkupTokenizer::Word);
    QCOMPARE(tokenizer.text().size(), 1023);
    QCOMPARE(tokenizer.next(), MarkupTokenizer::EndOfInput);
    QCOMPARE(tokenizer.next(), MarkupTokenizer::EndOfInput);
}

void TestWebText::cleanTitle_givesRealCharacters_data() {
    QTest::addColumn<QString>("raw");
    QTest::addColumn<QString>("title");
    QTest::newRow("double-encoded ampersand") << u"A &amp; B"_s << u"A & B"_s;
    QTest::newRow("raquo is a quote") << u"Site &raquo; Page"_s << u"Site \" Page"_s;
    QTest::newRow("151 is a dash") << u"a&#151;b"_s << u"a - b"_s;
    QTest::newRow("laquo") << u"&laquo;x"_s << u"«x"_s;
    QTest::newRow("ndash without ampersand") << u"a ndash; b"_s << u"a — b"_s;
    QTest::newRow("sdot with two semicolons") << u"a&sdot;;b"_s << u"a * b"_s;
    QTest::newRow("decimal reference") << u"It&#8217;s"_s << u"It’s"_s;
    QTest::newRow("hex reference") << u"a &#x2014; b"_s << u"a — b"_s;
    QTest::newRow("astral reference") << u"&#x1F600;"_s << u"\U0001F600"_s;
    QTest::newRow("windows-1252 range") << u"&#147;q&#148;"_s << u"“q”"_s;
    QTest::newRow("capital enye") << u"&Ntilde;and&ntilde;"_s << u"Ñandñ"_s;
    QTest::newRow("other named") << u"caf&eacute; &hellip;"_s << u"café …"_s;
    QTest::newRow("unknown kept") << u"&bogus; &#0; &#xD800;"_s << u"&bogus; &#0; &#xD800;"_s;
    QTest::newRow("spaces trimmed, tabs kept") << u"  \tNews  "_s << u"\tNews"_s;
    QTest::newRow("inner runs kept") << u"A   B"_s << u"A   B"_s;
}

void TestWebText::cleanTitle_givesRealCharacters() {
    QFETCH(QString, raw);
    QTEST(cleanTitle(raw), "title");
}

QTEST_GUILESS_MAIN(TestWebText)
#include "test_webtext.moc"
