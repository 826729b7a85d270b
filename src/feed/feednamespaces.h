// The namespaces feeds use for podcast and other tags, known by their usual
// prefixes, and how a name given with such a prefix is found in a file that
// may bind the namespace to a prefix of its own.
#pragma once

#include <QString>
#include <pugixml.hpp>
#include <string>

// The namespace URI a standard prefix stands for: itunes, podcast, atom,
// content, dc. Empty for any other prefix.
QString StandardNamespaceUri(const QString& prefix);

// True when uri names the namespace of the standard prefix, under its
// current URI or one that feeds still use for it.
bool IsStandardNamespace(const QString& prefix, const char* uri);

// The URI bound to prefix where element stands (its own declarations first,
// then its ancestors'); null when the prefix is not declared there.
const char* BoundNamespaceUri(pugi::xml_node element, const char* prefix);

// A qualified name as the file spells it, and the declaration the file needs
// before an element or attribute of that name may be added.
struct ResolvedName {
    std::string name;
    // Empty when nothing needs declaring.
    std::string declarePrefix;
    std::string declareUri;
};

// Resolves "prefix:local" (or a name without prefix) for use at element.
// A standard prefix becomes whatever prefix the file binds its namespace to;
// when the file binds none, the usual prefix (or, if the file uses that for
// another namespace, the first free one of prefix2, prefix3 …) with a
// declaration to add. Any other prefix must be declared in the file for
// writing; reading takes it as it stands. False, with the reason, when the
// name cannot be used.
bool ResolveQualifiedName(pugi::xml_node element, const QString& qualifiedName, bool forWriting,
                          ResolvedName& resolved, QString* error);

// Adds the declaration a resolved name asks for to the root element of the
// document element lives in (the rss element), once.
void DeclareNamespace(pugi::xml_node element, const ResolvedName& resolved);
