// The editor as a user meets it: a feed opened in the main window, real
// clicks and keys into the page, the real save, quit, switch and reload
// commands, and then the saved file read back.
#include "app/appresources.h"
#include "app/childframe.h"
#include "app/desktopuiservices.h"
#include "app/mainframe.h"
#include "document/rsseditdoc.h"
#include "editor/rsseditview.h"
#include "editortestkit.h"
#include "feed/postfooter.h"
#include "feed/rssfeed.h"
#include "platform/commandids.h"
#include "postsbar/barrssitems.h"
#include "postsbar/postsbarcommands.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDeadlineTimer>
#include <QFile>
#include <QJsonArray>
#include <QMessageBox>
#include <QMimeData>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#ifdef ORVAN_HAVE_QPA_KEYS
#include <qpa/qwindowsysteminterface.h>
#endif

#include <memory>

using namespace Qt::StringLiterals;
using namespace editortest;

namespace {

class FakeUi final : public DesktopUiServices {
public:
    SaveAnswer AskSaveChanges(const QString& name) override {
        asked.append(name);
        return realQuestion ? DesktopUiServices::AskSaveChanges(name) : answer;
    }
    void ShowError(const QString& text) override { errors.append(text); }
    bool AskOkCancel(const QString&) override { return true; }

    QStringList asked;
    QStringList errors;
    SaveAnswer answer = SaveAnswer::Save;
    bool realQuestion = false;
};

struct Post {
    QString title;
    QString description;
    QString link;
};

QByteArray FeedBytes(const QList<Post>& posts) {
    QString xml = u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\">\n"
                  u"<channel><title>Round trip</title><link>https://feed.example/</link>\n"_s;
    for (const Post& post : posts) {
        QString title = post.title;
        QString description = post.description;
        QString link = post.link;
        EscapeForXml(title);
        EscapeForXml(description);
        EscapeForXml(link);
        xml += u"<item><title>%1</title><link>%2</link><author>a@feed.example</author>"
               u"<description>%3</description>"
               u"<pubDate>Mon, 03 Jun 2024 10:00:00 +0000</pubDate></item>\n"_s.arg(title, link,
                                                                                    description);
    }
    xml += u"</channel></rss>\n"_s;
    return xml.toUtf8();
}

QList<Post> Posts(int count) {
    QList<Post> posts;
    for (int i = 0; i < count; ++i)
        posts.append({u"Post %1"_s.arg(i), u"<p>Body %1</p>"_s.arg(i),
                      u"https://feed.example/%1.html"_s.arg(i)});
    return posts;
}

} // namespace

class TestRoundTrip final : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<FakeUi> m_ui;
    std::unique_ptr<CMainFrame> m_frame;
    QString m_path;

    void writeFeed(const QList<Post>& posts) {
        QFile file(m_path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(FeedBytes(posts));
    }

    // Opens the feed in the main window; the first post is on show.
    void open(const QList<Post>& posts) {
        writeFeed(posts);
        QVERIFY(m_frame->openDocumentFile(m_path));
        QVERIFY(view()->waitUntilLoaded());
        view()->surface()->flush();
        QTRY_COMPARE(bodyHtml(view()).isEmpty(), posts.first().description.isEmpty());
    }

    CRSSEditView* view() const { return m_frame->activeChildFrame()->view(); }
    CRSSEditDoc* doc() const { return m_frame->activeChildFrame()->document(); }

    // The file as saved.
    std::unique_ptr<CRssFeed> saved() const {
        auto feed = std::make_unique<CRssFeed>();
        QString error;
        if (!feed->LoadFile(m_path, &error))
            qWarning("%s", qPrintable(error));
        return feed;
    }

    QByteArray savedBytes() const {
        QFile file(m_path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // A real click into the post's body, then the caret to its very end.
    void caretToBodyEnd() {
        clickOn(view(), u"#richtext_frame"_s);
        QTRY_VERIFY(view()->surface()->focusedId() == u"richtext_frame"_s);
        pressKey(view(), Qt::Key_End, Qt::ControlModifier);
    }

    // Opens a feed of two posts whose first has the given body.
    void openWithFirstBody(const QString& html) {
        QList<Post> posts = Posts(2);
        posts[0].description = html;
        open(posts);
    }

    // A long post: count paragraphs, each with an id.
    static QString Paragraphs(int count) {
        QString html;
        for (int i = 0; i < count; ++i)
            html += u"<p id=\"p%1\">Para %1</p>"_s.arg(i);
        return html;
    }

    // A real click into a block of the post, scrolled to the middle first.
    void clickIntoBlock(const QString& selector) {
        inFrame(view(),
                u"doc.querySelector('%1').scrollIntoView({block: 'center'});"_s.arg(selector));
        QTest::qWait(100);
        clickOn(view(), selector, true);
        QTRY_VERIFY(view()->surface()->focusedId() == u"richtext_frame"_s);
    }

    // The elements, attributes and texts of HTML as the browser reads it.
    QString structureOf(const QString& html) {
        const QString code = uR"((function (html) {
            const doc = new DOMParser().parseFromString(html, "text/html");
            const walk = (n) => n.nodeType === 3 ? n.data
                : [n.localName, Array.from(n.attributes, (a) => [a.name, a.value]).sort(),
                   Array.from(n.childNodes, walk)];
            return JSON.stringify(Array.from(doc.body.childNodes, walk));
        })(%1))"_s;
        QString literal =
            QString::fromUtf8(QJsonDocument(QJsonArray{html}).toJson(QJsonDocument::Compact));
        literal = literal.mid(1, literal.size() - 2);
        return runJs(view(), code.arg(literal)).toString();
    }

