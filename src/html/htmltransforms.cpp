#include "html/htmltransforms.h"

using namespace Qt::StringLiterals;

namespace {

const QString kStartSelection = u"<!--StartSelection-->"_s;
const QString kEndSelection = u"<!--EndSelection-->"_s;

// Simple (one-to-one) lower-casing, so every position in the result is the
// position in the original; full case mapping would change lengths.
QString LowerKeepingPositions(const QString& text) {
    QString out = text;
    const qsizetype n = out.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = out[i];
        if (c.isHighSurrogate() && i + 1 < n && out[i + 1].isLowSurrogate()) {
            const char32_t lower = QChar::toLower(QChar::surrogateToUcs4(c, out[i + 1]));
            if (QChar::requiresSurrogates(lower)) {
                out[i] = QChar(QChar::highSurrogate(lower));
                out[i + 1] = QChar(QChar::lowSurrogate(lower));
            }
            ++i;
        } else {
            out[i] = c.toLower();
        }
    }
    return out;
}

void RemoveAllNoCase(QString& text, const QString& what) {
    qsizetype pos = FindNoCase(text, what, 0, false);
    while (pos >= 0) {
        text.remove(pos, what.size());
        pos = FindNoCase(text, what, pos, false);
    }
}

bool IsAsciiLetter(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// Where the markup that starts at pos ('<') ends (one past it). Quoted
// attribute values may hold '>' and '<'; the browser writes them unescaped.
qsizetype MarkupEnd(const QString& text, qsizetype pos) {
    const qsizetype n = text.size();
    if (QStringView(text).mid(pos, 4) == u"<!--") {
        const qsizetype end = text.indexOf(u"-->"_s, pos + 4);
        return end < 0 ? n : end + 3;
    }
    QChar quote;
    for (qsizetype i = pos + 1; i < n; ++i) {
        const QChar c = text[i];
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == u'"' || c == u'\'') {
            quote = c;
        } else if (c == u'>') {
            return i + 1;
        }
    }
    return n;
}

// The raw-text element a start tag opens ("script" or "style"), else empty:
// their content is not text with entities and stays as it is.
QString RawTextElement(const QString& text, qsizetype pos, qsizetype end) {
    for (const QString& name : {u"script"_s, u"style"_s}) {
        const qsizetype after = pos + 1 + name.size();
        if (after < end &&
            QStringView(text).mid(pos + 1, name.size()).compare(name, Qt::CaseInsensitive) == 0 &&
            !text[after].isLetterOrNumber())
            return name;
    }
    return {};
}

// Turns "&quot;" into a double quote in the text between tags only: inside a
// tag the entity is what keeps a quoted attribute value whole.
void UnescapeQuotesInText(QString& text) {
    const QString entity = u"&quot;"_s;
    QString out;
    out.reserve(text.size());
    const qsizetype n = text.size();
    qsizetype pos = 0;
    while (pos < n) {
        qsizetype lt = text.indexOf(u'<', pos);
        // A '<' that opens no markup is plain text (the browser never writes one).
        while (lt >= 0 && lt + 1 < n && !IsAsciiLetter(text[lt + 1]) && text[lt + 1] != u'/' &&
               text[lt + 1] != u'!' && text[lt + 1] != u'?')
            lt = text.indexOf(u'<', lt + 1);
        if (lt < 0 || lt + 1 >= n)
            lt = n;
        out += QStringView(text).mid(pos, lt - pos).toString().replace(entity, u"\""_s);
        if (lt >= n)
            break;
        qsizetype end = MarkupEnd(text, lt);
        const QString raw = RawTextElement(text, lt, end);
        if (!raw.isEmpty()) {
            const qsizetype close = FindNoCase(text, u"</"_s + raw, end, false);
            end = close < 0 ? n : MarkupEnd(text, close);
        }
        out += QStringView(text).mid(lt, end - lt);
        pos = end;
    }
    text = out;
}

bool IsTrimmed(QChar c) {
    return c == u'\r' || c == u'\n' || c == u'\t' || c == u' ';
}

} // namespace

qsizetype FindNoCase(const QString& text, const QString& pattern, qsizetype start,
                     bool caseSensitive) {
    if (start < 0)
        start = 0;
    if (start > text.size())
        return -1;
    if (caseSensitive)
        return text.indexOf(pattern, start);
    return LowerKeepingPositions(text).indexOf(LowerKeepingPositions(pattern), start);
}

QString TextBetween(const QString& text, const QString& a, const QString& b) {
    const qsizetype p = text.indexOf(a);
    if (p < 0)
        return {};
    const qsizetype q = text.indexOf(b, p + a.size());
    if (q < 0)
        return {};
    return text.mid(p + a.size(), q - p - a.size());
}

