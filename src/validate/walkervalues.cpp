// The walk's shared steps: reporting, namespaces, and the checks of values
// that many elements share (text, addresses, dates, HTML, lists of hours
// and days).
#include "feedwalker.h"
#include "htmlscan.h"
#include "messagetext.h"
#include "rfc822date.h"
#include "valuechecks.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace {

QString Utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string_view Name(pugi::xml_node node) {
    return node.name();
}

Ns NamespaceOf(std::string_view uri) {
    if (uri.empty() || uri == "http://backend.userland.com/rss2" ||
        uri == "http://blogs.law.harvard.edu/tech/rss")
        return Ns::Core;
    if (uri == "http://www.w3.org/2005/Atom")
        return Ns::Atom;
    if (uri == "http://purl.org/rss/1.0/modules/content/")
        return Ns::Content;
    if (uri == "http://purl.org/dc/elements/1.1/")
        return Ns::Dc;
    if (EqualsNoCase(uri, "http://www.itunes.com/dtds/podcast-1.0.dtd"))
        return Ns::Itunes;
    if (uri == "https://podcastindex.org/namespace/1.0" ||
        uri == "https://github.com/Podcastindex-org/podcast-namespace/blob/main/docs/1.0.md")
        return Ns::Podcast;
    if (uri == "http://purl.org/rss/1.0/modules/slash/")
        return Ns::Slash;
    return Ns::Other;
}

} // namespace

void TextSet::Reserve(size_t count) {
    size_t capacity = 64;
    while (capacity < count * 2)
        capacity *= 2;
    if (capacity > m_slots.size())
        Grow(capacity);
}

void TextSet::Grow(size_t capacity) {
    std::vector<std::string_view> old = std::move(m_slots);
    m_slots.assign(capacity, std::string_view());
    m_count = 0;
    for (std::string_view text : old) {
        if (!text.empty())
            Insert(text);
    }
}

bool TextSet::Insert(std::string_view text) {
    if ((m_count + 1) * 2 > m_slots.size())
        Grow(std::max<size_t>(64, m_slots.size() * 2));
    const size_t mask = m_slots.size() - 1;
    for (size_t i = std::hash<std::string_view>()(text) & mask;; i = (i + 1) & mask) {
        if (m_slots[i].empty()) {
            m_slots[i] = text;
            ++m_count;
            return true;
        }
        if (m_slots[i] == text)
            return false;
    }
}

FeedWalker::FeedWalker(const ValidationOptions& options, std::string_view text,
                       std::vector<Finding>& findings, std::vector<ptrdiff_t>& offsets)
    : m_options(options), m_text(text), m_findings(findings), m_offsets(offsets) {
    const QDateTime now = options.now.isValid() ? options.now : QDateTime::currentDateTimeUtc();
    m_nowSeconds = now.toSecsSinceEpoch();
}

void FeedWalker::Report(Msg msg, pugi::xml_node at, QString message, QString field, FixKind fix,
                        int which) {
    Finding finding;
    finding.msg = msg;
    finding.message = std::move(message);
    finding.post = m_post;
    finding.field = std::move(field);
    finding.fix = fix;
    finding.which = which;
    m_findings.push_back(std::move(finding));
    // The tree keeps where each element's name starts; the tag's "<" is one before.
    const ptrdiff_t offset = at.offset_debug();
    m_offsets.push_back(offset > 0 ? offset - 1 : 0);
}

QString FeedWalker::FieldOf(pugi::xml_node node) {
    return FieldOf(node, nullptr);
}

QString FeedWalker::FieldOf(pugi::xml_node node, const char* attribute) {
    const std::string_view name = node.name();
    for (const SharedField& shared : m_sharedFields) {
        if (shared.prefix == m_prefix && shared.attribute == attribute && shared.name == name)
            return shared.text;
    }
    QString field = attribute ? Cat(std::string_view(m_prefix), name, u"@", attribute)
                              : Cat(std::string_view(m_prefix), name);
    if (m_sharedFields.size() < kSharedLimit)
        m_sharedFields.push_back({m_prefix, attribute, std::string(name), field});
    return field;
}

size_t FeedWalker::PushNamespaces(pugi::xml_node node) {
    size_t pushed = 0;
    for (pugi::xml_attribute attribute = node.first_attribute(); attribute;
         attribute = attribute.next_attribute()) {
        const char* name = attribute.name();
        if (std::strncmp(name, "xmlns", 5) != 0)
            continue;
        if (name[5] == '\0') {
            m_namespaces.emplace_back(std::string_view(), attribute.value());
            ++m_defaultNamespaces;
        } else if (name[5] == ':')
            m_namespaces.emplace_back(std::string_view(name + 6), attribute.value());
        else
            continue;
        ++pushed;
    }
    return pushed;
}

