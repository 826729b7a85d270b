// The shell used as a person uses it: keys into the real widgets and pages,
// the real commands and dialogs, then the bytes of the saved file.
#include "app/childframe.h"
#include "app/desktopuiservices.h"
#include "app/mainframe.h"
#include "document/rsseditdoc.h"
#include "editor/rsseditview.h"
#include "htmlui/htmlsurface.h"
#include "platform/commandids.h"
#include "postsbar/barrssitems.h"
#include "postsbar/htmlcodeedit.h"
#include "postsbar/htmlpreviewbar.h"
#include "postsbar/postslistview.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEngineView>

#include <pugixml.hpp>

using namespace Qt::StringLiterals;

namespace {

// The real dialogs and questions; only the browser and file manager are kept out.
class DialogUi final : public DesktopUiServices {
public:
    void Beep() override { ++beeps; }
    bool OpenUrl(const QString& url) override {
        urls.append(url);
        return true;
    }
    bool OpenFolder(const QString&, QString*) override { return true; }
    int beeps = 0;
    QStringList urls;
};

QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString WriteFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(bytes);
    return path;
}

// Two posts; the first one's description holds a paragraph, an entity and a pre.
QByteArray TwoPostFeed() {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\">\n"
           "<channel><title>Shell</title><link>https://feed.example/</link>\n"
           "<item><title>One</title><link>https://feed.example/1</link>"
           "<description>&lt;p&gt;Hello &amp;amp;&lt;/p&gt;&lt;pre&gt;a b&lt;/pre&gt;</description>"
           "<pubDate>Mon, 03 Jun 2024 10:00:00 +0000</pubDate></item>\n"
           "<item><title>Two</title><description>&lt;p&gt;Second&lt;/p&gt;</description>"
           "<pubDate>Tue, 04 Jun 2024 10:00:00 +0000</pubDate></item>\n"
           "</channel></rss>\n";
}

// A field of a post as the file holds it, read without the program's reader.
QString FileField(const QString& path, int post, const char* field) {
    pugi::xml_document xml;
    if (!xml.load_file(path.toLocal8Bit().constData()))
        return u"(unreadable)"_s;
    pugi::xml_node item = xml.child("rss").child("channel").child("item");
    for (int i = 0; i < post; ++i)
        item = item.next_sibling("item");
    return QString::fromUtf8(item.child(field).child_value());
}

QWidget* PageInput(CChildFrame* frame) {
    return frame->view()->surface()->view()->focusProxy();
}

} // namespace

class TestShell : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void codePaneTyping_savesOriginalPlusWhatWasTyped();
    void cancelledDialog_leavesFeedAsItWas_data();
    void cancelledDialog_leavesFeedAsItWas();
    void newFeedTypedAtOnce_reachesDialogNotPost();
    void editMenu_actsOnFocusedEditor_data();
    void editMenu_actsOnFocusedEditor();
    void standardKeys_runTheirCommands();
    void windowMenu_movesBetweenFeeds();
    void fileNotRss_showsBarAndTakesNoTyping_data();
    void fileNotRss_showsBarAndTakesNoTyping();

private:
    CChildFrame* open(const QString& path);
    // Runs an Edit menu item as a user does: the menu opened, the item chosen.
    // Without a popup the item is triggered as the menu would.
    bool chooseFromEditMenu(int id, bool popup = true);
    // Presses Escape in the next modal dialog, while the command that opens it runs.
    void escapeNextDialog();

    std::unique_ptr<DialogUi> m_ui;
    std::unique_ptr<CMainFrame> m_frame;
    std::unique_ptr<QTemporaryDir> m_dir;
    bool m_dialogSeen = false;
};

void TestShell::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    m_ui = std::make_unique<DialogUi>();
    m_frame = std::make_unique<CMainFrame>(m_ui.get());
    m_ui->setParentWidget(m_frame.get());
    m_frame->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_frame.get()));
    m_dialogSeen = false;
}

void TestShell::cleanup() {
    for (CChildFrame* frame : m_frame->childFrames())
        frame->document()->SetModifiedFlag(false);
    m_frame.reset();
    m_ui.reset();
    m_dir.reset();
}

CChildFrame* TestShell::open(const QString& path) {
    if (!m_frame->openDocumentFile(path))
        return nullptr;
    CChildFrame* frame = m_frame->activeChildFrame();
    if (!frame->view()->waitUntilLoaded())
        return nullptr;
    // Let the page show the first post before anyone types.
    QTest::qWait(300);
    return frame;
}

