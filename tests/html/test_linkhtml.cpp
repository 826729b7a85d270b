// Link and image HTML as it goes into a post, the address check, and the
// attribute maps an edit reads and writes.
#include "html/linkhtml.h"

#include <QTest>
#include <QXmlStreamReader>

#include <limits>

using namespace Qt::StringLiterals;

namespace {

// Parses one built element (wrapped, so the trailing blank has a parent) and
// gives its attributes and text as a browser or feed reader would read them.
struct Parsed {
    bool ok = false;
    QString tag;
    QMap<QString, QString> attributes;
    QString text;
};

Parsed parse(const QString& html, bool selfClosing) {
    Parsed out;
    QString xml = u"<r>"_s + html;
    // An IMG start tag has no end tag; close it for the XML reader.
    if (selfClosing && xml.endsWith(u'>'))
        xml.insert(xml.size() - 1, u'/');
    xml += u"</r>"_s;
    QXmlStreamReader reader(xml);
    int depth = 0;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            if (++depth == 2) {
                out.tag = reader.name().toString();
                for (const QXmlStreamAttribute& a : reader.attributes())
                    out.attributes.insert(a.name().toString(), a.value().toString());
            }
        } else if (reader.isEndElement()) {
            --depth;
        } else if (reader.isCharacters() && depth == 2) {
            out.text += reader.text();
        }
    }
    out.ok = !reader.hasError();
    return out;
}

} // namespace

class TestLinkHtml final : public QObject {
    Q_OBJECT

private slots:
    void isAcceptedUrl_data();
    void isAcceptedUrl();
    void isSuggestibleUrl_data();
    void isSuggestibleUrl();
    void buildLinkHtml_isExactAndOrdered();
    void buildLinkHtml_hostileTexts_parseBackExactly();
    void buildLinkHtml_wrappedMarkup_isNotEscapedAgain();
    void buildImageTag_leavesOutEmptyAndEscapes();
    void linkAttributes_roundTrip();
    void imageAttributes_numbersAsAtoiReadsThem();
    void decimalReaders_data();
    void decimalReaders();
};

void TestLinkHtml::isAcceptedUrl_data() {
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("http") << u"http://a.example/"_s << true;
    QTest::newRow("mailto") << u"mailto:me@a.example"_s << true;
    QTest::newRow("relative file") << u"page.html"_s << true;
    QTest::newRow("relative with colon after slash") << u"a/b:c"_s << true;
    QTest::newRow("scheme relative") << u"//a.example/x"_s << true;
    QTest::newRow("empty") << QString() << true;
    QTest::newRow("javascript") << u"javascript:alert(1)"_s << false;
    QTest::newRow("mixed case, tab and blanks") << u" JaVa\tScript:alert(1)"_s << false;
    QTest::newRow("control character before") << u"\u0001javascript:x"_s << false;
    QTest::newRow("data") << u"data:text/html,<b>x</b>"_s << false;
    QTest::newRow("file") << u"file:///etc/passwd"_s << false;
    QTest::newRow("drive letter") << u"C:\\pictures\\a.png"_s << false;
}

void TestLinkHtml::isAcceptedUrl() {
    QFETCH(QString, url);
    QFETCH(bool, accepted);
    QCOMPARE(IsAcceptedUrl(url), accepted);
}

void TestLinkHtml::isSuggestibleUrl_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("suggested");
    QTest::newRow("https page") << u"https://a.example/news/"_s << true;
    QTest::newRow("file") << u"file:///home/me/a.png"_s << false;
    QTest::newRow("javascript") << u"javascript:alert(1)"_s << false;
    QTest::newRow("relative") << u"images/a.png"_s << false;
    QTest::newRow("two lines") << u"http://a.example/\nhttp://b.example/"_s << false;
    QTest::newRow("prose") << u"see http://a.example/"_s << false;
}

void TestLinkHtml::isSuggestibleUrl() {
    QFETCH(QString, text);
    QFETCH(bool, suggested);
    QCOMPARE(IsSuggestibleUrl(text), suggested);
}

void TestLinkHtml::buildLinkHtml_isExactAndOrdered() {
    QCOMPARE(BuildLinkHtml(LinkInfo{u"u"_s, u"news"_s, QString(), QString()}, false),
             u"<A HREF=\"u\">news</A> "_s);
    QCOMPARE(BuildLinkHtml(LinkInfo{u"u"_s, u"news"_s, u"T"_s, u"_blank"_s}, false),
             u"<A HREF=\"u\" TARGET=\"_blank\" TITLE=\"T\">news</A> "_s);
}

