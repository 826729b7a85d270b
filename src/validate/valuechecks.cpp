#include "valuechecks.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace {

bool IsAsciiAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsAlnum(char c) {
    return IsAsciiAlpha(c) || IsDigit(c);
}
bool IsHexDigit(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
char Lower(char c) {
    return AsciiLowerChar(c);
}
bool IsWordChar(char c) {
    return IsAlnum(c) || c == '_';
}

// Schemes in the IANA registry that feeds meet; an unknown one is only a
// warning, since readers may still follow it.
constexpr std::string_view kRegisteredSchemes[] = {
    "about",  "aaa",    "acap", "cid",  "crid", "data",   "dav",  "dict",   "dns",   "fax",
    "file",   "ftp",    "ftps", "geo",  "go",   "gopher", "h323", "http",   "https", "iax",
    "icap",   "im",     "imap", "info", "ipp",  "irc",    "ircs", "iris",   "ldap",  "ldaps",
    "magnet", "mailto", "mid",  "mms",  "news", "nfs",    "nntp", "pop",    "pres",  "rtsp",
    "rtsps",  "sip",    "sips", "sms",  "snmp", "tag",    "tel",  "telnet", "tftp",  "urn",
    "ws",     "xmpp",   "wss",  "ssh",  "sftp", "webcal"};

// Schemes whose addresses name a host after "//".
constexpr std::string_view kHostSchemes[] = {"http", "https", "ftp", "ftps", "ws", "wss", "gopher"};

// Names of HTML elements; an end tag of one of them marks a text as HTML.
constexpr std::string_view kHtmlTags[] = {
    "a",          "abbr",   "acronym",  "address",  "applet", "area",     "article",  "aside",
    "audio",      "b",      "base",     "basefont", "bdi",    "bdo",      "big",      "blink",
    "blockquote", "body",   "br",       "button",   "canvas", "caption",  "center",   "cite",
    "code",       "col",    "colgroup", "dd",       "del",    "details",  "dfn",      "dialog",
    "dir",        "div",    "dl",       "dt",       "em",     "embed",    "fieldset", "figcaption",
    "figure",     "font",   "footer",   "form",     "frame",  "frameset", "h1",       "h2",
    "h3",         "h4",     "h5",       "h6",       "head",   "header",   "hr",       "html",
    "i",          "iframe", "img",      "input",    "ins",    "isindex",  "kbd",      "label",
    "legend",     "li",     "link",     "main",     "map",    "mark",     "marquee",  "menu",
    "meta",       "nav",    "nobr",     "noscript", "object", "ol",       "optgroup", "option",
    "p",          "param",  "pre",      "q",        "s",      "samp",     "script",   "section",
    "select",     "small",  "source",   "span",     "strike", "strong",   "style",    "sub",
    "summary",    "sup",    "table",    "tbody",    "td",     "textarea", "tfoot",    "th",
    "thead",      "time",   "title",    "tr",       "tt",     "u",        "ul",       "var",
    "video",      "wbr"};

// The named character references of HTML 4, which is what plain text written
// by an HTML tool is most likely to carry.
constexpr std::string_view kHtmlEntities[] = {
    "AElig",   "Aacute",  "Acirc",  "Agrave",  "Alpha",    "Aring",  "Atilde", "Auml",   "Beta",
    "Ccedil",  "Chi",     "Dagger", "Delta",   "ETH",      "Eacute", "Ecirc",  "Egrave", "Epsilon",
    "Eta",     "Euml",    "Gamma",  "Iacute",  "Icirc",    "Igrave", "Iota",   "Iuml",   "Kappa",
    "Lambda",  "Mu",      "Ntilde", "Nu",      "OElig",    "Oacute", "Ocirc",  "Ograve", "Omega",
    "Omicron", "Oslash",  "Otilde", "Ouml",    "Phi",      "Pi",     "Prime",  "Psi",    "Rho",
    "Scaron",  "Sigma",   "THORN",  "Tau",     "Theta",    "Uacute", "Ucirc",  "Ugrave", "Upsilon",
    "Uuml",    "Xi",      "Yacute", "Yuml",    "Zeta",     "aacute", "acirc",  "acute",  "aelig",
    "agrave",  "alefsym", "alpha",  "amp",     "and",      "ang",    "aring",  "asymp",  "atilde",
    "auml",    "bdquo",   "beta",   "brvbar",  "bull",     "cap",    "ccedil", "cedil",  "cent",
    "chi",     "circ",    "clubs",  "cong",    "copy",     "crarr",  "cup",    "curren", "dArr",
    "dagger",  "darr",    "deg",    "delta",   "diams",    "divide", "eacute", "ecirc",  "egrave",
    "empty",   "emsp",    "ensp",   "epsilon", "equiv",    "eta",    "eth",    "euml",   "euro",
    "exist",   "fnof",    "forall", "frac12",  "frac14",   "frac34", "frasl",  "gamma",  "ge",
    "gt",      "hArr",    "harr",   "hearts",  "hellip",   "iacute", "icirc",  "iexcl",  "igrave",
    "image",   "infin",   "int",    "iota",    "iquest",   "isin",   "iuml",   "kappa",  "lArr",
    "lambda",  "lang",    "laquo",  "larr",    "lceil",    "ldquo",  "le",     "lfloor", "lowast",
    "loz",     "lrm",     "lsaquo", "lsquo",   "lt",       "macr",   "mdash",  "micro",  "middot",
    "minus",   "mu",      "nabla",  "nbsp",    "ndash",    "ne",     "ni",     "not",    "notin",
    "nsub",    "ntilde",  "nu",     "oacute",  "ocirc",    "oelig",  "ograve", "oline",  "omega",
    "omicron", "oplus",   "or",     "ordf",    "ordm",     "oslash", "otilde", "otimes", "ouml",
    "para",    "part",    "permil", "perp",    "phi",      "pi",     "piv",    "plusmn", "pound",
    "prime",   "prod",    "prop",   "psi",     "quot",     "rArr",   "radic",  "rang",   "raquo",
    "rarr",    "rceil",   "rdquo",  "real",    "reg",      "rfloor", "rho",    "rlm",    "rsaquo",
    "rsquo",   "sbquo",   "scaron", "sdot",    "sect",     "shy",    "sigma",  "sigmaf", "sim",
    "spades",  "sub",     "sube",   "sum",     "sup",      "sup1",   "sup2",   "sup3",   "supe",
    "szlig",   "tau",     "there4", "theta",   "thetasym", "thinsp", "thorn",  "tilde",  "times",
    "trade",   "uArr",    "uacute", "uarr",    "ucirc",    "ugrave", "uml",    "upsih",  "upsilon",
    "uuml",    "weierp",  "xi",     "yacute",  "yen",      "yuml",   "zeta",   "zwj",    "zwnj"};

// ISO 639-1 two-letter codes, with the three withdrawn ones older software
// still writes (in, iw, ji).
constexpr std::string_view kLanguages2 =
    "aa ab ae af ak am an ar as av ay az ba be bg bh bi bm bn bo br bs ca ce ch co cr cs cu cv "
    "cy da de dv dz ee el en eo es et eu fa ff fi fj fo fr fy ga gd gl gn gu gv ha he hi ho hr "
    "ht hu hy hz ia id ie ig ii ik in io is it iu iw ja ji jv ka kg ki kj kk kl km kn ko kr ks "
    "ku kv kw ky la lb lg li ln lo lt lu lv mg mh mi mk ml mn mr ms mt my na nb nd ne ng nl nn "
    "no nr nv ny oc oj om or os pa pi pl ps pt qu rm rn ro ru rw sa sc sd se sg si sk sl sm sn "
    "so sq sr ss st su sv sw ta te tg th ti tk tl tn to tr ts tt tw ty ug uk ur uz ve vi vo wa "
    "wo xh yi yo za zh zu";

template <size_t N> bool Contains(const std::string_view (&list)[N], std::string_view s) {
    return std::find(std::begin(list), std::end(list), s) != std::end(list);
}

// One flag per byte for each class of characters, so a check costs a load.
enum CharClass : unsigned char { kAtext = 1, kMimeToken = 2, kNotInUrl = 4 };
constexpr auto kCharClasses = [] {
    std::array<unsigned char, 256> table{};
    for (int c = 0; c < 256; ++c) {
        const bool alnum =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (alnum || c >= 0x80 ||
            std::string_view("!#$%&'*+/=?^_`{|}~-").find(static_cast<char>(c)) !=
                std::string_view::npos)
            table[c] |= kAtext;
        if (alnum || std::string_view("!#$%&'*+-.^_`|~").find(static_cast<char>(c)) !=
                         std::string_view::npos)
            table[c] |= kMimeToken;
        if (c <= 0x20 || c == 0x7F ||
            std::string_view("\"<>\\^`{|}").find(static_cast<char>(c)) != std::string_view::npos)
            table[c] |= kNotInUrl;
    }
    return table;
}();

bool HasClass(char c, CharClass charClass) {
    return kCharClasses[static_cast<unsigned char>(c)] & charClass;
}

bool IsAtext(char c) {
    return HasClass(c, kAtext);
}

bool IsMimeTokenChar(char c) {
    return HasClass(c, kMimeToken);
}

} // namespace

