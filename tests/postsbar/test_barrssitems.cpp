#include "postsbartestkit.h"

#include "platform/commandids.h"
#include "postsbar/barrssitems.h"
#include "postsbar/postslistmodel.h"
#include "postsbar/postslistview.h"
#include "postsbar/rowicons.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// A document window with the posts bar docked and a feed file on disk.
struct Frame {
    Frame() : doc(&ui) {
        doc.AddView(&view);
        doc.SetFrameHub(&hub);
        bar = new CBarRssItems(&doc, &ui, &window);
        window.addDockWidget(Qt::LeftDockWidgetArea, bar);
        hub.listeners.append(bar);
        window.resize(500, 400);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
    }
    bool Open(const QList<SamplePost>& posts) {
        path = WriteSampleFeed(dir, posts);
        return doc.OpenDocumentFile(path);
    }
    QStringList Titles() const {
        QStringList titles;
        for (int row = 0; row < bar->Model()->rowCount(); ++row)
            titles.append(bar->Model()->index(row, 0).data().toString());
        return titles;
    }

    QTemporaryDir dir;
    FakeUiServices ui;
    CRSSEditDoc doc;
    RecordingView view;
    TestHub hub;
    QMainWindow window;
    CBarRssItems* bar = nullptr;
    QString path;
};

QList<SamplePost> ManyPosts(int count) {
    QList<SamplePost> posts;
    for (int i = 0; i < count; ++i)
        posts.append({u"Post %1"_s.arg(i), u"https://example.org/%1.htm"_s.arg(i),
                      u"<P>Body %1</P>"_s.arg(i), u"0%1 Dec 2026 10:00:00 GMT"_s.arg(i % 9 + 1)});
    return posts;
}

} // namespace

class TestBarRssItems final : public QObject {
    Q_OBJECT
private slots:
    void open_fillsListAndSelectsFirstRow();
    void emptyFeed_animatesEmptyText();
    void firstShowAndResize_titleColumnTakesWidthDateLeaves();
    void arrowKeysHeld_announceOnlyFinalRow();
    void headerClickOnTitle_sortsByCodeUnit();
    void deleteAfterSort_keepsEveryRowValid();
    void reload_rebuildsRowsFromFeed();
    void renameInPlace_changesOnlyWhatWasTyped_data();
    void renameInPlace_changesOnlyWhatWasTyped();
    void rowRefreshedWhileRenaming_keepsTypingAndSelection();
    void copyCommands_reachClipboard_data();
    void copyCommands_reachClipboard();
    void ownNotification_isIgnored();
    void selectionElsewhere_marksRowWithoutAnnouncing();
    void filter_appliesOnceAfterLastKey();
    void filterEscape_emptiesThenCloses();
    void filterWithoutMatch_beepsAndShowsRed();
    void popupMenus_offerPostCommands_data();
    void popupMenus_offerPostCommands();
    void rowIconKey_followsLink_data();
    void rowIconKey_followsLink();
};

void TestBarRssItems::open_fillsListAndSelectsFirstRow() {
    Frame f;
    QCOMPARE(f.bar->windowTitle(), u"RSS Items [0]"_s);
    QVERIFY(f.Open(SamplePosts()));
    QCOMPARE(f.bar->windowTitle(), u"RSS Items [3]"_s);
    QCOMPARE(f.Titles(), (QStringList{u"b"_s, u"B"_s, u"a"_s}));
    QCOMPARE(f.bar->Model()->index(0, 1).data().toString(), u"01 Dec 2026 10:00:00 GMT"_s);
    QTRY_COMPARE(f.view.PostsOf(HintSelectPost), QList<int>{0});
    QCOMPARE(f.doc.GetCurrentPost(), 0);
    QCOMPARE(f.bar->MarkedPost(), 0);
    const QString tip = f.bar->Model()->index(0, 0).data(Qt::ToolTipRole).toString();
    QVERIFY(tip.contains(u"b [01 Dec 2026 10:00:00 GMT]"_s));
    QVERIFY(tip.contains(u"https://example.org/b.html"_s));
}

