#include "htmlcodeedit.h"

#include "html/htmltransforms.h"
#include "htmlcodehighlighter.h"
#include "platform/commandids.h"
#include "platform/uiservices.h"
#include "postsbarcommands.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QInputMethodEvent>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// The pane shows each line it breaks for reading as a block of its own: a
// block boundary holds no character of the post. A line break of the post is
// shown as U+2028, which the document keeps inside a block and draws as a
// line break. Blocks are laid out one by one, so a long post costs only the
// lines on screen, and joining or splitting blocks can never change the post.
constexpr QChar kPostBreak = QChar::LineSeparator;
// The boundary between two blocks, in the document's raw text.
constexpr QChar kShownBreak = QChar::ParagraphSeparator;

// A line of the pane ends by this length at the latest, at a blank where one
// is near: a long run without tags would otherwise be one block, laid out
// whole on every change.
constexpr qsizetype kLongestLine = 2000;
constexpr qsizetype kBlankSearch = 200;

// A text the document would change on the way in: it splits lines at CR,
// U+2029 and its frame marks, and U+2028 would read as a line break of the
// post.
bool ShowsOneForOne(QStringView text) {
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'\r' || u == 0x2028 || u == 0x2029 || u == 0xFDD0 || u == 0xFDD1)
            return false;
    }
    return true;
}

bool IsParagraphBreak(char16_t u) {
    return u == u'\r' || u == u'\n' || u == 0x2029 || u == 0xFDD0 || u == 0xFDD1;
}

// What the user typed or pasted, every line break in it, whatever its kind,
// as a line break of the post.
QString AsPostBreaks(QStringView text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text.at(i).unicode();
        if (u == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
            continue;
        out += IsParagraphBreak(u) ? kPostBreak : QChar(u);
    }
    return out;
}

bool HasParagraphBreak(QStringView text) {
    return std::any_of(text.begin(), text.end(),
                       [](QChar c) { return IsParagraphBreak(c.unicode()); });
}

// Ends every block longer than kLongestLine, after a blank shortly before the
// limit where there is one, never between the two halves of a pair.
QString BreakLongLines(const QString& text) {
    QString out;
    qsizetype copied = 0;
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == kShownBreak) {
            lineStart = i + 1;
            continue;
        }
        if (i - lineStart < kLongestLine)
            continue;
        qsizetype cut = i;
        for (qsizetype j = i; j > i - kBlankSearch; --j) {
            // Not next to a line break of the post, which would show an
            // empty line at the end or start of a block.
            const QChar c = text.at(j - 1);
            if (c.isSpace() && c != kPostBreak && text.at(j) != kPostBreak) {
                cut = j;
                break;
            }
        }
        if (text.at(cut).isLowSurrogate())
            --cut;
        if (out.isEmpty())
            out.reserve(text.size() + text.size() / kLongestLine + 1);
        out += QStringView(text).mid(copied, cut - copied);
        out += kShownBreak;
        copied = cut;
        lineStart = cut;
    }
    if (copied == 0)
        return text;
    out += QStringView(text).mid(copied);
    return out;
}

// The document's raw text for a description that ShowsOneForOne: paragraph
// and break tags on lines of their own, and no line too long.
QString LayOutForDisplay(const QString& description) {
    QString text = description;
    for (const QString& tag : {u"<P>"_s, u"</P>"_s, u"<BR>"_s})
        BreakAtTag(text, tag, QString(kShownBreak));
    text.replace(u'\n', kPostBreak);
    return BreakLongLines(text);
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
    m_shown = description;
    m_postText = description;
    m_mapped = ShowsOneForOne(description);
    // The document makes a block of each line between paragraph separators.
    setPlainText(m_mapped ? LayOutForDisplay(description) : description);
    m_settingText = false;
    UpdateReadOnly();
}

void CHtmlCodeEdit::UpdateText(const QString& description) {
    if (!m_mapped || !ShowsOneForOne(description)) {
        ShowText(description);
        return;
    }
    // Positions of the document count its block separators as one character
    // each, as the raw text holds them.
    const QString old = document()->toRawText();
    const QString shown = LayOutForDisplay(description);
    const qsizetype shortest = qMin(old.size(), shown.size());
    qsizetype head = 0;
    while (head < shortest && old.at(head) == shown.at(head))
        ++head;
    qsizetype tail = 0;
    while (tail < shortest - head &&
           old.at(old.size() - 1 - tail) == shown.at(shown.size() - 1 - tail))
        ++tail;
    // Never between the two halves of a surrogate pair.
    if (head > 0 && shown.at(head - 1).isHighSurrogate())
        --head;
    if (tail > 0 && shown.at(shown.size() - tail).isLowSurrogate())
        --tail;

    m_settingText = true;
    m_shown = description;
    m_postText = description;
    if (head != old.size() || head != shown.size()) {
        // What the program shows is no step the user could undo.
        document()->setUndoRedoEnabled(false);
        QTextCursor cursor(document());
        cursor.setPosition(int(head));
        cursor.setPosition(int(old.size() - tail), QTextCursor::KeepAnchor);
        // Each paragraph separator inserted starts a block.
        cursor.insertText(shown.mid(head, shown.size() - tail - head));
        document()->setUndoRedoEnabled(true);
        document()->setModified(false);
    }
    m_settingText = false;
    UpdateReadOnly();
}