bool TestShell::chooseFromEditMenu(int id, bool popup) {
    QMenu* menu = m_frame->menuNamed(u"Edit"_s);
    QAction* action = m_frame->commandAction(id);
    if (!popup) {
        emit menu->aboutToShow();
        if (!action->isEnabled())
            return false;
        action->trigger();
        QTest::qWait(150);
        return true;
    }
    menu->popup(m_frame->mapToGlobal(QPoint(40, 30)));
    if (!QTest::qWaitFor([menu] { return menu->isVisible(); }))
        return false;
    const bool enabled = action->isEnabled();
    if (enabled) {
        menu->setActiveAction(action);
        QTest::keyClick(menu, Qt::Key_Return);
    } else {
        QTest::keyClick(menu, Qt::Key_Escape);
    }
    const bool closed = QTest::qWaitFor([menu] { return !menu->isVisible(); });
    // Without a window manager the window does not get its focus back by itself.
    m_frame->activateWindow();
    QTest::qWait(150);
    return enabled && closed;
}

void TestShell::escapeNextDialog() {
    auto* poll = new QTimer(this);
    poll->setInterval(50);
    connect(poll, &QTimer::timeout, this, [this, poll] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog)
            return;
        poll->deleteLater();
        poll->stop();
        m_dialogSeen = true;
        // Give a page dialog's page the moment it needs to take keys.
        QTimer::singleShot(300, dialog, [dialog] {
            QWidget* target = QApplication::focusWidget();
            if (!target || !dialog->isAncestorOf(target))
                target = dialog;
            QTest::keyClick(target, Qt::Key_Escape);
        });
    });
    poll->start();
}

void TestShell::codePaneTyping_savesOriginalPlusWhatWasTyped() {
    const QString path = WriteFile(*m_dir, u"feed.xml"_s, TwoPostFeed());
    const QString original = FileField(path, 0, "description");
    CChildFrame* frame = open(path);
    QVERIFY(frame);
    CHtmlCodeEdit* pane = frame->previewBar()->CodeEdit();
    QTest::mouseClick(pane->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    QTRY_VERIFY(pane->hasFocus());
    QTest::keyClick(pane, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(pane, u"!"_s);
    // The editor follows the pane; what it shows must not come back as an edit.
    QTest::qWait(2000);
    QTest::keyClick(pane, Qt::Key_S, Qt::ControlModifier);
    QTRY_VERIFY(!frame->document()->IsModified());
    QCOMPARE(FileField(path, 0, "description"), original + u"!"_s);
}

void TestShell::cancelledDialog_leavesFeedAsItWas_data() {
    QTest::addColumn<int>("command");
    QTest::addColumn<QKeyCombination>("key");
    // Where the user was: the post's text, or the current post's row, which a
    // click on opens for renaming.
    QTest::addColumn<bool>("fromList");
    const QKeyCombination none;
    QTest::newRow("new feed") << int(ID_FILE_NEW) << (Qt::ControlModifier | Qt::Key_N) << false;
    QTest::newRow("new feed from the list")
        << int(ID_FILE_NEW) << (Qt::ControlModifier | Qt::Key_N) << true;
    QTest::newRow("save as from the list")
        << int(ID_FILE_SAVE_AS) << (Qt::ControlModifier | Qt::ShiftModifier | Qt::Key_S) << true;
    QTest::newRow("open") << int(ID_FILE_OPEN) << (Qt::ControlModifier | Qt::Key_O) << false;
    QTest::newRow("save as") << int(ID_FILE_SAVE_AS)
                             << (Qt::ControlModifier | Qt::ShiftModifier | Qt::Key_S) << false;
    QTest::newRow("delete post") << int(ID_POST_DELETE) << none << false;
    QTest::newRow("about") << int(ID_APP_ABOUT) << none << false;
    QTest::newRow("print") << int(ID_FILE_PRINT) << none << false;
    QTest::newRow("print preview") << int(ID_FILE_PRINT_PREVIEW) << none << false;
    QTest::newRow("print setup") << int(ID_FILE_PRINT_SETUP) << none << true;
}

void TestShell::cancelledDialog_leavesFeedAsItWas() {
    QFETCH(int, command);
    QFETCH(QKeyCombination, key);
    QFETCH(bool, fromList);
    const QString path = WriteFile(*m_dir, u"feed.xml"_s, TwoPostFeed());
    const QByteArray before = ReadBytes(path);
    CChildFrame* frame = open(path);
    QVERIFY(frame);
    CRSSEditDoc* doc = frame->document();
    const QString pubDate = doc->GetFeed().GetPubDate(0);
    if (fromList) {
        // A click on the row already chosen opens its title for renaming.
        PostsListView* list = frame->postsBar()->ListView();
        const QPoint row = list->visualRect(list->model()->index(0, 0)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row);
        QTest::qWait(QApplication::doubleClickInterval() + 300);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row);
        QTRY_VERIFY(frame->postsBar()->findChild<QLineEdit*>(u"postTitleEditor"_s));
    } else {
        // The caret sits in the post's text, as it does while someone writes.
        QWidget* input = PageInput(frame);
        QTest::mouseClick(input, Qt::LeftButton, {},
                          QPoint(input->width() / 2, input->height() / 2));
    }
    QTest::qWait(200);

    escapeNextDialog();
    if (key.key() != Qt::Key_unknown)
        QTest::keyClick(QApplication::focusWidget(), key.key(), key.keyboardModifiers());
    else
        m_frame->commandAction(command)->trigger();
    QTRY_VERIFY(m_dialogSeen);
    QTRY_VERIFY(!QApplication::activeModalWidget());
    QTest::qWait(500);

    QCOMPARE(m_frame->childFrames().size(), 1);
    QVERIFY(!doc->IsModified());
    QCOMPARE(doc->GetPostCount(), 2);
    QCOMPARE(doc->GetFeed().GetPubDate(0), pubDate);
    QVERIFY(m_frame->closeChildFrame(frame));
    QTRY_COMPARE(m_frame->childFrames().size(), 0);
    QCOMPARE(ReadBytes(path), before);
}

void TestShell::newFeedTypedAtOnce_reachesDialogNotPost() {
    const QString path = WriteFile(*m_dir, u"feed.xml"_s, TwoPostFeed());
    CChildFrame* frame = open(path);
    QVERIFY(frame);
    const QString description = frame->document()->GetFeed().GetDescription(0);
    QWidget* input = PageInput(frame);
    QTest::mouseClick(input, Qt::LeftButton, {}, QPoint(input->width() / 2, input->height() / 2));
    QTest::qWait(200);
    // The title is typed right after Ctrl+N, while the dialog's page still loads.
    QTimer::singleShot(0, input, [input] { QTest::keyClicks(input, u"My feed"_s); });
    auto* poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, [poll] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog)
            return;
        poll->deleteLater();
        poll->stop();
        QTimer::singleShot(1500, dialog, [dialog] {
            QTest::keyClick(dialog->focusWidget() ? dialog->focusWidget() : dialog, Qt::Key_Return);
        });
    });
    poll->start(50);
    QTest::keyClick(input, Qt::Key_N, Qt::ControlModifier);
    QTRY_COMPARE(m_frame->childFrames().size(), 2);
    CRSSEditDoc* created = m_frame->activeChildFrame()->document();
    QCOMPARE(QString::fromUtf8(created->GetFeed().GetChannelNode().child("title").child_value()),
             u"My feed"_s);
    QVERIFY(!frame->document()->IsModified());
    QCOMPARE(frame->document()->GetFeed().GetDescription(0), description);
}

