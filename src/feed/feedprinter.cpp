#include "feedprinter.h"

#include "feedencoding.h"
#include "feedtext.h"
#include "xmlchars.h"

#include <algorithm>
#include <cstring>
#include <vector>

using namespace xmlchars;

namespace {

using feedtext::HasLeadingText;
using feedtext::IsTextNode;

void AppendReference(std::string& out, uint32_t cp) {
    out += "&#";
    out += std::to_string(cp);
    out += ';';
}

} // namespace

// The walk over the tree keeps its place in members, so it can stop after
// any node and carry on from there.
class DocumentPrinter::Impl final {
public:
    Impl(const pugi::xml_node& document, const PrintOptions& options)
        : m_options(options), m_node(document.first_child()) {}

    // Prints up to budget nodes into out.
    DocumentPrinter::Step Run(std::string& out, size_t budget) {
        if (m_failed)
            return DocumentPrinter::Step::Failed;
        m_out = &out;
        const DocumentPrinter::Step step = Walk(budget);
        m_out = nullptr;
        if (step == DocumentPrinter::Step::Failed)
            m_failed = true;
        return step;
    }

    const QString& Error() const { return m_error; }

private:
    struct Open {
        pugi::xml_node element;
        bool exact;
        int depth;
    };

    // Top-level nodes are printed at depth 0, the rest without recursion.
    DocumentPrinter::Step Walk(size_t budget) {
        std::string& out = *m_out;
        for (; budget > 0; --budget) {
            if (!m_node)
                return DocumentPrinter::Step::Done;
            // Whether the children go one a line takes a look at every one
            // of them: a channel of many thousand items is looked over
            // across several parts, before its start tag is printed.
            if (!m_exact && m_node.type() == pugi::node_element && m_node.first_child() &&
                !HasLeadingText(m_node) && !ScanChildren(budget))
                return DocumentPrinter::Step::More;
            if (!m_exact)
                Indent(m_depth);
            if (m_node.type() == pugi::node_element) {
                out += '<';
                if (!Raw(m_node.name(), "an element name"))
                    return DocumentPrinter::Step::Failed;
                for (pugi::xml_attribute a = m_node.first_attribute(); a; a = a.next_attribute()) {
                    out += ' ';
                    if (!Raw(a.name(), "an attribute name"))
                        return DocumentPrinter::Step::Failed;
                    out += "=\"";
                    Escaped(a.value(), true);
                    out += '"';
                }
                // Text kept in the element stands before its children, and
                // makes them text content, printed exactly.
                const bool leadingText = HasLeadingText(m_node);
                if (leadingText) {
                    out += '>';
                    Escaped(m_node.value(), false);
                }
                if (m_node.first_child()) {
                    const bool childrenExact = m_exact || leadingText || !m_scanElementOnly;
                    if (!leadingText)
                        out += '>';
                    if (!childrenExact)
                        out += '\n';
                    m_open.push_back({m_node, m_exact, m_depth});
                    m_node = m_node.first_child();
                    m_exact = childrenExact;
                    ++m_depth;
                    continue;
                }
                if (leadingText) {
                    out += "</";
                    out += m_node.name();
                    out += '>';
                } else {
                    out += " />";
                }
            } else if (!Leaf(m_node)) {
                return DocumentPrinter::Step::Failed;
            }
            if (!m_exact)
                out += '\n';
            Advance();
        }
        return m_node ? DocumentPrinter::Step::More : DocumentPrinter::Step::Done;
    }

    // Looks over the children of m_node, at most a few for each node of the
    // budget (they cost far less than a printed node); false when the budget
    // ran out first. The answer is left in m_scanElementOnly.
    bool ScanChildren(size_t budget) {
        constexpr size_t kChildrenPerNode = 16;
        if (m_scanned != m_node) {
            m_scanned = m_node;
            m_scanChild = m_node.first_child();
            m_scanElementOnly = false;
        }
        size_t looks = budget > SIZE_MAX / kChildrenPerNode ? SIZE_MAX : budget * kChildrenPerNode;
        for (; m_scanChild; m_scanChild = m_scanChild.next_sibling()) {
            if (looks-- == 0)
                return false;
            if (IsTextNode(m_scanChild)) {
                m_scanElementOnly = false;
                m_scanChild = pugi::xml_node();
                return true;
            }
            m_scanElementOnly |= m_scanChild.type() == pugi::node_element;
        }
        return true;
    }

