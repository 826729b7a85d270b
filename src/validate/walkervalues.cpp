// The walk's shared steps: reporting, namespaces, and the checks of values
// that many elements share (text, addresses, dates, HTML, lists of hours
// and days).
#include "feedwalker.h"
#include "htmlscan.h"
#include "rfc822date.h"
#include "valuechecks.h"

#include <algorithm>
#include <cstring>

namespace {

QString Utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A value quoted in a message, shortened when long.
QString Quoted(std::string_view text) {
    QString value = Utf8(text);
    if (value.size() > 60)
        value = value.left(57) + QStringLiteral("...");
    return QLatin1Char('"') + value + QLatin1Char('"');
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

FeedWalker::FeedWalker(const ValidationOptions& options, std::string_view text,
                       std::vector<Finding>& findings, std::vector<ptrdiff_t>& offsets)
    : m_options(options), m_text(text), m_findings(findings), m_offsets(offsets) {
    const QDateTime now = options.now.isValid() ? options.now : QDateTime::currentDateTimeUtc();
    m_nowSeconds = now.toSecsSinceEpoch();
}

void FeedWalker::Report(Msg msg, pugi::xml_node at, const QString& message, const QString& field,
                        FixKind fix, int which) {
    Finding finding;
    finding.msg = msg;
    finding.message = message;
    finding.post = m_post;
    finding.field = field;
    finding.fix = fix;
    finding.which = which;
    m_findings.push_back(std::move(finding));
    // The tree keeps where each element's name starts; the tag's "<" is one before.
    const ptrdiff_t offset = at.offset_debug();
    m_offsets.push_back(offset > 0 ? offset - 1 : 0);
}

QString FeedWalker::FieldOf(pugi::xml_node node) const {
    return QLatin1String(m_prefix) + QString::fromUtf8(node.name());
}

QString FeedWalker::FieldOf(pugi::xml_node node, const char* attribute) const {
    return FieldOf(node) + QLatin1Char('@') + QLatin1String(attribute);
}

size_t FeedWalker::PushNamespaces(pugi::xml_node node) {
    size_t pushed = 0;
    for (pugi::xml_attribute attribute = node.first_attribute(); attribute;
         attribute = attribute.next_attribute()) {
        const char* name = attribute.name();
        if (std::strncmp(name, "xmlns", 5) != 0)
            continue;
        if (name[5] == '\0')
            m_namespaces.emplace_back(std::string_view(), attribute.value());
        else if (name[5] == ':')
            m_namespaces.emplace_back(std::string_view(name + 6), attribute.value());
        else
            continue;
        ++pushed;
    }
    return pushed;
}

void FeedWalker::PopNamespaces(size_t count) {
    m_namespaces.resize(m_namespaces.size() - count);
}

std::pair<Ns, std::string_view> FeedWalker::Resolve(pugi::xml_node node) {
    const std::string_view name = node.name();
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
    if (!first)
        return {};
    const pugi::xml_node_type type = first.type();
    if (!first.next_sibling() && (type == pugi::node_pcdata || type == pugi::node_cdata))
        return TrimXmlSpace(first.value());
    m_scratch.clear();
    bool reported = false;
    for (pugi::xml_node child = first; child; child = child.next_sibling()) {
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) {
            m_scratch += child.value();
        } else if (child.type() == pugi::node_element && !reported) {
            Report(Msg::UndefinedElement, child,
                   QStringLiteral("<%1> inside <%2>: only text belongs here; markup must be "
                                  "escaped or put in a CDATA section.")
                       .arg(QString::fromUtf8(child.name()), QString::fromUtf8(node.name())),
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
           QStringLiteral("<%1> is empty; leave the element out or give it a value.")
               .arg(QString::fromUtf8(node.name())),
           FieldOf(node));
    return false;
}

void FeedWalker::NoText(pugi::xml_node node) {
    for (pugi::xml_node child : node.children()) {
        if ((child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) &&
            !TrimXmlSpace(child.value()).empty()) {
            Report(Msg::UnexpectedText, node,
                   QStringLiteral("<%1> holds text; only its elements or attributes belong "
                                  "there.")
                       .arg(QString::fromUtf8(node.name())),
                   FieldOf(node));
            return;
        }
    }
}

void FeedWalker::Attributes(pugi::xml_node node, std::initializer_list<std::string_view> allowed) {
    for (pugi::xml_attribute attribute = node.first_attribute(); attribute;
         attribute = attribute.next_attribute()) {
        const std::string_view name = attribute.name();
        // Attributes of other namespaces extend an element; they are allowed.
        if (name.find(':') != std::string_view::npos || name == "xmlns" ||
            std::find(allowed.begin(), allowed.end(), name) != allowed.end())
            continue;
        QString message = QStringLiteral("<%1> has an attribute %2 that RSS 2.0 does not define.")
                              .arg(QString::fromUtf8(node.name()), Utf8(name));
        for (std::string_view known : allowed) {
            if (!known.empty() && EqualsNoCase(known, name))
                message +=
                    QStringLiteral(" Attribute names are case-sensitive: %1.").arg(Utf8(known));
        }
        Report(Msg::UnexpectedAttribute, node, message,
               FieldOf(node) + QLatin1Char('@') + Utf8(name));
    }
}

void FeedWalker::Duplicate(pugi::xml_node node, int& count) {
    if (++count > 1)
        Report(Msg::DuplicateElement, node,
               QStringLiteral("<%1> appears more than once in <%2>; readers take only one.")
                   .arg(QString::fromUtf8(node.name()), QString::fromUtf8(node.parent().name())),
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
               QStringLiteral("<%1> holds HTML (%2) but is plain text; readers will show the "
                              "markup as it stands.")
                   .arg(QString::fromUtf8(node.name()), Quoted(text)),
               FieldOf(node));
    else
        Report(Msg::CharacterData, node,
               QStringLiteral("<%1> holds \"<\" or \"&\" in a way some readers take for "
                              "markup; write them as &#x3C; and &#x26;.")
                   .arg(QString::fromUtf8(node.name())),
               FieldOf(node));
}

void FeedWalker::UrlValue(pugi::xml_node node, std::string_view text, Msg invalid) {
    const UrlCheck check = CheckUrl(text);
    const QString name = QString::fromUtf8(node.name());
    // The kinds of a broken link have IDs of their own for link elements;
    // attributes and guids keep the ID of their kind.
    const bool plainLink = invalid == Msg::InvalidLink;
    switch (check) {
    case UrlCheck::Ok:
        break;
    case UrlCheck::NotFull:
        Report(invalid, node,
               QStringLiteral("<%1> must be a full URL with a scheme (such as http://), not %2.")
                   .arg(name, Quoted(text)),
               FieldOf(node));
        break;
    case UrlCheck::NotAscii:
        Report(plainLink ? Msg::UriNotIri : invalid, node,
               QStringLiteral("<%1> holds characters outside ASCII (%2); write the host in its "
                              "xn-- form and the rest %-encoded.")
                   .arg(name, Quoted(text)),
               FieldOf(node));
        break;
    case UrlCheck::BadCharacter:
        Report(plainLink ? Msg::InvalidUriChar : invalid, node,
               QStringLiteral("<%1> holds a character a URL cannot hold (a blank, a quote, a "
                              "bracket or a broken %-escape): %2.")
                   .arg(name, Quoted(text)),
               FieldOf(node));
        break;
    case UrlCheck::UnregisteredScheme:
        Report(Msg::SchemeNotIANARegistered, node,
               QStringLiteral("The scheme of %1 is not a registered one; many readers will not "
                              "follow it.")
                   .arg(Quoted(text)),
               FieldOf(node));
        break;
    }
}

void FeedWalker::UrlAttribute(pugi::xml_node node, const char* name, bool required, Msg invalid) {
    const pugi::xml_attribute attribute = node.attribute(name);
    const QString element = QString::fromUtf8(node.name());
    if (!attribute) {
        if (required)
            Report(Msg::MissingAttribute, node,
                   QStringLiteral("<%1> has no %2 attribute.").arg(element, QLatin1String(name)),
                   FieldOf(node, name));
        return;
    }
    const std::string_view value = TrimXmlSpace(attribute.value());
    switch (CheckUrl(value)) {
    case UrlCheck::Ok:
        break;
    case UrlCheck::UnregisteredScheme:
        Report(Msg::SchemeNotIANARegistered, node,
               QStringLiteral("The scheme of %1 is not a registered one; many readers will not "
                              "follow it.")
                   .arg(Quoted(value)),
               FieldOf(node, name));
        break;
    default:
        Report(invalid, node,
               QStringLiteral("The %1 of <%2> must be a full, well-formed URL, not %3.")
                   .arg(QLatin1String(name), element, Quoted(value)),
               FieldOf(node, name));
        break;
    }
}

void FeedWalker::Contact(pugi::xml_node node, std::string_view text) {
    if (!NotBlank(node, text))
        return;
    PlainText(node, text);
    const QString name = QString::fromUtf8(node.name());
    switch (CheckContact(text)) {
    case ContactCheck::Ok:
        break;
    case ContactCheck::Invalid:
        Report(Msg::InvalidContact, node,
               QStringLiteral("<%1> must hold an e-mail address, as in \"name@example.com "
                              "(Real Name)\", not %2.")
                   .arg(name, Quoted(text)),
               FieldOf(node));
        break;
    case ContactCheck::OtherFormat:
        Report(Msg::EmailFormat, node,
               QStringLiteral("Write <%1> as \"name@example.com (Real Name)\"; %2 is not in "
                              "that form.")
                   .arg(name, Quoted(text)),
               FieldOf(node));
        break;
    case ContactCheck::MissingRealName:
        Report(Msg::MissingRealName, node,
               QStringLiteral("Add the person's name after the address in <%1>, as in "
                              "\"name@example.com (Real Name)\".")
                   .arg(name),
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
    const QString name = QString::fromUtf8(node.name());
    DateFields fields;
    const bool fixable = ReadAnyDate(text, fields);
    const FixKind fix = fixable ? FixKind::RewriteDate : FixKind::None;
    // When the moment is known, the message shows the date as it should read.
    const QString example =
        QLatin1Char('"') +
        (fixable ? FormatRfc822(fields) : QStringLiteral("Tue, 31 Dec 2002 14:20:20 GMT")) +
        QLatin1Char('"');
    if (check.wrongWeekday) {
        Report(Msg::IncorrectDOW, node,
               QStringLiteral("The weekday of <%1> %2 is wrong for that date: %3.")
                   .arg(name, Quoted(text), example),
               FieldOf(node), fix);
    } else if (check.form == DateForm::Invalid) {
        Report(Msg::InvalidRFC2822Date, node,
               QStringLiteral("<%1> %2 is not an RFC 822 date; write it as %3.")
                   .arg(name, Quoted(text), example),
               FieldOf(node), fix);
    } else if (check.form == DateForm::Problematical) {
        Report(Msg::ProblematicalRFC822Date, node,
               QStringLiteral("<%1> %2 is readable but in a form many readers fail on; write "
                              "it as %3.")
                   .arg(name, Quoted(text), example),
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
    const QString name = QString::fromUtf8(node.name());
    Report(
        Msg::ImplausibleDate, node,
        seconds < 0
            ? QStringLiteral("<%1> %2 lies before 1970; is the year right?").arg(name, Quoted(text))
            : QStringLiteral("<%1> %2 lies in the future; many readers hide such "
                             "posts or sort them first.")
                  .arg(name, Quoted(text)),
        FieldOf(node));
}

void FeedWalker::HtmlValue(pugi::xml_node node, std::string_view text) {
    if (text.find('<') == std::string_view::npos)
        return;
    const HtmlScan scan = ScanHtml(text);
    const QString name = QString::fromUtf8(node.name());
    if (!scan.riskyElement.empty())
        Report(Msg::SecurityRisk, node,
               QStringLiteral("<%1> holds <%2>, which can run code or change the reader's page; "
                              "most readers remove it.")
                   .arg(name, QString::fromStdString(scan.riskyElement)),
               FieldOf(node));
    if (!scan.riskyAttribute.empty())
        Report(Msg::SecurityRiskAttr, node,
               QStringLiteral("<%1> holds HTML with a %2 attribute that runs script; most "
                              "readers remove it.")
                   .arg(name, QString::fromStdString(scan.riskyAttribute)),
               FieldOf(node));
    if (scan.dangerousStyle)
        Report(Msg::DangerousStyleAttr, node,
               QStringLiteral("<%1> holds a style attribute that runs code.").arg(name),
               FieldOf(node));
    if (!scan.relativeUrl.empty())
        Report(Msg::ContainsRelRef, node,
               QStringLiteral("<%1> links to the relative address %2, which readers cannot "
                              "resolve; use full URLs.")
                   .arg(name, Quoted(scan.relativeUrl)),
               FieldOf(node), m_channelLinkAbsolute ? FixKind::AbsoluteLinks : FixKind::None);
    if (!scan.broken.empty())
        Report(Msg::NotHtml, node,
               QStringLiteral("The HTML in <%1> is broken: %2.")
                   .arg(name, QString::fromStdString(scan.broken)),
               FieldOf(node));
}

void FeedWalker::LanguageValue(pugi::xml_node node, std::string_view text) {
    if (!IsLanguageTag(text))
        Report(Msg::InvalidLanguage, node,
               QStringLiteral("<%1> must be a language code such as \"en\" or \"en-us\", not "
                              "%2.")
                   .arg(QString::fromUtf8(node.name()), Quoted(text)),
               FieldOf(node));
}
