#include "postfooter.h"

#include "platform/identity.h"
#include "rsspost.h"

#include <buildconfig.h>

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

bool RemoveFooterParagraph(QString& text) {
    const qsizetype start = FindNoCase(text, kStartTag, 0);
    if (start < 0)
        return false;
    const qsizetype end = FindNoCase(text, kEndTag, start + kStartTag.size());
    if (end < 0)
        return false;
    qsizetype cut = start;
    // The break written before the footer goes with it, so storing a text
    // again and again never piles up breaks.
    if (cut >= kBreak.size() && QStringView(text)
                                        .mid(cut - kBreak.size(), kBreak.size())
                                        .compare(kBreak, Qt::CaseInsensitive) == 0)
        cut -= kBreak.size();
    text.remove(cut, end + kEndTag.size() - cut);
    return true;
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
