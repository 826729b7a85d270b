// Arbitrary bytes into the feed loader, then every way the tree is read,
// printed and changed. Whatever loads must save to bytes an independent
// conforming parser (libxml2, the parser of xmllint) accepts, and those bytes
// must load again into the same tree and print the same once more.
#include "feed/rssfeed.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#ifdef ORVAN_FUZZ_LIBXML2
#include <libxml/parser.h>
#endif

namespace {

[[noreturn]] void Fault(const char* what, const QByteArray& bytes = QByteArray(),
                        const QString& detail = QString()) {
    std::fprintf(stderr, "fuzz_feed: %s\n%s\n", what, qPrintable(detail));
    if (!bytes.isEmpty())
        std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    std::abort();
}

#ifdef ORVAN_FUZZ_LIBXML2
void Quiet(void*, const char*, ...) {}

// True when libxml2, read as xmllint reads a file, accepts the bytes.
bool ConformingParserAccepts(const QByteArray& bytes) {
    static const bool once = [] {
        xmlSetGenericErrorFunc(nullptr, Quiet);
        return true;
    }();
    (void)once;
    xmlDocPtr doc = xmlReadMemory(bytes.constData(), static_cast<int>(bytes.size()), "saved.xml",
                                  nullptr, XML_PARSE_NONET);
    if (!doc)
        return false;
    xmlFreeDoc(doc);
    return true;
}
#endif

bool IsText(const pugi::xml_node& node) {
    return node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata;
}

// The tree as text, every node with its exact name, value and attributes.
// Text between two other nodes is one entry, however many text and CDATA
// nodes hold it: a CDATA section is split where its text holds "]]>", and
// where to split is the printer's business, not the document's.
std::string Dump(const pugi::xml_node& root) {
    std::string out;
    pugi::xml_node node = root.first_child();
    int depth = 0;
    while (node) {
        const bool element = node.type() == pugi::node_element;
        if (IsText(node)) {
            // Text an element keeps itself is the start of the same entry.
            const bool continued = !node.previous_sibling() && *node.parent().value();
            if (!continued)
                out += std::to_string(depth) + " text|";
            for (; IsText(node.next_sibling()); node = node.next_sibling())
                out += node.value();
            out += node.value();
        } else {
            out += std::to_string(depth) + ' ' + std::to_string(node.type()) + ' ' + node.name() +
                   '|' + (element ? "" : node.value());
        }
        for (const pugi::xml_attribute& a : node.attributes())
            out += std::string(" ") + a.name() + '=' + a.value();
        out += '\n';
        if (element && *node.value()) {
            out += std::to_string(depth + 1) + " text|" + node.value();
            if (!IsText(node.first_child()))
                out += '\n';
        }
        if (node.first_child()) {
            node = node.first_child();
            ++depth;
            continue;
        }
        while (node && !node.next_sibling()) {
            node = node.parent();
            --depth;
            if (node == root)
                return out;
        }
        if (node)
            node = node.next_sibling();
    }
    return out;
}

#ifdef ORVAN_FUZZ_LIBXML2
// libxml2 2.9.14 loses its place in a long processing instruction when it
// converts a file in another encoding chunk by chunk: a PI with a target of
// ninety non-ASCII characters is "never ending" at some offsets and fine at
// others, and fine in UTF-8. Such a refusal is the parser's; the same text in
// UTF-8 (the declaration saying so) is what our bytes must pass then.
bool AcceptedInUtf8(const CRssFeed& feed) {
    QByteArray text = feed.PrintToText();
    const qsizetype declarationEnd = text.startsWith("<?xml") ? text.indexOf("?>") : -1;
    if (declarationEnd < 0)
        return false;
    const qsizetype encoding = text.lastIndexOf("encoding=\"", declarationEnd);
    if (encoding < 0)
        return false;
    const qsizetype valueStart = encoding + 10;
    const qsizetype valueEnd = text.indexOf('"', valueStart);
    text.replace(valueStart, valueEnd - valueStart, "UTF-8");
    return ConformingParserAccepts(text);
}
#endif

void CheckSaved(const CRssFeed& feed, const QByteArray& input) {
    const QByteArray saved = feed.SaveToMemory();
#ifdef ORVAN_FUZZ_LIBXML2
    const bool legacy = !feed.GetEncoding().isEmpty() && !feed.GetEncoding().startsWith(u"UTF-16");
    if (!ConformingParserAccepts(saved) && !(legacy && AcceptedInUtf8(feed)))
        Fault("saved bytes that a conforming parser refuses", saved);
#endif
    CRssFeed reloaded;
    QString error;
    if (!reloaded.LoadFromMemory(saved, &error))
        Fault("saved bytes that do not load again", saved, error);
    if (Dump(reloaded) != Dump(feed))
        Fault("the saved bytes load into another tree", saved,
              QString::fromStdString(Dump(feed) + "----\n" + Dump(reloaded)));
    if (reloaded.SaveToMemory() != saved)
        Fault("a second save prints other bytes", saved);
    if (reloaded.GetPostCount() != feed.GetPostCount())
        Fault("the saved feed has another number of posts", input);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CRssFeed feed;
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QString error;
    if (!feed.LoadFromMemory(bytes, &error)) {
        if (error.isEmpty())
            Fault("a load failed without a reason");
        return 0;
    }
    CheckSaved(feed, bytes);
    (void)feed.PrintToText();
    for (int i = 0; i < feed.GetPostCount() && i < 4; ++i) {
        (void)feed.GetTitle(i);
        (void)feed.GetTitleLine(i);
        (void)feed.GetDescriptionText(i);
        (void)feed.GetDescriptionXml(i);
    }
    (void)feed.SortedIndices(PostOrder::ByDate);
    (void)feed.SortedIndices(PostOrder::ByTitle);
    if (feed.GetPostCount() > 0) {
        // Text the user types, with what XML cannot hold and what needs care.
        feed.SetTitle(0, QStringLiteral("t\u4E2D<&>\u0001]]>\r\n\u20AC"));
        feed.SetDescription(0, QStringLiteral("<p>]]>\u20AC\r</p>"));
        feed.AddPost();
        feed.DuplicatePost(1);
        feed.RemovePost(0);
        CheckSaved(feed, bytes);
    }
    return 0;
}
