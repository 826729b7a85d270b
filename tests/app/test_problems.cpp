// The Problems pane as a person uses it: F7, a double-click on a row, the Fix
// button and its questions answered with keys, typing meanwhile, then Ctrl+S
// and the saved bytes read back.
#include "app/childframe.h"
#include "app/desktopuiservices.h"
#include "app/mainframe.h"
#include "app/problemsdock.h"
#include "document/rsseditdoc.h"
#include "editor/rsseditview.h"
#include "htmlui/htmlsurface.h"
#include "postsbar/barrssitems.h"
#include "postsbar/postslistmodel.h"
#include "postsbar/postslistview.h"
#include "validate/feedvalidator.h"

#include "../editor/editortestkit.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QWebEngineView>

#include <pugixml.hpp>

using namespace Qt::StringLiterals;

namespace {

class QuietUi final : public DesktopUiServices {
public:
    void Beep() override { ++beeps; }
    bool OpenUrl(const QString&) override { return true; }
    int beeps = 0;
};

// Two posts with a problem of every kind the pane can fix: the channel has no
// description and no self link, the first post no guid, a wrong weekday and a
// relative link, the second two enclosures.
const char kFeed[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<rss version=\"2.0\">\n"
    "<channel>\n"
    "<title>Problems</title>\n"
    "<link>https://feed.example/</link>\n"
    "<language>en</language>\n"
    "<item>\n"
    "<title>First post</title>\n"
    "<link>https://feed.example/1.html</link>\n"
    "<description>&lt;p&gt;See &lt;a href=\"/about.html\"&gt;about&lt;/a&gt;.&lt;/p&gt;"
    "</description>\n"
    "<pubDate>Mon, 04 Jun 2024 10:00:00 +0000</pubDate>\n"
    "</item>\n"
    "<item>\n"
    "<title>Second post</title>\n"
    "<link>https://feed.example/2.html</link>\n"
    "<description><![CDATA[<p>Plain</p>]]></description>\n"
    "<guid isPermaLink=\"false\">b2</guid>\n"
    "<enclosure url=\"https://feed.example/a.mp3\" type=\"audio/mpeg\" length=\"100\"/>\n"
    "<enclosure url=\"https://feed.example/b.mp3\" type=\"audio/mpeg\" length=\"200\"/>\n"
    "<pubDate>Tue, 04 Jun 2024 10:00:00 +0000</pubDate>\n"
    "</item>\n"
    "</channel>\n"
    "</rss>\n";

QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The texts of every post as a plain XML reader sees them, field by field.
QStringList PostTexts(const QByteArray& bytes) {
    pugi::xml_document xml;
    if (!xml.load_buffer(bytes.constData(), static_cast<size_t>(bytes.size())))
        return {u"(unreadable)"_s};
    QStringList texts;
    int post = 0;
    for (pugi::xml_node item : xml.child("rss").child("channel").children("item")) {
        for (const char* field : {"title", "link", "description", "pubDate"}) {
            texts.append(u"%1 %2: %3"_s.arg(post).arg(
                QString::fromLatin1(field), QString::fromUtf8(item.child(field).text().get())));
        }
        ++post;
    }
    return texts;
}

bool HasFinding(const QByteArray& bytes, const QString& id) {
    for (const Finding& finding : ValidateFeedBytes(bytes).findings) {
        if (QString::fromLatin1(finding.id()) == id)
            return true;
    }
    return false;
}

QWidget* PageInput(CChildFrame* frame) {
    return frame->view()->surface()->view()->focusProxy();
}

} // namespace

class TestProblems : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void f7_listsFindingsAndMarksPosts();
    void doubleClick_goesToPostAndField_data();
    void doubleClick_goesToPostAndField();
    void fixButton_repairsOnlyItsProblem_data();
    void fixButton_repairsOnlyItsProblem();
    void typing_isCheckedAfterPause();
    void fixWhileTyping_keepsTyping();
    void editDuringPrint_startsOver_data();
    void editDuringPrint_startsOver();

private:
    CChildFrame* open();
    // F7 as the user presses it, then the findings.
    CProblemsDock* pressF7(CChildFrame* frame);
    // The row of the first finding with this id, chosen with a click.
    int clickRow(CProblemsDock* dock, const QString& id);
    // Answers the next modal dialog with keys: Down pressed moves times (Up
    // for a negative number), then text typed, then Return.
    void answerNextDialog(const QString& text, int moves);
    bool save(CChildFrame* frame);

