#include "feedfields.h"

#include "feednamespaces.h"
#include "feedtext.h"
#include "rssfeed.h"
#include "rsspost.h"

#include <cstring>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

bool Fail(QString* error, const QString& reason) {
    if (error)
        *error = reason;
    return false;
}

void MarkChanged(bool* changed) {
    if (changed)
        *changed = true;
}

// A step with its names as the file spells them.
struct ResolvedStep {
    ResolvedName name;
    std::vector<std::pair<ResolvedName, std::string>> where;
};

bool ResolveStep(pugi::xml_node at, const FieldPath::Step& step, bool forWriting,
                 ResolvedStep& resolved, QString* error) {
    if (!ResolveQualifiedName(at, step.name, forWriting, resolved.name, error))
        return false;
    resolved.where.clear();
    for (const auto& [attribute, value] : step.where) {
        ResolvedName name;
        if (!ResolveQualifiedName(at, attribute, forWriting, name, error))
            return false;
        resolved.where.emplace_back(name, value.toStdString());
    }
    return true;
}

bool IsMatch(pugi::xml_node node, const ResolvedStep& step) {
    if (node.type() != pugi::node_element || std::strcmp(node.name(), step.name.name.c_str()) != 0)
        return false;
    for (const auto& [name, value] : step.where) {
        const pugi::xml_attribute a = node.attribute(name.name.c_str());
        if (!a || value != a.value())
            return false;
    }
    return true;
}

std::vector<pugi::xml_node> Matches(pugi::xml_node parent, const ResolvedStep& step) {
    std::vector<pugi::xml_node> found;
    for (pugi::xml_node c = parent.first_child(); c; c = c.next_sibling()) {
        if (IsMatch(c, step))
            found.push_back(c);
    }
    return found;
}

pugi::xml_node FirstMatch(pugi::xml_node parent, const ResolvedStep& step) {
    for (pugi::xml_node c = parent.first_child(); c; c = c.next_sibling()) {
        if (IsMatch(c, step))
            return c;
    }
    return pugi::xml_node();
}

bool IsChannel(pugi::xml_node node) {
    return std::strcmp(node.name(), "channel") == 0 && node.parent() &&
           std::strcmp(node.parent().name(), "rss") == 0;
}

// A new element named as step, after the last element of that name, else
// before the channel's first item, else at the end of parent.
pugi::xml_node InsertElement(pugi::xml_node parent, const ResolvedStep& step) {
    DeclareNamespace(parent, step.name);
    pugi::xml_node last;
    for (pugi::xml_node c = parent.first_child(); c; c = c.next_sibling()) {
        if (c.type() == pugi::node_element && std::strcmp(c.name(), step.name.name.c_str()) == 0)
            last = c;
    }
    pugi::xml_node element;
    if (last) {
        element = parent.insert_child_after(step.name.name.c_str(), last);
    } else if (pugi::xml_node item = IsChannel(parent) ? parent.child("item") : pugi::xml_node()) {
        element = parent.insert_child_before(step.name.name.c_str(), item);
    } else {
        element = parent.append_child(step.name.name.c_str());
    }
    if (!element)
        return element;
    for (const auto& [name, value] : step.where) {
        DeclareNamespace(parent, name);
        element.append_attribute(name.name.c_str()).set_value(value.c_str());
    }
    // White space the parent held alone is layout once it has an element.
    feedtext::DropLayoutText(parent);
    return element;
}

// Replaces everything inside element with one text, kept as CDATA when the
// element held CDATA. False (nothing changed) when memory runs out.
bool WriteText(pugi::xml_node element, const QByteArray& utf8) {
    bool cdata = false;
    for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling())
        cdata |= child.type() == pugi::node_cdata;
    pugi::xml_node value;
    if (!utf8.isEmpty()) {
        value = element.append_child(cdata ? pugi::node_cdata : pugi::node_pcdata);
        if (!value)
            return false;
        if (!value.set_value(utf8.constData())) {
            element.remove_child(value);
            return false;
        }
    }
    while (element.first_child() != value)
        element.remove_child(element.first_child());
    feedtext::ClearLeadingText(element);
    return true;
}

