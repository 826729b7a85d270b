// The editable HTML code of the current post, coloured, in the preview bar.
#pragma once

#include <QPlainTextEdit>

class HtmlCodeHighlighter;
class UiServices;

class CHtmlCodeEdit final : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit CHtmlCodeEdit(UiServices* ui, QWidget* parent = nullptr);

    // Shows a description laid out with line breaks around paragraphs and
    // breaks; showing never counts as a change by the user.
    void ShowText(const QString& description);
    // Shows a new version of the same post: only the lines that differ are
    // replaced, so a long post is not laid out and coloured anew for each
    // change, and the reader keeps their place.
    void UpdateText(const QString& description);
    // The post's text: what was shown, changed only by what the user did,
    // without the line breaks the pane adds for reading.
    QString GetText() const;
    // The text as it stands on screen, every line break as LF.
    QString ShownText() const;

    // A feed that cannot be edited keeps the pane read-only whatever it shows.
    void SetLocked(bool locked);
    bool IsLocked() const { return m_locked; }

    // Every double quote becomes a single quote, as one undo step, written
    // back once; false (and a beep) when there was none.
    bool ReplaceQuotes();
    // Removes the selection as one undo step.
    void DeleteSelection();

    // Edit commands while the preview has the focus; false for other ids.
    bool handleCommand(int id);
    bool commandStatus(int id, bool* enabled, bool* checked) const;

    // The web address under a point of the viewport, or an empty text.
    QString LinkAt(const QPoint& viewportPos) const;

signals:
    // The user changed the text (typing, pasting, undo, replace quotes).
    void userChanged(const QString& text);

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    QMimeData* createMimeDataFromSelection() const override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    void OnTextChanged();
    void SetBackground(bool focused);
    void UpdateReadOnly();
    // The post's text of a run of the pane's characters.
    QString PostTextOf(QString shown) const;

    UiServices* m_ui;
    HtmlCodeHighlighter* m_highlighter;
    // Set while the program itself replaces the text.
    bool m_settingText = false;
    bool m_locked = false;
    // False while the pane shows a text it could not hand back exactly; it is
    // then shown as it is and cannot be edited.
    bool m_mapped = true;
    // The text last shown, for when it is not mapped.
    QString m_shown;
    // The post's text as last shown or handed on.
    QString m_postText;
    bool m_canRedo = false;
    bool m_canUndo = false;
};
