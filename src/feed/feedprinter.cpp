#include "feedprinter.h"

#include "feedencoding.h"
#include "xmlchars.h"

#include <algorithm>
#include <cstring>
#include <vector>

using namespace xmlchars;

namespace {

bool IsTextNode(const pugi::xml_node& node) {
    return node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata;
}

void AppendReference(std::string& out, uint32_t cp) {
    out += "&#";
    out += std::to_string(cp);
    out += ';';
}

class Printer final {
public:
    Printer(const PrintOptions& options, std::string& out) : m_options(options), m_out(out) {}

    bool Document(const pugi::xml_node& document) {
        for (pugi::xml_node child = document.first_child(); child; child = child.next_sibling()) {
            if (!Tree(child))
                return false;
        }
        return true;
    }

    const QString& Error() const { return m_error; }

private:
    // Prints node and everything below it at depth 0, without recursion.
    bool Tree(const pugi::xml_node& start) {
        struct Open {
            pugi::xml_node element;
            bool exact;
            int depth;
        };
        std::vector<Open> open;
        pugi::xml_node node = start;
        bool exact = false;
        int depth = 0;
        for (;;) {
            if (!exact)
                Indent(depth);
            if (node.type() == pugi::node_element) {
                m_out += '<';
                if (!Raw(node.name(), "an element name"))
                    return false;
                for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
                    m_out += ' ';
                    if (!Raw(a.name(), "an attribute name"))
                        return false;
                    m_out += "=\"";
                    Escaped(a.value(), true);
                    m_out += '"';
                }
                if (node.first_child()) {
                    const bool childrenExact = exact || !IsElementOnly(node);
                    m_out += '>';
                    if (!childrenExact)
                        m_out += '\n';
                    open.push_back({node, exact, depth});
                    node = node.first_child();
                    exact = childrenExact;
                    ++depth;
                    continue;
                }
                m_out += " />";
            } else if (!Leaf(node)) {
                return false;
            }
            if (!exact)
                m_out += '\n';
            // On to the next sibling, closing the elements whose last child was printed.
            for (;;) {
                if (open.empty())
                    return true;
                if (pugi::xml_node next = node.next_sibling()) {
                    node = next;
                    break;
                }
                const Open parent = open.back();
                open.pop_back();
                if (!exact)
                    Indent(parent.depth);
                m_out += "</";
                m_out += parent.element.name();
                m_out += '>';
                if (!parent.exact)
                    m_out += '\n';
                node = parent.element;
                exact = parent.exact;
                depth = parent.depth;
            }
        }
    }

    void Indent(int depth) {
        m_out.append(static_cast<size_t>(std::min(depth, kMaxIndentLevels)) * 4, ' ');
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
            m_out += "<!--";
            if (!Raw(node.value(), "a comment"))
                return false;
            m_out += "-->";
            return true;
        case pugi::node_pi:
            m_out += "<?";
            if (!Raw(node.name(), "a processing instruction"))
                return false;
            if (*node.value()) {
                m_out += ' ';
                if (!Raw(node.value(), "a processing instruction"))
                    return false;
            }
            m_out += "?>";
            return true;
        case pugi::node_declaration:
            m_out += "<?xml";
            for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
                m_out += ' ';
                m_out += a.name();
                m_out += "=\"";
                m_out += a.value();
                m_out += '"';
            }
            m_out += "?>";
            return true;
        case pugi::node_doctype:
            m_out += "<!DOCTYPE ";
            if (!Raw(node.value(), "the DOCTYPE"))
                return false;
            m_out += '>';
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
        m_out += text;
        return true;
    }

    // Appends one character of text at p; returns its length in bytes.
    // Characters XML does not allow are left out: nothing written may be refused.
    int Character(const unsigned char* p, const unsigned char* end, bool attribute) {
        const unsigned c = *p;
        if (c < 0x80) {
            switch (c) {
            case '&':
                m_out += "&amp;";
                break;
            case '<':
                m_out += "&lt;";
                break;
            case '>':
                m_out += "&gt;";
                break;
            case '\r':
                m_out += "&#13;";
                break;
            case '"':
                m_out += attribute ? "&quot;" : "\"";
                break;
            case '\t':
            case '\n':
                if (attribute)
                    AppendReference(m_out, c);
                else
                    m_out += static_cast<char>(c);
                break;
            default:
                if (c >= 0x20)
                    m_out += static_cast<char>(c);
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
            AppendReference(m_out, cp);
        else
            m_out.append(reinterpret_cast<const char*>(p), static_cast<size_t>(length));
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
            m_out.append(reinterpret_cast<const char*>(p), static_cast<size_t>(run - p));
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
        m_out += "<![CDATA[";
        while (p < end) {
            const unsigned c = *p;
            if (c == ']' && p + 2 < end && p[1] == ']' && p[2] == '>') {
                m_out += "]]]]><![CDATA[>";
                p += 3;
            } else if (c == '\r') {
                m_out += "]]>&#13;<![CDATA[";
                ++p;
            } else if (c < 0x80) {
                if (c >= 0x20 || c == '\t' || c == '\n')
                    m_out += static_cast<char>(c);
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
                        m_out += "]]>";
                        AppendReference(m_out, cp);
                        m_out += "<![CDATA[";
                    } else {
                        m_out.append(reinterpret_cast<const char*>(p), static_cast<size_t>(length));
                    }
                }
                p += length;
            }
        }
        m_out += "]]>";
    }

    const PrintOptions& m_options;
    std::string& m_out;
    QString m_error;
};

} // namespace

bool IsElementOnly(const pugi::xml_node& element) {
    bool elementChild = false;
    for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
        if (IsTextNode(child))
            return false;
        elementChild |= child.type() == pugi::node_element;
    }
    return elementChild;
}

bool PrintDocument(const pugi::xml_node& document, const PrintOptions& options, std::string& out,
                   QString* error) {
    std::string text;
    Printer printer(options, text);
    if (!printer.Document(document)) {
        if (error)
            *error = printer.Error();
        return false;
    }
    if (!options.crlf) {
        out += text;
        return true;
    }
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
    return true;
}
