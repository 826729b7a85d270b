#include "app/childframe.h"
#include "app/desktopuiservices.h"
#include "app/mainframe.h"
#include "app/startpage.h"
#include "document/rsseditdoc.h"
#include "editor/rsseditview.h"
#include "htmlui/animateddialog.h"
#include "htmlui/htmldialog.h"
#include "platform/commandids.h"
#include "platform/identity.h"
#include "platform/recentfilelist.h"
#include "platform/settingsfile.h"
#include "postsbar/barrssitems.h"
#include "postsbar/htmlpreviewbar.h"
#include "postsbar/postslistmodel.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineView>

using namespace Qt::StringLiterals;

namespace {

// Records what the program would show or hand to the desktop.
class FakeUi final : public DesktopUiServices {
public:
    bool AskOkCancel(const QString& question) override {
        questions.append(question);
        return true;
    }
    void Beep() override { ++beeps; }
    bool PutClipboardText(const QString& text) override {
        clipboard = text;
        return true;
    }
    bool OpenUrl(const QString& url) override {
        urls.append(url);
        return true;
    }
    void ShowError(const QString& text) override { errors.append(text); }
    void ShowMessage(const QString& text) override { errors.append(text); }
    SaveAnswer AskSaveChanges(const QString& name) override {
        saveQuestions.append(name);
        return saveAnswer;
    }
    QString ChooseSaveFileName(const QString& suggestion) override {
        saveSuggestion = suggestion;
        return savePath;
    }

    QStringList questions;
    QStringList saveQuestions;
    QStringList errors;
    QStringList urls;
    QString clipboard;
    QString savePath;
    QString saveSuggestion;
    SaveAnswer saveAnswer = SaveAnswer::Cancel;
    int beeps = 0;
};

// Remembers every hint it hears.
class RecordingListener final : public DocumentListener {
public:
    void onNotify(DocumentListener*, DocHint hint, const HintParam&) override {
        hints.append(hint);
    }
    QList<int> hints;
};

QString WriteFeed(const QTemporaryDir& dir, const QString& name, const QStringList& titles) {
    QString xml = u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\">\n"
                  u"<channel><title>Test feed</title><link>https://feed.example/</link>\n"_s;
    for (qsizetype i = 0; i < titles.size(); ++i) {
        xml += u"<item><title>%1</title><link>https://feed.example/%2.html</link>"
               u"<description>&lt;p&gt;Body %2 &amp;amp; more&lt;/p&gt;</description>"
               u"<pubDate>Mon, 0%3 Jun 2024 10:00:00 +0000</pubDate></item>\n"_s.arg(titles[i])
                   .arg(i)
                   .arg(i + 1);
    }
    xml += u"</channel></rss>\n"_s;
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(xml.toUtf8());
    return path;
}

} // namespace

class TestApp : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void windowTitle_namesVersionAndRoot();
    void openFeed_createsWindowWithListFilled();
    void openSameFeedTwice_keepsOneWindow();
    void commandLine_badFileToldAndRestStillOpen();
    void editMenuCopy_reachesClipboardWhileEditorHasFocus_data();
    void editMenuCopy_reachesClipboardWhileEditorHasFocus();
    void postsBarNotification_notDeliveredBack();
    void modifiedDocument_asksBeforeClosing_data();
    void modifiedDocument_asksBeforeClosing();
    void quitting_asksForEveryModifiedFeed();
    void newFeedSaved_asksForNameAndJoinsRecentFiles();
    void newFeedSaved_suggestsFolderOfLastFeed();
    void menuBar_followsWhetherFeedIsOpen();
    void helpCommand_opensWebAddress();
    void shortcuts_eachKeyRunsOneCommand();
    void openedFeed_listedOnStartPage();
    void openFeed_keepsFileAnotherInstanceListed();
    void toolBarButtonRemoved_staysRemovedNextRun();
    void startPageLinks_reachProgramAndBrowser_data();
    void startPageLinks_reachProgramAndBrowser();
    void startPageReloaded_listsNewRecentFile();
    void startPageCreateNewFeed_realClickShowsDialog();
    void animatedDialog_unfoldsThenFadesOut();

private:
    std::unique_ptr<FakeUi> m_ui;
    std::unique_ptr<CMainFrame> m_frame;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestApp::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    m_ui = std::make_unique<FakeUi>();
    m_frame = std::make_unique<CMainFrame>(m_ui.get());
    m_ui->setParentWidget(m_frame.get());
    m_frame->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_frame.get()));
}

