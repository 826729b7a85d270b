#include "postslistmodel.h"

#include "document/postlistorder.h"
#include "feed/rssfeed.h"
#include "rowicons.h"

#include <QApplication>
#include <QPixmap>
#include <QStyle>

using namespace Qt::StringLiterals;

namespace {
// The longest tip body the list ever showed; longer descriptions are cut.
constexpr qsizetype TipBodyLimit = 1023;

// A row without an icon keeps the icon's room, so all titles line up.
const QIcon& BlankIcon() {
    static const QIcon icon = [] {
        QPixmap pixmap(16, 16);
        pixmap.fill(Qt::transparent);
        return QIcon(pixmap);
    }();
    return icon;
}

// The desktop theme's error sign, the style's when the theme has none.
const QIcon& ErrorIcon() {
    static const QIcon icon = QIcon::fromTheme(
        u"dialog-error"_s, QApplication::style()->standardIcon(QStyle::SP_MessageBoxCritical));
    return icon;
}
} // namespace

PostsListModel::PostsListModel(CRssFeed* feed, const PostListOrder* order, QObject* parent)
    : QAbstractTableModel(parent), m_feed(feed), m_order(order) {}

void PostsListModel::Refill() {
    beginResetModel();
    m_rows = m_feed ? m_order->Count() : 0;
    endResetModel();
}

void PostsListModel::RefreshRow(int row) {
    if (row >= 0 && row < m_rows)
        emit dataChanged(index(row, 0), index(row, 1));
}

void PostsListModel::SetErrorPosts(std::vector<bool> posts) {
    if (posts == m_errorPosts)
        return;
    m_errorPosts = std::move(posts);
    // Only the icons change; the rows on screen are asked again, no more.
    if (m_rows > 0)
        emit dataChanged(index(0, 0), index(m_rows - 1, 0), {Qt::DecorationRole, Qt::ToolTipRole});
}

int PostsListModel::PostOfRow(int row) const {
    if (!m_feed || row < 0 || row >= m_rows)
        return -1;
    const int post = m_order->Entry(row);
    return post >= 0 && post < m_feed->GetPostCount() ? post : -1;
}

int PostsListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rows;
}

int PostsListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QString PostsListModel::ToolTipText(const CRssFeed& feed, int post) {
    QString title = feed.GetTitle(post);
    const QString date = feed.GetPubDate(post);
    if (!date.isEmpty())
        title += u" ["_s + date + u"]"_s;
    QString body = feed.GetDescriptionText(post).trimmed();
    const QString link = feed.GetLink(post);
    if (!link.isEmpty())
        body += u"\n\n"_s + link;
    body.truncate(TipBodyLimit);

    QString html = u"<p style='white-space:pre-wrap'><b>"_s + title.toHtmlEscaped() + u"</b>"_s;
    if (!body.trimmed().isEmpty())
        html += u"<br>"_s + body.trimmed().toHtmlEscaped();
    return html + u"</p>"_s;
}

QVariant PostsListModel::data(const QModelIndex& index, int role) const {
    const int post = index.isValid() ? PostOfRow(index.row()) : -1;
    if (post < 0)
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
        // A row is one line, whatever line breaks and runs of blanks the
        // title holds in the file; editing starts from the exact text.
        return index.column() == 0 ? m_feed->GetTitleLine(post) : m_feed->GetPubDate(post);
    case Qt::EditRole:
        return index.column() == 0 ? m_feed->GetTitle(post) : m_feed->GetPubDate(post);
    case Qt::DecorationRole:
        if (index.column() == 0) {
            if (HasErrors(post))
                return ErrorIcon();
            const QIcon icon = RowIconForLink(m_feed->GetLink(post));
            return icon.isNull() ? BlankIcon() : icon;
        }
        return QVariant();
    case Qt::ToolTipRole:
        if (HasErrors(post))
            return u"<p><b>This post has errors: see Problems.</b></p>"_s +
                   ToolTipText(*m_feed, post);
        return ToolTipText(*m_feed, post);
    default:
        return QVariant();
    }
}

QVariant PostsListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    if (section == 0)
        return u"Posts - Press Ctrl+F for filtering"_s;
    if (section == 1)
        return u"Date"_s;
    return QVariant();
}

Qt::ItemFlags PostsListModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() == 0 && PostOfRow(index.row()) >= 0)
        f |= Qt::ItemIsEditable;
    return f;
}

bool PostsListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    const int post = index.isValid() ? PostOfRow(index.row()) : -1;
    if (role != Qt::EditRole || index.column() != 0 || post < 0)
        return false;
    // The same title again is no change: the date stays and nothing is marked.
    if (value.toString() == m_feed->GetTitle(post))
        return true;
    if (!m_feed->SetTitle(post, value.toString()))
        return false;
    RefreshRow(index.row());
    emit titleRenamed(post);
    return true;
}