    std::unique_ptr<QuietUi> m_ui;
    std::unique_ptr<CMainFrame> m_frame;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
    bool m_dialogSeen = false;
};

void TestProblems::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    m_ui = std::make_unique<QuietUi>();
    m_frame = std::make_unique<CMainFrame>(m_ui.get());
    m_ui->setParentWidget(m_frame.get());
    m_frame->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_frame.get()));
    m_path = m_dir->filePath(u"feed.xml"_s);
    QFile file(m_path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(kFeed);
    m_dialogSeen = false;
}

void TestProblems::cleanup() {
    for (CChildFrame* frame : m_frame->childFrames())
        frame->document()->SetModifiedFlag(false);
    m_frame.reset();
    m_ui.reset();
    m_dir.reset();
}

CChildFrame* TestProblems::open() {
    if (!m_frame->openDocumentFile(m_path))
        return nullptr;
    CChildFrame* frame = m_frame->activeChildFrame();
    if (!frame->view()->waitUntilLoaded())
        return nullptr;
    QTest::qWait(300);
    return frame;
}

CProblemsDock* TestProblems::pressF7(CChildFrame* frame) {
    m_frame->activateWindow();
    QWidget* list = frame->postsBar()->ListView();
    list->setFocus();
    QTest::keyClick(list, Qt::Key_F7);
    CProblemsDock* dock = frame->problemsDock();
    if (dock && !QTest::qWaitFor([dock] { return dock->isVisible() && dock->isCurrent(); }))
        return nullptr;
    return dock;
}

int TestProblems::clickRow(CProblemsDock* dock, const QString& id) {
    const std::vector<Finding>& findings = dock->findings();
    for (size_t i = 0; i < findings.size(); ++i) {
        if (QString::fromLatin1(findings[i].id()) != id)
            continue;
        QTreeView* list = dock->list();
        const QModelIndex index = list->model()->index(static_cast<int>(i), 0);
        list->scrollTo(index);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(index).center());
        return static_cast<int>(i);
    }
    return -1;
}

void TestProblems::answerNextDialog(const QString& text, int moves) {
    m_dialogSeen = false;
    auto* poll = new QTimer(this);
    poll->setInterval(50);
    connect(poll, &QTimer::timeout, this, [this, poll, text, moves] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog)
            return;
        poll->deleteLater();
        poll->stop();
        m_dialogSeen = true;
        QTimer::singleShot(200, dialog, [dialog, text, moves] {
            QWidget* target = dialog->focusWidget() ? dialog->focusWidget() : dialog;
            for (int i = 0; i < std::abs(moves); ++i)
                QTest::keyClick(target, moves > 0 ? Qt::Key_Down : Qt::Key_Up);
            QTest::keyClicks(target, text);
            QTest::keyClick(target, Qt::Key_Return);
        });
    });
    poll->start();
}

bool TestProblems::save(CChildFrame* frame) {
    // Without a window manager the window does not get its focus back by
    // itself after a dialog.
    m_frame->activateWindow();
    if (!QTest::qWaitFor([this] { return QApplication::activeWindow() == m_frame.get(); }))
        return false;
    QWidget* list = frame->postsBar()->ListView();
    list->setFocus();
    QTest::keyClick(list, Qt::Key_S, Qt::ControlModifier);
    return QTest::qWaitFor([frame] { return !frame->document()->IsModified(); });
}