void TestApp::cleanup() {
    for (CChildFrame* frame : m_frame->childFrames())
        frame->document()->SetModifiedFlag(false);
    m_frame.reset();
    m_ui.reset();
    m_dir.reset();
}

void TestApp::windowTitle_namesVersionAndRoot() {
    const QString base = IsUserAdministrator() ? u"Orvan 1.00^"_s : u"Orvan 1.00"_s;
    QCOMPARE(CMainFrame::BaseTitle(), base);
    QCOMPARE(m_frame->windowTitle(), base);
    const QString path = WriteFeed(*m_dir, u"t.xml"_s, {u"a"_s});
    QVERIFY(m_frame->openDocumentFile(path));
    QCOMPARE(m_frame->windowTitle(), base + u" - "_s + path);
    m_frame->activeChildFrame()->document()->SetModifiedFlag(true);
    QCOMPARE(m_frame->windowTitle(), base + u" - "_s + path + u" *"_s);
}

void TestApp::openFeed_createsWindowWithListFilled() {
    const QString path = WriteFeed(*m_dir, u"feed.xml"_s, {u"One"_s, u"Two"_s, u"Three"_s});
    QVERIFY(m_frame->openDocumentFile(path));
    QCOMPARE(m_frame->childFrames().size(), 1);
    CChildFrame* frame = m_frame->activeChildFrame();
    QVERIFY(frame);
    QCOMPARE(frame->postsBar()->Model()->rowCount(), 3);
    QVERIFY(frame->subWindow()->isMaximized());
    QCOMPARE(m_frame->mdiArea()->isVisible(), true);
    // The start page is let go of while a feed is open.
    QVERIFY(!m_frame->startPage());
}

void TestApp::openSameFeedTwice_keepsOneWindow() {
    const QString path = WriteFeed(*m_dir, u"feed.xml"_s, {u"One"_s});
    QVERIFY(m_frame->openDocumentFile(path));
    QVERIFY(m_frame->openDocumentFile(path));
    QCOMPARE(m_frame->childFrames().size(), 1);
}

void TestApp::commandLine_badFileToldAndRestStillOpen() {
    const QString first = WriteFeed(*m_dir, u"first.xml"_s, {u"a"_s});
    const QString last = WriteFeed(*m_dir, u"last.xml"_s, {u"b"_s, u"c"_s});
    const QString missing = m_dir->filePath(u"missing.xml"_s);
    const QString broken = m_dir->filePath(u"broken.xml"_s);
    QFile file(broken);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<rss><channel><item>");
    file.close();

    QCOMPARE(m_frame->openFiles({first, missing, broken, last}), 2);
    QCOMPARE(m_frame->childFrames().size(), 2);
    QCOMPARE(m_ui->errors.size(), 2);
    QVERIFY2(m_ui->errors[0].contains(missing), qPrintable(m_ui->errors[0]));
    QVERIFY2(m_ui->errors[1].contains(broken), qPrintable(m_ui->errors[1]));
    // The reason follows the name.
    QVERIFY(m_ui->errors[0].size() > m_ui->errors[0].indexOf(missing) + missing.size() + 2);
}

void TestApp::editMenuCopy_reachesClipboardWhileEditorHasFocus_data() {
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("expected");
    QTest::newRow("copy title") << int(ID_POST_COPY_TITLE) << u"One & <b>"_s;
    QTest::newRow("copy post as xml")
        << int(ID_POST_COPY_AS_XML) << u"&lt;p&gt;Body 0 &amp;amp; more&lt;/p&gt;"_s;
}

void TestApp::editMenuCopy_reachesClipboardWhileEditorHasFocus() {
    QFETCH(int, command);
    QFETCH(QString, expected);
    const QString path = WriteFeed(*m_dir, u"feed.xml"_s, {u"One &amp; &lt;b&gt;"_s, u"Two"_s});
    QVERIFY(m_frame->openDocumentFile(path));
    CChildFrame* frame = m_frame->activeChildFrame();
    QVERIFY(frame->view()->waitUntilLoaded());
    frame->document()->NotifyViews(nullptr, HintSelectPost, 0);
    frame->focusView();
    QTRY_VERIFY(frame->view()->hasFocus() ||
                frame->view()->isAncestorOf(QApplication::focusWidget()));

    QAction* action = m_frame->commandAction(command);
    QVERIFY(action);
    // The action sits in the Edit menu of the document menu bar.
    QVERIFY(m_frame->menuNamed(u"Edit"_s)->actions().contains(action));
    action->trigger();
    QCOMPARE(m_ui->clipboard, expected);
}