bool HasText(pugi::xml_node element, const QByteArray& utf8) {
    std::string scratch;
    return utf8 == feedtext::ElementText(element, scratch);
}

bool IsEmptyElement(pugi::xml_node element) {
    return feedtext::IsHollow(element) && !element.first_attribute();
}

// Removes element, then each parent up to context that it leaves empty.
void RemoveAndPrune(pugi::xml_node element, pugi::xml_node context) {
    pugi::xml_node parent = element.parent();
    parent.remove_child(element);
    while (parent && parent != context && IsEmptyElement(parent)) {
        pugi::xml_node up = parent.parent();
        up.remove_child(parent);
        parent = up;
    }
}

// Follows the steps before the last; creates the missing ones when create.
// Returns the parent of the last step, null when it is missing.
pugi::xml_node WalkToParent(pugi::xml_node context, const FieldPath& path, bool create,
                            bool* changed, QString* error, bool& failed) {
    failed = false;
    pugi::xml_node node = context;
    for (qsizetype i = 0; i + 1 < path.steps.size(); ++i) {
        ResolvedStep step;
        if (!ResolveStep(node, path.steps[i], create, step, error)) {
            failed = true;
            return pugi::xml_node();
        }
        pugi::xml_node next = FirstMatch(node, step);
        if (!next && create) {
            next = InsertElement(node, step);
            if (!next) {
                failed = true;
                Fail(error, u"out of memory"_s);
                return pugi::xml_node();
            }
            MarkChanged(changed);
        }
        if (!next)
            return pugi::xml_node();
        node = next;
    }
    return node;
}

bool SetAttribute(pugi::xml_node element, const ResolvedName& name, const QByteArray& utf8,
                  bool* changed) {
    pugi::xml_attribute a = element.attribute(name.name.c_str());
    if (a && utf8 == a.value())
        return true;
    if (!a) {
        DeclareNamespace(element, name);
        a = element.append_attribute(name.name.c_str());
    }
    if (!a || !a.set_value(utf8.constData()))
        return false;
    MarkChanged(changed);
    return true;
}

} // namespace

std::optional<FieldPath> FieldPath::Parse(const QString& text, QString* error) {
    FieldPath path;
    const auto bad = [&](const QString& why) -> std::optional<FieldPath> {
        Fail(error, u"not a field: %1 (%2)"_s.arg(text, why));
        return std::nullopt;
    };
    const auto isNameChar = [](QChar c) {
        return !c.isSpace() && c != u'/' && c != u'[' && c != u']' && c != u'@' && c != u'=' &&
               c != u'"' && c != u'\'';
    };
    qsizetype pos = 0;
    const qsizetype size = text.size();
    for (;;) {
        Step step;
        const qsizetype start = pos;
        while (pos < size && isNameChar(text[pos]))
            ++pos;
        step.name = text.mid(start, pos - start);
        if (step.name.isEmpty())
            return bad(u"an element name is missing"_s);
        while (pos < size && text[pos] == u'[') {
            if (pos + 1 >= size || text[pos + 1] != u'@')
                return bad(u"a condition reads [@NAME=VALUE]"_s);
            pos += 2;
            const qsizetype nameStart = pos;
            while (pos < size && isNameChar(text[pos]))
                ++pos;
            const QString name = text.mid(nameStart, pos - nameStart);
            if (name.isEmpty() || pos >= size || text[pos] != u'=')
                return bad(u"a condition reads [@NAME=VALUE]"_s);
            ++pos;
            const qsizetype close = text.indexOf(u']', pos);
            if (close < 0)
                return bad(u"a condition lacks its ]"_s);
            QString value = text.mid(pos, close - pos);
            if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
                value.back() == value.front())
                value = value.mid(1, value.size() - 2);
            step.where.append({name, value});
            pos = close + 1;
        }
        path.steps.append(step);
        if (pos >= size)
            return path;
        if (text[pos] == u'/') {
            ++pos;
            continue;
        }
        if (text[pos] == u'@') {
            path.attribute = text.mid(pos + 1);
            if (path.attribute.isEmpty())
                return bad(u"an attribute name is missing after @"_s);
            for (const QChar c : path.attribute) {
                if (!isNameChar(c))
                    return bad(u"the attribute name holds %1"_s.arg(c));
            }
            return path;
        }
        return bad(u"unexpected \"%1\""_s.arg(text[pos]));
    }
}

