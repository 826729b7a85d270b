#include "postsbartestkit.h"

#include "platform/commandids.h"
#include "platform/previewbarvisible.h"
#include "platform/settingsfile.h"
#include "postsbar/barrssitems.h"
#include "postsbar/htmlcodeedit.h"
#include "postsbar/htmlcodehighlighter.h"
#include "postsbar/htmlpreviewbar.h"

#include <QClipboard>
#include <QMainWindow>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

#include <pugixml.hpp>

using namespace Qt::StringLiterals;

namespace {

struct PreviewFrame {
    PreviewFrame() : doc(&ui) {
        doc.AddView(&view);
        doc.SetFrameHub(&hub);
        preview = new CHtmlPreviewBar(&doc, &ui, &window);
        window.addDockWidget(Qt::BottomDockWidgetArea, preview);
        hub.listeners.append(preview);
        window.resize(500, 400);
        window.show();
        path = WriteSampleFeed(dir, SamplePosts());
        doc.OpenDocumentFile(path);
        doc.NotifyViews(nullptr, HintSelectPost, 0);
    }
    // The pane as the user reads it, its own line breaks included.
    QString Shown() const { return preview->CodeEdit()->ShownText(); }
    // The description in the saved file, read without the program's reader.
    QString Saved(int post) {
        if (!doc.DoSave(path))
            return u"(save failed)"_s;
        pugi::xml_document xml;
        if (!xml.load_file(path.toLocal8Bit().constData()))
            return u"(unreadable)"_s;
        pugi::xml_node item = xml.child("rss").child("channel").child("item");
        for (int i = 0; i < post; ++i)
            item = item.next_sibling("item");
        return QString::fromUtf8(item.child("description").child_value());
    }

    QTemporaryDir dir;
    FakeUiServices ui;
    CRSSEditDoc doc;
    RecordingView view;
    TestHub hub;
    QMainWindow window;
    CHtmlPreviewBar* preview = nullptr;
    QString path;
};

// The colour the highlighter gave one character of the edit.
QColor ColourAt(CHtmlCodeEdit* edit, int position) {
    const QTextBlock block = edit->document()->findBlock(position);
    const int offset = position - block.position();
    for (const QTextLayout::FormatRange& range : block.layout()->formats()) {
        if (offset >= range.start && offset < range.start + range.length)
            return range.format.foreground().color();
    }
    return QColor();
}

} // namespace

class TestHtmlPreviewBar final : public QObject {
    Q_OBJECT
private slots:
    void selectPost_showsCodeWithBreaksOnly();
    void editorChange_refreshesAfterQuietTime();
    void selectAfterEditorChange_showsAtOnce();
    void editorChanges_showAsFreshlyShown_data();
    void editorChanges_showAsFreshlyShown();
    void typing_sendsDescriptionAtOnce();
    void typing_changesOnlyWhatWasTyped_data();
    void typing_changesOnlyWhatWasTyped();
    void longLine_roundTripsWithTypedEdits_data();
    void longLine_roundTripsWithTypedEdits();
    void cutAndPaste_putsBackThePost();
    void textNotShownOneForOne_isReadOnly();
    void typing_undoesWordByWord();
    void replaceQuotes_writesBackOnceAndUndoesInOneStep();
    void replaceQuotesWithoutQuotes_beeps();
    void highlighter_findsSpans_data();
    void highlighter_findsSpans();
    void highlighter_coloursTagsAndValues();
    void linkClick_opensBrowser();
    void closeButton_persistsHiddenPreview();
    void commands_followSelection();
};

void TestHtmlPreviewBar::selectPost_showsCodeWithBreaksOnly() {
    PreviewFrame f;
    QCOMPARE(f.Shown(), u"<P>\nBee \"quoted\"\n</P>"_s);
    QCOMPARE(f.preview->CodeEdit()->GetText(), u"<P>Bee \"quoted\"</P>"_s);
    QCOMPARE(f.doc.GetFeed().GetDescription(0), u"<P>Bee \"quoted\"</P>"_s);
    QVERIFY(!f.doc.IsModified());
}

