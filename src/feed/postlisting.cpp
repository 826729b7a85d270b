#include "postlisting.h"

#include <charconv>
#include <cstring>

namespace {

void AppendField(QByteArray& out, const char* text) {
    const qsizetype length = static_cast<qsizetype>(std::strlen(text));
    if (std::strpbrk(text, "\t\r\n") == nullptr) {
        out.append(text, length);
        return;
    }
    for (const char* p = text; *p; ++p)
        out.append((*p == '\t' || *p == '\r' || *p == '\n') ? ' ' : *p);
}

} // namespace

bool TitleMatchesFilter(const QString& title, const QString& loweredFilter) {
    return loweredFilter.isEmpty() || title.toLower().contains(loweredFilter);
}

QByteArray FormatPostList(const CRssFeed& feed, PostOrder order, const QString& filter) {
    const QString lowered = filter.trimmed().toLower();
    QByteArray out;
    // Fields go from the tree to the output as UTF-8, without a round trip
    // through UTF-16.
    out.reserve(static_cast<qsizetype>(feed.GetPostCount()) * 96);
    for (int index : feed.SortedIndices(order)) {
        const char* title = feed.GetFieldUtf8(index, "title");
        if (!lowered.isEmpty() && !TitleMatchesFilter(QString::fromUtf8(title), lowered))
            continue;
        char number[16];
        const auto written = std::to_chars(number, number + sizeof number, index);
        out.append(number, written.ptr - number);
        out.append('\t');
        AppendField(out, title);
        out.append('\t');
        AppendField(out, feed.GetFieldUtf8(index, "pubDate"));
        out.append('\t');
        AppendField(out, feed.GetFieldUtf8(index, "link"));
        out.append('\n');
    }
    return out;
}
