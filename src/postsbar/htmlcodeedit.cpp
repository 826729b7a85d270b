#include "htmlcodeedit.h"

#include "html/htmltransforms.h"
#include "htmlcodehighlighter.h"
#include "platform/commandids.h"
#include "platform/uiservices.h"
#include "postsbarcommands.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>

using namespace Qt::StringLiterals;

namespace {

// Only the tags the preview breaks at; the stored text is never changed.
void BreakTagsForDisplay(QString& text) {
    for (const QString& tag : {u"<P>"_s, u"</P>"_s, u"<BR>"_s})
        BreakAtTag(text, tag, u"\r\n"_s);
}

// Paragraph and break tags get line breaks of their own, for reading only.
QString LayOutForDisplay(const QString& description) {
    QString text = description;
    BreakTagsForDisplay(text);
    text.replace(u"\r\n"_s, u"\n"_s);
    text.replace(u'\r', u'\n');
    return text;
}

QFont PreviewFont() {
    QFont font = QApplication::font("QMenu");
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * 3 / 2);
    else if (font.pixelSize() > 0)
        font.setPixelSize(font.pixelSize() * 3 / 2);
    font.setWeight(QFont::Normal);
    return font;
}

} // namespace

CHtmlCodeEdit::CHtmlCodeEdit(UiServices* ui, QWidget* parent)
    : QPlainTextEdit(parent), m_ui(ui), m_highlighter(new HtmlCodeHighlighter(document())) {
    setObjectName(u"htmlCodeEdit"_s);
    setFont(PreviewFont());
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setFrameShape(QFrame::StyledPanel);
    viewport()->setMouseTracking(true);
    SetBackground(false);
    connect(this, &QPlainTextEdit::textChanged, this, &CHtmlCodeEdit::OnTextChanged);
    connect(this, &QPlainTextEdit::undoAvailable, this, [this](bool on) { m_canUndo = on; });
    connect(this, &QPlainTextEdit::redoAvailable, this, [this](bool on) { m_canRedo = on; });
}

void CHtmlCodeEdit::ShowText(const QString& description) {
    m_settingText = true;
    setPlainText(LayOutForDisplay(description));
    m_settingText = false;
}

QString CHtmlCodeEdit::GetText() const {
    // toPlainText would turn no-break spaces into blanks and change the post.
    QString text = document()->toRawText();
    text.replace(QChar::ParagraphSeparator, u'\n');
    text.replace(QChar::LineSeparator, u'\n');
    return text;
}

void CHtmlCodeEdit::OnTextChanged() {
    if (m_settingText)
        return;
    emit userChanged(GetText());
}

bool CHtmlCodeEdit::ReplaceQuotes() {
    const QString text = GetText();
    if (!text.contains(u'"')) {
        if (m_ui)
            m_ui->Beep();
        return false;
    }
    const QTextCursor old = textCursor();
    const int anchor = old.anchor();
    const int position = old.position();
    const int scroll = verticalScrollBar()->value();

    m_settingText = true;
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    for (qsizetype i = text.indexOf(u'"'); i >= 0; i = text.indexOf(u'"', i + 1)) {
        cursor.setPosition(int(i));
        cursor.setPosition(int(i) + 1, QTextCursor::KeepAnchor);
        cursor.insertText(u"'"_s);
    }
    cursor.endEditBlock();
    m_settingText = false;

    QTextCursor restored(document());
    restored.setPosition(anchor);
    restored.setPosition(position, QTextCursor::KeepAnchor);
    setTextCursor(restored);
    verticalScrollBar()->setValue(scroll);
    document()->setModified(true);
    emit userChanged(GetText());
    return true;
}

void CHtmlCodeEdit::DeleteSelection() {
    QTextCursor cursor = textCursor();
    if (!cursor.hasSelection())
        return;
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    cursor.endEditBlock();
    setTextCursor(cursor);
}

bool CHtmlCodeEdit::commandStatus(int id, bool* enabled, bool* checked) const {
    bool on = false;
    const bool selected = textCursor().hasSelection();
    switch (id) {
    case ID_EDIT_UNDO:
        on = m_canUndo;
        break;
    case ID_EDIT_REDO:
        on = m_canRedo;
        break;
    case ID_EDIT_CUT:
    case ID_EDIT_COPY:
    case ID_EDIT_DELETE:
        on = selected;
        break;
    case ID_EDIT_PASTE:
        on = !isReadOnly() && QApplication::clipboard()->mimeData() &&
             !QApplication::clipboard()->mimeData()->formats().isEmpty();
        break;
    case ID_EDIT_SELECT_ALL: {
        const int length = document()->characterCount() - 1;
        const QTextCursor c = textCursor();
        on = length > 0 && !(c.selectionStart() == 0 && c.selectionEnd() == length);
        break;
    }
    case ID_EDIT_REPLACE_QUOTES:
        on = !document()->isEmpty();
        break;
    default:
        return false;
    }
    if (enabled)
        *enabled = on;
    if (checked)
        *checked = false;
    return true;
}

