// The list of the posts bar: a flat two-column tree view that shows an
// animated text while it has no rows, hands Enter, Tab and double clicks to
// the editor, and lets the main window be dragged by its empty area.
#pragma once

#include <QTimer>
#include <QTreeView>

class PostsItemDelegate;

class PostsListView final : public QTreeView {
    Q_OBJECT
public:
    explicit PostsListView(QWidget* parent = nullptr);

    // The text shown while there are no rows (a blank text shows "No items").
    void SetEmptyText(const QString& text);
    // The text as painted now, with its animated dots.
    QString EmptyTextShown() const;
    PostsItemDelegate* Delegate() const { return m_delegate; }
    bool IsEditing() const;
    // The row the list has marked (its current row), or -1.
    int MarkedRow() const;

signals:
    // Enter, Tab or a double click: the user wants to go on in the editor.
    void goToEditor();
    void listMenuRequested(const QPoint& globalPos);
    void headerMenuRequested(const QPoint& globalPos);
    // The rows' area changed size (the list resized, a scroll bar came or went).
    void viewportResized();

protected:
    bool event(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void rowsInserted(const QModelIndex& parent, int start, int end) override;
    void reset() override;

private:
    void AdvanceDots();
    void StartAnimationIfEmpty();

    PostsItemDelegate* m_delegate;
    QString m_emptyText;
    int m_dots = 0;
    QTimer m_dotsTimer;
    // Once the list has shown rows the dots stop for good.
    bool m_hadRows = false;
};
