// The row order of a posts list: row r shows the post whose index is entry r.
// Shared by the posts bar and the command-line tool.
#pragma once

#include "feed/rssfeed.h"

#include <QHash>
#include <QList>
#include <QString>

// The order the posts list sorts by; kept by the document.
using PostSortMode = PostOrder;

class PostListOrder final {
public:
    // All posts in feed order: 0 .. count-1.
    void Reset(int count);
    // Sorts the entries in place (a filtered order stays filtered). Keys are
    // read once per sort, so large feeds sort quickly.
    void Sort(const CRssFeed& feed, PostSortMode mode);
    // Row of a post index (first match), -1 when absent. Looked up in an index
    // built once per change of the order, so a selection does not walk every row.
    int FindRow(int post) const;
    // Post index of a row, -1 when the row is out of range.
    int Entry(int row) const;
    void Clear() {
        m_entries.clear();
        Changed();
    }
    void Append(int post) {
        m_entries.append(post);
        Changed();
    }
    int Count() const { return static_cast<int>(m_entries.size()); }
    bool IsEmpty() const { return m_entries.isEmpty(); }
    const QList<int>& Entries() const { return m_entries; }

    // The filter text as typed, lower-cased and trimmed of blanks and tabs.
    static QString NormalizeFilterText(const QString& typed);
    // True when the title contains the normalised filter text (an empty
    // filter matches everything).
    static bool TitleMatches(const QString& title, const QString& normalizedFilter);
    // Replaces the entries by the posts whose title matches, in feed order;
    // returns the number of matches.
    int ApplyFilter(const CRssFeed& feed, const QString& typedFilter);

private:
    void Changed() { m_rowsKnown = false; }

    QList<int> m_entries;
    // Post index -> first row showing it; valid while m_rowsKnown.
    mutable QHash<int, int> m_rowOf;
    mutable bool m_rowsKnown = false;
};
