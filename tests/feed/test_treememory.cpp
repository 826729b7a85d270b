// orvanctl gives pugixml memory of its own (treememory.h). Trees built in it
// must stay whole while others are made and freed around them, and memory
// must be given back when trees are freed, or a command that reads many
// feeds would keep them all.
#include "feed/rssfeed.h"
#include "feed/treememory.h"

#include <QFile>
#include <QtTest>
#include <memory>
#include <vector>

namespace {

QByteArray Feed(int posts, int textBytes, char fill) {
    QByteArray feed = "<rss version=\"2.0\"><channel><title>T</title>";
    for (int i = 0; i < posts; ++i)
        feed += "<item><title>Post " + QByteArray::number(i) + "</title><description>" +
                QByteArray(textBytes, fill) + "</description></item>";
    return feed + "</channel></rss>";
}

// Round 5 is one post with a text larger than any mapping.
int PostsOf(int round) {
    return round == 5 ? 1 : 1 + round * 40;
}
int TextBytesOf(int round) {
    return round == 5 ? 3 * 1024 * 1024 : 10 + round * 7;
}

long ResidentKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

} // namespace

class TestTreeMemory final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { UsePrefaultedTreeMemory(); }

    // Trees of every size, one holding a text larger than any mapping, made
    // and changed while others are freed; each still reads what it was given.
    void trees_stayWholeAmongOthers() {
        std::vector<std::unique_ptr<CRssFeed>> kept;
        for (int round = 0; round < 12; ++round) {
            const int posts = PostsOf(round);
            const int textBytes = TextBytesOf(round);
            const char fill = static_cast<char>('a' + round);
            auto feed = std::make_unique<CRssFeed>();
            QVERIFY(feed->LoadFromMemory(Feed(posts, textBytes, fill)));
            feed->SetTitle(0, QStringLiteral("Changed ") + QString::number(round));
            {
                CRssFeed passing;
                QVERIFY(passing.LoadFromMemory(Feed(posts * 2, 50, 'z')));
            }
            if (round % 3 == 1)
                kept.erase(kept.begin());
            kept.push_back(std::move(feed));
        }
        for (const auto& feed : kept) {
            const int round = feed->GetTitle(0).mid(8).toInt();
            const int posts = PostsOf(round);
            const int textBytes = TextBytesOf(round);
            QCOMPARE(feed->GetPostCount(), posts);
            QCOMPARE(feed->GetDescription(posts - 1),
                     QString(textBytes, QLatin1Char(static_cast<char>('a' + round))));
            CRssFeed reloaded;
            QVERIFY(reloaded.LoadFromMemory(feed->SaveToMemory()));
            QCOMPARE(reloaded.SaveToMemory(), feed->SaveToMemory());
        }
    }

    // Fifty trees of about 4 MB each, one after the other: what stays
    // resident is a few of them, not fifty.
    void freedTrees_giveTheirMemoryBack() {
        const QByteArray bytes = Feed(4000, 500, 'x');
        const long before = ResidentKb();
        QVERIFY(before > 0);
        for (int i = 0; i < 50; ++i) {
            CRssFeed feed;
            QVERIFY(feed.LoadFromMemory(bytes));
            QCOMPARE(feed.GetPostCount(), 4000);
        }
        const long grown = ResidentKb() - before;
        QVERIFY2(grown < 40 * 1024, qPrintable(QStringLiteral("grew by %1 KB").arg(grown)));
    }
};

QTEST_GUILESS_MAIN(TestTreeMemory)
#include "test_treememory.moc"