void TestLinkHtml::buildLinkHtml_hostileTexts_parseBackExactly() {
    const LinkInfo link{u"http://a.example/?a=1&b=\"2\"><script>"_s, u"1 < 2 & \"3\" > 0"_s,
                        u"it's <b>&amp;</b>"_s, u"_\"x\""_s};
    const QString html = BuildLinkHtml(link, false);
    QVERIFY(html.endsWith(u"</A> "_s));
    const Parsed parsed = parse(html, false);
    QVERIFY2(parsed.ok, qPrintable(html));
    QCOMPARE(parsed.tag, u"A"_s);
    QCOMPARE(parsed.attributes.value(u"HREF"_s), link.url);
    QCOMPARE(parsed.attributes.value(u"TITLE"_s), link.title);
    QCOMPARE(parsed.attributes.value(u"TARGET"_s), link.target);
    QCOMPARE(parsed.attributes.size(), 3);
    QCOMPARE(parsed.text, link.text);
}

void TestLinkHtml::buildLinkHtml_wrappedMarkup_isNotEscapedAgain() {
    const QString image = u"<img src=\"a.png\" alt=\"x &amp; y\">"_s;
    QCOMPARE(BuildLinkHtml(LinkInfo{u"a&b"_s, image, QString(), QString()}, true),
             u"<A HREF=\"a&amp;b\">"_s + image + u"</A> "_s);
}

void TestLinkHtml::buildImageTag_leavesOutEmptyAndEscapes() {
    ImageTagTexts texts{u"s.png"_s, u"a"_s, u"0"_s, u"1"_s, u"2"_s, u"LEFT"_s, u"30"_s, u"50%"_s};
    QCOMPARE(BuildImageTag(texts),
             u"<IMG SRC=\"s.png\" ALT=\"a\" BORDER=\"0\" HSPACE=\"1\" VSPACE=\"2\" ALIGN=\"LEFT\" "
             "HEIGHT=\"30\" WIDTH=\"50%\">"_s);

    texts = {u"i.png?x=1&y=\"2\""_s, u"Tom & \"Jerry\" <3"_s, {}, {}, {}, {}, {}, {}};
    const Parsed parsed = parse(BuildImageTag(texts), true);
    QVERIFY(parsed.ok);
    QCOMPARE(parsed.attributes.value(u"SRC"_s), texts.src);
    QCOMPARE(parsed.attributes.value(u"ALT"_s), texts.alt);
    QCOMPARE(parsed.attributes.size(), 2);
}

void TestLinkHtml::linkAttributes_roundTrip() {
    const AttributeMap existing{{u"href"_s, u"http://a.example/"_s},
                                {u"title"_s, u"Old"_s},
                                {u"target"_s, u"_top"_s},
                                {u"class"_s, u"c"_s}};
    LinkInfo link = LinkInfoFromAttributes(existing);
    QCOMPARE(link.url, u"http://a.example/"_s);
    QCOMPARE(link.title, u"Old"_s);
    QCOMPARE(link.target, u"_top"_s);
    QVERIFY(link.text.isEmpty());
    // Clearing the title drops it; clearing the URL still writes an empty href.
    link.title.clear();
    link.url.clear();
    QCOMPARE(LinkAttributes(link),
             (AttributeMap{{u"href"_s, QString()}, {u"target"_s, u"_top"_s}}));
}

void TestLinkHtml::imageAttributes_numbersAsAtoiReadsThem() {
    const AttributeMap existing{{u"src"_s, u"a.png"_s},    {u"width"_s, u"50%"_s},
                                {u"height"_s, u" 20px"_s}, {u"border"_s, u"none"_s},
                                {u"vspace"_s, QString()},  {u"style"_s, u"x"_s}};
    const ImageInfo image = ImageInfoFromAttributes(existing);
    QCOMPARE(image.width, 50);
    QCOMPARE(image.height, 20);
    QCOMPARE(image.border, 0);
    QCOMPARE(image.vspace, -1);
    QCOMPARE(image.hspace, -1);
    QVERIFY(image.alt.isEmpty() && image.align.isEmpty());
    QCOMPARE(ImageAttributes(image), (AttributeMap{{u"src"_s, u"a.png"_s},
                                                   {u"width"_s, u"50"_s},
                                                   {u"height"_s, u"20"_s},
                                                   {u"border"_s, u"0"_s}}));
}

void TestLinkHtml::decimalReaders_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("prefix");
    QTest::addColumn<int>("field");
    QTest::newRow("empty") << QString() << 0 << -1;
    QTest::newRow("letters") << u"abc"_s << 0 << -1;
    QTest::newRow("sign alone") << u"-"_s << 0 << -1;
    QTest::newRow("blanks and sign") << u" \t-12px"_s << -12 << -12;
    QTest::newRow("too large") << u"99999999999999999999"_s << std::numeric_limits<int>::max()
                               << std::numeric_limits<int>::max();
}

void TestLinkHtml::decimalReaders() {
    QFETCH(QString, text);
    QFETCH(int, prefix);
    QFETCH(int, field);
    QCOMPARE(DecimalPrefix(text), prefix);
    QCOMPARE(DecimalFieldValue(text), field);
}

QTEST_GUILESS_MAIN(TestLinkHtml)
#include "test_linkhtml.moc"