#ifdef ORVAN_HAVE_QPA_KEYS
    // A key press and release queued for the main window as the windowing
    // system queues what the user types: it waits while the program waits for
    // the page without reading input, then goes wherever it goes by then.
    void queueKey(Qt::Key key, Qt::KeyboardModifiers modifiers = {}, QString text = {}) {
        using Wsi = QWindowSystemInterface;
        QWindow* window = m_frame->windowHandle();
        if (text.isEmpty() && key == Qt::Key_Return)
            text = u"\r"_s;
        Wsi::handleKeyEvent<Wsi::AsynchronousDelivery>(window, QEvent::KeyPress, key, modifiers,
                                                       text);
        Wsi::handleKeyEvent<Wsi::AsynchronousDelivery>(window, QEvent::KeyRelease, key, modifiers,
                                                       text);
    }
#endif

    // Where two long texts part, for a failure message that shows it.
    static QString whereTheyDiffer(const QString& a, const QString& b) {
        qsizetype at = 0;
        while (at < a.size() && at < b.size() && a[at] == b[at])
            ++at;
        const qsizetype from = std::max<qsizetype>(0, at - 40);
        return u"at %1: \"%2\" against \"%3\""_s.arg(at).arg(a.mid(from, 120), b.mid(from, 120));
    }

    static QString withoutFooter(QString text) {
        while (RemoveFooterParagraph(text)) {
        }
        return text;
    }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        m_path = m_dir->filePath(u"feed.xml"_s);
        m_ui = std::make_unique<FakeUi>();
        m_frame = std::make_unique<CMainFrame>(m_ui.get());
        m_ui->setParentWidget(m_frame.get());
        m_frame->resize(1200, 800);
        m_frame->show();
        m_frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_frame.get()));
    }

    void cleanup() {
        for (CChildFrame* frame : m_frame->childFrames())
            frame->document()->SetModifiedFlag(false);
        m_frame.reset();
        m_ui.reset();
        m_dir.reset();
    }

    void saveRightAfterTyping_wholeWordInFile() {
        open(Posts(2));
        caretToBodyEnd();
        typeKeys(view(), u"hello"_s);
        pressKey(view(), Qt::Key_S, Qt::ControlModifier);
        QVERIFY(!doc()->IsModified());
        QVERIFY(saved()->GetDescription(0).startsWith(u"<p>Body 0hello</p>"_s));
    }

    // After a save nothing is pending: leaving the post stores nothing, so the
    // feed stays unmodified and the post keeps the date the file has.
    void switchAfterSave_changesNothing() {
        open(Posts(3));
        caretToBodyEnd();
        typeKeys(view(), u"word"_s);
        pressKey(view(), Qt::Key_S, Qt::ControlModifier);
        QVERIFY(!doc()->IsModified());
        const QByteArray bytes = savedBytes();
        // The date is written to the second: a renewed one would differ.
        QTest::qWait(1100);
        doc()->NotifyViews(m_frame->activeChildFrame()->postsBar(), HintSelectPost, 2);
        QTRY_COMPARE(view()->ShownPost(), 2);
        QTest::qWait(700);
        QVERIFY(!doc()->IsModified());
        QVERIFY(m_frame->runCommand(ID_FILE_SAVE));
        QCOMPARE(savedBytes(), bytes);
    }

    void quitRightAfterTyping_answeredSaveKeepsWholeWord() {
        open(Posts(2));
        m_ui->realQuestion = true;
        caretToBodyEnd();
        typeKeys(view(), u"word"_s);
        // Return on the question as soon as it shows.
        QTimer answer;
        connect(&answer, &QTimer::timeout, this, [&answer] {
            if (QWidget* box = QApplication::activeModalWidget()) {
                answer.stop();
                QTest::keyClick(box, Qt::Key_Return);
            }
        });
        answer.start(1);
        // What Ctrl+Q runs (the test platform binds no key to quitting).
        m_frame->commandAction(ID_APP_EXIT)->trigger();
        QCOMPARE(m_ui->asked.size(), 1);
        QVERIFY(saved()->GetDescription(0).startsWith(u"<p>Body 0word</p>"_s));
    }

    void quitThenReturnAtOnce_returnAnswersTheQuestion() {
        open(Posts(2));
        m_ui->realQuestion = true;
        caretToBodyEnd();
        typeKeys(view(), u"word"_s);
        // Return typed while the editor is still handing "word" over: it is
        // meant for the question that follows, not for the post.
        QTimer::singleShot(0, this, [] {
            if (QWidget* focus = QApplication::focusWidget())
                QTest::keyClick(focus, Qt::Key_Return);
        });
        // Should the Return be lost, the question is cancelled, so the test ends.
        QTimer::singleShot(5000, this, [] {
            if (QWidget* box = QApplication::activeModalWidget())
                QTest::keyClick(box, Qt::Key_Escape);
        });
        m_frame->commandAction(ID_APP_EXIT)->trigger();
        QCOMPARE(m_ui->asked.size(), 1);
        QVERIFY2(saved()->GetDescription(0).startsWith(u"<p>Body 0word</p>"_s),
                 qPrintable(saved()->GetDescription(0)));
    }

    // Keys typed right after a command that asks about saving wait in the
    // window system's queue while the editor hands its text over; the Return
    // among them answers the question (Save) and never reaches the post.
    void shortcutThenReturnQueued_returnAnswersTheQuestion_data() {
        QTest::addColumn<int>("key");
        QTest::newRow("quit") << int(Qt::Key_Q);
        QTest::newRow("close") << int(Qt::Key_W);
    }

    void shortcutThenReturnQueued_returnAnswersTheQuestion() {
#ifdef ORVAN_HAVE_QPA_KEYS
        QFETCH(int, key);
        open(Posts(2));
        m_ui->realQuestion = true;
        caretToBodyEnd();
        typeKeys(view(), u"word"_s);
        // A question the Return did not answer is cancelled, so the test goes on.
        bool leftOpen = false;
        QDeadlineTimer shownFor(10000);
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            QWidget* box = QApplication::activeModalWidget();
            if (!box) {
                shownFor = QDeadlineTimer(10000);
            } else if (shownFor.hasExpired()) {
                leftOpen = true;
                QTest::keyClick(box, Qt::Key_Escape);
            }
        });
        watch.start(20);
        queueKey(Qt::Key(key), Qt::ControlModifier);
        queueKey(Qt::Key_Return);
        QTRY_COMPARE(m_ui->asked.size(), 1);
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QVERIFY(!leftOpen);
        QCOMPARE(withoutFooter(saved()->GetDescription(0)), u"<p>Body 0word</p>"_s);