    // On to the next sibling, closing the elements whose last child was printed.
    void Advance() {
        std::string& out = *m_out;
        for (;;) {
            if (m_open.empty()) {
                m_node = m_node.next_sibling();
                return;
            }
            if (pugi::xml_node next = m_node.next_sibling()) {
                m_node = next;
                return;
            }
            const Open parent = m_open.back();
            m_open.pop_back();
            if (!m_exact)
                Indent(parent.depth);
            out += "</";
            out += parent.element.name();
            out += '>';
            if (!parent.exact)
                out += '\n';
            m_node = parent.element;
            m_exact = parent.exact;
            m_depth = parent.depth;
        }
    }

    void Indent(int depth) {
        m_out->append(static_cast<size_t>(std::min(depth, kMaxIndentLevels)) * 4, ' ');
    }

    bool Leaf(const pugi::xml_node& node) {
        switch (node.type()) {
        case pugi::node_pcdata:
            Escaped(node.value(), false);
            return true;
        case pugi::node_cdata:
            Cdata(node.value());
            return true;
        case pugi::node_comment:
            *m_out += "<!--";
            if (!Raw(node.value(), "a comment"))
                return false;
            *m_out += "-->";
            return true;
        case pugi::node_pi:
            *m_out += "<?";
            if (!Raw(node.name(), "a processing instruction"))
                return false;
            if (*node.value()) {
                *m_out += ' ';
                if (!Raw(node.value(), "a processing instruction"))
                    return false;
            }
            *m_out += "?>";
            return true;
        case pugi::node_declaration:
            *m_out += "<?xml";
            for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
                *m_out += ' ';
                *m_out += a.name();
                *m_out += "=\"";
                *m_out += a.value();
                *m_out += '"';
            }
            *m_out += "?>";
            return true;
        case pugi::node_doctype:
            *m_out += "<!DOCTYPE ";
            if (!Raw(node.value(), "the DOCTYPE"))
                return false;
            *m_out += '>';
            return true;
        default:
            return true;
        }
    }

    // Text written as it stands: names, comments, instructions. Their
    // characters came from a file in the same encoding, so a character the
    // encoding cannot hold means the tree was built by other hands.
    bool Raw(const char* text, const char* where) {
        const auto* p = reinterpret_cast<const unsigned char*>(text);
        if (m_options.encoder) {
            const auto* end = p + std::strlen(text);
            for (const auto* q = p; q < end;) {
                if (*q < 0x80) {
                    ++q;
                    continue;
                }
                uint32_t cp = 0;
                const int length = DecodeUtf8(q, end, cp);
                if (length == 0 || !m_options.encoder->CanEncode(cp)) {
                    m_error = QStringLiteral("%1 holds a character the file's encoding cannot hold")
                                  .arg(QString::fromLatin1(where));
                    return false;
                }
                q += length;
            }
        }
        *m_out += text;
        return true;
    }

    // Appends one character of text at p; returns its length in bytes.
    // Characters XML does not allow are left out: nothing written may be refused.
    int Character(const unsigned char* p, const unsigned char* end, bool attribute) {
        const unsigned c = *p;
        if (c < 0x80) {
            switch (c) {
            case '&':
                *m_out += "&amp;";
                break;
            case '<':
                *m_out += "&lt;";
                break;
            case '>':
                *m_out += "&gt;";
                break;
            case '\r':
                *m_out += "&#13;";
                break;
            case '"':
                *m_out += attribute ? "&quot;" : "\"";
                break;
            case '\t':
            case '\n':
                if (attribute)
                    AppendReference(*m_out, c);
                else
                    *m_out += static_cast<char>(c);
                break;
            default:
                if (c >= 0x20)
                    *m_out += static_cast<char>(c);
            }
            return 1;
        }
        uint32_t cp = 0;
        const int length = DecodeUtf8(p, end, cp);
        if (length == 0)
            return 1;
        if (!IsChar(cp))
            return length;
        if (m_options.encoder && !m_options.encoder->CanEncode(cp))
            AppendReference(*m_out, cp);
        else
            m_out->append(reinterpret_cast<const char*>(p), static_cast<size_t>(length));
        return length;
    }

    void Escaped(const char* text, bool attribute) {
        const auto* p = reinterpret_cast<const unsigned char*>(text);
        const auto* end = p + std::strlen(text);
        while (p < end) {
            // Runs of ordinary ASCII go in one piece.
            const auto* run = p;
            while (run < end && *run >= 0x20 && *run < 0x80 && *run != '&' && *run != '<' &&
                   *run != '>' && *run != '"')
                ++run;
            m_out->append(reinterpret_cast<const char*>(p), static_cast<size_t>(run - p));
            p = run;
            if (p < end)
                p += Character(p, end, attribute);
        }
    }

    // A CDATA section, split where its text holds "]]>", a CR (which a
    // reader would turn into a line break) or a character the encoding
    // cannot hold; those go between sections, as references.
    void Cdata(const char* text) {
        const auto* p = reinterpret_cast<const unsigned char*>(text);
        const auto* end = p + std::strlen(text);
        *m_out += "<![CDATA[";
        while (p < end) {
            const unsigned c = *p;
            if (c == ']' && p + 2 < end && p[1] == ']' && p[2] == '>') {
                *m_out += "]]]]><![CDATA[>";
                p += 3;
            } else if (c == '\r') {
                *m_out += "]]>&#13;<![CDATA[";
                ++p;
            } else if (c < 0x80) {
                if (c >= 0x20 || c == '\t' || c == '\n')
                    *m_out += static_cast<char>(c);
                ++p;
            } else {
                uint32_t cp = 0;
                const int length = DecodeUtf8(p, end, cp);
                if (length == 0) {
                    ++p;
                    continue;
                }
                if (IsChar(cp)) {
                    if (m_options.encoder && !m_options.encoder->CanEncode(cp)) {
                        *m_out += "]]>";
                        AppendReference(*m_out, cp);
                        *m_out += "<![CDATA[";
                    } else {
                        m_out->append(reinterpret_cast<const char*>(p),
                                      static_cast<size_t>(length));
                    }
                }
                p += length;
            }
        }
        *m_out += "]]>";
    }

    PrintOptions m_options;
    std::string* m_out = nullptr;
    pugi::xml_node m_node;
    std::vector<Open> m_open;
    bool m_exact = false;
    int m_depth = 0;
    bool m_failed = false;
    // The element whose children are being looked over, the next child to
    // look at, and what was seen so far.
    pugi::xml_node m_scanned;
    pugi::xml_node m_scanChild;
    bool m_scanElementOnly = false;
    QString m_error;
};