void FeedWalker::PopNamespaces(size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if (m_namespaces.back().first.empty())
            --m_defaultNamespaces;
        m_namespaces.pop_back();
    }
}

std::pair<Ns, std::string_view> FeedWalker::Resolve(pugi::xml_node node) {
    const std::string_view name = node.name();
    // Most names have no prefix and most feeds no default namespace.
    if (m_defaultNamespaces == 0 && name.find(':') == std::string_view::npos)
        return {Ns::Core, name};
    const size_t colon = name.find(':');
    const std::string_view prefix =
        colon == std::string_view::npos ? std::string_view() : name.substr(0, colon);
    const std::string_view local = colon == std::string_view::npos ? name : name.substr(colon + 1);
    for (auto it = m_namespaces.rbegin(); it != m_namespaces.rend(); ++it) {
        if (it->first == prefix)
            return {NamespaceOf(it->second), local};
    }
    if (prefix.empty())
        return {Ns::Core, local};
    if (prefix == "xml")
        return {Ns::Other, local};
    // Each undeclared prefix is told once, not at every element that uses it.
    for (const std::string& told : m_undeclaredPrefixes) {
        if (told == prefix)
            return {Ns::Other, local};
    }
    m_undeclaredPrefixes.emplace_back(prefix);
    Report(Msg::MissingNamespace, node,
           QStringLiteral("The prefix \"%1\" of <%2> is not declared; add xmlns:%1=\"...\" to "
                          "the rss element.")
               .arg(Utf8(prefix), Utf8(name)),
           FieldOf(node));
    return {Ns::Other, local};
}

std::string_view FeedWalker::Text(pugi::xml_node node) {
    const pugi::xml_node first = node.first_child();
    const char* leading = feedtext::LeadingText(node);
    if (!first)
        return TrimXmlSpace(leading);
    const pugi::xml_node_type type = first.type();
    if (!*leading && !first.next_sibling() &&
        (type == pugi::node_pcdata || type == pugi::node_cdata))
        return TrimXmlSpace(first.value());
    m_scratch = leading;
    bool reported = false;
    for (pugi::xml_node child = first; child; child = child.next_sibling()) {
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) {
            m_scratch += child.value();
        } else if (child.type() == pugi::node_element && !reported) {
            Report(Msg::UndefinedElement, child,
                   Cat(u"<", Name(child), u"> inside <", Name(node),
                       u">: only text belongs here; markup must be escaped or put in a CDATA "
                       u"section."),
                   FieldOf(node));
            reported = true;
        }
    }
    return TrimXmlSpace(m_scratch);
}

bool FeedWalker::NotBlank(pugi::xml_node node, std::string_view text) {
    if (!text.empty())
        return true;
    Report(Msg::NotBlank, node,
           Shared(Msg::NotBlank, node,
                  [&] {
                      return Cat(u"<", Name(node),
                                 u"> is empty; leave the element out or give it a value.");
                  }),
           FieldOf(node));
    return false;
}

void FeedWalker::NoText(pugi::xml_node node) {
    if (!HoldsText(node))
        return;
    Report(Msg::UnexpectedText, node,
           Cat(u"<", Name(node), u"> holds text; only its elements or attributes belong there."),
           FieldOf(node));
}

bool FeedWalker::HoldsText(pugi::xml_node node) {
    if (!TrimXmlSpace(feedtext::LeadingText(node)).empty())
        return true;
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (feedtext::IsTextNode(child) && !TrimXmlSpace(child.value()).empty())
            return true;
    }
    return false;
}

void FeedWalker::Attributes(pugi::xml_node node, std::initializer_list<std::string_view> allowed) {
    for (pugi::xml_attribute attribute = node.first_attribute(); attribute;
         attribute = attribute.next_attribute()) {
        const std::string_view name = attribute.name();
        // Attributes of other namespaces extend an element; they are allowed.
        if (name.find(':') != std::string_view::npos || name == "xmlns" ||
            std::find(allowed.begin(), allowed.end(), name) != allowed.end())
            continue;
        QString message =
            Cat(u"<", Name(node), u"> has an attribute ", name, u" that RSS 2.0 does not define.");
        for (std::string_view known : allowed) {
            if (!known.empty() && EqualsNoCase(known, name))
                message += Cat(u" Attribute names are case-sensitive: ", known, u".");
        }
        Report(Msg::UnexpectedAttribute, node, message, Cat(FieldOf(node), u"@", name));
    }
}

void FeedWalker::Duplicate(pugi::xml_node node, int& count) {
    if (++count > 1)
        Report(Msg::DuplicateElement, node,
               Shared(Msg::DuplicateElement, node,
                      [&] {
                          return Cat(u"<", Name(node), u"> appears more than once in <",
                                     Name(node.parent()), u">; readers take only one.");
                      }),
               FieldOf(node));
}