void TestShell::editMenu_actsOnFocusedEditor_data() {
    QTest::addColumn<QString>("editor");
    QTest::newRow("post text") << u"body"_s;
    QTest::newRow("title") << u"title"_s;
    QTest::newRow("code pane") << u"pane"_s;
    QTest::newRow("rename box") << u"rename"_s;
}

void TestShell::editMenu_actsOnFocusedEditor() {
    QFETCH(QString, editor);
    const QString path = WriteFile(*m_dir, u"feed.xml"_s, TwoPostFeed());
    CChildFrame* frame = open(path);
    QVERIFY(frame);
    QWidget* target = nullptr;
    if (editor == u"body"_s || editor == u"title"_s) {
        target = PageInput(frame);
        // The title runs along the top of the face, the post's text fills its middle.
        QTest::mouseClick(
            target, Qt::LeftButton, {},
            QPoint(target->width() / 2, editor == u"title"_s ? 20 : target->height() / 2));
        QTest::keyClick(target, Qt::Key_End, Qt::ControlModifier);
    } else if (editor == u"pane"_s) {
        target = frame->previewBar()->CodeEdit();
        QTest::mouseClick(frame->previewBar()->CodeEdit()->viewport(), Qt::LeftButton);
        QTest::keyClick(target, Qt::Key_End, Qt::ControlModifier);
    } else {
        QTest::keyClick(PageInput(frame), Qt::Key_G, Qt::ControlModifier);
        QTRY_VERIFY(target = frame->postsBar()->findChild<QLineEdit*>(u"postTitleEditor"_s));
        QTRY_VERIFY(target->hasFocus());
        // The box selects its whole text once shown; the user types after that.
        QTest::qWait(100);
        QTest::keyClick(target, Qt::Key_End);
    }
    QTest::keyClicks(target, u" xyzzy"_s);
    QTest::qWait(300);
    // Undo is there for what was just typed; shift+left selects its end.
    for (int i = 0; i < 5; ++i)
        QTest::keyClick(target, Qt::Key_Left, Qt::ShiftModifier);
    QTest::qWait(300);

    // The offscreen platform takes the window's activation away while a menu is
    // open, which closes the rename box; under X11 the box stays open.
    const bool popup = editor != u"rename"_s;
    QApplication::clipboard()->clear();
    QVERIFY(chooseFromEditMenu(ID_EDIT_COPY, popup));
    QTRY_COMPARE(QApplication::clipboard()->text(), u"xyzzy"_s);
    QVERIFY(chooseFromEditMenu(ID_EDIT_CUT, popup));
    QVERIFY(chooseFromEditMenu(ID_EDIT_PASTE, popup));
    QVERIFY(chooseFromEditMenu(ID_EDIT_PASTE, popup));
    QVERIFY(chooseFromEditMenu(ID_EDIT_UNDO, popup));
    QVERIFY(chooseFromEditMenu(ID_EDIT_SELECT_ALL, popup));
    QVERIFY(chooseFromEditMenu(ID_EDIT_COPY, popup));
    QTRY_VERIFY2(QApplication::clipboard()->text().contains(u"xyzzy"_s),
                 qPrintable(QApplication::clipboard()->text()));
}

