// The findings of the Problems pane as rows: message with its severity's
// icon, the post's title, the line, and the fix on offer.
#pragma once

#include "validate/feedvalidator.h"

#include <QAbstractTableModel>
#include <vector>

class CRssFeed;

class ProblemsModel final : public QAbstractTableModel {
public:
    ProblemsModel(const CRssFeed& feed, const std::vector<Finding>& findings, QObject* parent)
        : QAbstractTableModel(parent), m_feed(feed), m_findings(findings) {}

    // The findings change between the two: the views let go of every row first.
    void beginReset() { beginResetModel(); }
    void endReset() { endResetModel(); }
    int rowCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() ? 0 : static_cast<int>(m_findings.size());
    }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() ? 0 : 4;
    }
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return QVariant();
        static const char* const titles[] = {"Problem", "Post", "Line", "Fix"};
        return section >= 0 && section < 4 ? QString::fromLatin1(titles[section]) : QVariant();
    }

private:
    const CRssFeed& m_feed;
    const std::vector<Finding>& m_findings;
};