bool FieldPath::IsPlainName(const char* name) const {
    return steps.size() == 1 && steps[0].where.isEmpty() && attribute.isEmpty() &&
           steps[0].name == QLatin1String(name);
}

QStringList GetFieldValues(pugi::xml_node context, const FieldPath& path) {
    QStringList values;
    bool failed = false;
    const pugi::xml_node parent = WalkToParent(context, path, false, nullptr, nullptr, failed);
    ResolvedStep last;
    if (!parent || path.steps.isEmpty() ||
        !ResolveStep(parent, path.steps.last(), false, last, nullptr))
        return values;
    ResolvedName attribute;
    if (!path.attribute.isEmpty() &&
        !ResolveQualifiedName(parent, path.attribute, false, attribute, nullptr))
        return values;
    std::string scratch;
    for (const pugi::xml_node& element : Matches(parent, last)) {
        if (path.attribute.isEmpty()) {
            values.append(QString::fromUtf8(feedtext::ElementText(element, scratch)));
        } else if (const pugi::xml_attribute a = element.attribute(attribute.name.c_str())) {
            values.append(QString::fromUtf8(a.value()));
        }
    }
    return values;
}

QString GetFieldValue(pugi::xml_node context, const FieldPath& path) {
    const QStringList values = GetFieldValues(context, path);
    return values.isEmpty() ? QString() : values.first();
}

QList<RepeatedValue> GetRepeatedValues(pugi::xml_node context, const FieldPath& path,
                                       const QStringList& attributes) {
    QList<RepeatedValue> values;
    bool failed = false;
    const pugi::xml_node parent = WalkToParent(context, path, false, nullptr, nullptr, failed);
    ResolvedStep last;
    if (!parent || path.steps.isEmpty() ||
        !ResolveStep(parent, path.steps.last(), false, last, nullptr))
        return values;
    std::string scratch;
    for (const pugi::xml_node& element : Matches(parent, last)) {
        RepeatedValue value;
        value.text = QString::fromUtf8(feedtext::ElementText(element, scratch));
        for (const QString& attribute : attributes) {
            ResolvedName name;
            if (!ResolveQualifiedName(parent, attribute, false, name, nullptr))
                continue;
            if (const pugi::xml_attribute a = element.attribute(name.name.c_str()))
                value.attributes.append({attribute, QString::fromUtf8(a.value())});
        }
        values.append(value);
    }
    return values;
}