void TestBarRssItems::emptyFeed_animatesEmptyText() {
    Frame f;
    QVERIFY(f.Open({}));
    QCOMPARE(f.bar->Model()->rowCount(), 0);
    const QString first = f.bar->ListView()->EmptyTextShown();
    QVERIFY(first.startsWith(u"RSS Items"_s));
    QTRY_VERIFY(f.bar->ListView()->EmptyTextShown() != first);
    QTRY_COMPARE(f.bar->ListView()->EmptyTextShown(), u"RSS Items\u2026\u2026\u2026"_s);
    QTRY_COMPARE(f.bar->ListView()->EmptyTextShown(), u"RSS Items\u2026"_s);
}

void TestBarRssItems::firstShowAndResize_titleColumnTakesWidthDateLeaves() {
    // A document window fills its bar before the window is shown.
    QTemporaryDir dir;
    FakeUiServices ui;
    CRSSEditDoc doc(&ui);
    QVERIFY(doc.OpenDocumentFile(WriteSampleFeed(dir, ManyPosts(5))));
    QMainWindow window;
    auto* bar = new CBarRssItems(&doc, &ui, &window);
    window.addDockWidget(Qt::LeftDockWidgetArea, bar);
    window.resize(600, 400);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    PostsListView* list = bar->ListView();
    QHeaderView* header = list->header();
    const auto columnsFill = [&] {
        return header->sectionSize(0) + header->sectionSize(1) == list->viewport()->width();
    };
    QTRY_VERIFY(columnsFill());
    QVERIFY(header->sectionSize(0) > header->minimumSectionSize());

    window.resizeDocks({bar}, {bar->width() + 80}, Qt::Horizontal);
    QTRY_VERIFY(columnsFill());
}

void TestBarRssItems::arrowKeysHeld_announceOnlyFinalRow() {
    Frame f;
    QVERIFY(f.Open(ManyPosts(8)));
    QTRY_COMPARE(f.view.PostsOf(HintSelectPost), QList<int>{0});
    f.view.hints.clear();
    f.bar->ListView()->setFocus();
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(f.bar->ListView(), Qt::Key_Down);
        QTest::qWait(20);
    }
    QTRY_COMPARE(f.view.PostsOf(HintSelectPost), QList<int>{4});
    QTest::qWait(400);
    QCOMPARE(f.view.PostsOf(HintSelectPost), QList<int>{4});
    QCOMPARE(f.doc.GetCurrentPost(), 4);
}

void TestBarRssItems::headerClickOnTitle_sortsByCodeUnit() {
    Frame f;
    QVERIFY(f.Open(SamplePosts()));
    emit f.bar->ListView()->header()->sectionClicked(0);
    QCOMPARE(f.doc.GetSortMode(), PostSortMode::ByTitle);
    QCOMPARE(f.Titles(), (QStringList{u"B"_s, u"a"_s, u"b"_s}));
    // The post that was marked stays marked in its new row.
    QCOMPARE(f.bar->MarkedPost(), 0);
    emit f.bar->ListView()->header()->sectionClicked(1);
    QCOMPARE(f.Titles(), (QStringList{u"B"_s, u"a"_s, u"b"_s}));
    QCOMPARE(f.doc.GetSortMode(), PostSortMode::ByDate);
}

void TestBarRssItems::deleteAfterSort_keepsEveryRowValid() {
    Frame f;
    QVERIFY(f.Open(ManyPosts(6)));
    emit f.bar->ListView()->header()->sectionClicked(0);
    QTRY_VERIFY(f.doc.GetCurrentPost() >= 0);
    QVERIFY(f.doc.OnPostDelete());
    QCOMPARE(f.bar->Model()->rowCount(), 5);
    QSet<int> seen;
    for (int row = 0; row < 5; ++row) {
        const int post = f.bar->Model()->PostOfRow(row);
        QVERIFY(post >= 0 && post < 5);
        seen.insert(post);
    }
    QCOMPARE(seen.size(), 5);
    QCOMPARE(f.bar->windowTitle(), u"RSS Items [5]"_s);
}

void TestBarRssItems::reload_rebuildsRowsFromFeed() {
    Frame f;
    QVERIFY(f.Open(ManyPosts(3)));
    emit f.bar->ListView()->header()->sectionClicked(1);
    // The file gains two posts behind the program's back.
    QCOMPARE(WriteSampleFeed(f.dir, ManyPosts(5)), f.path);
    QVERIFY(f.doc.OnFileReload());
    QCOMPARE(f.bar->Model()->rowCount(), 5);
    QSet<int> seen;
    for (int row = 0; row < 5; ++row) {
        QVERIFY(!f.bar->Model()->index(row, 0).data().toString().isEmpty());
        seen.insert(f.bar->Model()->PostOfRow(row));
    }
    QCOMPARE(seen, (QSet<int>{0, 1, 2, 3, 4}));
}

