#include "htmlscan.h"

#include "valuechecks.h"

#include <QUrl>
#include <array>
#include <cstdint>
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

// A name of up to sixteen characters in lower case, as two numbers, so a
// look-up in the lists above is a few integer compares. Longer names match
// nothing listed and get a key of their own.
struct NameKey {
    uint64_t low = 0;
    uint64_t high = 0;
    bool operator==(const NameKey&) const = default;
};

constexpr NameKey KeyOf(std::string_view name) {
    NameKey key;
    if (name.size() > 16)
        return {~uint64_t{0}, ~uint64_t{0}};
    for (size_t i = 0; i < name.size(); ++i) {
        const uint64_t c = static_cast<unsigned char>(AsciiLowerChar(name[i]));
        if (i < 8)
            key.low |= c << (8 * i);
        else
            key.high |= c << (8 * (i - 8));
    }
    return key;
}

// The keys of a list, with a quick first test: for each length, the first
// letters its names of that length start with.
template <size_t N> struct NameSet {
    std::array<NameKey, N> keys{};
    std::array<uint32_t, 17> firstLetters{};

    bool Contains(std::string_view name) const {
        const char first = AsciiLowerChar(name.empty() ? '\0' : name[0]);
        if (name.size() > 16 || first < 'a' || first > 'z' ||
            !(firstLetters[name.size()] & (1u << (first - 'a'))))
            return false;
        const NameKey key = KeyOf(name);
        for (const NameKey& entry : keys) {
            if (entry == key)
                return true;
        }
        return false;
    }
};

template <size_t N> constexpr NameSet<N> SetOf(const std::string_view (&names)[N]) {
    NameSet<N> set;
    for (size_t i = 0; i < N; ++i) {
        set.keys[i] = KeyOf(names[i]);
        set.firstLetters[names[i].size()] |= 1u << (names[i][0] - 'a');
    }
    return set;
}

constexpr auto kRiskyKeys = SetOf(kRiskyElements);
constexpr auto kVoidKeys = SetOf(kVoidElements);
constexpr auto kUrlKeys = SetOf(kUrlAttributes);

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
        if (i + 1 < h.size() && h[i + 1] == '!' && h.substr(i, 4) == "<!--") {
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
bool IsRelativeUrl(std::string_view value, std::string_view scheme) {
    return !value.empty() && value[0] != '#' && scheme.empty();
}

} // namespace

HtmlScan ScanHtml(std::string_view html) {
    HtmlScan scan;
    // Open elements, to tell an end tag that closes nothing. Markup nested
    // deeper than the stack holds is not judged.
    struct Open {
        const char* name;
        size_t size;
    };
    Open open[64];
    size_t depth = 0;
    bool tooDeep = false;
    ReadTags(
        html,
        [&](const Tag& tag) {
            if (tag.end) {
                for (size_t k = depth; k-- > 0;) {
                    if (EqualsNoCase(std::string_view(open[k].name, open[k].size), tag.name)) {
                        depth = k;
                        return;
                    }
                }
                if (scan.broken.empty() && !tooDeep && !kVoidKeys.Contains(tag.name))
                    scan.broken =
                        "</" + AsciiLower(tag.name) + "> closes an element that is not open";
                return;
            }
            if (scan.riskyElement.empty() && kRiskyKeys.Contains(tag.name))
                scan.riskyElement = AsciiLower(tag.name);
            if (!tag.selfClosing && !kVoidKeys.Contains(tag.name)) {
                if (depth < std::size(open))
                    open[depth++] = {tag.name.data(), tag.name.size()};
                else
                    tooDeep = true;
            }
        },
        [&](const Attribute& attribute) {
            const std::string_view value =
                TrimXmlSpace(html.substr(attribute.valueStart, attribute.valueLength));
            if (scan.riskyAttribute.empty() && attribute.name.size() > 2 &&
                StartsWithNoCase(attribute.name, "on"))
                scan.riskyAttribute = AsciiLower(attribute.name);
            if (EqualsNoCase(attribute.name, "style")) {
                const std::string lower = AsciiLower(value);
                if (lower.find("expression(") != std::string::npos ||
                    lower.find("javascript:") != std::string::npos ||
                    lower.find("-moz-binding") != std::string::npos ||
                    lower.find("behavior:") != std::string::npos)
                    scan.dangerousStyle = true;
            }
            if (!kUrlKeys.Contains(attribute.name))
                return;
            const std::string_view scheme = UrlSchemeOf(value);
            if (scan.riskyAttribute.empty() &&
                (EqualsNoCase(scheme, "javascript") || EqualsNoCase(scheme, "vbscript")))
                scan.riskyAttribute = AsciiLower(attribute.name);
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
            if (!kUrlKeys.Contains(attribute.name))
                return;
            const std::string_view raw =
                std::string_view(html).substr(attribute.valueStart, attribute.valueLength);
            const std::string_view value = TrimXmlSpace(raw);
            if (!IsRelativeUrl(value, UrlSchemeOf(value)))
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