std::string AsciiLower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        c = Lower(c);
    return lower;
}

std::string_view UrlSchemeOf(std::string_view url) {
    if (url.empty() || !IsAsciiAlpha(url[0]))
        return {};
    for (size_t i = 1; i < url.size(); ++i) {
        const char c = url[i];
        if (c == ':')
            return url.substr(0, i);
        if (!IsAlnum(c) && c != '+' && c != '-' && c != '.')
            return {};
    }
    return {};
}

std::string UrlScheme(std::string_view url) {
    return AsciiLower(UrlSchemeOf(url));
}

UrlCheck CheckUrl(std::string_view url) {
    const std::string_view written = UrlSchemeOf(url);
    if (written.empty())
        return UrlCheck::NotFull;
    // Schemes are short; a longer one is simply not registered.
    char buffer[16];
    const size_t length = std::min(written.size(), sizeof buffer);
    for (size_t i = 0; i < length; ++i)
        buffer[i] = AsciiLowerChar(written[i]);
    const std::string_view scheme(buffer, length);
    bool notAscii = false;
    for (size_t i = 0; i < url.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(url[i]);
        if (c >= 0x80) {
            notAscii = true;
        } else if (kCharClasses[c] & kNotInUrl) {
            return UrlCheck::BadCharacter;
        } else if (c == '%' &&
                   (i + 2 >= url.size() || !IsHexDigit(url[i + 1]) || !IsHexDigit(url[i + 2]))) {
            return UrlCheck::BadCharacter;
        }
    }
    if (notAscii)
        return UrlCheck::NotAscii;
    if (Contains(kHostSchemes, scheme)) {
        const std::string_view rest = url.substr(scheme.size() + 1);
        if (rest.size() < 3 || rest.substr(0, 2) != "//" || rest[2] == '/' || rest[2] == '?' ||
            rest[2] == '#')
            return UrlCheck::NotFull;
    }
    if (scheme == "http" || scheme == "https")
        return UrlCheck::Ok;
    if (written.size() > sizeof buffer || !Contains(kRegisteredSchemes, scheme))
        return UrlCheck::UnregisteredScheme;
    return UrlCheck::Ok;
}