void TestBarRssItems::renameInPlace_changesOnlyWhatWasTyped_data() {
    QTest::addColumn<QString>("keys");
    // How the box is left: Enter, Escape, or the focus moving elsewhere.
    QTest::addColumn<int>("leave");
    QTest::addColumn<QString>("title");
    QTest::newRow("typed and entered") << u"Renamed"_s << int(Qt::Key_Return) << u"Renamed"_s;
    QTest::newRow("typed then escaped") << u"Renamed"_s << int(Qt::Key_Escape) << u"b"_s;
    QTest::newRow("opened and left") << QString() << 0 << u"b"_s;
    QTest::newRow("opened and entered") << QString() << int(Qt::Key_Return) << u"b"_s;
    QTest::newRow("typed back to the same") << u"b"_s << int(Qt::Key_Return) << u"b"_s;
}

void TestBarRssItems::renameInPlace_changesOnlyWhatWasTyped() {
    QFETCH(QString, keys);
    QFETCH(int, leave);
    QFETCH(QString, title);
    Frame f;
    QVERIFY(f.Open(SamplePosts()));
    QTRY_COMPARE(f.doc.GetCurrentPost(), 0);
    const QString date = f.doc.GetFeed().GetPubDate(0);
    f.doc.OnPostRename();
    auto* editor = f.bar->findChild<QLineEdit*>(u"postTitleEditor"_s);
    QVERIFY(editor);
    QVERIFY(editor->height() >=
            2 * f.bar->ListView()->visualRect(f.bar->Model()->index(0, 0)).height());
    QTRY_COMPARE(editor->selectedText(), u"b"_s);
    QTest::keyClicks(editor, keys);
    if (leave)
        QTest::keyClick(editor, Qt::Key(leave));
    else
        f.bar->ListView()->setFocus();
    QTRY_VERIFY(!f.bar->findChild<QLineEdit*>(u"postTitleEditor"_s));
    QTest::qWait(50);
    QCOMPARE(f.doc.GetFeed().GetTitle(0), title);
    const bool renamed = title != u"b"_s;
    QCOMPARE(f.doc.IsModified(), renamed);
    QCOMPARE(f.doc.GetFeed().GetPubDate(0) == date, !renamed);
    QCOMPARE(f.view.PostsOf(HintTitleChanged), renamed ? QList<int>{0} : QList<int>{});
}

void TestBarRssItems::rowRefreshedWhileRenaming_keepsTypingAndSelection() {
    Frame f;
    QVERIFY(f.Open(SamplePosts()));
    QTRY_COMPARE(f.doc.GetCurrentPost(), 0);
    f.doc.OnPostRename();
    auto* editor = f.bar->findChild<QLineEdit*>(u"postTitleEditor"_s);
    QVERIFY(editor);
    QTRY_COMPARE(editor->selectedText(), u"b"_s);
    // A fresh post takes its author while its title editor is already open.
    f.doc.NotifyViews(nullptr, HintLinkOrAuthorChanged, 0);
    QCOMPARE(editor->selectedText(), u"b"_s);
    QTest::keyClicks(editor, u"New"_s);
    f.doc.NotifyViews(nullptr, HintTitleChanged, 0);
    QCOMPARE(editor->text(), u"New"_s);
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_COMPARE(f.doc.GetFeed().GetTitle(0), u"New"_s);
}

void TestBarRssItems::copyCommands_reachClipboard_data() {
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("beeps");
    QTest::newRow("title") << int(ID_POST_COPY_TITLE) << 1 << u"B"_s << 0;
    QTest::newRow("xml") << int(ID_POST_COPY_AS_XML) << 0
                         << u"&lt;P&gt;Bee &quot;quoted&quot;&lt;/P&gt;"_s << 0;
    QTest::newRow("empty description") << int(ID_POST_COPY_AS_XML) << 2 << QString() << 0;
}

