#include "html/linkhtml.h"

#include <QUrl>

#include <limits>

using namespace Qt::StringLiterals;

namespace {

bool isAsciiAlpha(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool isAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// The address as a browser parses it: tabs and line breaks dropped wherever
// they are, then blanks and control characters cut from both ends. Without
// this, " JaVa\tScript:..." would pass a check a browser does not make.
QString browserView(const QString& url) {
    QString text = url;
    text.remove(u'\t');
    text.remove(u'\n');
    text.remove(u'\r');
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= 0x20)
        ++begin;
    while (end > begin && text.at(end - 1).unicode() <= 0x20)
        --end;
    return text.mid(begin, end - begin);
}

// The scheme in lower case, or empty for a relative address: a letter, then
// letters, digits, "+", "-" or ".", then ":".
QString schemeOf(const QString& text) {
    if (text.isEmpty() || !isAsciiAlpha(text.at(0)))
        return QString();
    for (qsizetype i = 1; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u':')
            return text.left(i).toLower();
        if (!isAsciiAlpha(c) && !isAsciiDigit(c) && c != u'+' && c != u'-' && c != u'.')
            return QString();
    }
    return QString();
}

void appendAttribute(QString& html, const QString& name, const QString& value) {
    html += u' ' + name + u"=\""_s + EscapeHtml(value) + u'"';
}

void setIfNotEmpty(AttributeMap& map, const QString& name, const QString& value) {
    if (!value.isEmpty())
        map[name] = value;
}

void setIfPresent(AttributeMap& map, const QString& name, int value) {
    if (value != -1)
        map[name] = QString::number(value);
}

QString valueOf(const AttributeMap& map, const QString& name) {
    const auto found = map.find(name);
    return found == map.end() ? QString() : found->second;
}

int numberOf(const AttributeMap& map, const QString& name) {
    const QString text = valueOf(map, name);
    return text.isEmpty() ? -1 : DecimalPrefix(text);
}

// Reads [blanks][sign]digits; false when no digit follows.
bool readDecimal(const QString& text, int& value) {
    qsizetype i = 0;
    // isspace in the C locale: blank, \t, \n, \v, \f, \r.
    while (i < text.size() && (text.at(i) == u' ' || (text.at(i) >= u'\t' && text.at(i) <= u'\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == u'+' || text.at(i) == u'-')) {
        negative = text.at(i) == u'-';
        ++i;
    }
    if (i >= text.size() || !isAsciiDigit(text.at(i)))
        return false;
    qint64 magnitude = 0;
    for (; i < text.size() && isAsciiDigit(text.at(i)); ++i) {
        magnitude = magnitude * 10 + (text.at(i).unicode() - u'0');
        // Past int's range the value stays at its bound, however many digits follow.
        if (magnitude > qint64(std::numeric_limits<int>::max()) + 1)
            magnitude = qint64(std::numeric_limits<int>::max()) + 1;
    }
    const qint64 signedValue = negative ? -magnitude : magnitude;
    value = int(qBound(qint64(std::numeric_limits<int>::min()), signedValue,
                       qint64(std::numeric_limits<int>::max())));
    return true;
}

} // namespace

QString EscapeHtml(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'&':
            out += u"&amp;"_s;
            break;
        case u'<':
            out += u"&lt;"_s;
            break;
        case u'>':
            out += u"&gt;"_s;
            break;
        case u'"':
            out += u"&quot;"_s;
            break;
        default:
            out += c;
        }
    }
    return out;
}

bool IsAcceptedUrl(const QString& url) {
    const QString scheme = schemeOf(browserView(url));
    return scheme.isEmpty() || scheme == u"http"_s || scheme == u"https"_s ||
           scheme == u"mailto"_s || scheme == u"ftp"_s;
}

bool IsSuggestibleUrl(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return false;
    for (const QChar c : trimmed) {
        if (c.isSpace() || c.category() == QChar::Other_Control)
            return false;
    }
    const QUrl url(trimmed, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return false;
    const QString scheme = url.scheme().toLower();
    return scheme == u"http"_s || scheme == u"https"_s || scheme == u"ftp"_s;
}

QString RefusedUrlMessage() {
    return u"Only web (http, https), ftp, mailto and relative addresses can be used here."_s;
}

QString BuildLinkHtml(const LinkInfo& link, bool textIsHtml) {
    QString html = u"<A HREF=\""_s + EscapeHtml(link.url) + u'"';
    if (!link.target.isEmpty())
        appendAttribute(html, u"TARGET"_s, link.target);
    if (!link.title.isEmpty())
        appendAttribute(html, u"TITLE"_s, link.title);
    html += u'>';
    html += textIsHtml ? link.text : EscapeHtml(link.text);
    html += u"</A> "_s;
    return html;
}

QString BuildImageTag(const ImageTagTexts& texts) {
    QString html = u"<IMG SRC=\""_s + EscapeHtml(texts.src) + u'"';
    const std::pair<const char16_t*, const QString*> optional[] = {
        {u"ALT", &texts.alt},       {u"BORDER", &texts.border}, {u"HSPACE", &texts.hspace},
        {u"VSPACE", &texts.vspace}, {u"ALIGN", &texts.align},   {u"HEIGHT", &texts.height},
        {u"WIDTH", &texts.width},
    };
    for (const auto& [name, value] : optional) {
        if (!value->isEmpty())
            appendAttribute(html, QString::fromUtf16(name), *value);
    }
    html += u'>';
    return html;
}

LinkInfo LinkInfoFromAttributes(const AttributeMap& attributes) {
    LinkInfo link;
    link.url = valueOf(attributes, u"href"_s);
    link.title = valueOf(attributes, u"title"_s);
    link.target = valueOf(attributes, u"target"_s);
    return link;
}

AttributeMap LinkAttributes(const LinkInfo& link) {
    AttributeMap map;
    setIfNotEmpty(map, u"target"_s, link.target);
    map[u"href"_s] = link.url;
    setIfNotEmpty(map, u"title"_s, link.title);
    return map;
}

ImageInfo ImageInfoFromAttributes(const AttributeMap& attributes) {
    ImageInfo image;
    image.src = valueOf(attributes, u"src"_s);
    image.alt = valueOf(attributes, u"alt"_s);
    image.align = valueOf(attributes, u"align"_s);
    image.border = numberOf(attributes, u"border"_s);
    image.width = numberOf(attributes, u"width"_s);
    image.height = numberOf(attributes, u"height"_s);
    image.vspace = numberOf(attributes, u"vspace"_s);
    image.hspace = numberOf(attributes, u"hspace"_s);
    return image;
}

AttributeMap ImageAttributes(const ImageInfo& image) {
    AttributeMap map;
    setIfNotEmpty(map, u"src"_s, image.src);
    setIfNotEmpty(map, u"alt"_s, image.alt);
    setIfNotEmpty(map, u"align"_s, image.align);
    setIfPresent(map, u"border"_s, image.border);
    setIfPresent(map, u"width"_s, image.width);
    setIfPresent(map, u"height"_s, image.height);
    setIfPresent(map, u"vspace"_s, image.vspace);
    setIfPresent(map, u"hspace"_s, image.hspace);
    return map;
}

int DecimalPrefix(const QString& text) {
    int value = 0;
    return readDecimal(text, value) ? value : 0;
}

int DecimalFieldValue(const QString& text) {
    int value = 0;
    return readDecimal(text, value) ? value : -1;
}