QString CleanBodyHtml(const QString& html) {
    QString text = html;
    const qsizetype body = text.indexOf(u"<body>"_s);
    if (body >= 0)
        text = text.mid(body + 6);
    const qsizetype end = text.indexOf(u"</body>"_s);
    if (end >= 0)
        text.truncate(end);
    for (const QString& what : {kStartSelection, kEndSelection, u"&#x0D;"_s, u"&#x0A;"_s})
        RemoveAllNoCase(text, what);
    UnescapeQuotesInText(text);
    qsizetype b = 0;
    qsizetype e = text.size();
    while (b < e && IsTrimmed(text[b]))
        ++b;
    while (e > b && IsTrimmed(text[e - 1]))
        --e;
    return text.mid(b, e - b);
}

QString ExtractLinkRun(const QString& text) {
    const qsizetype s = text.indexOf(kStartSelection);
    if (s < 0)
        return {};
    const qsizetype e = text.indexOf(kEndSelection, s + kStartSelection.size());
    if (e < 0)
        return {};
    const qsizetype n = text.indexOf(u'<', e + 1);
    if (n < 0)
        return {};
    const qsizetype g = text.lastIndexOf(u'>', s);
    if (g < 0)
        return {};
    QString run = text.mid(g + 1, n - g - 1);
    run.remove(kStartSelection);
    run.remove(kEndSelection);
    return run;
}

bool RemoveBetween(QString& text, const QString& a, const QString& b) {
    const qsizetype p = text.indexOf(a);
    if (p < 0)
        return false;
    const qsizetype q = text.indexOf(b, p + a.size());
    if (q < 0)
        return false;
    text.remove(p, q + b.size() - p);
    return true;
}

bool RemoveSpansAndStyles(QString& text) {
    if (text.isEmpty())
        return false;
    const QString doubleQuoted = u"style=\""_s;
    const QString pairs[][2] = {
        {u"<span"_s, u">"_s}, {doubleQuoted, u"\""_s}, {u"style='"_s, u"'"_s}};
    bool removed = false;
    for (bool pass = true; pass;) {
        pass = false;
        for (const auto& pair : pairs)
            pass = RemoveBetween(text, pair[0], pair[1]) || pass;
        removed = removed || pass;
    }
    if (removed) {
        text.remove(u"</span>"_s);
        while (RemoveBetween(text, doubleQuoted, u"\""_s)) {
        }
    }
    return removed;
}

bool ReplaceTexts(QString& text, const QStringList& texts) {
    bool replaced = false;
    for (const QString& what : texts) {
        // An empty entry would match everywhere; it replaces nothing.
        if (what.isEmpty() || !text.contains(what))
            continue;
        text.replace(what, u" "_s);
        replaced = true;
    }
    return replaced;
}

void BreakAroundTags(QString& text) {
    const QString crlf = u"\r\n"_s;
    BreakAtTag(text, u"</P>"_s, crlf);
    BreakAtTag(text, u"<BR>"_s, crlf);
    BreakAtTag(text, u"<P>"_s, crlf);
}

void BreakAtTag(QString& text, const QString& tag, const QString& br) {
    if (tag.isEmpty())
        return;
    const qsizetype l = br.size();
    const bool closing = IsClosingTag(tag);
    // Built in one pass: inserting into the text at each tag would move the
    // rest of it every time, which a long post cannot afford. A break is
    // never part of a tag, so the tags found in the text as it was are the
    // ones the finished text holds.
    const QString lower = LowerKeepingPositions(text);
    const QString lowerTag = LowerKeepingPositions(tag);
    QString out;
    qsizetype copied = 0;
    qsizetype pos = lower.indexOf(lowerTag, 0);
    if (pos < 0)
        return;
    out.reserve(text.size() + text.size() / 16);
    while (pos >= 0) {
        qsizetype next;
        if (closing) {
            out += QStringView(text).mid(copied, pos - copied);
            if (out.size() >= l && QStringView(out).right(l) != br)
                out += br;
            copied = pos;
            next = pos + tag.size();
        } else {
            const qsizetype a = pos + tag.size();
            out += QStringView(text).mid(copied, a - copied);
            copied = a;
            if (text.size() - a >= l) {
                if (QStringView(text).mid(a, l) != br) {
                    out += br;
                    next = a;
                } else {
                    next = a + l;
                }
            } else {
                next = a;
            }
        }
        pos = lower.indexOf(lowerTag, next);
    }
    out += QStringView(text).mid(copied);
    text = out;
}

bool IsClosingTag(const QString& tag) {
    return tag.size() >= 2 && tag.startsWith(u"</"_s);
}