void TestProblems::f7_listsFindingsAndMarksPosts() {
    CChildFrame* frame = open();
    QVERIFY(frame);
    QVERIFY(!frame->problemsDock());
    // F7 while writing the post.
    QWidget* input = PageInput(frame);
    QTest::mouseClick(input, Qt::LeftButton, {}, QPoint(input->width() / 2, input->height() / 3));
    QTest::qWait(200);
    QTest::keyClick(input, Qt::Key_F7);
    CProblemsDock* dock = frame->problemsDock();
    QVERIFY(dock);
    QTRY_VERIFY(dock->isVisible() && dock->isCurrent());
    QVERIFY(!frame->document()->IsModified());
    QStringList ids;
    for (const Finding& finding : dock->findings())
        ids.append(QString::fromLatin1(finding.id()));
    QCOMPARE(ids, (QStringList{u"MissingDescription"_s, u"MissingAtomSelfLink"_s, u"MissingGuid"_s,
                               u"ContainsRelRef"_s, u"IncorrectDOW"_s, u"DuplicateEnclosure"_s}));
    QCOMPARE(dock->summary()->text(), u"2 errors, 4 warnings"_s);
    // Each row: message, the post's title, the line in the file.
    const QAbstractItemModel* rows = dock->list()->model();
    QCOMPARE(rows->index(4, 1).data().toString(), u"First post"_s);
    QCOMPARE(rows->index(4, 2).data().toInt(), 11);
    QCOMPARE(rows->index(0, 1).data().toString(), u"(channel)"_s);
    // Only the first post has an error (its weekday); warnings leave no mark.
    PostsListModel* posts = frame->postsBar()->Model();
    QVERIFY(posts->HasErrors(0));
    QVERIFY(!posts->HasErrors(1));
    // Closed, the pane leaves no marks behind that nobody keeps up to date.
    dock->close();
    QVERIFY(!posts->HasErrors(0));
    // Opened again, they are back.
    QTest::keyClick(frame->postsBar()->ListView(), Qt::Key_F7);
    QTRY_VERIFY(dock->isVisible() && dock->isCurrent());
    QVERIFY(posts->HasErrors(0));
}

void TestProblems::doubleClick_goesToPostAndField_data() {
    QTest::addColumn<QString>("id");
    // The element of the editor's face that gets the focus; empty for the
    // post's text, which lives in a frame of its own.
    QTest::addColumn<QString>("focused");
    QTest::newRow("enclosure: the text") << u"DuplicateEnclosure"_s << QString();
    QTest::newRow("title") << u"ContainsHTML"_s << u"div_title"_s;
}

void TestProblems::doubleClick_goesToPostAndField() {
    QFETCH(QString, id);
    QFETCH(QString, focused);
    // The second post's title also looks like HTML.
    QFile file(m_path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(kFeed).replace("<title>Second post</title>",
                                         "<title>Second &amp;amp; post</title>"));
    file.close();
    CChildFrame* frame = open();
    QVERIFY(frame);
    CProblemsDock* dock = pressF7(frame);
    QVERIFY(dock);
    QCOMPARE(frame->document()->GetCurrentPost(), 0);
    const int row = clickRow(dock, id);
    QVERIFY(row >= 0);
    QTreeView* list = dock->list();
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {},
                       list->visualRect(list->model()->index(row, 0)).center());
    QTRY_COMPARE(frame->document()->GetCurrentPost(), 1);
    QTRY_COMPARE(frame->view()->ShownPost(), 1);
    QCOMPARE(frame->postsBar()->MarkedPost(), 1);
    HtmlSurface* surface = frame->view()->surface();
    QTRY_VERIFY(surface->hasFocus());
    if (!focused.isEmpty())
        QTRY_COMPARE(surface->focusedId(), focused);
    // Nothing was changed by going there.
    QVERIFY(!frame->document()->IsModified());
}

void TestProblems::fixButton_repairsOnlyItsProblem_data() {
    QTest::addColumn<QString>("id");
    // Whether the fix asks, and the keys that answer: Down (Up when
    // negative) pressed moves times, then the answer typed.
    QTest::addColumn<bool>("asks");
    QTest::addColumn<int>("moves");
    QTest::addColumn<QString>("answer");
    // The post texts the fix changes, as "post field: ".
    QTest::addColumn<QString>("changed");
    // Found in the saved file, and not found there.
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<QByteArray>("gone");

    QTest::newRow("guid") << u"MissingGuid"_s << false << 0 << QString() << QString()
                          << QByteArray("<guid isPermaLink=\"false\">") << QByteArray();
    QTest::newRow("weekday") << u"IncorrectDOW"_s << false << 0 << QString() << u"0 pubDate: "_s
                             << QByteArray("<pubDate>Tue, 04 Jun 2024 10:00:00 +0000</pubDate>")
                             << QByteArray("Mon, 04 Jun");
    QTest::newRow("relative link")
        << u"ContainsRelRef"_s << false << 0 << QString() << u"0 description: "_s
        << QByteArray("href=\"https://feed.example/about.html\"")
        << QByteArray("href=\"/about.html");
    QTest::newRow("self link") << u"MissingAtomSelfLink"_s << true << 0
                               << u"https://feed.example/rss.xml"_s << QString()
                               << QByteArray("href=\"https://feed.example/rss.xml\"")
                               << QByteArray();
    QTest::newRow("channel description")
        << u"MissingDescription"_s << true << 0 << u"Things worth a look"_s << QString()
        << QByteArray("<description>Things worth a look</description>") << QByteArray();
    // The question offers the duplicate; the user picks the first instead.
    QTest::newRow("duplicate enclosure") << u"DuplicateEnclosure"_s << true << -1 << QString()
                                         << QString() << QByteArray("b.mp3") << QByteArray("a.mp3");
}

