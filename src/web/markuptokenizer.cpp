#include "web/markuptokenizer.h"

namespace {

constexpr qsizetype MaxTokenLength = 1023;
constexpr qsizetype MaxTagNameLength = 127;
constexpr int MaxEntityNameLength = 31;

bool isSpace(char32_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

bool isAsciiAlnum(char32_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
}

} // namespace

MarkupTokenizer::MarkupTokenizer(const char* utf8, qsizetype length)
    : m_data(utf8), m_length(utf8 ? length : 0) {}

char32_t MarkupTokenizer::decode() {
    if (m_pos >= m_length)
        return 0;
    const auto lead = uchar(m_data[m_pos++]);
    if (lead < 0x80)
        return lead;
    int following = 0;
    char32_t c = 0;
    if ((lead & 0xE0) == 0xC0) {
        following = 1;
        c = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        following = 2;
        c = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        following = 3;
        c = lead & 0x07;
    } else {
        return u'?';
    }
    for (int i = 0; i < following && m_pos < m_length; ++i) {
        const auto byte = uchar(m_data[m_pos]);
        if ((byte & 0xC0) != 0x80)
            return u'?';
        c = (c << 6) | (byte & 0x3F);
        ++m_pos;
    }
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return u'?';
    return c;
}

char32_t MarkupTokenizer::peek() {
    if (!m_hasPeeked) {
        m_peeked = decode();
        m_hasPeeked = true;
    }
    return m_peeked;
}

char32_t MarkupTokenizer::get() {
    const char32_t c = peek();
    // The end stays the end: a zero byte is never stepped over.
    if (c != 0)
        m_hasPeeked = false;
    return c;
}

void MarkupTokenizer::append(QString& to, char32_t c) {
    const qsizetype units = c > 0xFFFF ? 2 : 1;
    if (to.size() + units > MaxTokenLength)
        return;
    const char32_t one[] = {c};
    to.append(QString::fromUcs4(one, 1));
}

MarkupTokenizer::TokenType MarkupTokenizer::next() {
    if (m_inTag)
        return scanInTag();
    m_text.clear();
    const char32_t first = peek();
    if (first == 0)
        return EndOfInput;
    if (first == u'<') {
        get();
        return scanTag();
    }
    if (first == u'&') {
        get();
        scanEntity();
        return Word;
    }
    const bool space = isSpace(first);
    for (char32_t c = peek(); c != 0 && c != u'<' && c != u'&' && isSpace(c) == space; c = peek())
        append(m_text, get());
    return space ? Space : Word;
}

void MarkupTokenizer::scanEntity() {
    QString name;
    // A leading "#" keeps numeric references whole for the title cleaner.
    if (peek() == u'#')
        name.append(QChar(char16_t(get())));
    while (name.size() < MaxEntityNameLength && isAsciiAlnum(peek()))
        name.append(QChar(char16_t(get())));
    const bool terminated = peek() == u';';
    if (terminated)
        get();
    if (terminated && name == u"lt")
        m_text = QStringLiteral("<");
    else if (terminated && name == u"gt")
        m_text = QStringLiteral(">");
    else if (terminated && name == u"amp")
        m_text = QStringLiteral("&");
    else if (terminated && name == u"apos")
        m_text = QStringLiteral("'");
    else if (terminated && name == u"quot")
        m_text = QStringLiteral("\"");
    else
        m_text = u'&' + name + (terminated ? QStringLiteral(";") : QString());
}

MarkupTokenizer::TokenType MarkupTokenizer::scanTag() {
    m_endTag = false;
    m_tagName.clear();
    if (peek() == u'/') {
        get();
        m_endTag = true;
    }
    for (char32_t c = peek(); c != 0 && !isSpace(c) && c != u'/' && c != u'>'; c = peek()) {
        get();
        if (m_tagName.size() < MaxTagNameLength)
            m_tagName.append(c < 0x80 ? char(c) : '?');
        if (!m_endTag && m_tagName == "!--")
            return scanUntil(QStringLiteral("-->"));
        if (!m_endTag && m_tagName == "![CDATA[")
            return scanUntil(QStringLiteral("]]>"));
    }
    if (!m_endTag && m_tagName == "!ENTITY")
        return scanDeclaration();
    if (m_tagName.isEmpty() && !m_endTag && peek() != u'>') {
        // A lone "<" in text, as in "a < b".
        m_text = QStringLiteral("<");
        return Word;
    }
    m_inTag = true;
    return m_endTag ? EndTag : StartTag;
}

MarkupTokenizer::TokenType MarkupTokenizer::scanUntil(const QString& terminator) {
    m_text.clear();
    QString content;
    for (char32_t c = get(); c != 0; c = get()) {
        const char32_t one[] = {c};
        content.append(QString::fromUcs4(one, 1));
        if (content.endsWith(terminator)) {
            content.chop(terminator.size());
            m_text = content.left(MaxTokenLength);
            return Data;
        }
    }
    m_text = content.left(MaxTokenLength);
    return Error;
}

MarkupTokenizer::TokenType MarkupTokenizer::scanDeclaration() {
    m_text.clear();
    bool quoted = false;
    for (char32_t c = get(); c != 0; c = get()) {
        if (c == u'"')
            quoted = !quoted;
        else if (c == u'>' && !quoted)
            return Data;
        append(m_text, c);
    }
    return Error;
}

MarkupTokenizer::TokenType MarkupTokenizer::scanInTag() {
    while (isSpace(peek()))
        get();
    const char32_t c = peek();
    if (c == 0) {
        m_inTag = false;
        return Error;
    }
    if (c == u'>') {
        get();
        m_inTag = false;
        return next();
    }
    if (c == u'/') {
        get();
        if (peek() == u'>') {
            get();
            m_inTag = false;
            if (!m_endTag)
                return EndTag;
            return next();
        }
        return scanInTag();
    }
    m_attributeName.clear();
    m_text.clear();
    for (char32_t a = peek(); a != 0 && !isSpace(a) && a != u'=' && a != u'>' && a != u'/';
         a = peek())
        append(m_attributeName, get());
    while (isSpace(peek()))
        get();
    if (peek() != u'=')
        return Attribute;
    get();
    while (isSpace(peek()))
        get();
    const char32_t quote = peek();
    if (quote == u'"' || quote == u'\'') {
        get();
        for (char32_t v = get(); v != 0 && v != quote; v = get())
            append(m_text, v);
    } else {
        for (char32_t v = peek(); v != 0 && !isSpace(v) && v != u'>'; v = peek())
            append(m_text, get());
    }
    return Attribute;
}

bool findElementText(const char* utf8, qsizetype length, const QString& tagName, QString& text) {
    MarkupTokenizer tokenizer(utf8, length);
    const QByteArray wanted = tagName.toLatin1();
    bool inside = false;
    for (;;) {
        switch (tokenizer.next()) {
        case MarkupTokenizer::EndOfInput:
            return false;
        case MarkupTokenizer::StartTag:
            if (tokenizer.tagName().compare(wanted, Qt::CaseInsensitive) == 0)
                inside = true;
            break;
        case MarkupTokenizer::EndTag:
            if (inside && tokenizer.tagName().compare(wanted, Qt::CaseInsensitive) == 0)
                return true;
            break;
        case MarkupTokenizer::Word:
        case MarkupTokenizer::Space:
            if (inside)
                text += tokenizer.text();
            break;
        default:
            break;
        }
    }
}
