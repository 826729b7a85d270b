#include "htmlscan.h"

#include "valuechecks.h"

#include <QUrl>
#include <algorithm>
#include <functional>
#include <iterator>
#include <vector>

namespace {

constexpr std::string_view kRiskyElements[] = {"script", "applet", "embed",    "object",
                                               "iframe", "frame",  "frameset", "meta",
                                               "link",   "base",   "style"};
constexpr std::string_view kVoidElements[] = {
    "area", "base",  "br",     "col",   "embed", "hr",      "img",      "input", "link",
    "meta", "param", "source", "track", "wbr",   "isindex", "basefont", "frame", "keygen"};
// Attributes whose value is an address.
constexpr std::string_view kUrlAttributes[] = {
    "href",     "src",    "background", "cite",   "action", "longdesc",   "poster",
    "codebase", "usemap", "lowsrc",     "dynsrc", "data",   "formaction", "profile"};

template <size_t N> bool Contains(const std::string_view (&list)[N], std::string_view s) {
    return std::find(std::begin(list), std::end(list), s) != std::end(list);
}

bool IsNameStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsNameChar(char c) {
    return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == ':' || c == '_' || c == '.';
}

struct Attribute {
    std::string name;
    // Where the value lies in the HTML (without its quotes).
    size_t valueStart = 0;
    size_t valueLength = 0;
};

struct Tag {
    std::string name;
    bool end = false;
    bool selfClosing = false;
    std::vector<Attribute> attributes;
};

// Walks the tags of an HTML text. onTag sees every start and end tag;
// onBroken is told when a tag runs to the end of the text unclosed.
class TagReader final {
public:
    explicit TagReader(std::string_view html) : m_html(html) {}

    void Run(const std::function<void(const Tag&)>& onTag,
             const std::function<void(std::string_view)>& onBroken,
             const std::function<void()>& onImport) {
        size_t i = 0;
        const std::string_view h = m_html;
        while ((i = h.find('<', i)) != std::string_view::npos) {
            if (h.substr(i, 4) == "<!--") {
                const size_t end = h.find("-->", i + 4);
                if (end == std::string_view::npos) {
                    onBroken("a comment is not closed");
                    return;
                }
                i = end + 3;
            } else if (i + 1 < h.size() && (h[i + 1] == '!' || h[i + 1] == '?')) {
                if (h[i + 1] == '?' && StartsWithNoCase(h.substr(i + 2), "import"))
                    onImport();
                const size_t end = h.find('>', i + 2);
                if (end == std::string_view::npos)
                    return;
                i = end + 1;
            } else if (i + 1 < h.size() && (h[i + 1] == '/' || IsNameStart(h[i + 1]))) {
                if (!ReadTag(i, onTag)) {
                    onBroken("a tag is not closed with \">\"");
                    return;
                }
            } else {
                ++i;
            }
        }
    }

private:
    // Reads the tag at i and moves i past it; false when it never ends.
    bool ReadTag(size_t& i, const std::function<void(const Tag&)>& onTag) {
        const std::string_view h = m_html;
        size_t p = i + 1;
        m_tag.end = h[p] == '/';
        if (m_tag.end)
            ++p;
        const size_t nameStart = p;
        while (p < h.size() && IsNameChar(h[p]))
            ++p;
        m_tag.name = AsciiLower(h.substr(nameStart, p - nameStart));
        m_tag.selfClosing = false;
        m_tag.attributes.clear();
        for (;;) {
            while (p < h.size() && (IsXmlSpace(h[p]) || h[p] == '/')) {
                if (h[p] == '/')
                    m_tag.selfClosing = true;
                ++p;
            }
            if (p >= h.size())
                return false;
            if (h[p] == '>')
                break;
            m_tag.selfClosing = false;
            const size_t attrStart = p;
            while (p < h.size() && !IsXmlSpace(h[p]) && h[p] != '>' && h[p] != '=' && h[p] != '/')
                ++p;
            Attribute attribute;
            attribute.name = AsciiLower(h.substr(attrStart, p - attrStart));
            while (p < h.size() && IsXmlSpace(h[p]))
                ++p;
            if (p < h.size() && h[p] == '=') {
                ++p;
                while (p < h.size() && IsXmlSpace(h[p]))
                    ++p;
                if (p < h.size() && (h[p] == '"' || h[p] == '\'')) {
                    const size_t close = h.find(h[p], p + 1);
                    if (close == std::string_view::npos)
                        return false;
                    attribute.valueStart = p + 1;
                    attribute.valueLength = close - p - 1;
                    p = close + 1;
                } else {
                    attribute.valueStart = p;
                    while (p < h.size() && !IsXmlSpace(h[p]) && h[p] != '>')
                        ++p;
                    attribute.valueLength = p - attribute.valueStart;
                }
            }
            if (!attribute.name.empty())
                m_tag.attributes.push_back(std::move(attribute));
        }
        i = p + 1;
        if (!m_tag.name.empty())
            onTag(m_tag);
        return true;
    }