void TestProblems::fixButton_repairsOnlyItsProblem() {
    QFETCH(QString, id);
    QFETCH(bool, asks);
    QFETCH(int, moves);
    QFETCH(QString, answer);
    QFETCH(QString, changed);
    QFETCH(QByteArray, expected);
    QFETCH(QByteArray, gone);
    CChildFrame* frame = open();
    QVERIFY(frame);
    CProblemsDock* dock = pressF7(frame);
    QVERIFY(dock);
    QVERIFY(clickRow(dock, id) >= 0);
    QVERIFY(dock->fixButton()->isEnabled());
    if (asks)
        answerNextDialog(answer, moves);
    QTest::mouseClick(dock->fixButton(), Qt::LeftButton);
    QCOMPARE(m_dialogSeen, asks);
    QVERIFY(frame->document()->IsModified());
    QTRY_VERIFY(dock->isCurrent());
    QVERIFY(save(frame));

    const QByteArray saved = ReadBytes(m_path);
    QVERIFY2(saved.contains(expected), saved.constData());
    QVERIFY2(gone.isEmpty() || !saved.contains(gone), saved.constData());
    QVERIFY2(!HasFinding(saved, id), qPrintable(id));
    // Every other text of every post is as it was: no date renewed, no
    // footer added, no CDATA turned into text.
    const QStringList before = PostTexts(kFeed);
    const QStringList after = PostTexts(saved);
    QCOMPARE(after.size(), before.size());
    for (qsizetype i = 0; i < before.size(); ++i) {
        if (changed.isEmpty() || !before[i].startsWith(changed))
            QCOMPARE(after[i], before[i]);
    }
    QVERIFY(saved.contains("<![CDATA[<p>Plain</p>]]>"));
    // The editor shows the post as the fix left it.
    if (!changed.isEmpty() && changed.contains(u"description"_s))
        QVERIFY(frame->view()->SaveBodyHtml().contains(u"https://feed.example/about.html"_s));
    // The pane followed the save.
    QTRY_VERIFY(dock->isCurrent());
    for (const Finding& finding : dock->findings())
        QVERIFY(QString::fromLatin1(finding.id()) != id);
}

void TestProblems::typing_isCheckedAfterPause() {
    CChildFrame* frame = open();
    QVERIFY(frame);
    CProblemsDock* dock = pressF7(frame);
    QVERIFY(dock);
    QSignalSpy checks(dock, &CProblemsDock::validated);
    QWidget* input = PageInput(frame);
    QTest::mouseClick(input, Qt::LeftButton, {}, QPoint(input->width() / 2, input->height() / 3));
    QTest::qWait(200);
    QTest::keyClicks(input, u"XYZ"_s);
    QTRY_VERIFY(!dock->isCurrent());
    // Checked again once typing paused, with what was typed in the feed.
    QTRY_VERIFY(dock->isCurrent());
    QVERIFY(checks.size() >= 1);
    QVERIFY(frame->document()->GetFeed().GetDescription(0).contains(u"XYZ"_s));
}