#else
        QSKIP("needs Qt's platform headers (qt6-base-private-dev)");
#endif
    }

    // Letters typed right after Ctrl+S wait while the page hands the body
    // over: the file has what was typed before, the post gets them after, in order.
    void typingQueuedAfterSave_keptInOrder() {
#ifdef ORVAN_HAVE_QPA_KEYS
        open(Posts(2));
        caretToBodyEnd();
        typeKeys(view(), u"hello"_s);
        queueKey(Qt::Key_S, Qt::ControlModifier);
        for (const QChar c : u" more"_s)
            queueKey(c == u' ' ? Qt::Key_Space : Qt::Key(c.toUpper().unicode()), {}, c);
        // The one save writes the file once: its first new content is what it saved.
        const QByteArray before = savedBytes();
        QTRY_VERIFY(savedBytes() != before);
        QCOMPARE(withoutFooter(saved()->GetDescription(0)), u"<p>Body 0hello</p>"_s);
        QTRY_COMPARE(bodyHtml(view()).section(u"</p>"_s, 0, 0), u"<p>Body 0hello more"_s);
        pressKey(view(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(withoutFooter(saved()->GetDescription(0)), u"<p>Body 0hello more</p>"_s);
#else
        QSKIP("needs Qt's platform headers (qt6-base-private-dev)");
#endif
    }

    void titleTyped_storedExactlyAsShown_data() {
        QTest::addColumn<QString>("initial");
        QTest::addColumn<bool>("replace");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QByteArray>("inFile");
        QTest::newRow("markup characters")
            << u"Old"_s << true << u"A & B <c> \"d\""_s << u"A & B <c> \"d\""_s
            << QByteArray("<title>A &amp; B &lt;c&gt; \"d\"</title>");
        QTest::newRow("ampersand made elsewhere")
            << u"Tom & Jerry"_s << false << u"!"_s << u"Tom & Jerry!"_s
            << QByteArray("<title>Tom &amp; Jerry!</title>");
    }

    void titleTyped_storedExactlyAsShown() {
        QFETCH(QString, initial);
        QFETCH(bool, replace);
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        QFETCH(QByteArray, inFile);
        QList<Post> posts = Posts(2);
        posts[0].title = initial;
        open(posts);
        clickOn(view(), u"#div_title"_s);
        QTRY_COMPARE(view()->surface()->focusedId(), u"div_title"_s);
        pressKey(view(), Qt::Key_End);
        if (replace)
            pressKey(view(), Qt::Key_Home, Qt::ShiftModifier);
        typeKeys(view(), typed);
        pressKey(view(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(saved()->GetTitle(0), expected);
        QVERIFY2(savedBytes().contains(inFile), savedBytes().constData());

        // Shown as stored after a reload, and a further edit does not compound.
        QVERIFY(m_frame->runCommand(ID_FILE_RELOAD));
        view()->surface()->flush();
        QTRY_COMPARE(
            runJs(view(), u"document.getElementById('div_title').textContent"_s).toString(),
            expected);
        clickOn(view(), u"#div_title"_s);
        pressKey(view(), Qt::Key_End);
        typeKeys(view(), u"?"_s);
        pressKey(view(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(saved()->GetTitle(0), expected + u"?"_s);
    }

    void bodyEdit_keepsQuotedAttributes() {
        const QString original = u"<p style=\"font-family: &quot;DejaVu Sans&quot;\">One</p>"
                                 u"<p><span title='say \"hi\"'>Two</span></p>"_s;
        QList<Post> posts = Posts(2);
        posts[0].description = original;
        open(posts);
        clickOn(view(), u"p"_s, true);
        pressKey(view(), Qt::Key_End);
        typeKeys(view(), u"X"_s);
        pressKey(view(), Qt::Key_S, Qt::ControlModifier);
        const QString stored = withoutFooter(saved()->GetDescription(0));
        QString expected = original;
        expected.replace(u">One<"_s, u">OneX<"_s);
        QCOMPARE(structureOf(stored), structureOf(expected));
    }

    void typingAfterFooter_keptBeforeTheNewFooter() {
        QList<Post> posts = Posts(2);
        posts[0].description = u"<p>Body</p><BR>"_s + MakePostFooter();
        open(posts);
        caretToBodyEnd();
        typeKeys(view(), u"tail"_s);
        pressKey(view(), Qt::Key_Return);
        typeKeys(view(), u"more"_s);
        pressKey(view(), Qt::Key_S, Qt::ControlModifier);
        const QString stored = saved()->GetDescription(0);
        QCOMPARE(stored.count(u"This post created by"_s), 1);
        QCOMPARE(stored.count(u"name=\"ADV\""_s), 1);
        const qsizetype footer = stored.indexOf(u"<p name=\"ADV\">"_s);
        QVERIFY2(stored.indexOf(u"tail"_s) >= 0 && stored.indexOf(u"tail"_s) < footer,
                 qPrintable(stored));
        QVERIFY2(stored.indexOf(u"more"_s) >= 0 && stored.indexOf(u"more"_s) < footer,
                 qPrintable(stored));
    }

    // A long post is edited in runs of its blocks (only those near the screen
    // cost the engine anything on a key); they must never reach the file, and
    // edits over their edges must read as in any other post.
    void longPost_editsStoredExactly_data() {
        QTest::addColumn<QString>("where");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::newRow("end") << u"end"_s << u"tail"_s << u"Para 299</p>"_s << u"Para 299tail</p>"_s;
        QTest::newRow("first block")
            << u"#p0"_s << u"head"_s << u"<p id=\"p0\">"_s << u"<p id=\"p0\">head"_s;
        QTest::newRow("first block of a run")
            << u"#p64"_s << u"x"_s << u"<p id=\"p64\">"_s << u"<p id=\"p64\">x"_s;
        // Backspace at the start of a run joins its first block to the last of
        // the run before, as it would join any two paragraphs.
        QTest::newRow("join across runs")
            << u"#p64"_s << u"\b"_s << u"Para 63</p><p id=\"p64\">Para 64"_s << u"Para 63Para 64"_s;
        QTest::newRow("return at a run's end") << u"#p63 end"_s << u"\rnew"_s << u"Para 63</p>"_s
                                               << u"Para 63</p><p id=\"p63\">new</p>"_s;
        QTest::newRow("loose text between blocks")
            << u"#p150 end"_s << u"!"_s << u"Para 150</p>loose <b>bold</b>"_s
            << u"Para 150!</p>loose <b>bold</b>"_s;
    }

    void longPost_editsStoredExactly() {
        QFETCH(QString, where);
        QFETCH(QString, typed);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QString original = u"intro <i>text</i>"_s + Paragraphs(300);
        original.replace(u"Para 150</p>"_s, u"Para 150</p>loose <b>bold</b><br>"_s);
        original.replace(u"Para 200</p>"_s,
                         u"Para 200</p><ul><li>one</li><li>two</li></ul>\n<!-- note -->\n"_s);
        // Blanks after the last block: Ctrl+End still lands in its text.
        original += u"\n"_s;
        openWithFirstBody(original);
        if (where == u"end"_s) {
            caretToBodyEnd();
        } else {
            clickIntoBlock(where.section(u' ', 0, 0));
            pressKey(view(), where.endsWith(u" end"_s) ? Qt::Key_End : Qt::Key_Home);
        }
        for (const QChar c : typed) {
            if (c == u'\b')
                pressKey(view(), Qt::Key_Backspace);
            else if (c == u'\r')
                pressKey(view(), Qt::Key_Return);
            else
                typeKeys(view(), QString(c));
        }
        pressKey(view(), Qt::Key_S, Qt::ControlModifier);
        QVERIFY(!doc()->IsModified());
        QString expected = original;
        QVERIFY(expected.contains(from));
        expected.replace(from, to);
        // The footer takes the place of blanks at the end.
        expected.chop(1);
        const QString stored = withoutFooter(saved()->GetDescription(0));
        QVERIFY2(stored == expected, qPrintable(whereTheyDiffer(stored, expected)));
    }

    // A selection over the edge of two runs: what is copied and what typing
    // over it leaves hold no run.
    void longPost_selectionAcrossRuns_copiedAndReplacedWithoutRuns() {
        const QString original = Paragraphs(300);
        openWithFirstBody(original);
        clickIntoBlock(u"#p62"_s);
        pressKey(view(), Qt::Key_End);
        for (int i = 0; i < 3; ++i)
            pressKey(view(), Qt::Key_Down, Qt::ShiftModifier);
        // Edit > Copy: the keys open the runs before the engine copies.
        QVERIFY(m_frame->runCommand(ID_EDIT_COPY));
        const auto copiedHtml = [] {
            const QMimeData* data = QGuiApplication::clipboard()->mimeData();
            return data ? data->html() : QString();
        };
        QTRY_VERIFY(copiedHtml().contains(u"Para 64"_s));
        const QString copied = copiedHtml();
        QVERIFY2(!copied.contains(u"data-orvan-run"_s), qPrintable(copied));
        typeKeys(view(), u"Z"_s);
        pressKey(view(), Qt::Key_S, Qt::ControlModifier);
        const QString stored = withoutFooter(saved()->GetDescription(0));
        QString expected = original;
        expected.replace(QRegularExpression(u"Para 62</p>.*<p id=\"p65\">Para 65"_s),
                         u"Para 62Z"_s);
        QVERIFY2(stored == expected, qPrintable(whereTheyDiffer(stored, expected)));
    }

    // Everything chosen and typed over, then taken back: no run is left in the
    // file either way, and the undo gives the post back byte for byte.
    void longPost_replacedAndUndone() {
        QString original;
        for (int i = 0; i < 400; ++i)
            original += u"<p>Line %1</p>"_s.arg(i);
        openWithFirstBody(original);
        caretToBodyEnd();
        pressKey(view(), Qt::Key_A, Qt::ControlModifier);
        typeKeys(view(), u"all new"_s);
        pressKey(view(), Qt::Key_S, Qt::ControlModifier);
        const QString replaced = withoutFooter(saved()->GetDescription(0));
        QVERIFY2(replaced.contains(u"all new"_s) && !replaced.contains(u"Line"_s) &&
                     !replaced.contains(u"data-orvan-run"_s),
                 qPrintable(replaced));
        pressKey(view(), Qt::Key_Z, Qt::ControlModifier);
        pressKey(view(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(withoutFooter(saved()->GetDescription(0)), original);
    }

    void switchRightAfterTyping_editStaysInItsPost_data() {
        QTest::addColumn<QString>("field");
        QTest::newRow("body") << u"#richtext_frame"_s;
        QTest::newRow("title") << u"#div_title"_s;
        QTest::newRow("link") << u"#select_link input"_s;
        QTest::newRow("author") << u"#select_author input"_s;
    }

    void switchRightAfterTyping_editStaysInItsPost() {
        QFETCH(QString, field);
        open(Posts(3));
        const std::unique_ptr<CRssFeed> before = saved();
        clickOn(view(), field);
        pressKey(view(), Qt::Key_End, Qt::ControlModifier);
        typeKeys(view(), u"zz"_s);
        // The list chooses another post before the page has handled the keys.
        doc()->NotifyViews(m_frame->activeChildFrame()->postsBar(), HintSelectPost, 2);
        QVERIFY(m_frame->runCommand(ID_FILE_SAVE));
        const std::unique_ptr<CRssFeed> after = saved();
        const auto fields = [](const CRssFeed& feed, int i) {
            return QStringList{feed.GetTitle(i), feed.GetDescription(i), feed.GetLink(i),
                               feed.GetAuthor(i)}
                .join(u'|');
        };
        QVERIFY2(fields(*after, 0).contains(u"zz"_s), qPrintable(fields(*after, 0)));
        for (int i : {1, 2}) {
            QVERIFY2(!fields(*after, i).contains(u"zz"_s), qPrintable(fields(*after, i)));
            QCOMPARE(after->GetTitle(i), before->GetTitle(i));
            QCOMPARE(after->GetLink(i), before->GetLink(i));
        }
    }

    void postRemovedBeforeStore_editStaysInItsPost() {
        open(Posts(3));
        doc()->NotifyViews(nullptr, HintSelectPost, 1);
        QTRY_COMPARE(bodyHtml(view()), u"<p>Body 1</p>"_s);
        caretToBodyEnd();
        typeKeys(view(), u"zz"_s);
        // The numbers move under the edit: the post it was typed in is now post 0.
        QVERIFY(doc()->GetFeed().RemovePost(0));
        doc()->NotifyViews(nullptr, HintPostDeleted, 0);
        QVERIFY(m_frame->runCommand(ID_FILE_SAVE));
        const std::unique_ptr<CRssFeed> after = saved();
        QCOMPARE(after->GetPostCount(), 2);
        QVERIFY(after->GetDescription(0).startsWith(u"<p>Body 1zz</p>"_s));
        QCOMPARE(after->GetDescription(1), u"<p>Body 2</p>"_s);
    }

    void reloadWithFewerPosts_laterTypingSaved() {
        open(Posts(4));
        doc()->NotifyViews(nullptr, HintSelectPost, 3);
        writeFeed(Posts(2));
        QVERIFY(m_frame->runCommand(ID_FILE_RELOAD));
        QTRY_COMPARE(bodyHtml(view()), u"<p>Body 1</p>"_s);
        for (int entry : doc()->GetHistory().Entries())
            QVERIFY(entry < 2);
        caretToBodyEnd();
        typeKeys(view(), u"after"_s);
        pressKey(view(), Qt::Key_S, Qt::ControlModifier);
        QVERIFY(saved()->GetDescription(1).startsWith(u"<p>Body 1after</p>"_s));
    }

    void hostilePost_cannotReachTheFace_data() {
        QTest::addColumn<QString>("html");
        QTest::newRow("face ids") << u"<div id=\"select_link\"><input value=\"evil\"></div>"
                                     u"<p id=\"div_title\">x</p><p>Text</p>"_s;
        QTest::newRow("style hiding everything")
            << u"<style>body, html, * { display: none !important; visibility: hidden }</style>"
               u"<p>Text</p>"_s;
        QTest::newRow("base") << u"<base href=\"https://evil.example/\"><p>Text</p>"_s;
        QTest::newRow("form") << u"<form action=\"https://evil.example/\"><button id=\"go\">"
                                 u"go</button></form><p>Text</p>"_s;
        QTest::newRow("script") << u"<script>parent.document.title = 'ran'</script><p>Text</p>"_s;
        QTest::newRow("fixed cover") << u"<div style=\"position: fixed; inset: 0; z-index: 99; "
                                        u"background: red\"></div><p>Text</p>"_s;
    }

    void hostilePost_cannotReachTheFace() {
        QFETCH(QString, html);
        QList<Post> posts = Posts(2);
        posts[1].description = html;
        open(posts);
        doc()->NotifyViews(nullptr, HintSelectPost, 1);
        view()->surface()->flush();
        QTest::qWait(200);
        const QString face = uR"((function () {
            const title = document.getElementById("div_title");
            const r = title.getBoundingClientRect();
            const at = document.elementFromPoint(r.left + 5, r.top + r.height / 2);
            const frame = document.getElementById("richtext_frame");
            const body = frame.contentDocument.body;
            return [document.title, document.baseURI, at === title,
                    document.getElementById("select_link").localName,
                    getComputedStyle(frame).display !== "none" && frame.offsetHeight > 50,
                    frame.contentWindow.getComputedStyle(body).display !== "none"
                        && body.isContentEditable].join("|");
        })())"_s;
        QCOMPARE(runJs(view(), face).toString(),
                 u"Orvan post editor|qrc:/editor/face.html|true|span|true|true"_s);
        inFrame(view(), u"const b = doc.getElementById('go'); if (b) b.click();"_s);
        caretToBodyEnd();
        typeKeys(view(), u"Q"_s);
        pressKey(view(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(view()->surface()->page()->url(), QUrl(u"qrc:/editor/face.html"_s));
        const std::unique_ptr<CRssFeed> after = saved();
        // The post keeps what it held, with the typed letter; the other post is untouched.
        const QString stored = withoutFooter(after->GetDescription(1));
        QVERIFY2(stored.contains(u"Q"_s), qPrintable(stored));
        QCOMPARE(structureOf(QString(stored).remove(u"Q"_s)), structureOf(html));
        QCOMPARE(after->GetLink(1), posts[1].link);
        QCOMPARE(after->GetLink(0), posts[0].link);
        QCOMPARE(after->GetDescription(0), posts[0].description);
    }
};

int main(int argc, char** argv) {
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath(u"config"_s).toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath(u"data"_s).toUtf8());
    QStandardPaths::setTestModeEnabled(true);
    PrepareHtmlUi();
    QApplication app(argc, argv);
    InitHtmlUiResources();
    InitEditorResources();
    InitPostsBarResources();
    InitAppResources();
    InstallPostFooterFilter();
    TestRoundTrip test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_roundtrip.moc"
