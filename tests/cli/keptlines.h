// Checking that a saved feed kept every line it had, in order.
#pragma once

#include <QByteArray>
#include <QList>

// Every line of before is in after, in order; only the rss line may have
// gained namespace declarations. Lines after holds beyond those are returned.
inline bool KeptInOrder(const QByteArray& before, const QByteArray& after,
                        QList<QByteArray>* added) {
    const QList<QByteArray> old = before.split('\n');
    const QList<QByteArray> now = after.split('\n');
    qsizetype j = 0;
    for (const QByteArray& line : old) {
        while (j < now.size() && now[j] != line &&
               !(line.startsWith("<rss ") && now[j].startsWith(line.chopped(1) + ' ')))
            added->append(now[j++]);
        if (j == now.size())
            return false;
        ++j;
    }
    added->append(now.mid(j));
    added->removeAll(QByteArray());
    return true;
}