void TestHtmlPreviewBar::editorChange_refreshesAfterQuietTime() {
    PreviewFrame f;
    f.doc.NotifyViews(nullptr, HintSetDescription, u"<P>typed</P>"_s);
    QTest::qWait(300);
    QCOMPARE(f.Shown(), u"<P>\nBee \"quoted\"\n</P>"_s);
    QTRY_COMPARE(f.Shown(), u"<P>\ntyped\n</P>"_s);
}

void TestHtmlPreviewBar::selectAfterEditorChange_showsAtOnce() {
    PreviewFrame f;
    f.doc.NotifyViews(nullptr, HintSetDescription, u"<P>typed</P>"_s);
    f.doc.NotifyViews(nullptr, HintSelectPost, 1);
    QCOMPARE(f.Shown(), u"<P>\nBig B\n</P>"_s);
    QTest::qWait(1300);
    QCOMPARE(f.Shown(), u"<P>\nBig B\n</P>"_s);
}

void TestHtmlPreviewBar::editorChanges_showAsFreshlyShown_data() {
    QTest::addColumn<QStringList>("changes");
    const QString first = u"<P>Bee \"quoted\"</P>"_s;
    QTest::newRow("typed at the end") << QStringList{first + u"x"_s, first + u"xy"_s};
    QTest::newRow("typed inside") << QStringList{u"<P>Bee \"quo!ted\"</P>"_s};
    QTest::newRow("new paragraphs")
        << QStringList{u"<P>Bee</P><P>new</P><BR><P>\"quoted\"</P>"_s, u"<P>Bee</P>"_s};
    QTest::newRow("emptied") << QStringList{QString(), u"<P>back</P>"_s};
    QTest::newRow("one half of a pair differs")
        << QStringList{u"<P>\U0001F600</P>"_s, u"<P>\U0001F603</P>"_s};
    QTest::newRow("shown as it is and back")
        << QStringList{u"<P>a\rb</P>"_s, u"<P>ab</P><P>c</P>"_s};
    QTest::newRow("line breaks of the post")
        << QStringList{u"<pre>a\nb</pre>"_s, u"<pre>a\nb\nc</pre><P>d</P>"_s};
    QTest::newRow("a line break of the post where the pane had its own")
        << QStringList{u"a<BR>b\nc"_s, u"a\nb<BR>c"_s, u"a<BR>\nb"_s};
    QTest::newRow("a line separator of the post, shown as it is")
        << QStringList{u"<P>a\u2028b</P>"_s, u"<P>a\u2028b\u2028</P>"_s};
}

// The pane replaces only what changed; what it shows, hands back and colours
// must be what showing the whole text afresh gives.
void TestHtmlPreviewBar::editorChanges_showAsFreshlyShown() {
    QFETCH(QStringList, changes);
    PreviewFrame f;
    CHtmlCodeEdit* edit = f.preview->CodeEdit();
    QSignalSpy userChanges(edit, &CHtmlCodeEdit::userChanged);
    CHtmlCodeEdit fresh(nullptr);
    for (const QString& description : changes) {
        f.doc.NotifyViews(nullptr, HintSetDescription, description);
        fresh.ShowText(description);
        QTRY_COMPARE(f.Shown(), fresh.ShownText());
        QCOMPARE(edit->GetText(), description);
        QCOMPARE(edit->isReadOnly(), fresh.isReadOnly());
        QVERIFY(!edit->document()->isUndoAvailable());
        QCOMPARE(edit->document()->blockCount(), fresh.document()->blockCount());
        for (int i = 0; i < fresh.document()->characterCount() - 1; ++i)
            QCOMPARE(ColourAt(edit, i), ColourAt(&fresh, i));
    }
    QCOMPARE(userChanges.count(), 0);
    QCOMPARE(f.doc.GetFeed().GetDescription(0), changes.last());
}