void TestApp::postsBarNotification_notDeliveredBack() {
    const QString path = WriteFeed(*m_dir, u"feed.xml"_s, {u"One"_s, u"Two"_s, u"Three"_s});
    QVERIFY(m_frame->openDocumentFile(path));
    CChildFrame* frame = m_frame->activeChildFrame();
    RecordingListener posts;
    RecordingListener preview;
    frame->hub()->setListeners({&posts, &preview});

    frame->document()->NotifyViews(&posts, HintTitleChanged, 1);
    QCOMPARE(posts.hints, QList<int>());
    QCOMPARE(preview.hints, QList<int>{HintTitleChanged});

    frame->document()->NotifyViews(nullptr, HintSortChanged, 0);
    QCOMPARE(posts.hints, QList<int>{HintSortChanged});
    QCOMPARE(preview.hints, (QList<int>{HintTitleChanged, HintSortChanged}));

    frame->document()->NotifyViews(&preview, HintLinkOrAuthorChanged, 2);
    QCOMPARE(posts.hints, (QList<int>{HintSortChanged, HintLinkOrAuthorChanged}));
    QCOMPARE(preview.hints, (QList<int>{HintTitleChanged, HintSortChanged}));
    frame->hub()->setListeners({frame->postsBar(), frame->previewBar()});
}

void TestApp::modifiedDocument_asksBeforeClosing_data() {
    QTest::addColumn<bool>("modified");
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("questions");
    QTest::addColumn<int>("windowsLeft");
    QTest::addColumn<bool>("savedToDisk");
    using A = DesktopUiServices::SaveAnswer;
    QTest::newRow("unmodified closes quietly") << false << int(A::Cancel) << 0 << 0 << false;
    QTest::newRow("cancel keeps the window") << true << int(A::Cancel) << 1 << 1 << false;
    QTest::newRow("discard closes") << true << int(A::Discard) << 1 << 0 << false;
    QTest::newRow("save writes and closes") << true << int(A::Save) << 1 << 0 << true;
}

void TestApp::modifiedDocument_asksBeforeClosing() {
    QFETCH(bool, modified);
    QFETCH(int, answer);
    QFETCH(int, questions);
    QFETCH(int, windowsLeft);
    QFETCH(bool, savedToDisk);
    const QString path = WriteFeed(*m_dir, u"feed.xml"_s, {u"One"_s, u"Two"_s});
    QVERIFY(m_frame->openDocumentFile(path));
    CChildFrame* frame = m_frame->activeChildFrame();
    if (modified) {
        QVERIFY(frame->document()->GetFeed().SetTitle(1, u"Changed"_s));
        frame->document()->SetModifiedFlag(true);
    }
    m_ui->saveAnswer = DesktopUiServices::SaveAnswer(answer);

    m_frame->runCommand(ID_FILE_CLOSE);
    QCOMPARE(m_ui->saveQuestions.size(), questions);
    if (questions)
        QCOMPARE(m_ui->saveQuestions.first(), path);
    QTRY_COMPARE(m_frame->childFrames().size(), windowsLeft);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll().contains("Changed"), savedToDisk);
    if (windowsLeft == 0)
        QTRY_VERIFY(m_frame->startPage() && m_frame->startPage()->isVisible());
}

void TestApp::quitting_asksForEveryModifiedFeed() {
    const QString a = WriteFeed(*m_dir, u"a.xml"_s, {u"One"_s});
    const QString b = WriteFeed(*m_dir, u"b.xml"_s, {u"Two"_s});
    QCOMPARE(m_frame->openFiles({a, b}), 2);
    for (CChildFrame* frame : m_frame->childFrames())
        frame->document()->SetModifiedFlag(true);
    m_ui->saveAnswer = DesktopUiServices::SaveAnswer::Cancel;
    QVERIFY(!m_frame->close());
    QCOMPARE(m_ui->saveQuestions.size(), 1);
    QCOMPARE(m_frame->childFrames().size(), 2);

    m_ui->saveAnswer = DesktopUiServices::SaveAnswer::Discard;
    QVERIFY(m_frame->close());
    QCOMPARE(m_ui->saveQuestions.size(), 3);
}

