#include "html/htmltransforms.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString SS = u"<!--StartSelection-->"_s;
const QString ES = u"<!--EndSelection-->"_s;

} // namespace

class TestHtmlTransforms final : public QObject {
    Q_OBJECT

private slots:
    void findNoCase_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<int>("start");
        QTest::addColumn<bool>("caseSensitive");
        QTest::addColumn<int>("expected");
        QTest::newRow("no case") << u"a<P>b<p>"_s << u"<p>"_s << 0 << false << 1;
        QTest::newRow("from start") << u"a<P>b<p>"_s << u"<p>"_s << 2 << false << 5;
        QTest::newRow("with case") << u"a<P>b<p>"_s << u"<p>"_s << 0 << true << 5;
        QTest::newRow("negative start") << u"xab"_s << u"AB"_s << -3 << false << 1;
        QTest::newRow("start past end") << u"ab"_s << u"b"_s << 5 << false << -1;
        QTest::newRow("not found") << u"abc"_s << u"d"_s << 0 << false << -1;
        QTest::newRow("non-ascii") << u"xÄÖ"_s << u"äö"_s << 0 << false << 1;
        // Dotted capital I lower-cases to two code units under full mapping.
        QTest::newRow("positions kept") << u"\u0130\u0130<BR>"_s << u"<br>"_s << 0 << false << 2;
        QTest::newRow("supplementary") << u"\U00010400x"_s << u"\U00010428X"_s << 0 << false << 0;
    }

    void findNoCase() {
        QFETCH(QString, text);
        QFETCH(QString, pattern);
        QFETCH(int, start);
        QFETCH(bool, caseSensitive);
        QFETCH(int, expected);
        QCOMPARE(FindNoCase(text, pattern, start, caseSensitive), qsizetype(expected));
    }

    void textBetween_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("body") << u"x<body>abc</body>y"_s << u"abc"_s;
        QTest::newRow("end missing") << u"x<body>abc"_s << QString();
        QTest::newRow("start missing") << u"abc</body>"_s << QString();
        QTest::newRow("end only before start") << u"</body><body>abc"_s << QString();
        QTest::newRow("first of each") << u"<body>a</body><body>b</body>"_s << u"a"_s;
    }

    void textBetween() {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(TextBetween(text, u"<body>"_s, u"</body>"_s), expected);
    }

    void cleanBodyHtml_data() {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no body") << u"  <p>a</p>\r\n"_s << u"<p>a</p>"_s;
        QTest::newRow("body cut") << u"<html><body>\n<p>a</p>\n</body></html>"_s << u"<p>a</p>"_s;
        QTest::newRow("leading entity") << u"<body>&#x0D;&#x0A;<p>a</p></body>"_s << u"<p>a</p>"_s;
        QTest::newRow("capital entity") << u"<p>a&#X0A;b&#x0d;</p>"_s << u"<p>ab</p>"_s;
        QTest::newRow("markers any case")
            << u"<p>"_s + SS + u"a<!--endselection-->b</p>"_s << u"<p>ab</p>"_s;
        QTest::newRow("quot in text")
            << u"<a title=\"t\">&quot;x&quot; &QUOT;</a>"_s << u"<a title=\"t\">\"x\" &QUOT;</a>"_s;
        // Inside a tag the entity keeps a quoted value whole.
        QTest::newRow("quot in attribute")
            << u"<p style=\"font-family: &quot;DejaVu Sans&quot;\">a &quot;b&quot;</p>"_s
            << u"<p style=\"font-family: &quot;DejaVu Sans&quot;\">a \"b\"</p>"_s;
        QTest::newRow("quot beside > in attribute")
            << u"<span title=\"a > &quot;hi&quot; <\">&quot;</span>"_s
            << u"<span title=\"a > &quot;hi&quot; <\">\"</span>"_s;
        QTest::newRow("quot in comment and style")
            << u"<!-- &quot; --><style>p::before{content:\"&quot;\"}</style>&quot;"_s
            << u"<!-- &quot; --><style>p::before{content:\"&quot;\"}</style>\""_s;
        QTest::newRow("trim all kinds") << u"\t \r\n x \t\r\n"_s << u"x"_s;
        QTest::newRow("only markers") << SS + ES << QString();
    }

    void cleanBodyHtml() {
        QFETCH(QString, html);
        QFETCH(QString, expected);
        QCOMPARE(CleanBodyHtml(html), expected);
    }

    void extractLinkRun_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("paragraph")
            << u"<p>Hello "_s + SS + u"world"_s + ES + u" foo</p>"_s << u"Hello world foo"_s;
        QTest::newRow("markup inside")
            << u"<p>a "_s + SS + u"<b>b</b>"_s + ES + u" c</p>"_s << u"a <b>b</b> c"_s;
        QTest::newRow("no start marker") << u"<p>a"_s + ES + u"</p>"_s << QString();
        QTest::newRow("end before start") << u"<p>"_s + ES + u"a"_s + SS + u"</p>"_s << QString();
        QTest::newRow("no tag after") << u"<p>a"_s + SS + u"b"_s + ES << QString();
        QTest::newRow("no tag before") << u"a"_s + SS + u"b"_s + ES + u"</p>"_s << QString();
    }

    void extractLinkRun() {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(ExtractLinkRun(text), expected);
    }

    void removeBetween_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("removed");
        QTest::addColumn<QString>("expected");
        QTest::newRow("first run") << u"x<span a>y<span b>"_s << true << u"xy<span b>"_s;
        QTest::newRow("end missing") << u"x<span"_s << false << u"x<span"_s;
        QTest::newRow("end only before") << u">x<span"_s << false << u">x<span"_s;
    }

    void removeBetween() {
        QFETCH(QString, text);
        QFETCH(bool, removed);
        QFETCH(QString, expected);
        QCOMPARE(RemoveBetween(text, u"<span"_s, u">"_s), removed);
        QCOMPARE(text, expected);
    }

    void removeSpansAndStyles_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("removed");
        QTest::addColumn<QString>("expected");
        QTest::newRow("span and single-quoted style")
            << u"<p style='color:red'>x <span class=\"a\">y</span></p>"_s << true
            << u"<p >x y</p>"_s;
        QTest::newRow("many of each")
            << u"<div style=\"a\"><span>1</span><span style=\"b\">2</span><i style=\"c\">3</i></div>"_s
            << true << u"<div >12<i >3</i></div>"_s;
        QTest::newRow("capital span left") << u"<SPAN>x</SPAN>"_s << false << u"<SPAN>x</SPAN>"_s;
        QTest::newRow("nothing to remove") << u"<p>plain</p>"_s << false << u"<p>plain</p>"_s;
        QTest::newRow("unclosed span stays") << u"<p>a<span"_s << false << u"<p>a<span"_s;
        QTest::newRow("empty") << QString() << false << QString();
    }

    void removeSpansAndStyles() {
        QFETCH(QString, text);
        QFETCH(bool, removed);
        QFETCH(QString, expected);
        QCOMPARE(RemoveSpansAndStyles(text), removed);
        QCOMPARE(text, expected);
    }

    void replaceTexts_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<bool>("replaced");
        QTest::addColumn<QString>("expected");
        const QStringList nbsp{u"&nbsp;"_s};
        QTest::newRow("replaced") << u"a&nbsp;b&nbsp;"_s << nbsp << true << u"a b "_s;
        QTest::newRow("absent") << u"a b"_s << nbsp << false << u"a b"_s;
        QTest::newRow("capitals left") << u"a&NBSP;b"_s << nbsp << false << u"a&NBSP;b"_s;
        QTest::newRow("empty list") << u"a&nbsp;"_s << QStringList() << false << u"a&nbsp;"_s;
        QTest::newRow("list order")
            << u"<o:p>x</o:p>"_s << QStringList{u"<o:p>"_s, u"</o:p>"_s} << true << u" x "_s;
        QTest::newRow("empty entry") << u"ab"_s << QStringList{QString()} << false << u"ab"_s;
    }

    void replaceTexts() {
        QFETCH(QString, text);
        QFETCH(QStringList, texts);
        QFETCH(bool, replaced);
        QFETCH(QString, expected);
        QCOMPARE(ReplaceTexts(text, texts), replaced);
        QCOMPARE(text, expected);
    }

    void breakAroundTags_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("paragraphs")
            << u"<P>a</P><P>b<BR>c</P>"_s << u"<P>\r\na\r\n</P><P>\r\nb<BR>\r\nc\r\n</P>"_s;
        QTest::newRow("closing first") << u"</P>x</p>"_s << u"</P>x\r\n</p>"_s;
        QTest::newRow("lower case") << u"<p>x<br>yz"_s << u"<p>\r\nx<br>\r\nyz"_s;
        QTest::newRow("tag at end") << u"x<P>"_s << u"x<P>"_s;
        QTest::newRow("one char after tag") << u"<BR>x"_s << u"<BR>x"_s;
        QTest::newRow("lone carriage return") << u"a\r</P>"_s << u"a\r\r\n</P>"_s;
        QTest::newRow("breaks already there") << u"<P>\r\na\r\n</P>"_s << u"<P>\r\na\r\n</P>"_s;
        QTest::newRow("no tags") << u"plain text"_s << u"plain text"_s;
    }

    void breakAroundTags() {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        BreakAroundTags(text);
        QCOMPARE(text, expected);
        BreakAroundTags(text);
        QCOMPARE(text, expected);
    }

    // Real feeds hold all kinds of markup: a second run changes nothing and
    // nothing but line breaks is ever added.
    void breakAroundTags_corpus_isStableAndOnlyAddsBreaks() {
        const QDir dir(QStringLiteral(ORVAN_CORPUS_DIR) + u"/rss-wellformed"_s);
        const QStringList files = dir.entryList(QDir::Files);
        if (files.isEmpty())
            QSKIP("no corpus");
        for (const QString& name : files) {
            QFile f(dir.filePath(name));
            QVERIFY(f.open(QIODevice::ReadOnly));
            // Entities decoded crudely so the escaped descriptions' tags count as well.
            QString input = QString::fromUtf8(f.readAll())
                                .replace(u"&lt;"_s, u"<"_s)
                                .replace(u"&gt;"_s, u">"_s);
            QString once = input;
            BreakAroundTags(once);
            QString twice = once;
            BreakAroundTags(twice);
            QVERIFY2(twice == once, qPrintable(name));
            QVERIFY2(once.remove(u"\r\n"_s) == input.remove(u"\r\n"_s), qPrintable(name));
        }
    }
};

QTEST_GUILESS_MAIN(TestHtmlTransforms)
#include "test_htmltransforms.moc"
