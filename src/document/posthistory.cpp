#include "document/posthistory.h"

int PostHistory::TakeBackTarget() {
    const qsizetype n = m_entries.size();
    if (n < 2)
        return -1;
    const int target = m_entries.at(n - 2);
    m_entries.resize(n - 2);
    return target;
}

void PostHistory::OnHint(DocHint hint, const HintParam& param) {
    if (hint == HintPostsInserted) {
        for (int& entry : m_entries)
            ++entry;
    } else if (hint == HintPostDeleted) {
        const int removed = param.post;
        m_entries.removeAll(removed);
        for (int& entry : m_entries) {
            if (entry > removed)
                --entry;
        }
    }
}
