// The posts list's rows: row r shows the post at entry r of the row order,
// read from the feed at the moment the view asks.
#pragma once

#include <QAbstractTableModel>

#include <vector>

class CRssFeed;
class PostListOrder;

class PostsListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    // Neither the feed nor the order is owned; the feed may be null.
    PostsListModel(CRssFeed* feed, const PostListOrder* order, QObject* parent = nullptr);

    // The order or the feed changed as a whole: every row is asked again.
    void Refill();
    // One row's texts or icon changed.
    void RefreshRow(int row);
    // Posts the validator found errors in, by post index (shorter than the
    // feed: the rest have none); their rows show an error sign.
    void SetErrorPosts(std::vector<bool> posts);
    bool HasErrors(int post) const {
        return post >= 0 && static_cast<size_t>(post) < m_errorPosts.size() &&
               m_errorPosts[static_cast<size_t>(post)];
    }
    // Post index shown in a row, or -1 for a row past the feed's end.
    int PostOfRow(int row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    // The tool tip of a post: title and date, the description as plain text, the link.
    static QString ToolTipText(const CRssFeed& feed, int post);

signals:
    // An in-place rename was stored in the feed.
    void titleRenamed(int post);

private:
    CRssFeed* m_feed;
    const PostListOrder* m_order;
    int m_rows = 0;
    std::vector<bool> m_errorPosts;
};