void TestShell::standardKeys_runTheirCommands() {
    const auto keys = [this](int id) { return m_frame->commandAction(id)->shortcuts(); };
    QVERIFY(keys(ID_HELP_CONTENTS).contains(QKeySequence(Qt::Key_F1)));
    QVERIFY(keys(ID_FILE_CLOSE).contains(QKeySequence(Qt::ControlModifier | Qt::Key_W)));
    QVERIFY(keys(ID_FILE_SAVE_AS)
                .contains(QKeySequence(Qt::ControlModifier | Qt::ShiftModifier | Qt::Key_S)));
    QVERIFY(keys(ID_FILE_RELOAD).contains(QKeySequence(Qt::Key_F5)));
    QVERIFY(keys(ID_APP_EXIT).contains(QKeySequence(Qt::ControlModifier | Qt::Key_Q)));
    QVERIFY(keys(ID_APP_ABOUT).isEmpty());
    // Ctrl+Alt+F1 … F12 switch the console on Linux and never reach a program.
    for (QAction* action : m_frame->actions()) {
        for (const QKeySequence& key : action->shortcuts()) {
            const QKeyCombination combo = key[0];
            QVERIFY2(!(combo.keyboardModifiers() == (Qt::ControlModifier | Qt::AltModifier) &&
                       combo.key() >= Qt::Key_F1 && combo.key() <= Qt::Key_F12),
                     qPrintable(key.toString()));
        }
    }

    QTest::keyClick(m_frame.get(), Qt::Key_F1);
    QWidget* help = m_frame->findChild<QWidget*>(u"helpWindow"_s);
    QVERIFY(help);
    QTRY_VERIFY(help->isVisible());
    help->close();

    const QString path = WriteFile(*m_dir, u"feed.xml"_s, TwoPostFeed());
    CChildFrame* frame = open(path);
    QVERIFY(frame);
    // F5 reads the file again: a post added on disk shows up.
    QByteArray bytes = TwoPostFeed();
    bytes.replace("</channel>", "<item><title>Three</title></item></channel>");
    WriteFile(*m_dir, u"feed.xml"_s, bytes);
    QTest::keyClick(frame->postsBar()->ListView(), Qt::Key_F5);
    QTRY_COMPARE(frame->document()->GetPostCount(), 3);
    QTest::keyClick(frame->postsBar()->ListView(), Qt::Key_W, Qt::ControlModifier);
    QTRY_COMPARE(m_frame->childFrames().size(), 0);
}

