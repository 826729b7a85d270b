#include "feed/rssfeed.h"

#include <QDirIterator>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Next node of a depth-first walk below root, without recursion.
pugi::xml_node NextNode(pugi::xml_node node, pugi::xml_node root) {
    if (node.first_child())
        return node.first_child();
    while (node && node != root && !node.next_sibling())
        node = node.parent();
    return (!node || node == root) ? pugi::xml_node() : node.next_sibling();
}

QString Describe(pugi::xml_node node) {
    QString text = QString::number(node.type()) + QLatin1Char(' ') +
                   QString::fromUtf8(node.name()) + QLatin1Char('|') +
                   QString::fromUtf8(node.value());
    for (pugi::xml_attribute a : node.attributes())
        text += QLatin1Char(' ') + QString::fromUtf8(a.name()) + QLatin1Char('=') +
                QString::fromUtf8(a.value());
    return text;
}

// Empty when both trees hold the same nodes in the same order.
QString TreeDifference(const pugi::xml_document& a, const pugi::xml_document& b) {
    pugi::xml_node x = a.first_child();
    pugi::xml_node y = b.first_child();
    while (x && y) {
        if (Describe(x) != Describe(y))
            return Describe(x) + QStringLiteral(" <> ") + Describe(y);
        x = NextNode(x, a);
        y = NextNode(y, b);
    }
    return (x || y) ? QStringLiteral("trees differ in size") : QString();
}

QString FirstText(pugi::xml_node item, const char* name) {
    const pugi::xml_node first = item.child(name).first_child();
    const bool text = first.type() == pugi::node_pcdata || first.type() == pugi::node_cdata;
    return text ? QString::fromUtf8(first.value()) : QString();
}

} // namespace

class TestCorpus final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void corpus_loadSaveReload_keepsTree_data() {
        QTest::addColumn<QString>("path");
        QDirIterator it(QStringLiteral(ORVAN_CORPUS_DIR "/rss-wellformed"),
                        {QStringLiteral("*.xml")}, QDir::Files);
        int count = 0;
        while (it.hasNext()) {
            const QString path = it.next();
            QTest::newRow(qPrintable(QFileInfo(path).fileName())) << path;
            ++count;
        }
        QVERIFY(count > 100);
    }
    void corpus_loadSaveReload_keepsTree() {
        QFETCH(QString, path);
        QTemporaryDir dir;
        CRssFeed feed;
        QString error;
        QVERIFY2(feed.LoadFile(path, &error), qPrintable(error));
        const QString saved = dir.filePath(QStringLiteral("saved.xml"));
        QVERIFY2(feed.SaveFile(saved, &error), qPrintable(error));
        CRssFeed reloaded;
        QVERIFY2(reloaded.LoadFile(saved, &error), qPrintable(error));
        const QString difference = TreeDifference(feed, reloaded);
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
        QCOMPARE(reloaded.GetPostCount(), feed.GetPostCount());
        QCOMPARE(reloaded.HasByteOrderMark(), feed.HasByteOrderMark());
        // Printing is stable: a second save writes the same bytes.
        QCOMPARE(reloaded.SaveToMemory(), feed.SaveToMemory());
        if (feed.GetPostCount() > 0) {
            const pugi::xml_node item = feed.GetItemNode(0);
            QCOMPARE(feed.GetTitle(0), FirstText(item, "title"));
            QCOMPARE(feed.GetLink(0), FirstText(item, "link"));
            QCOMPARE(feed.GetDescription(0), FirstText(item, "description"));
            QCOMPARE(feed.GetAuthor(0), FirstText(item, "author"));
            QCOMPARE(feed.GetPubDate(0), FirstText(item, "pubDate"));
            QCOMPARE(feed.GetGuid(0), FirstText(item, "guid"));
            QCOMPARE(reloaded.GetDescription(0), feed.GetDescription(0));
        }
    }
};

QTEST_GUILESS_MAIN(TestCorpus)
#include "test_corpus.moc"