bool FeedWalker::SourceHasHexReferences(pugi::xml_node node) const {
    const ptrdiff_t start = node.offset_debug();
    if (start < 0 || static_cast<size_t>(start) >= m_text.size())
        return false;
    // The element's source runs from its start tag to its end tag.
    const std::string endTag = std::string("</") + node.name();
    const std::string_view rest = m_text.substr(static_cast<size_t>(start));
    const std::string_view source = rest.substr(0, rest.find(endTag));
    return source.find("&#x") != std::string_view::npos ||
           source.find("&#X") != std::string_view::npos;
}

void FeedWalker::PlainText(pugi::xml_node node, std::string_view text) {
    const PlainTextResult result = CheckPlainText(text);
    if (result.check == PlainTextCheck::Plain || (result.excusable && SourceHasHexReferences(node)))
        return;
    if (result.check == PlainTextCheck::Html)
        Report(Msg::ContainsHTML, node,
               Cat(u"<", Name(node), u"> holds HTML (", Quoted(text),
                   u") but is plain text; readers will show the markup as it stands."),
               FieldOf(node));
    else
        Report(Msg::CharacterData, node,
               Cat(u"<", Name(node),
                   u"> holds \"<\" or \"&\" in a way some readers take for markup; write them "
                   u"as &#x3C; and &#x26;."),
               FieldOf(node));
}

void FeedWalker::UrlValue(pugi::xml_node node, std::string_view text, Msg invalid) {
    const UrlCheck check = CheckUrl(text);
    // The kinds of a broken link have IDs of their own for link elements;
    // attributes and guids keep the ID of their kind.
    const bool plainLink = invalid == Msg::InvalidLink;
    switch (check) {
    case UrlCheck::Ok:
        break;
    case UrlCheck::NotFull:
        Report(invalid, node,
               Cat(u"<", Name(node), u"> must be a full URL with a scheme (such as http://), not ",
                   Quoted(text), u"."),
               FieldOf(node));
        break;
    case UrlCheck::NotAscii:
        Report(plainLink ? Msg::UriNotIri : invalid, node,
               Cat(u"<", Name(node), u"> holds characters outside ASCII (", Quoted(text),
                   u"); write the host in its xn-- form and the rest %-encoded."),
               FieldOf(node));
        break;
    case UrlCheck::BadCharacter:
        Report(plainLink ? Msg::InvalidUriChar : invalid, node,
               Cat(u"<", Name(node),
                   u"> holds a character a URL cannot hold (a blank, a quote, a bracket or a "
                   u"broken %-escape): ",
                   Quoted(text), u"."),
               FieldOf(node));
        break;
    case UrlCheck::UnregisteredScheme:
        Report(Msg::SchemeNotIANARegistered, node,
               Cat(u"The scheme of ", Quoted(text),
                   u" is not a registered one; many readers will not follow it."),
               FieldOf(node));
        break;
    }
}

void FeedWalker::UrlAttribute(pugi::xml_node node, const char* name, bool required, Msg invalid) {
    const pugi::xml_attribute attribute = node.attribute(name);
    if (!attribute) {
        if (required)
            Report(Msg::MissingAttribute, node,
                   Cat(u"<", Name(node), u"> has no ", name, u" attribute."), FieldOf(node, name));
        return;
    }
    const std::string_view value = TrimXmlSpace(attribute.value());
    switch (CheckUrl(value)) {
    case UrlCheck::Ok:
        break;
    case UrlCheck::UnregisteredScheme:
        Report(Msg::SchemeNotIANARegistered, node,
               Cat(u"The scheme of ", Quoted(value),
                   u" is not a registered one; many readers will not follow it."),
               FieldOf(node, name));
        break;
    default:
        Report(invalid, node,
               Cat(u"The ", name, u" of <", Name(node), u"> must be a full, well-formed URL, not ",
                   Quoted(value), u"."),
               FieldOf(node, name));
        break;
    }
}

void FeedWalker::Contact(pugi::xml_node node, std::string_view text) {
    if (!NotBlank(node, text))
        return;
    PlainText(node, text);
    switch (CheckContact(text)) {
    case ContactCheck::Ok:
        break;
    case ContactCheck::Invalid:
        Report(Msg::InvalidContact, node,
               Cat(u"<", Name(node),
                   u"> must hold an e-mail address, as in \"name@example.com (Real Name)\", not ",
                   Quoted(text), u"."),
               FieldOf(node));
        break;
    case ContactCheck::OtherFormat:
        Report(Msg::EmailFormat, node,
               Cat(u"Write <", Name(node), u"> as \"name@example.com (Real Name)\"; ", Quoted(text),
                   u" is not in that form."),
               FieldOf(node));
        break;
    case ContactCheck::MissingRealName:
        Report(Msg::MissingRealName, node,
               Shared(Msg::MissingRealName, node,
                      [&] {
                          return Cat(u"Add the person's name after the address in <", Name(node),
                                     u">, as in \"name@example.com (Real Name)\".");
                      }),
               FieldOf(node));
        break;
    }
}

