// Any field of the channel or of a post, named as feeds write it: an element
// name with its prefix ("language", "itunes:explicit"), a path of them for
// nested elements ("image/url", "itunes:owner/itunes:email"), "@NAME" for an
// attribute ("enclosure@length", "guid@isPermaLink"), and "[@NAME=VALUE]"
// after a step to pick among repeated elements ("atom:link[@rel=self]@href").
//
// Writing keeps the rest of the file where it is: a new element goes after
// the last element of its name, else before the first item (in the channel)
// or at the end of its parent; a namespace is declared on the rss element
// when its first element or attribute is added. Nothing here touches a
// post's pubDate or guid.
#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <optional>
#include <pugixml.hpp>

class CRssFeed;

struct FieldPath {
    struct Step {
        QString name;
        // Attributes an element must have to be this step; given to one it creates.
        QList<QPair<QString, QString>> where;
    };
    QList<Step> steps;
    // Empty for the element's text.
    QString attribute;

    // Empty when text is not a field path; error then says why.
    static std::optional<FieldPath> Parse(const QString& text, QString* error = nullptr);
    // One element name without condition or attribute ("title").
    bool IsPlainName(const char* name) const;
};

// One of several elements of the same name (categories): its text and
// attributes. An attribute with an empty value is left out.
struct RepeatedValue {
    QString text;
    QList<QPair<QString, QString>> attributes;

    bool operator==(const RepeatedValue& other) const = default;
};

// Reading: the values of every element the path names (the text, or the
// attribute of those that have it), in file order. Steps before the last
// follow the first matching element.
QStringList GetFieldValues(pugi::xml_node context, const FieldPath& path);
// The first value, empty when there is none.
QString GetFieldValue(pugi::xml_node context, const FieldPath& path);
// Every element the path names with its text and the given attributes.
QList<RepeatedValue> GetRepeatedValues(pugi::xml_node context, const FieldPath& path,
                                       const QStringList& attributes);

enum class EmptyValue {
    // An empty value removes the element (or the attribute, and the element
    // when nothing else is left in it) and parents it leaves empty.
    Removes,
    // An empty value empties the element's text; the element stays.
    KeepsElement,
};

// Sets a field. A text value replaces all the text inside the first element
// the path names (kept as CDATA when it was), and further elements of the
// same path go: setting a repeated element leaves one. An attribute is set
// on the first element only. Missing elements are made on the way. Characters
// XML does not allow are dropped. changed (when given) tells whether the tree
// changed; false with the reason when the path cannot be written.
bool SetFieldValue(pugi::xml_node context, const FieldPath& path, const QString& value,
                   EmptyValue empty = EmptyValue::Removes, bool* changed = nullptr,
                   QString* error = nullptr);
// Adds one more element at the end of the path (after the last of its name),
// holding the value as text or as the attribute. The value must not be empty.
bool AppendFieldValue(pugi::xml_node context, const FieldPath& path, const QString& value,
                      bool* changed = nullptr, QString* error = nullptr);
// Makes the elements the path names hold exactly these values: existing ones
// are rewritten in place, those beyond the list removed, new ones appended.
// Only the attributes named in the values' lists, plus those in
// clearAttributes, are touched.
bool SetRepeatedValues(pugi::xml_node context, const FieldPath& path,
                       const QList<RepeatedValue>& values, const QStringList& clearAttributes,
                       bool* changed = nullptr, QString* error = nullptr);

// The fields of a post that the editor has always written: their setters
// renew the post's date and guid, and an empty value keeps the element.
bool IsClassicPostField(const FieldPath& path);
// Channel fields every RSS feed must have: an empty value keeps the element.
bool IsRequiredChannelField(const FieldPath& path);

// Sets a field of the channel (post -1) or of a post, as orvanctl and the
// property editors do: the classic post fields go through the post's own
// setters, the rest through SetFieldValue.
bool SetFeedField(CRssFeed& feed, int post, const FieldPath& path, const QString& value,
                  bool* changed = nullptr, QString* error = nullptr);
// One change of a field, as a property editor hands it over.
struct FieldEdit {
    QString path;
    QString value;
    // When set, the elements of path are made to hold exactly these values
    // (SetRepeatedValues, with clearAttributes) and value is not used.
    std::optional<QList<RepeatedValue>> repeated;
    QStringList clearAttributes;
};

// Applies the edits in order to the channel (post -1) or a post. Every path
// is read before anything changes, so a path that is not one changes
// nothing. changed tells whether the tree changed.
bool ApplyFieldEdits(CRssFeed& feed, int post, const QList<FieldEdit>& edits,
                     bool* changed = nullptr, QString* error = nullptr);

// The element a field of post (or the channel, for -1) lives in; null when
// there is no such post or no channel.
pugi::xml_node FieldContext(const CRssFeed& feed, int post);
