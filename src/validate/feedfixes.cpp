#include "feedfixes.h"

#include "htmlscan.h"
#include "rfc822date.h"
#include "valuechecks.h"

#include "feed/feedtext.h"
#include "feed/rssfeed.h"

#include <QUuid>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr const char* kAtomNamespace = "http://www.w3.org/2005/Atom";
constexpr const char* kContentNamespace = "http://purl.org/rss/1.0/modules/content/";

bool IsText(pugi::xml_node node) {
    return node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata;
}

bool IsWhiteSpaceText(pugi::xml_node node) {
    return node.type() == pugi::node_pcdata && TrimXmlSpace(node.value()).empty();
}

// The text an element holds itself and that of its text and CDATA
// children, joined.
std::string ElementText(pugi::xml_node node) {
    std::string text = feedtext::LeadingText(node);
    for (pugi::xml_node child : node.children()) {
        if (IsText(child))
            text += child.value();
    }
    return text;
}

// Replaces the element's text by one text node of the kind its first text
// had (CDATA stays CDATA); false when the element holds elements too.
bool SetElementText(pugi::xml_node node, const std::string& text) {
    pugi::xml_node_type type = pugi::node_pcdata;
    const bool leading = feedtext::HasLeadingText(node);
    for (pugi::xml_node child : node.children()) {
        if (child.type() == pugi::node_element)
            return false;
        if (IsText(child) && !leading && child == node.first_child())
            type = child.type();
    }
    feedtext::ClearLeadingText(node);
    for (pugi::xml_node child = node.first_child(); child;) {
        const pugi::xml_node next = child.next_sibling();
        if (IsText(child))
            node.remove_child(child);
        child = next;
    }
    return node.append_child(type).set_value(text.c_str());
}

// A new element right after an element child of parent. Where the file's
// layout is kept as text between elements, the new one gets the same
// indentation as the one before it.
pugi::xml_node InsertAfter(pugi::xml_node parent, pugi::xml_node after, const char* name) {
    pugi::xml_node anchor = after;
    const pugi::xml_node indent = after.previous_sibling();
    if (IsWhiteSpaceText(indent)) {
        anchor = parent.insert_child_after(pugi::node_pcdata, after);
        anchor.set_value(indent.value());
    }
    return parent.insert_child_after(name, anchor);
}

// A new element right before a child of parent, indented as that child is.
pugi::xml_node InsertBefore(pugi::xml_node parent, pugi::xml_node before, const char* name) {
    const pugi::xml_node element = parent.insert_child_before(name, before);
    const pugi::xml_node indent = element.previous_sibling();
    if (IsWhiteSpaceText(indent))
        parent.insert_child_before(pugi::node_pcdata, before).set_value(indent.value());
    return element;
}

// A new element at the end of parent, after its last element child.
pugi::xml_node AppendElement(pugi::xml_node parent, const char* name) {
    pugi::xml_node last;
    for (pugi::xml_node child : parent.children()) {
        if (child.type() == pugi::node_element)
            last = child;
    }
    return last ? InsertAfter(parent, last, name) : parent.append_child(name);
}

// The prefix bound to a namespace at node ("" for a default namespace), or
// nothing when none is.
bool FindPrefix(pugi::xml_node node, const char* uri, std::string& prefix) {
    for (; node; node = node.parent()) {
        for (pugi::xml_attribute attribute : node.attributes()) {
            const char* name = attribute.name();
            if (std::strncmp(name, "xmlns", 5) != 0 || std::strcmp(attribute.value(), uri) != 0)
                continue;
            if (name[5] == '\0' || name[5] == ':') {
                prefix = name[5] ? name + 6 : "";
                return true;
            }
        }
    }
    return false;
}

std::string Qualified(const std::string& prefix, const char* local) {
    return prefix.empty() ? std::string(local) : prefix + ':' + local;
}

pugi::xml_node PostNode(const CRssFeed& feed, int post) {
    return post >= 0 && post < feed.GetPostCount() ? feed.GetItemNode(post) : pugi::xml_node();
}

} // namespace

bool FixAddGuid(CRssFeed& feed, int post, QString* guid) {
    const pugi::xml_node item = PostNode(feed, post);
    if (!item || item.child("guid"))
        return false;
    const QString text =
        QStringLiteral("urn:uuid:") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    pugi::xml_node node = AppendElement(item, "guid");
    node.append_attribute("isPermaLink").set_value("false");
    node.append_child(pugi::node_pcdata).set_value(text.toUtf8().constData());
    if (guid)
        *guid = text;
    return true;
}

bool FixRewriteDate(CRssFeed& feed, int post, const QString& element) {
    const pugi::xml_node parent = post < 0 ? feed.GetChannelNode() : PostNode(feed, post);
    const QByteArray name = element.toUtf8();
    const pugi::xml_node node = parent.child(name.constData());
    if (!node)
        return false;
    const std::string text = ElementText(node);
    DateFields fields;
    if (!ReadAnyDate(text, fields))
        return false;
    const std::string rewritten = FormatRfc822(fields);
    if (rewritten == TrimXmlSpace(text))
        return false;
    return SetElementText(node, rewritten);
}

