#include "document/postlistorder.h"

#include <algorithm>
#include <numeric>

void PostListOrder::Reset(int count) {
    m_entries.resize(qMax(count, 0));
    std::iota(m_entries.begin(), m_entries.end(), 0);
    Changed();
}

void PostListOrder::Sort(const CRssFeed& feed, PostSortMode mode) {
    Changed();
    const int count = feed.GetPostCount();
    // Entries past the end of the feed keep their place at the back.
    const auto inRange = [count](int post) { return post >= 0 && post < count; };
    const auto firstStale = std::stable_partition(m_entries.begin(), m_entries.end(), inRange);

    switch (mode) {
    case PostSortMode::ByPosition:
        std::sort(m_entries.begin(), firstStale);
        break;
    case PostSortMode::ByTitle: {
        const auto sorted = firstStale - m_entries.begin();
        feed.SortByTitle(m_entries.data(), m_entries.data() + sorted);
        break;
    }
    case PostSortMode::ByDate: {
        const std::vector<qint64> dates = feed.CollectDateKeys();
        // Newest first.
        std::stable_sort(m_entries.begin(), firstStale,
                         [&dates](int a, int b) { return dates[a] > dates[b]; });
        break;
    }
    }
}

int PostListOrder::FindRow(int post) const {
    if (!m_rowsKnown) {
        m_rowOf.clear();
        m_rowOf.reserve(m_entries.size());
        // Walked from the back, so the first row of a repeated post is the one kept.
        for (qsizetype row = m_entries.size() - 1; row >= 0; --row)
            m_rowOf.insert(m_entries.at(row), static_cast<int>(row));
        m_rowsKnown = true;
    }
    return m_rowOf.value(post, -1);
}

int PostListOrder::Entry(int row) const {
    if (row < 0 || row >= m_entries.size())
        return -1;
    return m_entries.at(row);
}

QString PostListOrder::NormalizeFilterText(const QString& typed) {
    QString text = typed.toLower();
    qsizetype begin = 0;
    qsizetype end = text.size();
    const auto isBlank = [](QChar c) { return c == u' ' || c == u'\t'; };
    while (begin < end && isBlank(text.at(begin)))
        ++begin;
    while (end > begin && isBlank(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

bool PostListOrder::TitleMatches(const QString& title, const QString& normalizedFilter) {
    if (normalizedFilter.isEmpty())
        return true;
    return title.toLower().contains(normalizedFilter);
}

int PostListOrder::ApplyFilter(const CRssFeed& feed, const QString& typedFilter) {
    const QString filter = NormalizeFilterText(typedFilter);
    const int count = feed.GetPostCount();
    m_entries.clear();
    Changed();
    if (filter.isEmpty()) {
        Reset(count);
        return count;
    }
    for (int post = 0; post < count; ++post) {
        if (TitleMatches(feed.GetTitle(post), filter))
            m_entries.append(post);
    }
    return Count();
}