void TestApp::newFeedSaved_asksForNameAndJoinsRecentFiles() {
    CChildFrame* frame =
        m_frame->createNewDocument({u"My feed"_s, u"https://my.example/"_s, u"News"_s});
    QVERIFY(frame);
    QCOMPARE(frame->postsBar()->Model()->rowCount(), 1);
    QVERIFY(frame->document()->GetPathName().isEmpty());

    m_ui->savePath = m_dir->filePath(u"new.xml"_s);
    QVERIFY(m_frame->runCommand(ID_FILE_SAVE));
    QVERIFY(QFile::exists(m_ui->savePath));
    QCOMPARE(frame->document()->GetPathName(), m_ui->savePath);
    QVERIFY(!frame->document()->IsModified());
    QCOMPARE(m_frame->recentFiles().Entries().value(0), m_ui->savePath);
    QVERIFY(m_frame->windowTitle().endsWith(m_ui->savePath));
}

void TestApp::newFeedSaved_suggestsFolderOfLastFeed() {
    const QString path = WriteFeed(*m_dir, u"feed.xml"_s, {u"One"_s});
    QVERIFY(m_frame->openDocumentFile(path));
    QVERIFY(m_frame->createNewDocument({u"My feed"_s, u"https://my.example/"_s, u"News"_s}));
    // The user cancels the file dialog.
    QVERIFY(m_frame->runCommand(ID_FILE_SAVE));
    QCOMPARE(QFileInfo(m_ui->saveSuggestion).absolutePath(), QFileInfo(path).absolutePath());
}

void TestApp::menuBar_followsWhetherFeedIsOpen() {
    QVERIFY(m_frame->menuNamed(u"File"_s));
    QVERIFY(!m_frame->menuNamed(u"Posts"_s));
    const QString path = WriteFeed(*m_dir, u"feed.xml"_s, {u"One"_s});
    QVERIFY(m_frame->openDocumentFile(path));
    for (const QString& name : {u"File"_s, u"Edit"_s, u"Posts"_s, u"Format"_s, u"Insert"_s,
                                u"View"_s, u"Tools"_s, u"Window"_s, u"Help"_s})
        QVERIFY2(m_frame->menuNamed(name), qPrintable(name));
    bool enabled = false;
    bool checked = false;
    // Delete needs more than one post; Forward is never possible.
    m_frame->commandStatus(ID_POST_DELETE, &enabled, &checked);
    QVERIFY(!enabled);
    m_frame->commandStatus(ID_POST_FORWARD, &enabled, &checked);
    QVERIFY(!enabled);
    m_frame->commandStatus(ID_SORT_BY_POSITION, &enabled, &checked);
    QVERIFY(enabled && checked);
}

void TestApp::shortcuts_eachKeyRunsOneCommand() {
    // Keys the desktop takes before the program sees them: input methods (typing a
    // character by its code, switching), the window manager and the consoles.
    const QList<QKeySequence> desktopKeys = {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_U),
                                             QKeySequence(Qt::CTRL | Qt::Key_Space),
                                             QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Space),
                                             QKeySequence(Qt::ALT | Qt::Key_Tab),
                                             QKeySequence(Qt::ALT | Qt::Key_Space),
                                             QKeySequence(Qt::ALT | Qt::Key_F2),
                                             QKeySequence(Qt::ALT | Qt::Key_F4),
                                             QKeySequence(Qt::ALT | Qt::Key_F7),
                                             QKeySequence(Qt::ALT | Qt::Key_F8),
                                             QKeySequence(Qt::ALT | Qt::Key_F10)};
    auto desktopTakes = [&desktopKeys](const QKeySequence& key) {
        const Qt::KeyboardModifiers mods = key[0].keyboardModifiers();
        return desktopKeys.contains(key) || (mods & Qt::MetaModifier) ||
               ((mods & Qt::ControlModifier) && (mods & Qt::AltModifier));
    };
    // Two commands on one key would both go dead; menu mnemonics count as keys too.
    QHash<QKeySequence, int> owner;
    for (QAction* action : m_frame->actions()) {
        for (const QKeySequence& key : action->shortcuts()) {
            QVERIFY2(!desktopTakes(key), qPrintable(key.toString() + u" is the desktop's"_s));
            const int id = action->data().toInt();
            QVERIFY2(!owner.contains(key) || owner.value(key) == id,
                     qPrintable(key.toString() + u" is taken twice"_s));
            owner.insert(key, id);
        }
    }
    const QString path = WriteFeed(*m_dir, u"feed.xml"_s, {u"One"_s});
    QVERIFY(m_frame->openDocumentFile(path));
    // The editor's own actions may only repeat the main window's keys for the same command.
    for (QAction* action : m_frame->activeChildFrame()->view()->editActions()) {
        for (const QKeySequence& key : action->shortcuts()) {
            QVERIFY2(!desktopTakes(key), qPrintable(key.toString() + u" is the desktop's"_s));
            QVERIFY2(!owner.contains(key) || owner.value(key) == action->data().toInt(),
                     qPrintable(key.toString() + u" is taken by the editor and the window"_s));
        }
    }
    for (QAction* menu : m_frame->menuBar()->actions()) {
        const QString title = menu->text();
        const qsizetype amp = title.indexOf(u'&');
        QVERIFY(amp >= 0);
        const QKeySequence mnemonic(
            QKeyCombination(Qt::AltModifier, Qt::Key(title.at(amp + 1).toUpper().unicode())));
        QVERIFY2(!owner.contains(mnemonic), qPrintable(title));
        owner.insert(mnemonic, -1);
    }
}

