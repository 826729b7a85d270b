// Draws the posts list's rows: the red frame around the marked row, and the
// enlarged in-place title editor.
#pragma once

#include <QStyledItemDelegate>

class QAbstractItemView;

class PostsItemDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit PostsItemDelegate(QAbstractItemView* view);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    // A box the user left without changing its text changes nothing.
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

    // True while an in-place editor is open.
    bool IsEditing() const { return m_editing > 0; }

private:
    QAbstractItemView* m_view;
    mutable int m_editing = 0;
};