void FeedWalker::DateValue(pugi::xml_node node, std::string_view text) {
    const DateCheck check = CheckRfc822Date(text);
    if (check.form == DateForm::Valid && !check.wrongWeekday && check.readable) {
        ImplausibleDate(node, text, check.fields);
        return;
    }
    // The moment is certain when the text says it plainly, even in a form
    // readers dislike; otherwise perhaps it is an ISO 8601 date.
    DateFields fields = check.fields;
    const bool fixable = check.readable || ReadAnyDate(text, fields);
    const FixKind fix = fixable ? FixKind::RewriteDate : FixKind::None;
    // When the moment is known, the message shows the date as it should read.
    const std::string example =
        fixable ? FormatRfc822(fields) : std::string("Tue, 31 Dec 2002 14:20:20 GMT");
    if (check.wrongWeekday) {
        Report(Msg::IncorrectDOW, node,
               Cat(u"The weekday of <", Name(node), u"> ", Quoted(text),
                   u" is wrong for that date: \"", example, u"\"."),
               FieldOf(node), fix);
    } else if (check.form == DateForm::Invalid) {
        Report(Msg::InvalidRFC2822Date, node,
               Cat(u"<", Name(node), u"> ", Quoted(text),
                   u" is not an RFC 822 date; write it as \"", example, u"\"."),
               FieldOf(node), fix);
    } else if (check.form == DateForm::Problematical) {
        Report(Msg::ProblematicalRFC822Date, node,
               Cat(u"<", Name(node), u"> ", Quoted(text),
                   u" is readable but in a form many readers fail on; write it as \"", example,
                   u"\"."),
               FieldOf(node), fix);
    }
    if (fixable)
        ImplausibleDate(node, text, fields);
}

void FeedWalker::ImplausibleDate(pugi::xml_node node, std::string_view text,
                                 const DateFields& fields) {
    const int64_t seconds = fields.ToEpochSeconds();
    if (seconds >= 0 && seconds <= m_nowSeconds + 86400)
        return;
    Report(Msg::ImplausibleDate, node,
           seconds < 0 ? Cat(u"<", Name(node), u"> ", Quoted(text),
                             u" lies before 1970; is the year right?")
                       : Cat(u"<", Name(node), u"> ", Quoted(text),
                             u" lies in the future; many readers hide such posts or sort them "
                             u"first."),
           FieldOf(node));
}

void FeedWalker::HtmlValue(pugi::xml_node node, std::string_view text) {
    if (text.find('<') == std::string_view::npos)
        return;
    const HtmlScan scan = ScanHtml(text);
    if (!scan.riskyElement.empty())
        Report(Msg::SecurityRisk, node,
               Cat(u"<", Name(node), u"> holds <", scan.riskyElement,
                   u">, which can run code or change the reader's page; most readers remove it."),
               FieldOf(node));
    if (!scan.riskyAttribute.empty())
        Report(Msg::SecurityRiskAttr, node,
               Cat(u"<", Name(node), u"> holds HTML with a ", scan.riskyAttribute,
                   u" attribute that runs script; most readers remove it."),
               FieldOf(node));
    if (scan.dangerousStyle)
        Report(Msg::DangerousStyleAttr, node,
               Cat(u"<", Name(node), u"> holds a style attribute that runs code."), FieldOf(node));
    if (!scan.relativeUrl.empty())
        Report(Msg::ContainsRelRef, node,
               Cat(u"<", Name(node), u"> links to the relative address ", Quoted(scan.relativeUrl),
                   u", which readers cannot resolve; use full URLs."),
               FieldOf(node), m_channelLinkAbsolute ? FixKind::AbsoluteLinks : FixKind::None);
    if (!scan.broken.empty())
        Report(Msg::NotHtml, node,
               Cat(u"The HTML in <", Name(node), u"> is broken: ", scan.broken, u"."),
               FieldOf(node));
}

void FeedWalker::LanguageValue(pugi::xml_node node, std::string_view text) {
    if (!IsLanguageTag(text))
        Report(Msg::InvalidLanguage, node,
               Cat(u"<", Name(node), u"> must be a language code such as \"en\" or \"en-us\", not ",
                   Quoted(text), u"."),
               FieldOf(node));
}
