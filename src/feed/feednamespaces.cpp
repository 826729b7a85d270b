#include "feednamespaces.h"

#include <cstring>

using namespace Qt::StringLiterals;

namespace {

struct KnownNamespace {
    const char* prefix;
    // The URI written when the namespace is declared.
    const char* uri;
    // Another URI feeds in the wild use for the same namespace, or null.
    const char* alias;
    const char* alias2;
};

constexpr KnownNamespace kKnown[] = {
    {"itunes", "http://www.itunes.com/dtds/podcast-1.0.dtd",
     "https://www.itunes.com/dtds/podcast-1.0.dtd", nullptr},
    // The namespace's first documents named its GitHub page as the URI.
    {"podcast", "https://podcastindex.org/namespace/1.0",
     "https://github.com/Podcastindex-org/podcast-namespace/blob/main/docs/1.0.md",
     "http://podcastindex.org/namespace/1.0"},
    {"atom", "http://www.w3.org/2005/Atom", nullptr, nullptr},
    {"content", "http://purl.org/rss/1.0/modules/content/", nullptr, nullptr},
    {"dc", "http://purl.org/dc/elements/1.1/", nullptr, nullptr},
};

const KnownNamespace* FindKnown(const QString& prefix) {
    for (const KnownNamespace& known : kKnown) {
        if (prefix == QLatin1String(known.prefix))
            return &known;
    }
    return nullptr;
}

bool Matches(const KnownNamespace& known, const char* uri) {
    return std::strcmp(uri, known.uri) == 0 ||
           (known.alias && std::strcmp(uri, known.alias) == 0) ||
           (known.alias2 && std::strcmp(uri, known.alias2) == 0);
}

bool IsNameChar(QChar c, bool first) {
    if (c.isLetter() || c == u'_')
        return true;
    if (first)
        return false;
    return c.isDigit() || c == u'-' || c == u'.' || c.category() == QChar::Mark_NonSpacing ||
           c.category() == QChar::Mark_SpacingCombining;
}

// An XML name without a colon.
bool IsNcName(const QString& text) {
    if (text.isEmpty())
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!IsNameChar(text[i], i == 0))
            return false;
    }
    return true;
}

// The prefix bound to the known namespace at element, innermost first; a
// prefix rebound closer to element to another URI does not count.
bool FindBoundPrefix(pugi::xml_node element, const KnownNamespace& known, std::string& prefix) {
    for (pugi::xml_node node = element; node && node.type() == pugi::node_element;
         node = node.parent()) {
        for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
            const char* name = a.name();
            if (std::strncmp(name, "xmlns:", 6) != 0 || !Matches(known, a.value()))
                continue;
            // The same prefix must still mean this URI where element stands.
            const char* bound = BoundNamespaceUri(element, name + 6);
            if (bound && Matches(known, bound)) {
                prefix = name + 6;
                return true;
            }
        }
    }
    return false;
}

} // namespace

QString StandardNamespaceUri(const QString& prefix) {
    const KnownNamespace* known = FindKnown(prefix);
    return known ? QString::fromLatin1(known->uri) : QString();
}

bool IsStandardNamespace(const QString& prefix, const char* uri) {
    const KnownNamespace* known = FindKnown(prefix);
    return known && uri && Matches(*known, uri);
}

const char* BoundNamespaceUri(pugi::xml_node element, const char* prefix) {
    const std::string attribute = std::string("xmlns:") + prefix;
    for (pugi::xml_node node = element; node && node.type() == pugi::node_element;
         node = node.parent()) {
        if (pugi::xml_attribute a = node.attribute(attribute.c_str()))
            return a.value();
    }
    return nullptr;
}

bool ResolveQualifiedName(pugi::xml_node element, const QString& qualifiedName, bool forWriting,
                          ResolvedName& resolved, QString* error) {
    resolved = ResolvedName();
    const qsizetype colon = qualifiedName.indexOf(u':');
    const QString prefix = colon < 0 ? QString() : qualifiedName.left(colon);
    const QString local = colon < 0 ? qualifiedName : qualifiedName.mid(colon + 1);
    if (!IsNcName(local) || (colon >= 0 && !IsNcName(prefix))) {
        if (error)
            *error = u"not an element or attribute name: %1"_s.arg(qualifiedName);
        return false;
    }
    if (prefix.isEmpty() || prefix == u"xml") {
        resolved.name = qualifiedName.toStdString();
        return true;
    }
    if (prefix.startsWith(u"xmlns", Qt::CaseInsensitive)) {
        if (error)
            *error = u"namespace declarations are not fields: %1"_s.arg(qualifiedName);
        return false;
    }
    const QByteArray localUtf8 = local.toUtf8();
    const QByteArray prefixUtf8 = prefix.toUtf8();
    if (const KnownNamespace* known = FindKnown(prefix)) {
        std::string bound;
        if (FindBoundPrefix(element, *known, bound)) {
            resolved.name = bound + ':' + localUtf8.constData();
            return true;
        }
        // Not declared: the usual prefix, unless the file gives it another meaning.
        std::string candidate = prefixUtf8.constData();
        for (int n = 2; BoundNamespaceUri(element, candidate.c_str()); ++n)
            candidate = prefixUtf8.constData() + std::to_string(n);
        resolved.name = candidate + ':' + localUtf8.constData();
        if (forWriting) {
            resolved.declarePrefix = candidate;
            resolved.declareUri = known->uri;
        }
        return true;
    }
    if (forWriting && !BoundNamespaceUri(element, prefixUtf8.constData())) {
        if (error)
            *error = u"unknown namespace prefix %1 (the file declares none of that name; known "
                     u"are itunes, podcast, atom, content and dc)"_s.arg(prefix);
        return false;
    }
    resolved.name = qualifiedName.toStdString();
    return true;
}

void DeclareNamespace(pugi::xml_node element, const ResolvedName& resolved) {
    if (resolved.declarePrefix.empty())
        return;
    if (BoundNamespaceUri(element, resolved.declarePrefix.c_str()))
        return;
    pugi::xml_node root = element;
    while (root.parent() && root.parent().type() == pugi::node_element)
        root = root.parent();
    const std::string attribute = "xmlns:" + resolved.declarePrefix;
    root.append_attribute(attribute.c_str()).set_value(resolved.declareUri.c_str());
}
