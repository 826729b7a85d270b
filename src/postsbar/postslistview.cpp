#include "postslistview.h"

#include "postsitemdelegate.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QWindow>

using namespace Qt::StringLiterals;

namespace {
const QChar Ellipsis(0x2026);
} // namespace

PostsListView::PostsListView(QWidget* parent)
    : QTreeView(parent), m_delegate(new PostsItemDelegate(this)) {
    setObjectName(u"postsList"_s);
    setItemDelegate(m_delegate);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setAlternatingRowColors(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    setTextElideMode(Qt::ElideRight);
    setIconSize(QSize(16, 16));
    header()->setSectionsMovable(false);
    header()->setSectionsClickable(true);
    header()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header(), &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { emit headerMenuRequested(header()->mapToGlobal(pos)); });

    // Odd rows a little darker than the list (lighter on a black list).
    QPalette pal = palette();
    const QColor base = pal.color(QPalette::Base);
    const int step = (base.red() < 20 || base.green() < 20 || base.blue() < 20) ? 20 : -20;
    pal.setColor(QPalette::AlternateBase,
                 QColor(base.red() + step, base.green() + step, base.blue() + step));
    setPalette(pal);

    m_dotsTimer.setInterval(500);
    connect(&m_dotsTimer, &QTimer::timeout, this, &PostsListView::AdvanceDots);
}

void PostsListView::SetEmptyText(const QString& text) {
    m_emptyText = text;
    m_dots = text.endsWith(Ellipsis) ? 1 : 0;
    StartAnimationIfEmpty();
    viewport()->update();
}

QString PostsListView::EmptyTextShown() const {
    QString text = m_emptyText.isEmpty() ? u"No items"_s : m_emptyText;
    if (text.endsWith(Ellipsis))
        text.chop(1);
    return text + QString(m_dots, Ellipsis);
}

bool PostsListView::IsEditing() const {
    return state() == QAbstractItemView::EditingState || m_delegate->IsEditing();
}

int PostsListView::MarkedRow() const {
    const QModelIndex mark = currentIndex();
    return mark.isValid() ? mark.row() : -1;
}

void PostsListView::StartAnimationIfEmpty() {
    const bool empty = !model() || model()->rowCount() == 0;
    if (empty && !m_hadRows && !m_dotsTimer.isActive())
        m_dotsTimer.start();
}

void PostsListView::AdvanceDots() {
    if (model() && model()->rowCount() > 0) {
        m_hadRows = true;
        m_dotsTimer.stop();
        return;
    }
    m_dots = m_dots % 3 + 1;
    viewport()->update();
}

void PostsListView::rowsInserted(const QModelIndex& parent, int start, int end) {
    QTreeView::rowsInserted(parent, start, end);
    viewport()->update();
}

void PostsListView::reset() {
    QTreeView::reset();
    if (model() && model()->rowCount() > 0) {
        m_hadRows = true;
        m_dotsTimer.stop();
    } else {
        StartAnimationIfEmpty();
    }
    viewport()->update();
}

void PostsListView::paintEvent(QPaintEvent* event) {
    if (model() && model()->rowCount() > 0) {
        QTreeView::paintEvent(event);
        return;
    }
    QPainter painter(viewport());
    const QRect area = viewport()->rect();
    painter.fillRect(area, palette().color(QPalette::Base));
    painter.setPen(palette().color(QPalette::Disabled, QPalette::Text));
    painter.setFont(font());
    QString text = EmptyTextShown();
    // Too wide for one line: break at the first blank from the middle on.
    if (painter.fontMetrics().horizontalAdvance(text) > area.width()) {
        const qsizetype blank = text.indexOf(u' ', text.size() / 2);
        if (blank > 0)
            text[blank] = u'\n';
    }
    painter.drawText(area, Qt::AlignCenter, text);
}

bool PostsListView::event(QEvent* event) {
    // Tab goes to the editor instead of moving the focus along.
    if (event->type() == QEvent::KeyPress && !IsEditing()) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab && key->modifiers() == Qt::NoModifier) {
            emit goToEditor();
            return true;
        }
    }
    return QTreeView::event(event);
}

bool PostsListView::viewportEvent(QEvent* event) {
    const bool handled = QTreeView::viewportEvent(event);
    if (event->type() == QEvent::Resize)
        emit viewportResized();
    return handled;
}

void PostsListView::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && !IsEditing()) {
        emit goToEditor();
        return;
    }
    QTreeView::keyPressEvent(event);
}

void PostsListView::mousePressEvent(QMouseEvent* event) {
    // The empty area below the rows moves the whole window, like a caption.
    if (event->button() == Qt::LeftButton && !indexAt(event->position().toPoint()).isValid()) {
        QWidget* top = window();
        if (top && !top->isMaximized() && !top->isFullScreen() && top->windowHandle() &&
            top->windowHandle()->startSystemMove()) {
            event->accept();
            return;
        }
    }
    QTreeView::mousePressEvent(event);
}

void PostsListView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton) {
        emit goToEditor();
        event->accept();
        return;
    }
    QTreeView::mouseDoubleClickEvent(event);
}

void PostsListView::contextMenuEvent(QContextMenuEvent* event) {
    emit listMenuRequested(event->globalPos());
    event->accept();
}