void CHtmlCodeEdit::SetLocked(bool locked) {
    m_locked = locked;
    UpdateReadOnly();
}

void CHtmlCodeEdit::UpdateReadOnly() {
    setReadOnly(m_locked || !m_mapped);
    // Read-only still lets the reader select, copy and follow links.
    setTextInteractionFlags(isReadOnly()
                                ? Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard |
                                      Qt::LinksAccessibleByMouse
                                : Qt::TextEditorInteraction);
}

QString CHtmlCodeEdit::PostTextOf(QString shown) const {
    if (m_mapped) {
        shown.remove(kShownBreak);
        shown.replace(kPostBreak, u'\n');
    } else {
        shown.replace(kShownBreak, u'\n');
    }
    return shown;
}

QString CHtmlCodeEdit::GetText() const {
    // Nobody could edit a text that is not mapped: it is still the one shown.
    if (!m_mapped)
        return m_shown;
    // toPlainText would turn no-break spaces into blanks and change the post.
    return PostTextOf(document()->toRawText());
}

QString CHtmlCodeEdit::ShownText() const {
    QString text = document()->toRawText();
    text.replace(kShownBreak, u'\n');
    text.replace(kPostBreak, u'\n');
    return text;
}

void CHtmlCodeEdit::OnTextChanged() {
    if (m_settingText)
        return;
    // Removing one of the pane's own breaks changes what is shown, not the post.
    QString text = GetText();
    if (text == m_postText)
        return;
    m_postText = text;
    emit userChanged(m_postText);
}

bool CHtmlCodeEdit::ReplaceQuotes() {
    // Positions of the document, where the pane's own breaks count too.
    const QString text = document()->toRawText();
    if (isReadOnly() || !text.contains(u'"')) {
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
    m_postText = GetText();
    emit userChanged(m_postText);
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
    const bool writable = !isReadOnly();
    switch (id) {
    case ID_EDIT_UNDO:
        on = writable && m_canUndo;
        break;
    case ID_EDIT_REDO:
        on = writable && m_canRedo;
        break;
    case ID_EDIT_COPY:
        on = selected;
        break;
    case ID_EDIT_CUT:
    case ID_EDIT_DELETE:
        on = writable && selected;
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
        on = writable && !document()->isEmpty();
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
    if (!isReadOnly() && (event->matches(QKeySequence::InsertParagraphSeparator) ||
                          event->matches(QKeySequence::InsertLineSeparator))) {
        // Enter and Shift+Enter both give a line break of the post; the
        // control would start a block, which is one of the pane's own breaks.
        // Clearing the modified flag ends the typing run: undo goes back line
        // by line.
        document()->setModified(false);
        textCursor().insertText(QString(kPostBreak));
        ensureCursorVisible();
        event->accept();
        return;
    }
    if (!isReadOnly() && HasParagraphBreak(event->text())) {
        textCursor().insertText(AsPostBreaks(event->text()));
        ensureCursorVisible();
        event->accept();
        return;
    }
    // The document only merges typing into the last undo step while it is
    // modified: clearing the flag ends the typing run, so undo goes back word
    // by word.
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Delete)
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

void CHtmlCodeEdit::inputMethodEvent(QInputMethodEvent* event) {
    if (HasParagraphBreak(event->commitString()))
        event->setCommitString(AsPostBreaks(event->commitString()), event->replacementStart(),
                               event->replacementLength());
    QPlainTextEdit::inputMethodEvent(event);
}

QMimeData* CHtmlCodeEdit::createMimeDataFromSelection() const {
    // What is copied is the post's text: cut and paste puts back what was there.
    auto* data = new QMimeData;
    data->setText(PostTextOf(textCursor().selectedText()));
    return data;
}

void CHtmlCodeEdit::insertFromMimeData(const QMimeData* source) {
    if (isReadOnly() || !source || !source->hasText())
        return;
    // A line break pasted would otherwise start a block: one of the pane's
    // own breaks, which the post never gets. One undo step per paste, as the
    // control's own paste makes it.
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    cursor.insertText(AsPostBreaks(source->text()));
    cursor.endEditBlock();
    setTextCursor(cursor);
    ensureCursorVisible();
}