void TestHtmlPreviewBar::typing_sendsDescriptionAtOnce() {
    PreviewFrame f;
    CHtmlCodeEdit* edit = f.preview->CodeEdit();
    edit->setFocus();
    edit->moveCursor(QTextCursor::End);
    QTest::keyClicks(edit, u"!"_s);
    QVERIFY(f.doc.IsModified());
    // The line breaks the pane shows for reading never reach the post.
    QCOMPARE(f.doc.GetFeed().GetDescription(0), u"<P>Bee \"quoted\"</P>!"_s);
    // The preview's own change is not handed back to it: its undo history survives.
    QTest::qWait(1200);
    QVERIFY(edit->document()->isUndoAvailable());
    QCOMPARE(f.Shown(), u"<P>\nBee \"quoted\"\n</P>!"_s);
    QCOMPARE(f.Saved(0), u"<P>Bee \"quoted\"</P>!"_s);
}

void TestHtmlPreviewBar::typing_changesOnlyWhatWasTyped_data() {
    QTest::addColumn<QString>("description");
    // Line and column of the pane as shown (-1: the line's end), then the keys typed there.
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("expected");
    // Keys: \r Return, \x01 Shift+Return, \b Backspace, \x7f Delete, \x02 Shift+Right.
    const QString pre = u"<p>a</p><pre>x\n  y</pre>"_s;
    QTest::newRow("end of a pre keeps its breaks") << pre << 3 << -1 << u"!"_s << pre + u"!"_s;
    QTest::newRow("inside a pre") << pre << 3 << 0 << u"z"_s << u"<p>a</p><pre>x\nz  y</pre>"_s;
    QTest::newRow("start of a shown line")
        << u"<P>Bee</P>"_s << 1 << 0 << u"X"_s << u"<P>XBee</P>"_s;
    QTest::newRow("end of a shown line") << u"<P>Bee</P>"_s << 0 << 3 << u"X"_s << u"<P>XBee</P>"_s;
    QTest::newRow("enter is a line break of the post")
        << u"<P>Bee</P>"_s << 1 << 3 << u"\r"_s << u"<P>Bee\n</P>"_s;
    QTest::newRow("shift+enter too") << u"<P>Bee</P>"_s << 1 << 3 << u"\x01"_s << u"<P>Bee\n</P>"_s;
    QTest::newRow("backspace over a shown break changes nothing")
        << u"<P>Bee</P>"_s << 1 << 0 << u"\b"_s << u"<P>Bee</P>"_s;
    QTest::newRow("break tags in capitals and lower case")
        << u"a<br>b<BR>c"_s << 2 << 1 << u"!"_s << u"a<br>b<BR>c!"_s;
    QTest::newRow("no-break space kept")
        << u"<p>a\u00a0b</p>"_s << 2 << 0 << u"!"_s << u"<p>a\u00a0b!</p>"_s;
    // Deleting at one of the pane's breaks joins the two lines on screen; the
    // post has no character there, so it stays as it was.
    QTest::newRow("delete at the end of a shown line changes nothing")
        << u"<P>Bee</P>"_s << 1 << -1 << u"\x7f"_s << u"<P>Bee</P>"_s;
    QTest::newRow("backspace at a line break of the post joins the lines")
        << pre << 3 << 0 << u"\b"_s << u"<p>a</p><pre>x  y</pre>"_s;
    QTest::newRow("enter at a shown break, then typing")
        << u"<P>Bee</P>"_s << 1 << 0 << u"\rX"_s << u"<P>\nXBee</P>"_s;
    // A selection over both kinds of break, starting at a line's start: the
    // line that is left keeps the kind of break it started with.
    QTest::newRow("selection from a post's line over a shown break")
        << u"<pre>a\nb</pre><P>c</P>"_s << 1 << 0
        << u"\x02\x02\x02\x02\x02\x02\x02\x02\x02\x02\x02\x7f"_s << u"<pre>a\nc</P>"_s;
    QTest::newRow("selection from a shown line over a post's break")
        << u"<P>a\nb</P>"_s << 1 << 0 << u"\x02\x02\x7f"_s << u"<P>b</P>"_s;
}