bool CHtmlCodeEdit::handleCommand(int id) {
    bool enabled = false;
    if (!commandStatus(id, &enabled, nullptr))
        return false;
    if (!enabled)
        return true;
    switch (id) {
    case ID_EDIT_UNDO:
        undo();
        break;
    case ID_EDIT_REDO:
        redo();
        break;
    case ID_EDIT_CUT:
        cut();
        break;
    case ID_EDIT_COPY:
        copy();
        break;
    case ID_EDIT_PASTE:
        paste();
        break;
    case ID_EDIT_SELECT_ALL:
        selectAll();
        break;
    case ID_EDIT_DELETE:
        DeleteSelection();
        break;
    case ID_EDIT_REPLACE_QUOTES:
        ReplaceQuotes();
        break;
    default:
        break;
    }
    return true;
}

void CHtmlCodeEdit::SetBackground(bool focused) {
    QPalette pal = QApplication::palette(this);
    pal.setColor(QPalette::Base,
                 focused ? pal.color(QPalette::ToolTipBase) : pal.color(QPalette::Button));
    pal.setColor(QPalette::Text,
                 focused ? pal.color(QPalette::ToolTipText) : pal.color(QPalette::ButtonText));
    setPalette(pal);
}

void CHtmlCodeEdit::focusInEvent(QFocusEvent* event) {
    SetBackground(true);
    QPlainTextEdit::focusInEvent(event);
}

void CHtmlCodeEdit::focusOutEvent(QFocusEvent* event) {
    SetBackground(false);
    QPlainTextEdit::focusOutEvent(event);
}

void CHtmlCodeEdit::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    // The document only merges typing into the last undo step while it is
    // modified: clearing the flag ends the typing run, so undo goes back word
    // by word and line by line.
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space ||
        key == Qt::Key_Delete)
        document()->setModified(false);
    QPlainTextEdit::keyPressEvent(event);
}

QString CHtmlCodeEdit::LinkAt(const QPoint& viewportPos) const {
    const QTextCursor cursor = cursorForPosition(viewportPos);
    const QTextBlock block = cursor.block();
    // cursorForPosition snaps to the nearest gap; the character must really be under the point.
    const QRect caret = cursorRect(cursor);
    const int column = cursor.positionInBlock() - (viewportPos.x() < caret.left() ? 1 : 0);
    if (column < 0)
        return QString();
    return HtmlCodeHighlighter::LinkAt(block.text(), column);
}

void CHtmlCodeEdit::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && !textCursor().hasSelection()) {
        const QString link = LinkAt(event->position().toPoint());
        if (!link.isEmpty()) {
            QString url = link;
            if (url.startsWith(u"www."_s, Qt::CaseInsensitive))
                url.prepend(u"http://"_s);
            if (m_ui)
                m_ui->OpenUrl(url);
            event->accept();
            return;
        }
    }
    QPlainTextEdit::mousePressEvent(event);
}

void CHtmlCodeEdit::mouseMoveEvent(QMouseEvent* event) {
    viewport()->setCursor(LinkAt(event->position().toPoint()).isEmpty() ? Qt::IBeamCursor
                                                                        : Qt::PointingHandCursor);
    QPlainTextEdit::mouseMoveEvent(event);
}

void CHtmlCodeEdit::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    const int ids[] = {ID_EDIT_UNDO,  0, ID_EDIT_DELETE,     ID_EDIT_CUT, ID_EDIT_COPY,
                       ID_EDIT_PASTE, 0, ID_EDIT_SELECT_ALL, 0,           ID_EDIT_REPLACE_QUOTES};
    for (int id : ids) {
        if (id == 0) {
            menu.addSeparator();
            continue;
        }
        QAction* action = menu.addAction(PostsBarCommandText(id));
        action->setData(id);
        bool enabled = false;
        commandStatus(id, &enabled, nullptr);
        action->setEnabled(enabled);
    }
    if (QAction* chosen = menu.exec(event->globalPos()))
        handleCommand(chosen->data().toInt());
}