void TestShell::windowMenu_movesBetweenFeeds() {
    const QString a = WriteFile(*m_dir, u"a.xml"_s, TwoPostFeed());
    const QString b = WriteFile(*m_dir, u"b.xml"_s, TwoPostFeed());
    QCOMPARE(m_frame->openFiles({a, b}), 2);
    QCOMPARE(m_frame->activeChildFrame()->document()->GetPathName(), b);
    QVERIFY(m_frame->runCommand(ID_WINDOW_NEXT));
    QCOMPARE(m_frame->activeChildFrame()->document()->GetPathName(), a);
    QVERIFY(m_frame->runCommand(ID_WINDOW_PREVIOUS));
    QCOMPARE(m_frame->activeChildFrame()->document()->GetPathName(), b);

    QMenu* menu = m_frame->menuNamed(u"Window"_s);
    QVERIFY(menu);
    emit menu->aboutToShow();
    QStringList listed;
    QAction* first = nullptr;
    for (QAction* action : menu->actions()) {
        if (action->isEnabled() && !action->isSeparator() && action->data().toInt() == 0) {
            listed.append(action->text() + (action->isChecked() ? u" *"_s : QString()));
            if (!first)
                first = action;
        }
    }
    QCOMPARE(listed, (QStringList{u"&1 a.xml"_s, u"&2 b.xml *"_s}));
    first->trigger();
    QCOMPARE(m_frame->activeChildFrame()->document()->GetPathName(), a);
    // Nothing in the menu is greyed for good.
    for (QAction* action : menu->actions())
        QVERIFY(action->isSeparator() || action->isEnabled());
}

void TestShell::fileNotRss_showsBarAndTakesNoTyping_data() {
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QString>("bar");
    const QString atom = u"This is an Atom feed. Orvan shows it but cannot edit its entries."_s;
    const QString other = u"This is not an RSS feed. Orvan shows it but cannot edit it."_s;
    QTest::newRow("atom") << QByteArray("<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>A"
                                        "</title><entry><title>E</title></entry></feed>")
                          << atom;
    QTest::newRow("atom with a prefix")
        << QByteArray("<a:feed xmlns:a=\"http://www.w3.org/2005/Atom\"><a:entry/></a:feed>")
        << atom;
    QTest::newRow("rss 1.0")
        << QByteArray("<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\""
                      " xmlns=\"http://purl.org/rss/1.0/\"><channel><title>R</title>"
                      "</channel><item><title>I</title></item></rdf:RDF>")
        << other;
    QTest::newRow("other xml") << QByteArray("<html><body><p>x</p></body></html>") << other;
    QTest::newRow("rss 0.91 stays editable")
        << QByteArray("<rss version=\"0.91\"><channel><title>Old</title><item><title>I</title>"
                      "<description>Old text</description></item></channel></rss>")
        << QString();
}

void TestShell::fileNotRss_showsBarAndTakesNoTyping() {
    QFETCH(QByteArray, xml);
    QFETCH(QString, bar);
    const QString path = WriteFile(*m_dir, u"feed.xml"_s, xml);
    CChildFrame* frame = open(path);
    QVERIFY(frame);
    CRSSEditDoc* doc = frame->document();
    QCOMPARE(frame->readOnlyBar()->isVisible(), !bar.isEmpty());
    QCOMPARE(frame->readOnlyReason(), bar);
    bool enabled = true;
    bool checked = false;
    m_frame->commandStatus(ID_FILE_SAVE, &enabled, &checked);
    QCOMPARE(enabled, bar.isEmpty());

    // Type wherever the keys go after the editor was asked for, then in the code pane.
    frame->focusView();
    QTest::qWait(200);
    QWidget* focus = QApplication::focusWidget();
    QVERIFY(focus);
    if (focus == frame->view() || frame->view()->isAncestorOf(focus))
        focus = PageInput(frame);
    QTest::keyClicks(focus, u"typed"_s);
    if (bar.isEmpty()) {
        // RSS 0.91 takes the text and saves it.
        QTRY_VERIFY(doc->GetFeed().GetDescription(0).contains(u"typed"_s));
        QTest::keyClick(focus, Qt::Key_S, Qt::ControlModifier);
        QTRY_VERIFY(!doc->IsModified());
        QVERIFY(FileField(path, 0, "description").contains(u"typed"_s));
        return;
    }
    QTest::keyClicks(frame->previewBar()->CodeEdit(), u"typed"_s);
    QTest::keyClick(focus, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(focus, Qt::Key_D, Qt::ControlModifier);
    QTest::qWait(300);
    QVERIFY(!doc->IsModified());
    QVERIFY(frame->sourceView()->isVisible());
    QVERIFY(!frame->sourceView()->ShownText().contains(u"typed"_s));
    QVERIFY(frame->previewBar()->CodeEdit()->ShownText().isEmpty());
    QVERIFY(m_frame->closeChildFrame(frame));
    QTRY_COMPARE(m_frame->childFrames().size(), 0);
    QCOMPARE(ReadBytes(path), xml);
}

int RunShellTests(int argc, char** argv) {
    TestShell test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_shell.moc"