void TestHtmlPreviewBar::typing_changesOnlyWhatWasTyped() {
    QFETCH(QString, description);
    QFETCH(int, line);
    QFETCH(int, column);
    QFETCH(QString, keys);
    QFETCH(QString, expected);
    PreviewFrame f;
    QVERIFY(f.doc.GetFeed().SetDescription(1, description));
    f.doc.SetModifiedFlag(false);
    f.doc.NotifyViews(nullptr, HintSelectPost, 1);
    CHtmlCodeEdit* edit = f.preview->CodeEdit();
    edit->setFocus();
    // Walk there as the user would, with the arrow keys over the shown lines.
    QTest::keyClick(edit, Qt::Key_Home, Qt::ControlModifier);
    for (int i = 0; i < line; ++i)
        QTest::keyClick(edit, Qt::Key_Down);
    QTest::keyClick(edit, column < 0 ? Qt::Key_End : Qt::Key_Home);
    for (int i = 0; i < column; ++i)
        QTest::keyClick(edit, Qt::Key_Right);
    for (QChar c : keys) {
        if (c == u'\r')
            QTest::keyClick(edit, Qt::Key_Return);
        else if (c == u'\x01')
            QTest::keyClick(edit, Qt::Key_Return, Qt::ShiftModifier);
        else if (c == u'\b')
            QTest::keyClick(edit, Qt::Key_Backspace);
        else if (c == u'\x7f')
            QTest::keyClick(edit, Qt::Key_Delete);
        else if (c == u'\x02')
            QTest::keyClick(edit, Qt::Key_Right, Qt::ShiftModifier);
        else
            QTest::keyClicks(edit, QString(c));
    }
    QCOMPARE(f.doc.GetFeed().GetDescription(1), expected);
    QCOMPARE(f.doc.IsModified(), expected != description);
    QCOMPARE(f.Saved(1), expected);
}

