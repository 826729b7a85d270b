#include "documenttesthelpers.h"

#include "feed/backup.h"
#include "platform/commandids.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestRssEditDoc final : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_home;
    int m_fileNumber = 0;

    // A fresh feed file with the given number of posts.
    QString MakeFeedFile(int posts, const QList<int>& days = {}) {
        const QString path = m_home.filePath(u"feed%1.xml"_s.arg(++m_fileNumber));
        WriteFile(path, FeedXml(NumberedTitles(posts), days));
        return path;
    }

    static QList<int> Entries(const CRSSEditDoc& doc) { return doc.GetHistory().Entries(); }

    static void Visit(CRSSEditDoc& doc, const QList<int>& posts) {
        for (int post : posts)
            doc.NotifyViews(nullptr, HintSelectPost, post);
    }

private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(m_home.isValid());
        qputenv("XDG_CONFIG_HOME", m_home.filePath(u"config"_s).toUtf8());
        qputenv("XDG_DATA_HOME", m_home.filePath(u"data"_s).toUtf8());
    }

    void notifyViews_selectStoresThenTellsViewsHubAndHistoryInOrder() {
        CRSSEditDoc doc;
        QVERIFY(doc.OpenDocumentFile(MakeFeedFile(4)));
        Visit(doc, {1});
        HintLog log;
        RecordingView view(u"view"_s, log, doc);
        RecordingView sender(u"sender"_s, log, doc);
        RecordingHub hub(u"hub"_s, log, doc);
        doc.AddView(&sender);
        doc.AddView(&view);
        doc.SetFrameHub(&hub);

        doc.NotifyViews(&sender, HintSelectPost, 3);

        // The store of the post left behind goes first; the new post becomes
        // current only after views and hub heard the select.
        const QStringList expected = {u"view:4:1@1"_s, u"hub:4:1@1"_s, u"view:3:3@1"_s,
                                      u"hub:3:3@1"_s};
        QCOMPARE(log.lines, expected);
        QCOMPARE(doc.GetCurrentPost(), 3);
        QCOMPARE(Entries(doc), QList<int>({1, 3}));
    }

    void notifyViews_setDescriptionStoredBeforeListenersHearIt() {
        CRSSEditDoc doc;
        QVERIFY(doc.OpenDocumentFile(MakeFeedFile(3)));
        Visit(doc, {2});
        HintLog log;
        RecordingHub hub(u"hub"_s, log, doc);
        doc.SetFrameHub(&hub);
        QVERIFY(!doc.IsModified());

        doc.NotifyViews(nullptr, HintSetDescription, u"<p>new</p>"_s);

        QCOMPARE(doc.GetFeed().GetDescription(2), u"<p>new</p>"_s);
        QVERIFY(doc.IsModified());
        QCOMPARE(log.lines, QStringList({u"hub:10:<p>new</p>@2"_s}));
    }

    void history_data() {
        QTest::addColumn<QList<int>>("visits");
        QTest::addColumn<QString>("actions");
        QTest::addColumn<QList<int>>("expectedHistory");
        QTest::addColumn<int>("expectedCurrent");

        QTest::newRow("back shows the post before")
            << QList<int>{0, 3, 5} << u"back"_s << QList<int>{0, 3} << 3;
        QTest::newRow("delete after back renumbers")
            << QList<int>{0, 3, 5} << u"back delete"_s << QList<int>{0, 3} << 3;
        QTest::newRow("add shifts every entry")
            << QList<int>{2, 4} << u"add"_s << QList<int>{3, 5} << 0;
        QTest::newRow("back twice") << QList<int>{1, 2, 4} << u"back back"_s << QList<int>{1} << 1;
        QTest::newRow("duplicate shifts every entry")
            << QList<int>{1, 2} << u"duplicate"_s << QList<int>{2, 3} << 0;
        // Posts 0 and 5 are now 1 and 5; the removed original leaves the history.
        QTest::newRow("duplicate and delete follows the posts")
            << QList<int>{0, 5, 3} << u"duplicateDelete"_s << QList<int>{1, 5} << 0;
    }

    void history() {
        QFETCH(QList<int>, visits);
        QFETCH(QString, actions);
        QFETCH(QList<int>, expectedHistory);
        QFETCH(int, expectedCurrent);

        CRSSEditDoc doc;
        QVERIFY(doc.OpenDocumentFile(MakeFeedFile(6)));
        Visit(doc, visits);
        for (const QString& action : actions.split(u' ')) {
            if (action == u"back")
                QVERIFY(doc.OnPostBack());
            else if (action == u"delete")
                QVERIFY(doc.OnPostDelete());
            else if (action == u"add")
                QVERIFY(doc.OnPostAdd());
            else if (action == u"duplicate")
                QVERIFY(doc.OnPostDuplicate());
            else if (action == u"duplicateDelete")
                QVERIFY(doc.OnPostDuplicateDelete());
        }
        QCOMPARE(Entries(doc), expectedHistory);
        QCOMPARE(doc.GetCurrentPost(), expectedCurrent);
    }

    void postHistory_deleteWithDuplicatesThenAdd_followsThePosts() {
        PostHistory history;
        for (int post : {0, 3, 3, 5})
            history.Add(post);
        history.OnHint(HintPostDeleted, 3);
        QCOMPARE(history.Entries(), QList<int>({0, 4}));
        history.OnHint(HintPostsInserted, 0);
        QCOMPARE(history.Entries(), QList<int>({1, 5}));
    }

    void back_enabledOnlyWithTwoEntries_forwardNever() {
        CRSSEditDoc doc;
        QVERIFY(doc.OpenDocumentFile(MakeFeedFile(3)));
        QVERIFY(!doc.IsCommandEnabled(ID_POST_BACK));
        QVERIFY(!doc.OnPostBack());
        Visit(doc, {0});
        QVERIFY(!doc.CanGoBack());
        Visit(doc, {0});
        QVERIFY(doc.IsCommandEnabled(ID_POST_BACK));
        QVERIFY(!doc.IsCommandEnabled(ID_POST_FORWARD));
        QVERIFY(!doc.OnCommand(ID_POST_FORWARD));
    }

    void deleteEnabled_data() {
        QTest::addColumn<int>("posts");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("one post") << 1 << false;
        QTest::newRow("two posts") << 2 << true;
        QTest::newRow("five posts") << 5 << true;
    }

    void deleteEnabled() {
        QFETCH(int, posts);
        QFETCH(bool, enabled);
        RecordingUi ui;
        CRSSEditDoc doc(&ui);
        QVERIFY(doc.OpenDocumentFile(MakeFeedFile(posts)));
        Visit(doc, {0});
        QCOMPARE(doc.IsCommandEnabled(ID_POST_DELETE), enabled);
        QCOMPARE(doc.OnPostDelete(), enabled);
        QCOMPARE(doc.GetPostCount(), enabled ? posts - 1 : posts);
        QCOMPARE(doc.IsModified(), enabled);
    }

    void delete_asksWithTitleAndCancelKeepsThePost() {
        RecordingUi ui;
        ui.answerOk = false;
        CRSSEditDoc doc(&ui);
        QVERIFY(doc.OpenDocumentFile(MakeFeedFile(3)));
        Visit(doc, {1});
        QVERIFY(!doc.OnPostDelete());
        QCOMPARE(ui.questions, QStringList({u"Delete this post?\n\n\"Post 1\""_s}));
        QCOMPARE(doc.GetPostCount(), 3);
        QVERIFY(!doc.IsModified());
    }

    void delete_selectsFollowerWithoutStoringIntoIt_data() {
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("expectedCurrent");
        QTest::addColumn<QString>("expectedTitle");
        QTest::newRow("middle post: the follower") << 1 << 1 << u"Post 2"_s;
        QTest::newRow("last post: the new last") << 2 << 1 << u"Post 1"_s;
        QTest::newRow("first post") << 0 << 0 << u"Post 1"_s;
    }

    void delete_selectsFollowerWithoutStoringIntoIt() {
        QFETCH(int, current);
        QFETCH(int, expectedCurrent);
        QFETCH(QString, expectedTitle);
        CRSSEditDoc doc;
        QVERIFY(doc.OpenDocumentFile(MakeFeedFile(3)));
        Visit(doc, {current});
        HintLog log;
        RecordingView view(u"view"_s, log, doc);
        doc.AddView(&view);

        QVERIFY(doc.OnPostDelete());

        // No store hint: the editor still shows the removed post, and storing
        // it would overwrite the post that took its number.
        const QStringList expected = {u"view:8:%1@-1"_s.arg(current),
                                      u"view:3:%1@-1"_s.arg(expectedCurrent)};
        QCOMPARE(log.lines, expected);
        QCOMPARE(doc.GetCurrentPost(), expectedCurrent);
        QCOMPARE(doc.GetFeed().GetTitle(doc.GetCurrentPost()), expectedTitle);
    }

    void duplicateDelete_copyFirstWithFreshFooterAndDate() {
        CRSSEditDoc doc;
        QVERIFY(doc.OpenDocumentFile(MakeFeedFile(5)));
        Visit(doc, {2});
        QVERIFY(doc.OnPostDuplicateDelete());

        const CRssFeed& feed = doc.GetFeed();
        QCOMPARE(Titles(feed),
                 QStringList({u"Post 2"_s, u"Post 0"_s, u"Post 1"_s, u"Post 3"_s, u"Post 4"_s}));
        const QString description = feed.GetDescription(0);
        QVERIFY(description.startsWith(u"Body 2<BR><p name=\"ADV\">"_s));
        QCOMPARE(description.count(u"<p name=\"ADV\">"_s), 1);
        QVERIFY(!feed.GetPubDate(0).contains(u"2020"_s));
        QCOMPARE(feed.GetGuid(0), u"g2"_s);
        QCOMPARE(doc.GetCurrentPost(), 0);
        QVERIFY(doc.IsModified());
    }

    void add_storesFirstThenInsertsPostZero() {
        CRSSEditDoc doc;
        QVERIFY(doc.OpenDocumentFile(MakeFeedFile(2)));
        Visit(doc, {1});
        HintLog log;
        RecordingView view(u"view"_s, log, doc);
        doc.AddView(&view);
        QVERIFY(doc.OnPostAdd());
        QCOMPARE(log.lines, QStringList({u"view:4:1@1"_s, u"view:5:0@0"_s}));
        QCOMPARE(doc.GetPostCount(), 3);
        QCOMPARE(doc.GetFeed().GetTitle(0), u"New Item"_s);
        QVERIFY(doc.IsModified());
    }

    void save_ownPathLeavesOneBackup_saveAsNone() {
        const QString path = MakeFeedFile(2);
        const QDir backups(GetBackupFolder(path));
        const QString pattern = QFileInfo(path).completeBaseName() + u"*.bak"_s;
        CRSSEditDoc doc;
        QVERIFY(doc.OpenDocumentFile(path));
        QVERIFY(doc.GetFeed().SetTitle(0, u"Changed"_s));
        doc.SetModifiedFlag(true);

        QVERIFY(doc.DoSave(path));
        QVERIFY(!doc.IsModified());
        const QStringList made = backups.entryList({pattern}, QDir::Files);
        QCOMPARE(made.size(), 1);
        QFile backup(backups.filePath(made.first()));
        QVERIFY(backup.open(QIODevice::ReadOnly));
        QVERIFY(backup.readAll().contains("<title>Post 0</title>"));

        const QString other = m_home.filePath(u"saved-as.xml"_s);
        QVERIFY(doc.DoSave(other));
        QCOMPARE(doc.GetPathName(), other);
        QCOMPARE(backups.entryList({u"saved-as*.bak"_s}, QDir::Files).size(), 0);
        QCOMPARE(backups.entryList({pattern}, QDir::Files).size(), 1);
    }

    void save_failureKeepsModifiedAndNamesTheFile() {
        CRSSEditDoc doc;
        QVERIFY(doc.OpenDocumentFile(MakeFeedFile(2)));
        doc.SetModifiedFlag(true);
        const QString target = m_home.filePath(u"missing-folder/out.xml"_s);
        QVERIFY(!doc.DoSave(target));
        QVERIFY(doc.IsModified());
        QVERIFY(doc.GetPathName() != target);
        QVERIFY(doc.GetLastError().contains(target));
    }

    void reload_discardsChangesAndReselectsSameNumber() {
        CRSSEditDoc doc;
        QVERIFY(doc.OpenDocumentFile(MakeFeedFile(3)));
        Visit(doc, {2});
        QVERIFY(doc.GetFeed().SetTitle(2, u"Unsaved"_s));
        doc.SetModifiedFlag(true);
        HintLog log;
        RecordingView view(u"view"_s, log, doc);
        doc.AddView(&view);

        QVERIFY(doc.OnFileReload());

        QCOMPARE(doc.GetFeed().GetTitle(2), u"Post 2"_s);
        QVERIFY(!doc.IsModified());
        QCOMPARE(doc.GetCurrentPost(), 2);
        // The editor hands over what it was still holding before the tree goes.
        QCOMPARE(log.lines, QStringList({u"view:4:2@2"_s, u"view:13:0@-1"_s, u"view:3:2@-1"_s}));
    }

    void reload_withFewerPosts_historyKeepsOnlyPostsStillThere() {
        CRSSEditDoc doc;
        const QString path = MakeFeedFile(6);
        QVERIFY(doc.OpenDocumentFile(path));
        Visit(doc, {0, 4, 1, 5});
        QVERIFY(WriteFile(path, FeedXml(NumberedTitles(3))));
        QVERIFY(doc.OnFileReload());
        QCOMPARE(doc.GetCurrentPost(), 2);
        QCOMPARE(Entries(doc), QList<int>({0, 1, 2}));
        // Back walks only posts the file still has.
        QVERIFY(doc.OnPostBack());
        QCOMPARE(doc.GetCurrentPost(), 1);
        QVERIFY(doc.OnPostBack());
        QCOMPARE(doc.GetCurrentPost(), 0);
        QVERIFY(!doc.CanGoBack());
    }

    void reload_fileNoLongerLoads_keepsFeedInMemoryAndShowsError() {
        RecordingUi ui;
        CRSSEditDoc doc(&ui);
        const QString path = MakeFeedFile(3);
        QVERIFY(doc.OpenDocumentFile(path));
        Visit(doc, {1});
        QVERIFY(doc.GetFeed().SetTitle(1, u"Unsaved"_s));
        doc.SetModifiedFlag(true);
        WriteFile(path, "<rss><channel><item>");

        QVERIFY(!doc.OnFileReload());

        QCOMPARE(doc.GetPostCount(), 3);
        QCOMPARE(doc.GetFeed().GetTitle(1), u"Unsaved"_s);
        QCOMPARE(doc.GetCurrentPost(), 1);
        QVERIFY(doc.IsModified());
        QCOMPARE(ui.errors.size(), 1);
        QVERIFY(ui.errors.first().contains(path));
        // What is still held can be written back over the broken file.
        ui.changedFileChoice = UiServices::ChangedFileChoice::Overwrite;
        QVERIFY(doc.DoSave(path));
        CRssFeed saved;
        QVERIFY(saved.LoadFile(path));
        QCOMPARE(saved.GetTitle(1), u"Unsaved"_s);
    }

    void save_afterFailedOpen_leavesFileAlone() {
        const QString path = MakeFeedFile(2);
        CRSSEditDoc doc;
        QVERIFY(!doc.OnOpenDocument(m_home.filePath(u"no-such-feed.xml"_s)));
        QVERIFY(!doc.OnSaveDocument(path));
        QVERIFY(doc.GetLastError().contains(path));
        CRssFeed kept;
        QVERIFY(kept.LoadFile(path));
        QCOMPARE(kept.GetPostCount(), 2);
    }

    void reload_disabledWithoutPath() {
        CRSSEditDoc doc;
        QVERIFY(doc.OnNewDocument());
        QVERIFY(!doc.IsCommandEnabled(ID_FILE_RELOAD));
        QVERIFY(!doc.IsCommandEnabled(ID_TOOLS_OPEN_BACKUP_FOLDER));
        QVERIFY(!doc.OnFileReload());
    }

    void newDocument_usesAndEmptiesPendingInfo() {
        SetPendingNewFeedInfo({u"My feed"_s, u"https://example.org/"_s, u"News"_s});
        HintLog log;
        CRSSEditDoc doc;
        RecordingView view(u"view"_s, log, doc);
        doc.AddView(&view);
        QVERIFY(doc.OnNewDocument());

        QVERIFY(!HasPendingNewFeedInfo());
        QVERIFY(!doc.IsModified());
        QVERIFY(doc.GetTitle().startsWith(u"Feed"_s));
        QCOMPARE(log.lines, QStringList({u"view:13:0@-1"_s}));
        const CRssFeed& feed = doc.GetFeed();
        QCOMPARE(feed.GetPostCount(), 1);
        QCOMPARE(feed.GetTitle(0), u"Type RSS item title here\u2026"_s);
        QCOMPARE(feed.GetDescription(0), u"Type description of RSS item here\u2026"_s);
        QCOMPARE(QString::fromUtf8(feed.GetChannelNode().child("title").text().get()),
                 u"My feed"_s);
        QCOMPARE(QString::fromUtf8(feed.GetChannelNode().child("category").text().get()),
                 u"News"_s);
    }

    void newDocuments_areNumbered() {
        CRSSEditDoc first;
        CRSSEditDoc second;
        QVERIFY(first.OnNewDocument());
        QVERIFY(second.OnNewDocument());
        const int a = first.GetTitle().mid(4).toInt();
        const int b = second.GetTitle().mid(4).toInt();
        QVERIFY(a > 0);
        QCOMPARE(b, a + 1);
    }

    void frameTitle_followsModifiedFlagAndPath() {
        struct TitleLog final : DocumentTitleListener {
            QStringList titles;
            void OnDocumentTitleChanged(const CRSSEditDoc& doc) override {
                titles.append(doc.GetFrameTitle());
            }
        } listener;
        CRSSEditDoc doc;
        doc.SetTitleListener(&listener);
        const QString path = MakeFeedFile(1);
        QVERIFY(doc.OpenDocumentFile(path));
        doc.SetModifiedFlag(true);
        QCOMPARE(listener.titles.last(), path + u" *"_s);
        QCOMPARE(doc.GetTitle(), QFileInfo(path).fileName());
    }

    void copyRssFeed_putsTreeOnClipboardOrBeeps() {
        RecordingUi ui;
        CRSSEditDoc doc(&ui);
        QVERIFY(doc.OpenDocumentFile(MakeFeedFile(2)));
        QVERIFY(doc.OnCopyRssFeed());
        QVERIFY(ui.clipboard.contains(u"<title>Post 1</title>"_s));
        QCOMPARE(ui.beeps, 0);
        ui.clipboardWorks = false;
        QVERIFY(!doc.OnCopyRssFeed());
        QCOMPARE(ui.beeps, 1);
        QVERIFY(!doc.IsModified());
    }

    void sortCommands_notifyOnlyOnChangeAndMarkTheMode() {
        CRSSEditDoc doc;
        HintLog log;
        RecordingHub hub(u"hub"_s, log, doc);
        doc.SetFrameHub(&hub);
        QVERIFY(doc.IsCommandChecked(ID_SORT_BY_POSITION));
        QVERIFY(!doc.OnCommand(ID_SORT_BY_POSITION));
        QVERIFY(doc.OnCommand(ID_SORT_BY_DATE));
        QVERIFY(!doc.OnCommand(ID_SORT_BY_DATE));
        QCOMPARE(log.lines.size(), 1);
        QVERIFY(log.lines.first().startsWith(u"hub:14:"_s));
        QVERIFY(doc.IsCommandChecked(ID_SORT_BY_DATE));
        QVERIFY(!doc.IsCommandChecked(ID_SORT_BY_POSITION));
    }

    void openBackupFolder_failureShowsError() {
        RecordingUi ui;
        CRSSEditDoc doc(&ui);
        const QString path = MakeFeedFile(1);
        QVERIFY(doc.OpenDocumentFile(path));
        QVERIFY(doc.IsCommandEnabled(ID_TOOLS_OPEN_BACKUP_FOLDER));
        QVERIFY(doc.OnOpenBackupFolder());
        QCOMPARE(ui.openedFolders, QStringList({GetBackupFolder(path)}));
        ui.openWorks = false;
        QVERIFY(!doc.OnOpenBackupFolder());
        QCOMPARE(ui.errors, QStringList({u"Cannot open directory "_s + GetBackupFolder(path) +
                                         u"No file manager"_s}));
    }

    void openFailure_leavesEmptyUnmodifiedFeed() {
        CRSSEditDoc doc;
        QVERIFY(doc.OpenDocumentFile(MakeFeedFile(2)));
        const QString broken = m_home.filePath(u"broken.xml"_s);
        WriteFile(broken, "<rss><channel>");
        QVERIFY(!doc.OnOpenDocument(broken));
        QCOMPARE(doc.GetPostCount(), 0);
        QVERIFY(!doc.IsModified());
        QVERIFY(doc.GetLastError().contains(broken));
    }
};

QTEST_GUILESS_MAIN(TestRssEditDoc)
#include "test_rsseditdoc.moc"