    std::string_view m_html;
    Tag m_tag;
};

bool IsRelativeUrl(std::string_view value) {
    value = TrimXmlSpace(value);
    return !value.empty() && value[0] != '#' && UrlScheme(value).empty();
}

} // namespace

HtmlScan ScanHtml(std::string_view html) {
    HtmlScan scan;
    // Open elements, to tell an end tag that closes nothing.
    std::vector<std::string> open;
    TagReader reader(html);
    reader.Run(
        [&](const Tag& tag) {
            if (tag.end) {
                for (size_t k = open.size(); k-- > 0;) {
                    if (open[k] == tag.name) {
                        open.resize(k);
                        return;
                    }
                }
                if (scan.broken.empty() && !Contains(kVoidElements, tag.name))
                    scan.broken = "</" + tag.name + "> closes an element that is not open";
                return;
            }
            if (scan.riskyElement.empty() && Contains(kRiskyElements, tag.name))
                scan.riskyElement = tag.name;
            if (!tag.selfClosing && !Contains(kVoidElements, tag.name))
                open.push_back(tag.name);
            for (const Attribute& attribute : tag.attributes) {
                const std::string_view value =
                    TrimXmlSpace(html.substr(attribute.valueStart, attribute.valueLength));
                const std::string_view name = attribute.name;
                if (scan.riskyAttribute.empty() && name.size() > 2 && name.substr(0, 2) == "on")
                    scan.riskyAttribute = attribute.name;
                if (name == "style") {
                    const std::string lower = AsciiLower(value);
                    if (lower.find("expression(") != std::string::npos ||
                        lower.find("javascript:") != std::string::npos ||
                        lower.find("-moz-binding") != std::string::npos ||
                        lower.find("behavior:") != std::string::npos)
                        scan.dangerousStyle = true;
                }
                if (!Contains(kUrlAttributes, name))
                    continue;
                const std::string scheme = UrlScheme(value);
                if (scan.riskyAttribute.empty() && (scheme == "javascript" || scheme == "vbscript"))
                    scan.riskyAttribute = attribute.name;
                if (scan.relativeUrl.empty() && IsRelativeUrl(value))
                    scan.relativeUrl = std::string(value);
            }
        },
        [&](std::string_view why) {
            if (scan.broken.empty())
                scan.broken = std::string(why);
        },
        [&] {
            if (scan.riskyElement.empty())
                scan.riskyElement = "?import";
        });
    return scan;
}

int MakeLinksAbsolute(std::string& html, const QString& base) {
    const QUrl baseUrl(base.trimmed());
    if (!baseUrl.isValid() || baseUrl.isRelative())
        return 0;
    // Replacements are collected first and made from the back, so earlier
    // positions stay right.
    struct Replacement {
        size_t start;
        size_t length;
        std::string text;
    };
    std::vector<Replacement> replacements;
    TagReader reader(html);
    reader.Run(
        [&](const Tag& tag) {
            if (tag.end)
                return;
            for (const Attribute& attribute : tag.attributes) {
                if (!Contains(kUrlAttributes, attribute.name))
                    continue;
                const std::string_view raw =
                    std::string_view(html).substr(attribute.valueStart, attribute.valueLength);
                if (!IsRelativeUrl(raw))
                    continue;
                const std::string_view value = TrimXmlSpace(raw);
                const QUrl resolved = baseUrl.resolved(
                    QUrl(QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size()))));
                const size_t lead = static_cast<size_t>(value.data() - raw.data());
                replacements.push_back(
                    {attribute.valueStart + lead, value.size(), resolved.toString().toStdString()});
            }
        },
        [](std::string_view) {}, [] {});
    for (auto it = replacements.rbegin(); it != replacements.rend(); ++it)
        html.replace(it->start, it->length, it->text);
    return static_cast<int>(replacements.size());
}