bool FixAddSelfLink(CRssFeed& feed, const QString& url) {
    const pugi::xml_node channel = feed.GetChannelNode();
    const QByteArray href = url.trimmed().toUtf8();
    const UrlCheck check =
        CheckUrl(std::string_view(href.constData(), static_cast<size_t>(href.size())));
    if (!channel || (check != UrlCheck::Ok && check != UrlCheck::UnregisteredScheme))
        return false;
    std::string prefix;
    const bool declared = FindPrefix(channel, kAtomNamespace, prefix) && !prefix.empty();
    pugi::xml_node lastLink;
    if (declared) {
        const std::string link = Qualified(prefix, "link");
        for (pugi::xml_node child : channel.children(link.c_str())) {
            if (std::strcmp(child.attribute("rel").value(), "self") == 0)
                return false;
            lastLink = child;
        }
    } else {
        // A prefix taken by another namespace is left alone.
        pugi::xml_node rss = channel.parent();
        prefix = "atom";
        for (int n = 2; rss.attribute(("xmlns:" + prefix).c_str()); ++n)
            prefix = "atom" + std::to_string(n);
        rss.append_attribute(("xmlns:" + prefix).c_str()).set_value(kAtomNamespace);
    }
    const std::string name = Qualified(prefix, "link");
    const pugi::xml_node firstItem = channel.child("item");
    pugi::xml_node node = lastLink    ? InsertAfter(channel, lastLink, name.c_str())
                          : firstItem ? InsertBefore(channel, firstItem, name.c_str())
                                      : AppendElement(channel, name.c_str());
    node.append_attribute("href").set_value(href.constData());
    node.append_attribute("rel").set_value("self");
    node.append_attribute("type").set_value("application/rss+xml");
    return true;
}

bool FixFillDescription(CRssFeed& feed, const QString& text) {
    const pugi::xml_node channel = feed.GetChannelNode();
    const std::string value = text.trimmed().toStdString();
    if (!channel || value.empty())
        return false;
    pugi::xml_node description = channel.child("description");
    if (description) {
        if (!TrimXmlSpace(ElementText(description)).empty())
            return false;
        return SetElementText(description, value);
    }
    // Where the channel's required elements stand: after link, or title.
    pugi::xml_node after = channel.child("link");
    if (!after)
        after = channel.child("title");
    const pugi::xml_node firstItem = channel.child("item");
    description = after       ? InsertAfter(channel, after, "description")
                  : firstItem ? InsertBefore(channel, firstItem, "description")
                              : AppendElement(channel, "description");
    return description.append_child(pugi::node_pcdata).set_value(value.c_str());
}

bool FixAbsoluteLinks(CRssFeed& feed, int post) {
    const pugi::xml_node item = PostNode(feed, post);
    const pugi::xml_node channel = feed.GetChannelNode();
    if (!item)
        return false;
    const QString base = QString::fromStdString(ElementText(channel.child("link"))).trimmed();
    const std::string scheme = UrlScheme(base.toStdString());
    if (scheme != "http" && scheme != "https")
        return false;
    std::string prefix;
    const bool content = FindPrefix(item, kContentNamespace, prefix);
    const std::string encoded = Qualified(prefix, "encoded");
    bool changed = false;
    for (pugi::xml_node child : item.children()) {
        if (child.type() != pugi::node_element)
            continue;
        if (std::strcmp(child.name(), "description") != 0 && (!content || encoded != child.name()))
            continue;
        std::string html = ElementText(child);
        if (MakeLinksAbsolute(html, base) > 0 && SetElementText(child, html))
            changed = true;
    }
    return changed;
}

bool FixMoveItemsLast(CRssFeed& feed) {
    pugi::xml_node channel = feed.GetChannelNode();
    const pugi::xml_node firstItem = channel.child("item");
    if (!firstItem)
        return false;
    std::vector<pugi::xml_node> misplaced;
    for (pugi::xml_node child = firstItem.next_sibling(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element && std::strcmp(child.name(), "item") != 0)
            misplaced.push_back(child);
    }
    for (pugi::xml_node node : misplaced) {
        // Its indentation moves with it, to stand between it and the first item.
        const pugi::xml_node indent = node.previous_sibling();
        channel.insert_move_before(node, firstItem);
        if (IsWhiteSpaceText(indent))
            channel.insert_move_before(indent, firstItem);
    }
    feed.RebuildIndex();
    return !misplaced.empty();
}

bool FixRemoveEnclosure(CRssFeed& feed, int post, int which) {
    pugi::xml_node item = PostNode(feed, post);
    std::vector<pugi::xml_node> enclosures;
    for (pugi::xml_node enclosure : item.children("enclosure"))
        enclosures.push_back(enclosure);
    if (enclosures.size() < 2 || which < 0 || which >= static_cast<int>(enclosures.size()))
        return false;
    const pugi::xml_node node = enclosures[static_cast<size_t>(which)];
    const pugi::xml_node indent = node.previous_sibling();
    if (IsWhiteSpaceText(indent))
        item.remove_child(indent);
    return item.remove_child(node);
}

bool ApplyFix(CRssFeed& feed, const Finding& finding, const FixInput& input) {
    switch (finding.fix) {
    case FixKind::None:
        return false;
    case FixKind::AddGuid:
        return FixAddGuid(feed, finding.post);
    case FixKind::RewriteDate:
        return FixRewriteDate(feed, finding.post, finding.field);
    case FixKind::AddSelfLink:
        return FixAddSelfLink(feed, input.url);
    case FixKind::FillDescription:
        return FixFillDescription(feed, input.text);
    case FixKind::AbsoluteLinks:
        return FixAbsoluteLinks(feed, finding.post);
    case FixKind::MoveItems:
        return FixMoveItemsLast(feed);
    case FixKind::RemoveDuplicateEnclosure:
        return FixRemoveEnclosure(feed, finding.post,
                                  input.which >= 0 ? input.which : finding.which);
    }
    return false;
}
