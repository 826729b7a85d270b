#include "postfooter.h"

#include "platform/identity.h"
#include "rsspost.h"

#include <buildconfig.h>

#include <QRegularExpression>

namespace {

const QLatin1String kStartTag("<p name=\"ADV\">");
const QLatin1String kEndTag("</p>");
const QLatin1String kBreak("<BR>");

} // namespace

QString MakePostFooter() {
    QString opening = QStringLiteral(
        "<A HREF=\"%URL_HOME%\" TARGET=_blank TITLE=\"Post created by Orvan - free visual RSS "
        "editor\"><IMG SRC=");
    opening += QLatin1Char('"') + QStringLiteral(ORVAN_URL_ICON_32) + QLatin1Char('"');
    opening +=
        QStringLiteral(" STYLE=\"{float: left;}\" BORDER=0 ALT=\"Orvan Home\" HSPACE=10 WIDTH=22>");
    opening.replace(QStringLiteral("%URL_HOME%"), ProductHomeUrl());
    return kStartTag + opening +
           QStringLiteral("<FONT COLOR=maroon SIZE=-1 FACE=\"Trebuchet MS;\">") +
           QStringLiteral("&nbsp;<CODE>This post created by Orvan</CODE>") + QStringLiteral(" v") +
           VersionInfo().GetVersionText() + QStringLiteral(" (released: ") + BuildDateText() +
           QLatin1Char(')') + QChar(0x2026) + QStringLiteral("</FONT>") + QStringLiteral("</A>") +
           kEndTag;
}

qsizetype FindNoCase(const QString& text, const QString& part, qsizetype start) {
    if (start < 0 || start > text.size())
        return -1;
    const qsizetype exact = text.indexOf(part, start);
    if (exact >= 0)
        return exact;
    return text.toUpper().indexOf(part.toUpper(), start);
}

namespace {

// Case-insensitive search without copying the text, so long descriptions
// with many tags stay linear.
qsizetype Find(const QString& text, QLatin1String part, qsizetype start) {
    return text.indexOf(part, start, Qt::CaseInsensitive);
}

// One past the '>' that ends the tag starting at pos, honouring quoted
// attribute values; -1 when the tag is not closed.
qsizetype TagEnd(const QString& text, qsizetype pos) {
    QChar quote;
    for (qsizetype i = pos + 1; i < text.size(); ++i) {
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
    return -1;
}

// Whether the start tag text (from '<' to '>') opens the element name.
bool OpensElement(QStringView tag, QLatin1String name) {
    if (tag.size() < name.size() + 2 || tag.mid(1, name.size()).compare(name, Qt::CaseInsensitive))
        return false;
    const QChar after = tag[name.size() + 1];
    return after == u'>' || after == u'/' || after.isSpace();
}

// A paragraph start tag carrying name="ADV" however the browser or an older
// version wrote it (any case, any quotes, other attributes beside it).
bool IsFooterStartTag(QStringView tag) {
    static const QRegularExpression name(
        QStringLiteral("\\sname\\s*=\\s*(\"ADV\"|'ADV'|ADV(?=[\\s/>]))"),
        QRegularExpression::CaseInsensitiveOption);
    return OpensElement(tag, QLatin1String("p")) && name.match(tag).hasMatch();
}

// Whether what lies between the tags is only room: blanks, line breaks,
// non-breaking spaces and <br>.
bool IsOnlyRoom(QString text) {
    text.replace(QRegularExpression(QStringLiteral("<br\\s*/?>|&nbsp;|\u00a0"),
                                    QRegularExpression::CaseInsensitiveOption),
                 QString());
    return text.trimmed().isEmpty();
}

struct Span {
    qsizetype start = -1;
    qsizetype end = -1;
};

// The program's home link inside a footer paragraph's content: the first
// link whose content names the program as the post's maker.
Span FooterLink(const QString& inner) {
    qsizetype pos = Find(inner, QLatin1String("<a"), 0);
    while (pos >= 0) {
        const qsizetype tagEnd = TagEnd(inner, pos);
        if (tagEnd < 0)
            return {};
        const qsizetype close = Find(inner, QLatin1String("</a>"), tagEnd);
        if (close < 0)
            return {};
        if (OpensElement(QStringView(inner).mid(pos, tagEnd - pos), QLatin1String("a")) &&
            QStringView(inner)
                .mid(tagEnd, close - tagEnd)
                .contains(QLatin1String("created by"), Qt::CaseInsensitive))
            return {pos, close + 4};
        pos = Find(inner, QLatin1String("<a"), pos + 2);
    }
    return {};
}

} // namespace

bool RemoveFooterParagraph(QString& text) {
    qsizetype from = 0;
    for (;;) {
        const qsizetype start = Find(text, QLatin1String("<p"), from);
        if (start < 0)
            return false;
        const qsizetype tagEnd = TagEnd(text, start);
        if (tagEnd < 0)
            return false;
        if (!IsFooterStartTag(QStringView(text).mid(start, tagEnd - start))) {
            from = start + 2;
            continue;
        }
        const qsizetype end = Find(text, kEndTag, tagEnd);
        if (end < 0)
            return false;
        const QString inner = text.mid(tagEnd, end - tagEnd);
        const Span link = FooterLink(inner);
        // A paragraph without the home link is the user's own (the browser
        // copies name="ADV" into a paragraph split off the footer's).
        if (link.start < 0) {
            from = end + kEndTag.size();
            continue;
        }
        // Whatever was typed into the footer paragraph besides the link stays,
        // as a paragraph of its own before the footer.
        QString kept;
        const QString rest = inner.left(link.start) + inner.mid(link.end);
        if (!IsOnlyRoom(rest))
            kept = QStringLiteral("<p>") + rest + QStringLiteral("</p>");
        qsizetype cut = start;
        // The break written before the footer goes with it, so storing a text
        // again and again never piles up breaks.
        if (cut >= kBreak.size() && QStringView(text)
                                            .mid(cut - kBreak.size(), kBreak.size())
                                            .compare(kBreak, Qt::CaseInsensitive) == 0)
            cut -= kBreak.size();
        text.replace(cut, end + kEndTag.size() - cut, kept);
        return true;
    }
}

QString ApplyPostFooter(const QString& text) {
    QString result = text;
    for (int removed = 0; removed < 101 && RemoveFooterParagraph(result); ++removed) {
    }
    if (result.isEmpty())
        return result;
    return result + kBreak + MakePostFooter();
}

void InstallPostFooterFilter() {
    SetDescriptionFilter([](const QString& text, int) { return ApplyPostFooter(text); });
}