void TestHtmlPreviewBar::longLine_roundTripsWithTypedEdits_data() {
    QTest::addColumn<QString>("description");
    QString paragraphs;
    for (int i = 0; paragraphs.size() < 300'000; ++i)
        paragraphs += u"<p>Paragraph %1 with <em>some</em> words and a "
                      u"<a href=\"https://example.org/%1\">link</a>.</p>"_s.arg(i);
    QTest::newRow("paragraphs on one line") << paragraphs;
    QTest::newRow("a pre among them") << paragraphs.left(150'000) +
                                             u"<pre>one\n  two\n\nthree</pre>"_s +
                                             paragraphs.left(150'000);
    QTest::newRow("a run without tags") << u"word "_s.repeated(60'000);
    QTest::newRow("no tags and no blanks") << u"\U0001F600"_s.repeated(60'000);
}

// A post on one long line is laid out as many short lines, and typing into it
// changes the post by exactly what was typed; undo takes it back to the byte.
void TestHtmlPreviewBar::longLine_roundTripsWithTypedEdits() {
    QFETCH(QString, description);
    PreviewFrame f;
    QVERIFY(f.doc.GetFeed().SetDescription(1, description));
    f.doc.SetModifiedFlag(false);
    f.doc.NotifyViews(nullptr, HintSelectPost, 1);
    CHtmlCodeEdit* edit = f.preview->CodeEdit();
    QTextDocument* document = edit->document();
    QVERIFY(document->blockCount() > 50);
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        QVERIFY(block.length() < 5000);
        QVERIFY(block.text().isEmpty() || !block.text().front().isLowSurrogate());
    }
    QCOMPARE(edit->GetText(), description);

    edit->setFocus();
    edit->setTextCursor(QTextCursor(document->findBlockByNumber(document->blockCount() / 2)));
    QTest::keyClicks(edit, u"<b>Q</b>"_s);
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::keyClicks(edit, u"Z"_s);
    const QString typed = u"<b>Q</b>\nZ"_s;
    QString stored = f.doc.GetFeed().GetDescription(1);
    const qsizetype at = stored.indexOf(typed);
    QVERIFY(at > description.size() / 4 && at < description.size() * 3 / 4);
    QCOMPARE(stored.size(), description.size() + typed.size());
    QCOMPARE(stored.remove(at, typed.size()), description);
    QCOMPARE(f.Saved(1), f.doc.GetFeed().GetDescription(1));

    while (document->isUndoAvailable())
        QTest::keyClick(edit, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(f.doc.GetFeed().GetDescription(1), description);
    QCOMPARE(f.Saved(1), description);
}

void TestHtmlPreviewBar::cutAndPaste_putsBackThePost() {
    PreviewFrame f;
    CHtmlCodeEdit* edit = f.preview->CodeEdit();
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(f.doc.GetFeed().GetDescription(0), QString());
    QCOMPARE(QApplication::clipboard()->text(), u"<P>Bee \"quoted\"</P>"_s);
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(f.Saved(0), u"<P>Bee \"quoted\"</P><P>Bee \"quoted\"</P>"_s);
}

void TestHtmlPreviewBar::textNotShownOneForOne_isReadOnly() {
    PreviewFrame f;
    // The pane could not hand a CR back as it was: it shows it, untouchable.
    const QString description = u"<P>a\rb</P>"_s;
    QVERIFY(f.doc.GetFeed().SetDescription(0, description));
    f.doc.SetModifiedFlag(false);
    f.doc.NotifyViews(nullptr, HintSelectPost, 0);
    CHtmlCodeEdit* edit = f.preview->CodeEdit();
    edit->setFocus();
    QTest::keyClicks(edit, u"typed"_s);
    QCOMPARE(f.doc.GetFeed().GetDescription(0), description);
    QVERIFY(!f.doc.IsModified());
    bool enabled = true;
    for (int id : std::initializer_list<int>{ID_EDIT_PASTE, ID_EDIT_CUT, ID_EDIT_REPLACE_QUOTES}) {
        QVERIFY(f.preview->commandStatus(id, &enabled, nullptr));
        QVERIFY(!enabled);
    }
    // The next post is editable again.
    f.doc.NotifyViews(nullptr, HintSelectPost, 1);
    QTest::keyClicks(edit, u"!"_s);
    QCOMPARE(f.doc.GetFeed().GetDescription(1), u"!<P>Big B</P>"_s);
}

void TestHtmlPreviewBar::typing_undoesWordByWord() {
    PreviewFrame f;
    f.doc.NotifyViews(nullptr, HintSelectPost, 2);
    CHtmlCodeEdit* edit = f.preview->CodeEdit();
    edit->setFocus();
    QTest::keyClicks(edit, u"ab cd"_s);
    QCOMPARE(f.Shown(), u"ab cd"_s);
    edit->undo();
    QCOMPARE(f.Shown(), u"ab"_s);
    QCOMPARE(f.doc.GetFeed().GetDescription(2), u"ab"_s);
    edit->undo();
    QCOMPARE(f.Shown(), QString());
}

void TestHtmlPreviewBar::replaceQuotes_writesBackOnceAndUndoesInOneStep() {
    PreviewFrame f;
    f.doc.GetFeed().SetDescription(0, u"<P><a href=\"x\">\"y</a></P>"_s);
    f.doc.NotifyViews(nullptr, HintSelectPost, 0);
    CHtmlCodeEdit* edit = f.preview->CodeEdit();
    QSignalSpy sent(edit, &CHtmlCodeEdit::userChanged);
    QVERIFY(f.preview->handleCommand(ID_EDIT_REPLACE_QUOTES));
    QCOMPARE(sent.count(), 1);
    QCOMPARE(f.doc.GetFeed().GetDescription(0), u"<P><a href='x'>'y</a></P>"_s);
    edit->undo();
    QCOMPARE(f.Shown(), u"<P>\n<a href=\"x\">\"y</a>\n</P>"_s);
    QCOMPARE(f.doc.GetFeed().GetDescription(0), u"<P><a href=\"x\">\"y</a></P>"_s);
    QCOMPARE(f.ui.beeps, 0);
}

void TestHtmlPreviewBar::replaceQuotesWithoutQuotes_beeps() {
    PreviewFrame f;
    f.doc.NotifyViews(nullptr, HintSelectPost, 1);
    QVERIFY(!f.preview->CodeEdit()->ReplaceQuotes());
    QCOMPARE(f.ui.beeps, 1);
    QVERIFY(!f.doc.IsModified());
}

void TestHtmlPreviewBar::highlighter_findsSpans_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<int>>("tagStarts");
    QTest::newRow("no tags") << u"plain text"_s << QList<int>{};
    QTest::newRow("two tags") << u"<b>x</b>"_s << QList<int>{0, 4};
    QTest::newRow("lone open ends the pass") << u"<b>x <i"_s << QList<int>{0};
    QTest::newRow("tag over lines") << u"<a\nhref>"_s << QList<int>{0};
}

void TestHtmlPreviewBar::highlighter_findsSpans() {
    QFETCH(QString, text);
    QFETCH(QList<int>, tagStarts);
    QList<int> starts;
    for (const auto& span : HtmlCodeHighlighter::FindSpans(text, u'<', u'>'))
        starts.append(span.start);
    QCOMPARE(starts, tagStarts);
}

void TestHtmlPreviewBar::highlighter_coloursTagsAndValues() {
    PreviewFrame f;
    f.doc.GetFeed().SetDescription(0, u"<a href=\"x\">text \"q\" <i\nmore"_s);
    f.doc.NotifyViews(nullptr, HintSelectPost, 0);
    CHtmlCodeEdit* edit = f.preview->CodeEdit();
    QCOMPARE(ColourAt(edit, 1), QColor(0, 0, 255));
    QCOMPARE(ColourAt(edit, 8), QColor(0, 125, 0));
    QCOMPARE(ColourAt(edit, 13), QColor());
    QCOMPARE(ColourAt(edit, 18), QColor(0, 125, 0));
    QCOMPARE(ColourAt(edit, 21), QColor());
    // Closing the lone tag on the next line colours the line it opened on.
    edit->moveCursor(QTextCursor::End);
    QTest::keyClicks(edit, u">"_s);
    QTRY_COMPARE(ColourAt(edit, 21), QColor(0, 0, 255));
    QCOMPARE(ColourAt(edit, 25), QColor(0, 0, 255));
}

void TestHtmlPreviewBar::linkClick_opensBrowser() {
    PreviewFrame f;
    f.doc.GetFeed().SetDescription(0, u"see https://example.org/x now"_s);
    f.doc.NotifyViews(nullptr, HintSelectPost, 0);
    CHtmlCodeEdit* edit = f.preview->CodeEdit();
    QTextCursor cursor(edit->document());
    cursor.setPosition(10);
    const QPoint point = edit->cursorRect(cursor).center() + QPoint(2, 0);
    QCOMPARE(edit->LinkAt(point), u"https://example.org/x"_s);
    QTest::mouseClick(edit->viewport(), Qt::LeftButton, {}, point);
    QCOMPARE(f.ui.urls, QStringList{u"https://example.org/x"_s});
}

void TestHtmlPreviewBar::closeButton_persistsHiddenPreview() {
    PreviewFrame f;
    PreviewBarVisible::SetAndStore(1);
    QVERIFY(f.preview->close());
    QVERIFY(f.preview->isHidden());
    QCOMPARE(ReadProfileNumber(SettingsIniPath(), u"Settings"_s, u"PreviewBar"_s, 1), 0);
    PreviewBarVisible::Reload();
    QCOMPARE(PreviewBarVisible::Get(), 0);
    PreviewBarVisible::SetAndStore(1);
}

void TestHtmlPreviewBar::commands_followSelection() {
    PreviewFrame f;
    CHtmlCodeEdit* edit = f.preview->CodeEdit();
    bool enabled = true;
    QVERIFY(f.preview->commandStatus(ID_EDIT_CUT, &enabled, nullptr));
    QVERIFY(!enabled);
    QVERIFY(f.preview->commandStatus(ID_EDIT_SELECT_ALL, &enabled, nullptr));
    QVERIFY(enabled);
    QVERIFY(f.preview->handleCommand(ID_EDIT_SELECT_ALL));
    QVERIFY(f.preview->commandStatus(ID_EDIT_SELECT_ALL, &enabled, nullptr));
    QVERIFY(!enabled);
    QVERIFY(f.preview->handleCommand(ID_EDIT_DELETE));
    QCOMPARE(f.Shown(), QString());
    QCOMPARE(f.doc.GetFeed().GetDescription(0), QString());
    edit->undo();
    QCOMPARE(f.Shown(), u"<P>\nBee \"quoted\"\n</P>"_s);
    QVERIFY(!f.preview->commandStatus(ID_POST_COPY_TITLE, &enabled, nullptr));
}

int RunHtmlPreviewBarTests(int argc, char** argv) {
    TestHtmlPreviewBar test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_htmlpreviewbar.moc"