void TestApp::helpCommand_opensWebAddress() {
    QVERIFY(m_frame->runCommand(ID_HELP_SUPPORT));
    QVERIFY(m_frame->runCommand(ID_HELP_W3C_VALIDATOR));
    QCOMPARE(m_ui->urls.size(), 2);
    QVERIFY(m_ui->urls[0].endsWith(u"/home_support.php"_s));
    QVERIFY(m_ui->urls[1].contains(u"validator.w3.org/feed"_s));
}

void TestApp::openFeed_keepsFileAnotherInstanceListed() {
    // A second running instance lists a file after this one has read the list.
    const QString elsewhere = WriteFeed(*m_dir, u"other.xml"_s, {u"Two"_s});
    RecentFileList other(SettingsIniPath());
    other.Load();
    QVERIFY(other.AddAndSave(elsewhere));

    const QString path = WriteFeed(*m_dir, u"feed.xml"_s, {u"One"_s});
    QVERIFY(m_frame->openDocumentFile(path));
    RecentFileList saved(SettingsIniPath());
    saved.Load();
    QCOMPARE(saved.Entries().mid(0, 2), (QStringList{path, elsewhere}));
    QCOMPARE(m_frame->recentFiles().Entries().mid(0, 2), (QStringList{path, elsewhere}));
}

void TestApp::openedFeed_listedOnStartPage() {
    const QString path = WriteFeed(*m_dir, u"we&<\"ird.xml"_s, {u"One"_s});
    QVERIFY(m_frame->openDocumentFile(path));
    QCOMPARE(m_frame->recentFiles().Entries().value(0), path);
    m_frame->runCommand(ID_FILE_CLOSE);
    QTRY_VERIFY(m_frame->startPage() && m_frame->startPage()->isVisible());
    QVERIFY(m_frame->startPage()->pageText().contains(path.toHtmlEscaped()));
    QVERIFY(!m_frame->startPage()->pageText().contains(path));
}

void TestApp::startPageLinks_reachProgramAndBrowser_data() {
    QTest::addColumn<QString>("selector");
    QTest::addColumn<QString>("opened");
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("newFeed");
    QTest::newRow("recent file with markup in its name")
        << u"a[href^='#open_mru_doc#']"_s << u"/tmp/x\"y/<b>&amp;a.xml"_s << QString() << false;
    QTest::newRow("create new feed") << u"#create_new_doc"_s << QString() << QString() << true;
    QTest::newRow("https link") << u"a[href$='home_forum.php']"_s << QString()
                                << u"https://www.orvan.example/home_forum.php"_s << false;
}