void TestBarRssItems::copyCommands_reachClipboard() {
    QFETCH(int, command);
    QFETCH(int, row);
    QFETCH(QString, expected);
    QFETCH(int, beeps);
    Frame f;
    QVERIFY(f.Open(SamplePosts()));
    f.doc.NotifyViews(nullptr, HintSelectPost, row);
    QCOMPARE(f.bar->MarkedPost(), row);
    bool enabled = false;
    QVERIFY(f.bar->commandStatus(command, &enabled, nullptr));
    QCOMPARE(enabled, !expected.isEmpty());
    QVERIFY(f.bar->handleCommand(command));
    QCOMPARE(f.ui.clipboard, expected);
    QCOMPARE(f.ui.beeps, expected.isEmpty() ? 1 : beeps);
    QVERIFY(!f.bar->handleCommand(ID_EDIT_COPY));
}

void TestBarRssItems::ownNotification_isIgnored() {
    Frame f;
    QVERIFY(f.Open(SamplePosts()));
    f.bar->onNotify(f.bar, HintRenamePost, 0);
    QVERIFY(!f.bar->findChild<QLineEdit*>(u"postTitleEditor"_s));
    f.bar->onNotify(nullptr, HintRenamePost, 0);
    QVERIFY(f.bar->findChild<QLineEdit*>(u"postTitleEditor"_s));
}

void TestBarRssItems::selectionElsewhere_marksRowWithoutAnnouncing() {
    Frame f;
    QVERIFY(f.Open(ManyPosts(5)));
    QTRY_COMPARE(f.view.PostsOf(HintSelectPost), QList<int>{0});
    f.doc.NotifyViews(nullptr, HintSelectPost, 3);
    QCOMPARE(f.bar->MarkedPost(), 3);
    QVERIFY(f.bar->ListView()->selectionModel()->selectedRows().isEmpty());
    QTest::qWait(400);
    QCOMPARE(f.view.PostsOf(HintSelectPost), (QList<int>{0, 3}));
}

void TestBarRssItems::filter_appliesOnceAfterLastKey() {
    Frame f;
    QVERIFY(f.Open(ManyPosts(12)));
    f.doc.OnFiltering();
    QLineEdit* box = f.bar->FilterBox();
    QVERIFY(box);
    QVERIFY(f.doc.IsFilteringChecked());
    QTRY_VERIFY(box->hasFocus());
    QTest::qWait(50);
    QSignalSpy fills(f.bar->Model(), &QAbstractItemModel::modelReset);
    for (const char* keys : {"  PO", "ST 1"}) {
        QTest::keyClicks(box, QString::fromLatin1(keys));
        QTest::qWait(150);
    }
    QCOMPARE(box->text(), u"  post 1"_s);
    QCOMPARE(fills.count(), 0);
    QTRY_COMPARE(fills.count(), 1);
    QCOMPARE(f.Titles(), (QStringList{u"Post 1"_s, u"Post 10"_s, u"Post 11"_s}));
    QTRY_COMPARE(f.doc.GetCurrentPost(), 1);
    QTest::qWait(1200);
    QCOMPARE(fills.count(), 1);
    QCOMPARE(f.bar->windowTitle(), u"RSS Items [12]"_s);
}

void TestBarRssItems::filterEscape_emptiesThenCloses() {
    Frame f;
    QVERIFY(f.Open(ManyPosts(4)));
    f.doc.OnFiltering();
    QLineEdit* box = f.bar->FilterBox();
    QTRY_VERIFY(box->hasFocus());
    QTest::qWait(50);
    QTest::keyClicks(box, u"post 2"_s);
    QTRY_COMPARE(f.bar->Model()->rowCount(), 1);
    QTest::keyClick(box, Qt::Key_Escape);
    QCOMPARE(box->text(), QString());
    QVERIFY(f.bar->FilterBox());
    QTRY_COMPARE(f.bar->Model()->rowCount(), 4);
    QCOMPARE(f.Titles(), (QStringList{u"Post 0"_s, u"Post 1"_s, u"Post 2"_s, u"Post 3"_s}));
    QTest::keyClick(box, Qt::Key_Escape);
    QTRY_VERIFY(!f.bar->FilterBox());
    QVERIFY(!f.doc.IsFilteringChecked());
    QCOMPARE(f.bar->Model()->rowCount(), 4);
}

