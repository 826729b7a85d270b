// Real feeds written by others: each loads with exactly the texts an
// independent XML reader (QXmlStreamReader) finds in it, and saves and
// reloads to the same tree.
#include "feed/rssfeed.h"

#include <QDirIterator>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>
#include <algorithm>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

struct Node {
    enum Kind { Element, Text, Cdata, Comment, Instruction } kind = Element;
    QString name;
    QString value;
    QList<QPair<QString, QString>> attributes;
    std::vector<Node> children;
};

bool IsBlank(const QString& text) {
    for (QChar c : text) {
        if (c != u' ' && c != u'\t' && c != u'\n' && c != u'\r')
            return false;
    }
    return true;
}

// White space between the children of an element that has no text of its
// own is layout, which a save may redo.
void DropLayout(Node& node) {
    bool element = false;
    bool ignorable = true;
    for (const Node& c : node.children) {
        element |= c.kind == Node::Element;
        if (c.kind == Node::Cdata ||
            (c.kind == Node::Text &&
             !(IsBlank(c.value) && (c.value.contains(u'\n') || c.value.contains(u'\r')))))
            ignorable = false;
    }
    if (element && ignorable)
        std::erase_if(node.children, [](const Node& c) { return c.kind == Node::Text; });
    for (Node& c : node.children)
        DropLayout(c);
}

Node FromPugi(const pugi::xml_node& node) {
    Node out;
    switch (node.type()) {
    case pugi::node_pcdata:
        out.kind = Node::Text;
        break;
    case pugi::node_cdata:
        out.kind = Node::Cdata;
        break;
    case pugi::node_comment:
        out.kind = Node::Comment;
        break;
    case pugi::node_pi:
        out.kind = Node::Instruction;
        break;
    default:
        out.kind = Node::Element;
    }
    out.name = QString::fromUtf8(node.name());
    for (const pugi::xml_attribute& a : node.attributes())
        out.attributes.append({QString::fromUtf8(a.name()), QString::fromUtf8(a.value())});
    std::sort(out.attributes.begin(), out.attributes.end());
    // An element may keep its first text itself; the document is the same
    // as with a text child in its place.
    if (out.kind != Node::Element)
        out.value = QString::fromUtf8(node.value());
    else if (*node.value())
        out.children.push_back({Node::Text, QString(), QString::fromUtf8(node.value()), {}, {}});
    for (const pugi::xml_node& c : node.children()) {
        if (c.type() == pugi::node_declaration || c.type() == pugi::node_doctype)
            continue;
        Node child = FromPugi(c);
        if (child.kind == Node::Text && !out.children.empty() &&
            out.children.back().kind == Node::Text)
            out.children.back().value += child.value;
        else
            out.children.push_back(std::move(child));
    }
    return out;
}

// The document as QXmlStreamReader reads the file, or an empty element with
// the reader's error as its name.
Node FromReader(const QByteArray& bytes) {
    QXmlStreamReader reader(bytes);
    Node document;
    std::vector<Node*> open{&document};
    while (!reader.atEnd()) {
        reader.readNext();
        Node* parent = open.back();
        if (reader.isStartElement()) {
            Node element;
            element.name = reader.qualifiedName().toString();
            for (const QXmlStreamAttribute& a : reader.attributes())
                element.attributes.append({a.qualifiedName().toString(), a.value().toString()});
            // The reader tells namespace declarations apart from attributes.
            for (const QXmlStreamNamespaceDeclaration& d : reader.namespaceDeclarations()) {
                const QString prefix = d.prefix().toString();
                element.attributes.append({prefix.isEmpty() ? u"xmlns"_s : u"xmlns:"_s + prefix,
                                           d.namespaceUri().toString()});
            }
            std::sort(element.attributes.begin(), element.attributes.end());
            parent->children.push_back(std::move(element));
            open.push_back(&parent->children.back());
        } else if (reader.isEndElement()) {
            open.pop_back();
        } else if (reader.isCharacters() && open.size() > 1) {
            const Node::Kind kind = reader.isCDATA() ? Node::Cdata : Node::Text;
            // The reader splits text at references; the tree holds it whole.
            if (kind == Node::Text && !parent->children.empty() &&
                parent->children.back().kind == Node::Text)
                parent->children.back().value += reader.text();
            else
                parent->children.push_back({kind, QString(), reader.text().toString(), {}, {}});
        } else if (reader.isComment()) {
            parent->children.push_back(
                {Node::Comment, QString(), reader.text().toString(), {}, {}});
        } else if (reader.isProcessingInstruction()) {
            parent->children.push_back({Node::Instruction,
                                        reader.processingInstructionTarget().toString(),
                                        reader.processingInstructionData().toString(),
                                        {},
                                        {}});
        }
    }
    if (reader.hasError())
        return {Node::Element, reader.errorString(), QString(), {}, {}};
    return document;
}

// Empty when both hold the same nodes with the same exact texts.
QString Difference(const Node& a, const Node& b, const QString& path) {
    const QString here = path + u'/' + a.name;
    if (a.kind != b.kind || a.name != b.name)
        return here + QStringLiteral(": %1 <> %2").arg(a.name, b.name);
    if (a.value != b.value)
        return here + QStringLiteral(": \"%1\" <> \"%2\"").arg(a.value, b.value);
    if (a.attributes != b.attributes)
        return here + QStringLiteral(": attributes differ");
    if (a.children.size() != b.children.size())
        return here +
               QStringLiteral(": %1 <> %2 children").arg(a.children.size()).arg(b.children.size());
    for (size_t i = 0; i < a.children.size(); ++i) {
        const QString difference = Difference(a.children[i], b.children[i], here);
        if (!difference.isEmpty())
            return difference;
    }
    return QString();
}

} // namespace

class TestCorpus final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void corpus_loadSaveReload_keepsExactTree_data() {
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
    void corpus_loadSaveReload_keepsExactTree() {
        QFETCH(QString, path);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray original = file.readAll();
        Node expected = FromReader(original);
        DropLayout(expected);

        CRssFeed feed;
        QString error;
        QVERIFY2(feed.LoadFile(path, &error), qPrintable(error));
        QString difference = Difference(expected, FromPugi(feed), QString());
        QVERIFY2(difference.isEmpty(), qPrintable(difference));

        QTemporaryDir dir;
        const QString saved = dir.filePath(QStringLiteral("saved.xml"));
        QVERIFY2(feed.SaveFile(saved, &error), qPrintable(error));
        CRssFeed reloaded;
        QVERIFY2(reloaded.LoadFile(saved, &error), qPrintable(error));
        difference = Difference(FromPugi(feed), FromPugi(reloaded), QString());
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
        QCOMPARE(reloaded.HasByteOrderMark(), feed.HasByteOrderMark());
        // Printing is stable: a second save writes the same bytes.
        QCOMPARE(reloaded.SaveToMemory(), feed.SaveToMemory());
        for (int i = 0; i < feed.GetPostCount(); ++i) {
            QCOMPARE(reloaded.GetTitle(i), feed.GetTitle(i));
            QCOMPARE(reloaded.GetDescription(i), feed.GetDescription(i));
            QCOMPARE(reloaded.GetGuid(i), feed.GetGuid(i));
        }
    }
};

QTEST_GUILESS_MAIN(TestCorpus)
#include "test_corpus.moc"