bool IsElementOnly(const pugi::xml_node& element) {
    if (HasLeadingText(element))
        return false;
    bool elementChild = false;
    for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
        if (IsTextNode(child))
            return false;
        elementChild |= child.type() == pugi::node_element;
    }
    return elementChild;
}

namespace {

// Appends text with each LF written as CR LF.
void AppendWithCrlf(std::string& out, const std::string& text) {
    out.reserve(out.size() + text.size() + text.size() / 32);
    size_t pos = 0;
    for (;;) {
        const size_t lf = text.find('\n', pos);
        if (lf == std::string::npos)
            break;
        out.append(text, pos, lf - pos);
        out += "\r\n";
        pos = lf + 1;
    }
    out.append(text, pos, std::string::npos);
}

} // namespace

bool PrintDocument(const pugi::xml_node& document, const PrintOptions& options, std::string& out,
                   QString* error) {
    std::string text;
    DocumentPrinter::Impl printer(document, options);
    if (printer.Run(text, SIZE_MAX) != DocumentPrinter::Step::Done) {
        if (error)
            *error = printer.Error();
        return false;
    }
    if (options.crlf)
        AppendWithCrlf(out, text);
    else
        out += text;
    return true;
}

DocumentPrinter::DocumentPrinter(const pugi::xml_node& document, const PrintOptions& options)
    : m_impl(std::make_unique<Impl>(document, options)), m_crlf(options.crlf) {}

DocumentPrinter::~DocumentPrinter() = default;

DocumentPrinter::Step DocumentPrinter::Print(std::string& out, size_t nodes) {
    if (!m_crlf)
        return m_impl->Run(out, nodes);
    m_scratch.clear();
    const Step step = m_impl->Run(m_scratch, nodes);
    AppendWithCrlf(out, m_scratch);
    return step;
}

const QString& DocumentPrinter::Error() const {
    return m_impl->Error();
}