void TestBarRssItems::filterWithoutMatch_beepsAndShowsRed() {
    Frame f;
    QVERIFY(f.Open(ManyPosts(4)));
    QTRY_COMPARE(f.doc.GetCurrentPost(), 0);
    f.view.hints.clear();
    f.doc.OnFiltering();
    QTest::keyClicks(f.bar->FilterBox(), u"zzz"_s);
    QTRY_COMPARE(f.ui.beeps, 1);
    QCOMPARE(f.bar->Model()->rowCount(), 0);
    QCOMPARE(f.bar->FilterBox()->palette().color(QPalette::Text), QColor(255, 0, 0));
    QVERIFY(f.view.PostsOf(HintSelectPost).isEmpty());
    f.bar->FilterBox()->setText(u"post"_s);
    QTRY_COMPARE(f.bar->Model()->rowCount(), 4);
    QVERIFY(f.bar->FilterBox()->palette().color(QPalette::Text) != QColor(255, 0, 0));
}

void TestBarRssItems::popupMenus_offerPostCommands_data() {
    QTest::addColumn<bool>("header");
    QTest::addColumn<QList<int>>("ids");
    QTest::newRow("header") << true
                            << QList<int>{ID_SORT_BY_POSITION, ID_SORT_BY_TITLE, ID_SORT_BY_DATE,
                                          ID_POST_COPY_TITLE, ID_POST_COPY_AS_XML};
    QTest::newRow("list") << false << QList<int>{ID_POST_ADD,        ID_POST_RENAME,
                                                 ID_POST_DUPLICATE,  ID_POST_DUPLICATE_DELETE,
                                                 ID_POST_DELETE,     ID_POST_BACK,
                                                 ID_POST_FORWARD,    ID_SORT_BY_POSITION,
                                                 ID_SORT_BY_TITLE,   ID_SORT_BY_DATE,
                                                 ID_POST_FILTERING,  ID_POST_COPY_TITLE,
                                                 ID_POST_COPY_AS_XML};
}

void TestBarRssItems::popupMenus_offerPostCommands() {
    QFETCH(bool, header);
    QFETCH(QList<int>, ids);
    Frame f;
    QVERIFY(f.Open(SamplePosts()));
    QList<int> offered;
    bool sortByPositionChecked = false;
    QTimer::singleShot(200, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return;
        for (QAction* action : menu->actions()) {
            if (action->isSeparator())
                continue;
            offered.append(action->data().toInt());
            if (action->data().toInt() == ID_SORT_BY_POSITION)
                sortByPositionChecked = action->isChecked();
        }
        // Chosen: sort by title, which the bar hands on to the document.
        for (QAction* action : menu->actions()) {
            if (action->data().toInt() == ID_SORT_BY_TITLE)
                menu->setActiveAction(action);
        }
        QTest::keyClick(menu, Qt::Key_Return);
    });
    if (header)
        emit f.bar->ListView()->headerMenuRequested(QPoint(10, 10));
    else
        emit f.bar->ListView()->listMenuRequested(QPoint(10, 10));
    QCOMPARE(offered, ids);
    QVERIFY(sortByPositionChecked);
    QCOMPARE(f.doc.GetSortMode(), PostSortMode::ByTitle);
    QCOMPARE(f.Titles(), (QStringList{u"B"_s, u"a"_s, u"b"_s}));
}

void TestBarRssItems::rowIconKey_followsLink_data() {
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("key");
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("php with anchor") << u"https://example.org/page.PHP#top"_s << u".htm"_s;
    QTest::newRow("zip") << u"https://example.org/file.zip"_s << u".zip"_s;
    QTest::newRow("pdf") << u"https://example.org/doc.PDF"_s << u".pdf"_s;
    QTest::newRow("site root") << u"https://www.example.org/"_s << u".org/"_s;
    QTest::newRow("long key") << u"https://www.example.museum/"_s << u".htm"_s;
    QTest::newRow("numbers only") << u"http://example.org/?id=1.23"_s << u".htm"_s;
    QTest::newRow("no dot") << u"somewhere"_s << u"."_s;
    QTest::newRow("long key no url") << u"notes.textfile"_s << u".textfile"_s;
}

void TestBarRssItems::rowIconKey_followsLink() {
    QFETCH(QString, link);
    QFETCH(QString, key);
    QCOMPARE(RowIconKey(link), key);
    QCOMPARE(RowIconForKey(key).isNull(), key.isEmpty());
}

int RunBarRssItemsTests(int argc, char** argv) {
    TestBarRssItems test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_barrssitems.moc"