void TestApp::startPageLinks_reachProgramAndBrowser() {
    QFETCH(QString, selector);
    QFETCH(QString, opened);
    QFETCH(QString, url);
    QFETCH(bool, newFeed);
    CStartPage page(m_ui.get());
    QSignalSpy openSpy(&page, &CStartPage::openFileRequested);
    QSignalSpy newSpy(&page, &CStartPage::newFeedRequested);
    page.reload({u"/tmp/x\"y/<b>&amp;a.xml"_s});
    page.resize(900, 700);
    page.show();
    QVERIFY(page.waitUntilLoaded());
    QCOMPARE(page.title(), u"Orvan"_s);

    page.element(selector).click();
    page.flush();
    if (!opened.isEmpty()) {
        QTRY_COMPARE(openSpy.size(), 1);
        QCOMPARE(openSpy.first().first().toString(), opened);
    }
    if (newFeed)
        QTRY_COMPARE(newSpy.size(), 1);
    if (!url.isEmpty())
        QTRY_COMPARE(m_ui->urls, QStringList{url});
    // The page stays where it is.
    QTest::qWait(200);
    QCOMPARE(page.title(), u"Orvan"_s);
    QVERIFY(!page.findById(u"create_new_doc"_s).isNull());
}

// A real click on the start page's "Create new feed" shows the dialog, whose
// own page loads while the start page's message is still being answered.
void TestApp::startPageCreateNewFeed_realClickShowsDialog() {
    CStartPage* page = m_frame->startPage();
    QVERIFY(page && page->waitUntilLoaded());
    page->flush();
    QVariantList centre;
    page->page()->runJavaScript(
        u"(function () { const r = document.getElementById('create_new_doc')"
        u".getBoundingClientRect(); return [r.left + r.width / 2, r.top + r.height / 2]; })()"_s,
        [&](const QVariant& v) { centre = v.toList(); });
    QTRY_COMPARE(centre.size(), 2);
    bool shown = false;
    QTimer poll;
    poll.setInterval(50);
    connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* dialog = qobject_cast<HtmlDialog*>(w); dialog && dialog->isVisible()) {
                shown = true;
                dialog->reject();
            }
        }
    });
    poll.start();
    // A dialog that never loads would keep the test waiting for good.
    QTimer::singleShot(30000, &poll, [&] {
        if (!shown)
            qFatal("the Create RSS Feed dialog never showed");
    });
    QTest::mouseClick(page->view()->focusProxy(), Qt::LeftButton, {},
                      QPoint(centre[0].toInt(), centre[1].toInt()));
    QTRY_VERIFY_WITH_TIMEOUT(shown, 20000);
}

void TestApp::startPageReloaded_listsNewRecentFile() {
    CStartPage page(m_ui.get());
    QSignalSpy openSpy(&page, &CStartPage::openFileRequested);
    page.resize(900, 700);
    page.show();
    page.reload({});
    QVERIFY(page.waitUntilLoaded());
    page.reload({u"/tmp/second.xml"_s});
    QVERIFY(page.waitUntilLoaded());
    page.element(u"a[href^='#open_mru_doc#']"_s).click();
    page.flush();
    QTRY_COMPARE(openSpy.size(), 1);
    QCOMPARE(openSpy.first().first().toString(), u"/tmp/second.xml"_s);
}

void TestApp::toolBarButtonRemoved_staysRemovedNextRun() {
    for (int id : {ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE})
        m_frame->removeToolBarButton(id);
    const auto buttons = [](CMainFrame& frame) {
        QList<int> ids;
        for (QAction* action : frame.mainToolBar()->actions())
            ids.append(action->isSeparator() ? 0 : action->data().toInt());
        return ids;
    };
    const QList<int> expected = {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, 0, ID_POST_FILTERING,
                                 0,           ID_APP_ABOUT};
    QCOMPARE(buttons(*m_frame), expected);

    CMainFrame next(m_ui.get());
    next.restoreWindowState();
    QCOMPARE(buttons(next), expected);
    next.resetToolBar();
    QCOMPARE(buttons(next).size(), 11);
}

void TestApp::animatedDialog_unfoldsThenFadesOut() {
    CAnimatedDialog dialog(m_frame.get());
    auto* layout = new QVBoxLayout(&dialog);
    auto* content = new QWidget(&dialog);
    content->setFixedSize(280, 140);
    layout->addWidget(content);
    dialog.adjustSize();
    const QSize full = dialog.size();
    dialog.setFadeDuration(150);
    dialog.show();
    QVERIFY(dialog.isUnfolding());
    QVERIFY(dialog.width() < full.width());
    QTRY_VERIFY(!dialog.isUnfolding());
    QCOMPARE(dialog.size(), full);

    dialog.done(QDialog::Accepted);
    // Still there while it fades.
    QVERIFY(dialog.isVisible());
    QTRY_VERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
}

int RunAppTests(int argc, char** argv) {
    TestApp test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_app.moc"