bool SetFieldValue(pugi::xml_node context, const FieldPath& path, const QString& value,
                   EmptyValue empty, bool* changed, QString* error) {
    if (!context || path.steps.isEmpty())
        return Fail(error, u"there is no element to hold the field"_s);
    const QByteArray utf8 = XmlAllowedText(value).toUtf8();
    const bool removing = utf8.isEmpty() && empty == EmptyValue::Removes;
    bool failed = false;
    // Removing never makes the parents it would take away again.
    pugi::xml_node parent = WalkToParent(context, path, !removing, changed, error, failed);
    if (failed)
        return false;
    if (!parent)
        return true;
    ResolvedStep last;
    if (!ResolveStep(parent, path.steps.last(), !removing, last, error))
        return false;
    std::vector<pugi::xml_node> elements = Matches(parent, last);

    if (!path.attribute.isEmpty()) {
        ResolvedName attribute;
        if (!ResolveQualifiedName(parent, path.attribute, !removing, attribute, error))
            return false;
        if (removing) {
            if (elements.empty())
                return true;
            pugi::xml_node element = elements.front();
            if (!element.remove_attribute(attribute.name.c_str()))
                return true;
            MarkChanged(changed);
            // An element with nothing left but the attributes that picked it is gone too.
            bool onlyConditions = feedtext::IsHollow(element);
            for (pugi::xml_attribute a = element.first_attribute(); a && onlyConditions;
                 a = a.next_attribute()) {
                bool isCondition = false;
                for (const auto& [name, conditionValue] : last.where)
                    isCondition = isCondition || name.name == a.name();
                onlyConditions = isCondition;
            }
            if (onlyConditions)
                RemoveAndPrune(element, context);
            return true;
        }
        if (elements.empty()) {
            pugi::xml_node element = InsertElement(parent, last);
            if (!element)
                return Fail(error, u"out of memory"_s);
            MarkChanged(changed);
            elements.push_back(element);
        }
        if (!SetAttribute(elements.front(), attribute, utf8, changed))
            return Fail(error, u"out of memory"_s);
        return true;
    }

    if (removing) {
        for (const pugi::xml_node& element : elements) {
            RemoveAndPrune(element, context);
            MarkChanged(changed);
        }
        return true;
    }
    if (elements.empty()) {
        // An empty text for a field that is not there yet adds nothing.
        if (utf8.isEmpty())
            return true;
        pugi::xml_node element = InsertElement(parent, last);
        if (!element)
            return Fail(error, u"out of memory"_s);
        MarkChanged(changed);
        elements.push_back(element);
    }
    if (!HasText(elements.front(), utf8)) {
        if (!WriteText(elements.front(), utf8))
            return Fail(error, u"out of memory"_s);
        MarkChanged(changed);
    }
    for (size_t i = 1; i < elements.size(); ++i) {
        parent.remove_child(elements[i]);
        MarkChanged(changed);
    }
    return true;
}

bool AppendFieldValue(pugi::xml_node context, const FieldPath& path, const QString& value,
                      bool* changed, QString* error) {
    if (!context || path.steps.isEmpty())
        return Fail(error, u"there is no element to hold the field"_s);
    const QByteArray utf8 = XmlAllowedText(value).toUtf8();
    if (utf8.isEmpty())
        return Fail(error, u"an empty value adds nothing"_s);
    bool failed = false;
    pugi::xml_node parent = WalkToParent(context, path, true, changed, error, failed);
    if (failed)
        return false;
    ResolvedStep last;
    if (!ResolveStep(parent, path.steps.last(), true, last, error))
        return false;
    ResolvedName attribute;
    if (!path.attribute.isEmpty() &&
        !ResolveQualifiedName(parent, path.attribute, true, attribute, error))
        return false;
    pugi::xml_node element = InsertElement(parent, last);
    if (!element)
        return Fail(error, u"out of memory"_s);
    MarkChanged(changed);
    const bool written = path.attribute.isEmpty() ? WriteText(element, utf8)
                                                  : SetAttribute(element, attribute, utf8, changed);
    if (!written) {
        parent.remove_child(element);
        return Fail(error, u"out of memory"_s);
    }
    return true;
}