std::string PercentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && IsHexDigit(text[i + 1]) &&
            IsHexDigit(text[i + 2])) {
            out += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

bool IsAddrSpec(std::string_view address) {
    const size_t at = address.rfind('@');
    if (at == std::string_view::npos || at == 0 || at + 1 >= address.size())
        return false;
    const std::string_view local = address.substr(0, at);
    const std::string_view domain = address.substr(at + 1);
    if (local.size() >= 2 && local.front() == '"' && local.back() == '"') {
        // A quoted local part may hold almost anything but a bare quote.
        for (size_t i = 1; i + 1 < local.size(); ++i) {
            if (local[i] == '"' || local[i] == '\n' || local[i] == '\r')
                return false;
        }
    } else {
        if (local.front() == '.' || local.back() == '.' ||
            local.find("..") != std::string_view::npos)
            return false;
        for (char c : local) {
            if (c != '.' && !IsAtext(c))
                return false;
        }
    }
    if (domain.size() >= 2 && domain.front() == '[' && domain.back() == ']')
        return true;
    // Host names: labels of letters, digits and hyphens (or UTF-8), with a dot.
    if (domain.find('.') == std::string_view::npos || domain.front() == '.' ||
        domain.back() == '.' || domain.find("..") != std::string_view::npos)
        return false;
    for (char c : domain) {
        if (c != '.' && c != '-' && !IsAlnum(c) && static_cast<unsigned char>(c) < 0x80)
            return false;
    }
    return true;
}

ContactCheck CheckContact(std::string_view value) {
    std::string_view text = TrimXmlSpace(value);
    std::string decoded;
    if (StartsWithNoCase(text, "mailto:")) {
        decoded = PercentDecode(text.substr(7));
        text = TrimXmlSpace(decoded);
    }
    const size_t at = text.find('@');
    if (at == std::string_view::npos || at == 0)
        return ContactCheck::Invalid;
    if (text.back() == ')') {
        // "address (Real Name)": the address comes first, on its own.
        const size_t open = text.find('(');
        if (open == std::string_view::npos || open == 0)
            return ContactCheck::Invalid;
        return IsAddrSpec(TrimXmlSpace(text.substr(0, open))) ? ContactCheck::Ok
                                                              : ContactCheck::Invalid;
    }
    for (char c : text) {
        if (IsXmlSpace(c) || c == ',' || c == '<')
            return ContactCheck::OtherFormat;
    }
    return IsAddrSpec(text) ? ContactCheck::MissingRealName : ContactCheck::Invalid;
}

bool IsMimeType(std::string_view type) {
    type = TrimXmlSpace(type);
    const size_t semicolon = type.find(';');
    const std::string_view essence = TrimXmlSpace(type.substr(0, semicolon));
    const size_t slash = essence.find('/');
    if (slash == std::string_view::npos || slash == 0 || slash + 1 >= essence.size())
        return false;
    for (size_t i = 0; i < essence.size(); ++i) {
        if (i != slash && !IsMimeTokenChar(essence[i]))
            return false;
    }
    if (semicolon == std::string_view::npos)
        return true;
    // Parameters: name=value pairs separated by semicolons.
    std::string_view rest = type.substr(semicolon + 1);
    while (!rest.empty()) {
        const size_t next = rest.find(';');
        const std::string_view parameter = TrimXmlSpace(rest.substr(0, next));
        const size_t equals = parameter.find('=');
        if (!parameter.empty() && (equals == std::string_view::npos || equals == 0))
            return false;
        if (next == std::string_view::npos)
            break;
        rest.remove_prefix(next + 1);
    }
    return true;
}

bool IsLanguageTag(std::string_view tag) {
    tag = TrimXmlSpace(tag);
    if (tag.empty())
        return false;
    size_t start = 0;
    int index = 0;
    while (start <= tag.size()) {
        size_t end = tag.find('-', start);
        if (end == std::string_view::npos)
            end = tag.size();
        const std::string_view part = tag.substr(start, end - start);
        if (part.empty() || part.size() > 8)
            return false;
        for (char c : part) {
            if (!IsAlnum(c))
                return false;
        }
        if (index == 0) {
            const std::string lower = AsciiLower(part);
            const bool privateUse = (lower == "x" || lower == "i") && end < tag.size();
            if (!privateUse) {
                if (part.size() < 2 || part.size() > 3 ||
                    !std::all_of(part.begin(), part.end(), IsAsciiAlpha))
                    return false;
                if (part.size() == 2) {
                    const size_t found = kLanguages2.find(lower);
                    if (found == std::string_view::npos || found % 3 != 0)
                        return false;
                }
            }
        }
        ++index;
        start = end + 1;
    }
    return true;
}

bool ParseInteger(std::string_view text, int64_t& value) {
    if (text.empty())
        return false;
    bool negative = false;
    if (text[0] == '-') {
        negative = true;
        text.remove_prefix(1);
    }
    if (text.empty() || text.size() > 18)
        return false;
    int64_t result = 0;
    for (char c : text) {
        if (!IsDigit(c))
            return false;
        result = result * 10 + (c - '0');
    }
    value = negative ? -result : result;
    return true;
}

bool IsUuid(std::string_view text, int* version) {
    if (text.size() != 36)
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? text[i] != '-' : !IsHexDigit(text[i]))
            return false;
    }
    if (version)
        *version = IsDigit(text[14]) ? text[14] - '0' : 10 + (Lower(text[14]) - 'a');
    return true;
}

