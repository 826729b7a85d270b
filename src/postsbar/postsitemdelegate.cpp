#include "postsitemdelegate.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QLineEdit>
#include <QPainter>
#include <QTimer>

using namespace Qt::StringLiterals;

PostsItemDelegate::PostsItemDelegate(QAbstractItemView* view)
    : QStyledItemDelegate(view), m_view(view) {}

void PostsItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    QStyledItemDelegate::paint(painter, option, index);
    const QModelIndex mark = m_view->currentIndex();
    if (!mark.isValid() || mark.row() != index.row() || IsEditing())
        return;

    // One frame around the whole row: each cell draws its share of it.
    const int lastColumn = index.model()->columnCount(index.parent()) - 1;
    const QRect cell = option.rect;
    const int right = std::min(cell.right(), m_view->viewport()->width() - 2);
    const QRect box(QPoint(cell.left() + 1, cell.top() + 1), QPoint(right - 1, cell.bottom() - 1));

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    QPen pen(QColor(255, 0, 0), 2);
    pen.setJoinStyle(Qt::MiterJoin);
    pen.setCapStyle(Qt::SquareCap);
    painter->setPen(pen);
    const int top = box.top();
    const int bottom = box.bottom();
    painter->drawLine(QPoint(cell.left(), top), QPoint(right, top));
    painter->drawLine(QPoint(cell.left(), bottom), QPoint(right, bottom));
    if (index.column() == 0)
        painter->drawLine(QPoint(box.left(), top), QPoint(box.left(), bottom));
    if (index.column() == lastColumn)
        painter->drawLine(QPoint(box.right(), top), QPoint(box.right(), bottom));
    painter->restore();
}

QWidget* PostsItemDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                         const QModelIndex& index) const {
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        line->setObjectName(u"postTitleEditor"_s);
        QFont font = option.font;
        if (font.pointSizeF() > 0)
            font.setPointSizeF(int(font.pointSizeF() * 1.5));
        else
            font.setPixelSize(int(font.pixelSize() * 1.5));
        line->setFont(font);
        // Red text on the tool-tip colour makes the box stand out from the list.
        QPalette pal = line->palette();
        pal.setColor(QPalette::Base, QApplication::palette().color(QPalette::ToolTipBase));
        pal.setColor(QPalette::Text, QColor(255, 0, 0));
        line->setPalette(pal);
        line->setAutoFillBackground(true);
        line->setFrame(true);
        // After the text is set, so the whole title is ready to be typed over.
        QTimer::singleShot(0, line, &QLineEdit::selectAll);
    }
    ++m_editing;
    connect(editor, &QObject::destroyed, this, [this] {
        --m_editing;
        m_view->viewport()->update();
    });
    return editor;
}

void PostsItemDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    // The row is refreshed while it is renamed (a new post takes its author, its
    // date moves on): what the user typed, and the selected text, stay as they are.
    if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        if (line->isModified() || line->text() == index.data(Qt::EditRole).toString())
            return;
    }
    QStyledItemDelegate::setEditorData(editor, index);
}

void PostsItemDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                     const QModelIndex& index) const {
    // The box commits whenever it loses the focus; a rename that was only
    // opened and left must not renew the post's date or mark the feed modified.
    if (auto* line = qobject_cast<QLineEdit*>(editor); line && !line->isModified())
        return;
    QStyledItemDelegate::setModelData(editor, model, index);
}

void PostsItemDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                             const QModelIndex& index) const {
    QStyledItemDelegate::updateEditorGeometry(editor, option, index);
    // Twice the row height, so the larger text fits; the width follows the cell.
    QRect rect = editor->geometry();
    rect.setHeight(std::max(rect.height(), option.rect.height() * 2));
    rect.setRight(std::max(rect.right(), m_view->viewport()->width() - 2));
    editor->setGeometry(rect);
}