bool SetRepeatedValues(pugi::xml_node context, const FieldPath& path,
                       const QList<RepeatedValue>& values, const QStringList& clearAttributes,
                       bool* changed, QString* error) {
    if (!context || path.steps.isEmpty() || !path.attribute.isEmpty())
        return Fail(error, u"a repeated field is an element"_s);
    bool failed = false;
    pugi::xml_node parent = WalkToParent(context, path, !values.isEmpty(), changed, error, failed);
    if (failed)
        return false;
    if (!parent)
        return true;
    ResolvedStep last;
    if (!ResolveStep(parent, path.steps.last(), !values.isEmpty(), last, error))
        return false;
    std::vector<pugi::xml_node> elements = Matches(parent, last);
    for (qsizetype i = 0; i < values.size(); ++i) {
        const RepeatedValue& value = values[i];
        pugi::xml_node element;
        if (size_t(i) < elements.size()) {
            element = elements[size_t(i)];
        } else {
            element = InsertElement(parent, last);
            if (!element)
                return Fail(error, u"out of memory"_s);
            MarkChanged(changed);
        }
        const QByteArray text = XmlAllowedText(value.text).toUtf8();
        if (!HasText(element, text)) {
            if (!WriteText(element, text))
                return Fail(error, u"out of memory"_s);
            MarkChanged(changed);
        }
        QStringList untouched = clearAttributes;
        for (const auto& [name, attributeValue] : value.attributes) {
            untouched.removeAll(name);
            ResolvedName attribute;
            if (!ResolveQualifiedName(parent, name, !attributeValue.isEmpty(), attribute, error))
                return false;
            const QByteArray utf8 = XmlAllowedText(attributeValue).toUtf8();
            if (utf8.isEmpty()) {
                if (element.remove_attribute(attribute.name.c_str()))
                    MarkChanged(changed);
            } else if (!SetAttribute(element, attribute, utf8, changed)) {
                return Fail(error, u"out of memory"_s);
            }
        }
        for (const QString& name : untouched) {
            ResolvedName attribute;
            if (ResolveQualifiedName(parent, name, false, attribute, nullptr) &&
                element.remove_attribute(attribute.name.c_str()))
                MarkChanged(changed);
        }
    }
    for (size_t i = size_t(values.size()); i < elements.size(); ++i) {
        RemoveAndPrune(elements[i], context);
        MarkChanged(changed);
    }
    return true;
}

bool IsClassicPostField(const FieldPath& path) {
    return path.IsPlainName("title") || path.IsPlainName("link") || path.IsPlainName("author") ||
           path.IsPlainName("description");
}

bool IsRequiredChannelField(const FieldPath& path) {
    return path.IsPlainName("title") || path.IsPlainName("link") || path.IsPlainName("description");
}

pugi::xml_node FieldContext(const CRssFeed& feed, int post) {
    if (post < 0)
        return feed.GetChannelNode();
    return post < feed.GetPostCount() ? feed.GetItemNode(post) : pugi::xml_node();
}

bool SetFeedField(CRssFeed& feed, int post, const FieldPath& path, const QString& value,
                  bool* changed, QString* error) {
    const pugi::xml_node context = FieldContext(feed, post);
    if (!context)
        return Fail(error, post < 0 ? u"the feed has no channel"_s
                                    : u"the feed has no post %1"_s.arg(post));
    if (post >= 0 && IsClassicPostField(path)) {
        std::optional<CRssPost> reference = feed.MakePost(post);
        const QString& name = path.steps[0].name;
        bool done = false;
        if (name == u"title")
            done = reference->SetTitle(value);
        else if (name == u"link")
            done = reference->SetLink(value);
        else if (name == u"author")
            done = reference->SetAuthor(value);
        else
            done = reference->SetDescription(value);
        if (!done)
            return Fail(error, u"the %1 of post %2 could not be set"_s.arg(name).arg(post));
        MarkChanged(changed);
        return true;
    }
    const EmptyValue empty =
        post < 0 && IsRequiredChannelField(path) ? EmptyValue::KeepsElement : EmptyValue::Removes;
    return SetFieldValue(context, path, value, empty, changed, error);
}

bool ApplyFieldEdits(CRssFeed& feed, int post, const QList<FieldEdit>& edits, bool* changed,
                     QString* error) {
    QList<FieldPath> paths;
    for (const FieldEdit& edit : edits) {
        std::optional<FieldPath> path = FieldPath::Parse(edit.path, error);
        if (!path)
            return false;
        paths.append(*path);
    }
    const pugi::xml_node context = FieldContext(feed, post);
    if (!context)
        return Fail(error, post < 0 ? u"the feed has no channel"_s
                                    : u"the feed has no post %1"_s.arg(post));
    for (qsizetype i = 0; i < edits.size(); ++i) {
        const FieldEdit& edit = edits[i];
        const bool done = edit.repeated
                              ? SetRepeatedValues(context, paths[i], *edit.repeated,
                                                  edit.clearAttributes, changed, error)
                              : SetFeedField(feed, post, paths[i], edit.value, changed, error);
        if (!done)
            return false;
    }
    return true;
}
