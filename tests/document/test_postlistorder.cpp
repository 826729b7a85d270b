#include "documenttesthelpers.h"

#include "document/postlistorder.h"

#include <QStandardPaths>
#include <QTest>

using namespace Qt::StringLiterals;

class TestPostListOrder final : public QObject {
    Q_OBJECT

private:
    static bool Load(CRssFeed& feed, const QStringList& titles, const QList<int>& days = {}) {
        return feed.LoadFromMemory(FeedXml(titles, days));
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void sort_data() {
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QList<int>>("days");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QList<int>>("expected");

        QTest::newRow("title by code unit") << QStringList{u"b"_s, u"B"_s, u"a"_s} << QList<int>{}
                                            << int(PostSortMode::ByTitle) << QList<int>{1, 2, 0};
        QTest::newRow("date newest first")
            << QStringList{u"x"_s, u"y"_s, u"z"_s} << QList<int>{3, 9, 5}
            << int(PostSortMode::ByDate) << QList<int>{1, 2, 0};
        // Day 0 gives an unreadable date, which counts as now: above every past date.
        QTest::newRow("unreadable date on top")
            << QStringList{u"x"_s, u"y"_s, u"z"_s} << QList<int>{3, 0, 5}
            << int(PostSortMode::ByDate) << QList<int>{1, 2, 0};
        QTest::newRow("position") << QStringList{u"c"_s, u"a"_s, u"b"_s} << QList<int>{}
                                  << int(PostSortMode::ByPosition) << QList<int>{0, 1, 2};
    }

    void sort() {
        QFETCH(QStringList, titles);
        QFETCH(QList<int>, days);
        QFETCH(int, mode);
        QFETCH(QList<int>, expected);
        CRssFeed feed;
        QVERIFY(Load(feed, titles, days));
        PostListOrder order;
        for (int post = feed.GetPostCount() - 1; post >= 0; --post)
            order.Append(post);
        order.Sort(feed, PostSortMode(mode));
        QCOMPARE(order.Entries(), expected);
    }

    void sort_filteredOrderStaysFiltered() {
        CRssFeed feed;
        QVERIFY(Load(feed, {u"d"_s, u"apple"_s, u"c"_s, u"apricot"_s, u"b"_s}));
        PostListOrder order;
        QCOMPARE(order.ApplyFilter(feed, u"AP"_s), 2);
        order.Append(99);
        order.Sort(feed, PostSortMode::ByTitle);
        // An entry the feed no longer has stays at the back instead of being read.
        QCOMPARE(order.Entries(), QList<int>({1, 3, 99}));
    }

    void findRowAndEntry_outOfRangeGiveMinusOne() {
        PostListOrder order;
        order.Reset(3);
        order.Append(1);
        QCOMPARE(order.FindRow(1), 1);
        QCOMPARE(order.FindRow(7), -1);
        QCOMPARE(order.Entry(3), 1);
        QCOMPARE(order.Entry(4), -1);
        QCOMPARE(order.Entry(-1), -1);
        order.Clear();
        QVERIFY(order.IsEmpty());
        QCOMPARE(order.FindRow(1), -1);
    }

    void findRow_followsEveryChangeOfTheOrder() {
        CRssFeed feed;
        QVERIFY(Load(feed, {u"c"_s, u"a"_s, u"b"_s}));
        PostListOrder order;
        order.Reset(3);
        QCOMPARE(order.FindRow(0), 0);
        order.Sort(feed, PostSortMode::ByTitle);
        QCOMPARE(order.FindRow(0), 2);
        QCOMPARE(order.FindRow(1), 0);
        order.ApplyFilter(feed, u"b"_s);
        QCOMPARE(order.FindRow(2), 0);
        QCOMPARE(order.FindRow(0), -1);
        order.Append(0);
        order.Append(2);
        QCOMPARE(order.FindRow(0), 1);
        QCOMPARE(order.FindRow(2), 0);
    }

    void filter_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QList<int>>("expected");
        QTest::newRow("empty lists all") << QString() << QList<int>{0, 1, 2, 3};
        QTest::newRow("blanks and tabs trimmed") << u" \tnews  "_s << QList<int>{0, 2};
        QTest::newRow("upper case in title matches") << u"rss"_s << QList<int>{1};
        QTest::newRow("typed upper case") << u"NEWS"_s << QList<int>{0, 2};
        QTest::newRow("inner blank kept") << u"s d"_s << QList<int>{2};
        QTest::newRow("no match") << u"zzz"_s << QList<int>{};
    }

    void filter() {
        QFETCH(QString, typed);
        QFETCH(QList<int>, expected);
        CRssFeed feed;
        QVERIFY(Load(feed, {u"News today"_s, u"About RSS"_s, u"Old news day"_s, u"Misc"_s}));
        PostListOrder order;
        QCOMPARE(order.ApplyFilter(feed, typed), int(expected.size()));
        QCOMPARE(order.Entries(), expected);
    }

    void sort_largeFeedEveryPostOnce() {
        QStringList titles;
        QList<int> days;
        for (int i = 0; i < 5000; ++i) {
            titles.append(u"t%1"_s.arg((i * 7919) % 5000));
            days.append(1 + (i * 31) % 28);
        }
        CRssFeed feed;
        QVERIFY(Load(feed, titles, days));
        for (PostSortMode mode : {PostSortMode::ByTitle, PostSortMode::ByDate}) {
            PostListOrder order;
            order.Reset(feed.GetPostCount());
            order.Sort(feed, mode);
            QList<int> sorted = order.Entries();
            for (int row = 1; row < sorted.size(); ++row) {
                if (mode == PostSortMode::ByTitle)
                    QVERIFY(feed.GetTitle(sorted[row - 1]) <= feed.GetTitle(sorted[row]));
            }
            std::sort(sorted.begin(), sorted.end());
            for (int i = 0; i < sorted.size(); ++i)
                QCOMPARE(sorted[i], i);
        }
    }
};

QTEST_GUILESS_MAIN(TestPostListOrder)
#include "test_postlistorder.moc"