void TestProblems::fixWhileTyping_keepsTyping() {
    CChildFrame* frame = open();
    QVERIFY(frame);
    CProblemsDock* dock = pressF7(frame);
    QVERIFY(dock);
    QVERIFY(clickRow(dock, u"ContainsRelRef"_s) >= 0);
    QWidget* input = PageInput(frame);
    QTest::mouseClick(input, Qt::LeftButton, {}, QPoint(input->width() / 2, input->height() / 3));
    QTest::qWait(200);
    QTest::keyClicks(input, u"XYZ"_s);
    QTRY_VERIFY(frame->document()->IsModified());
    QTRY_VERIFY(dock->isCurrent());
    // More typing, and at once the fix of the same post's text: the page has
    // not handed these keys over yet, nor even reported them.
    QTest::keyClicks(input, u"QRS"_s);
    QVERIFY(dock->fixButton()->isEnabled());
    QTest::mouseClick(dock->fixButton(), Qt::LeftButton);
    QTRY_VERIFY(dock->isCurrent());
    QVERIFY(save(frame));
    const QString description = PostTexts(ReadBytes(m_path)).at(2);
    QVERIFY2(description.contains(u"XYZQRS"_s), qPrintable(description));
    QVERIFY2(description.contains(u"https://feed.example/about.html"_s), qPrintable(description));
    // Typing goes on in the fixed post.
    QTest::mouseClick(input, Qt::LeftButton, {}, QPoint(input->width() / 2, input->height() / 3));
    QTest::qWait(200);
    QTest::keyClicks(input, u"TUV"_s);
    QTRY_VERIFY(frame->document()->IsModified());
    QVERIFY(save(frame));
    QVERIFY(PostTexts(ReadBytes(m_path)).at(2).contains(u"TUV"_s));
    // The check that follows the save leaves the saved feed as it is.
    QTRY_VERIFY(dock->isCurrent());
    QVERIFY(!frame->document()->IsModified());
}

void TestProblems::editDuringPrint_startsOver_data() {
    // 0: more keys typed into the title, 1: a post added, 2: Ctrl+S.
    QTest::addColumn<int>("edit");
    QTest::newRow("title typed") << 0;
    QTest::newRow("post added") << 1;
    QTest::newRow("saved") << 2;
}

// The feed is printed a few nodes at a time; a change that lands between two
// parts must not be mixed into the print (nodes it stood on may be gone):
// the check starts over, and what it shows is the feed as it ends up.
void TestProblems::editDuringPrint_startsOver() {
    QFETCH(int, edit);
    CChildFrame* frame = open();
    QVERIFY(frame);
    CProblemsDock* dock = pressF7(frame);
    QVERIFY(dock);
    dock->setSliceNodesForTests(5);
    dock->holdPrintForTests(true);
    const int abandoned = dock->abandonedPrints();
    CRSSEditView* view = frame->view();
    editortest::clickOn(view, u"#div_title"_s);
    QTRY_COMPARE(view->surface()->focusedId(), u"div_title"_s);
    editortest::pressKey(view, Qt::Key_End);
    editortest::typeKeys(view, u"Q"_s);
    // The pause after the key starts a check, which stops after its first part.
    QTRY_VERIFY(dock->isPrinting());
    QVERIFY2(dock->summary()->text().endsWith(u"(checking…)"_s),
             qPrintable(dock->summary()->text()));
    CRSSEditDoc* doc = frame->document();
    if (edit == 2) {
        QVERIFY(save(frame));
    } else if (edit == 1) {
        QWidget* list = frame->postsBar()->ListView();
        list->setFocus();
        const int posts = doc->GetPostCount();
        QTest::keyClick(list, Qt::Key_D, Qt::ControlModifier);
        QCOMPARE(doc->GetPostCount(), posts + 1);
    } else {
        editortest::typeKeys(view, u"<b>x</b>"_s);
        QTRY_VERIFY(doc->GetFeed().GetTitle(0).endsWith(u"Q<b>x</b>"_s));
    }
    dock->holdPrintForTests(false);
    QTRY_VERIFY(dock->abandonedPrints() > abandoned);
    QTRY_VERIFY(dock->isCurrent());
    const std::vector<Finding> expected = ValidateFeedBytes(doc->GetFeed().SaveToMemory()).findings;
    const auto describe = [](const std::vector<Finding>& findings) {
        QStringList rows;
        for (const Finding& finding : findings)
            rows.append(u"%1 post %2 line %3"_s.arg(QString::fromLatin1(finding.id()))
                            .arg(finding.post)
                            .arg(finding.line));
        return rows;
    };
    QCOMPARE(describe(dock->findings()), describe(expected));
    QCOMPARE(describe(expected).filter(u"ContainsHTML post 0"_s).size(), edit == 0 ? 1 : 0);
}

int RunProblemsTests(int argc, char** argv) {
    TestProblems test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_problems.moc"