PlainTextResult CheckPlainText(std::string_view text) {
    // An end tag of an HTML element leaves no doubt.
    for (size_t i = text.find("</"); i != std::string_view::npos; i = text.find("</", i + 2)) {
        size_t end = i + 2;
        while (end < text.size() && IsWordChar(text[end]))
            ++end;
        if (end > i + 2 && end < text.size() && text[end] == '>' &&
            Contains(kHtmlTags, AsciiLower(text.substr(i + 2, end - i - 2))))
            return {PlainTextCheck::Html, false};
    }
    bool ambiguous = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '&' && i + 1 < text.size()) {
            // A numeric reference or a known entity name reads as HTML.
            if (text[i + 1] == '#' && i + 2 < text.size() &&
                (IsDigit(text[i + 2]) || text[i + 2] == 'x' || text[i + 2] == 'X'))
                return {PlainTextCheck::Html, true};
            size_t end = i + 1;
            while (end < text.size() && IsWordChar(text[end]))
                ++end;
            const std::string_view name = text.substr(i + 1, end - i - 1);
            if (!name.empty() && (name == "apos" || Contains(kHtmlEntities, name)))
                return {PlainTextCheck::Html, true};
        } else if (c == '<' && i + 1 < text.size() &&
                   (text[i + 1] == '/' || IsAsciiAlpha(text[i + 1]))) {
            ambiguous = true;
        }
    }
    if (ambiguous)
        return {PlainTextCheck::Ambiguous, true};
    return {};
}
