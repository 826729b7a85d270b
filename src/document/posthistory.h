// The posts a document has shown, oldest first, for the Back command.
#pragma once

#include "document/hints.h"

#include <QList>

class PostHistory final {
public:
    // Appends a shown post; duplicates, adjacent ones too, are kept.
    void Add(int post) { m_entries.append(post); }
    bool CanGoBack() const { return m_entries.size() > 1; }
    // The entry before the last one, after taking the last two out (the select
    // that shows it appends it again); -1 when there is nothing to go back to.
    int TakeBackTarget();
    // Keeps the entries pointing at the same posts after an insertion at the
    // front (HintPostsInserted) or a removal (HintPostDeleted).
    void OnHint(DocHint hint, const HintParam& param);

    // Drops every entry of a post at or past count (the feed was reloaded
    // with fewer posts).
    void KeepBelow(int count) {
        m_entries.removeIf([count](int entry) { return entry >= count; });
    }

    const QList<int>& Entries() const { return m_entries; }
    void Clear() { m_entries.clear(); }

private:
    QList<int> m_entries;
};
