#include "htmlscan.h"

#include "valuechecks.h"

#include <QUrl>
#include <array>
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

// A name in lower case, kept in place; names longer than any listed one
// are left empty, as they match none.
class LowerName final {
public:
    explicit LowerName(std::string_view name) {
        if (name.size() >= sizeof m_text)
            return;
        for (size_t i = 0; i < name.size(); ++i)
            m_text[i] =
                (name[i] >= 'A' && name[i] <= 'Z') ? static_cast<char>(name[i] + 32) : name[i];
        m_size = name.size();
    }
    std::string_view view() const { return {m_text, m_size}; }
    template <size_t N> bool In(const std::string_view (&list)[N]) const {
        for (std::string_view entry : list) {
            if (entry == view())
                return true;
        }
        return false;
    }

private:
    char m_text[16] = {};
    size_t m_size = 0;
};

bool IsNameStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsNameChar(char c) {
    return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == ':' || c == '_' || c == '.';
}

struct Tag {
    std::string_view name;
    bool end = false;
    bool selfClosing = false;
};

// An attribute as written; the value without its quotes, at valueStart.
struct Attribute {
    std::string_view name;
    size_t valueStart = 0;
    size_t valueLength = 0;
};

// Walks the tags of an HTML text without allocating. onAttribute sees each
// attribute of a start tag as it is read, onTag each whole start or end tag,
// onBroken a tag or comment that runs to the end of the text unclosed, and
// onImport a processing instruction that imports a behaviour.
template <typename OnTag, typename OnAttribute, typename OnBroken, typename OnImport>
void ReadTags(std::string_view h, OnTag&& onTag, OnAttribute&& onAttribute, OnBroken&& onBroken,
              OnImport&& onImport) {
    size_t i = 0;
    while ((i = h.find('<', i)) != std::string_view::npos) {
        if (h.substr(i, 4) == "<!--") {
            const size_t end = h.find("-->", i + 4);
            if (end == std::string_view::npos) {
                onBroken("a comment is not closed");
                return;
            }
            i = end + 3;
            continue;
        }
        if (i + 1 < h.size() && (h[i + 1] == '!' || h[i + 1] == '?')) {
            if (h[i + 1] == '?' && StartsWithNoCase(h.substr(i + 2), "import"))
                onImport();
            const size_t end = h.find('>', i + 2);
            if (end == std::string_view::npos)
                return;
            i = end + 1;
            continue;
        }
        if (i + 1 >= h.size() || (h[i + 1] != '/' && !IsNameStart(h[i + 1]))) {
            // A "<" of the text, as in "a < b".
            ++i;
            continue;
        }
        Tag tag;
        size_t p = i + 1;
        tag.end = h[p] == '/';
        if (tag.end)
            ++p;
        const size_t nameStart = p;
        while (p < h.size() && IsNameChar(h[p]))
            ++p;
        tag.name = h.substr(nameStart, p - nameStart);
        for (;;) {
            while (p < h.size() && (IsXmlSpace(h[p]) || h[p] == '/')) {
                if (h[p] == '/')
                    tag.selfClosing = true;
                ++p;
            }
            if (p >= h.size()) {
                onBroken("a tag is not closed with \">\"");
                return;
            }
            if (h[p] == '>')
                break;
            tag.selfClosing = false;
            Attribute attribute;
            const size_t attrStart = p;
            while (p < h.size() && !IsXmlSpace(h[p]) && h[p] != '>' && h[p] != '=' && h[p] != '/')
                ++p;
            attribute.name = h.substr(attrStart, p - attrStart);
            while (p < h.size() && IsXmlSpace(h[p]))
                ++p;
            if (p < h.size() && h[p] == '=') {
                ++p;
                while (p < h.size() && IsXmlSpace(h[p]))
                    ++p;
                if (p < h.size() && (h[p] == '"' || h[p] == '\'')) {
                    const size_t close = h.find(h[p], p + 1);
                    if (close == std::string_view::npos) {
                        onBroken("an attribute value is not closed");
                        return;
                    }
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
            if (!tag.end && !attribute.name.empty())
                onAttribute(attribute);
        }
        i = p + 1;
        if (!tag.name.empty())
            onTag(tag);
    }
}

// The value of a link or source attribute, trimmed, when it is relative
// (not an address of its own and not a place within the page).
bool IsRelativeUrl(std::string_view value, const std::string& scheme) {
    return !value.empty() && value[0] != '#' && scheme.empty();
}

} // namespace

HtmlScan ScanHtml(std::string_view html) {
    HtmlScan scan;
    // Open elements, to tell an end tag that closes nothing. Markup nested
    // deeper than the stack holds is not judged.
    std::array<std::string_view, 64> open;
    size_t depth = 0;
    bool tooDeep = false;
    ReadTags(
        html,
        [&](const Tag& tag) {
            const LowerName name(tag.name);
            if (tag.end) {
                for (size_t k = depth; k-- > 0;) {
                    if (EqualsNoCase(open[k], tag.name)) {
                        depth = k;
                        return;
                    }
                }
                if (scan.broken.empty() && !tooDeep && !name.In(kVoidElements))
                    scan.broken =
                        "</" + AsciiLower(tag.name) + "> closes an element that is not open";
                return;
            }
            if (scan.riskyElement.empty() && name.In(kRiskyElements))
                scan.riskyElement = name.view();
            if (!tag.selfClosing && !name.In(kVoidElements)) {
                if (depth < open.size())
                    open[depth++] = tag.name;
                else
                    tooDeep = true;
            }
        },
        [&](const Attribute& attribute) {
            const LowerName name(attribute.name);
            const std::string_view value =
                TrimXmlSpace(html.substr(attribute.valueStart, attribute.valueLength));
            if (scan.riskyAttribute.empty() && attribute.name.size() > 2 &&
                StartsWithNoCase(attribute.name, "on"))
                scan.riskyAttribute = AsciiLower(attribute.name);
            if (name.view() == "style") {
                const std::string lower = AsciiLower(value);
                if (lower.find("expression(") != std::string::npos ||
                    lower.find("javascript:") != std::string::npos ||
                    lower.find("-moz-binding") != std::string::npos ||
                    lower.find("behavior:") != std::string::npos)
                    scan.dangerousStyle = true;
            }
            if (!name.In(kUrlAttributes))
                return;
            const std::string scheme = UrlScheme(value);
            if (scan.riskyAttribute.empty() && (scheme == "javascript" || scheme == "vbscript"))
                scan.riskyAttribute = name.view();
            if (scan.relativeUrl.empty() && IsRelativeUrl(value, scheme))
                scan.relativeUrl = std::string(value);
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
    ReadTags(
        html, [](const Tag&) {},
        [&](const Attribute& attribute) {
            if (!LowerName(attribute.name).In(kUrlAttributes))
                return;
            const std::string_view raw =
                std::string_view(html).substr(attribute.valueStart, attribute.valueLength);
            const std::string_view value = TrimXmlSpace(raw);
            if (!IsRelativeUrl(value, UrlScheme(value)))
                return;
            const QUrl resolved = baseUrl.resolved(
                QUrl(QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size()))));
            const size_t lead = static_cast<size_t>(value.data() - raw.data());
            replacements.push_back(
                {attribute.valueStart + lead, value.size(), resolved.toString().toStdString()});
        },
        [](std::string_view) {}, [] {});
    for (auto it = replacements.rbegin(); it != replacements.rend(); ++it)
        html.replace(it->start, it->length, it->text);
    return static_cast<int>(replacements.size());
}
