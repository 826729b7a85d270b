// The elements of RSS 2.0 itself: rss, channel, item and the channel's
// image, textInput, cloud, skipHours and skipDays.
#include "feedwalker.h"
#include "valuechecks.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

QString Utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString Name(pugi::xml_node node) {
    return QString::fromUtf8(node.name());
}

// Channel elements that may appear once, in the order of the counts array.
constexpr std::string_view kChannelSingles[] = {
    "title",     "link",    "description",   "language",  "copyright", "managingEditor",
    "webMaster", "pubDate", "lastBuildDate", "generator", "docs",      "cloud",
    "ttl",       "image",   "rating",        "textInput", "skipHours", "skipDays"};
constexpr int kChannelSingleCount = sizeof kChannelSingles / sizeof *kChannelSingles;

// Item elements, in the order of ItemState::counts.
enum ItemField {
    Title,
    Link,
    Description,
    Author,
    Category,
    Comments,
    EnclosureField,
    GuidField,
    PubDate,
    SourceField,
    ItemFieldCount
};
constexpr std::string_view kItemFields[] = {"title",    "link",     "description", "author",
                                            "category", "comments", "enclosure",   "guid",
                                            "pubDate",  "source"};

int IndexOf(const std::string_view* names, int count, std::string_view name) {
    for (int i = 0; i < count; ++i) {
        if (name == names[i])
            return i;
    }
    return -1;
}

} // namespace

void FeedWalker::Run(const pugi::xml_document& document) {
    const pugi::xml_node root = document.document_element();
    if (!root)
        return;
    const size_t pushed = PushNamespaces(root);
    if (std::strcmp(root.name(), "rss") == 0) {
        Rss(root);
    } else {
        Report(Msg::UndefinedElement, root,
               QStringLiteral("The root element is <%1>, not <rss>: this is not an RSS 2.0 feed, "
                              "and only RSS 2.0 feeds are checked.")
                   .arg(Name(root)),
               {});
    }
    PopNamespaces(pushed);
}

void FeedWalker::Rss(pugi::xml_node rss) {
    const pugi::xml_attribute version = rss.attribute("version");
    if (!version) {
        Report(Msg::MissingAttribute, rss,
               QStringLiteral("<rss> has no version attribute; an RSS 2.0 feed says "
                              "version=\"2.0\"."),
               QStringLiteral("rss@version"));
    } else {
        const std::string_view value = TrimXmlSpace(version.value());
        const bool known = value.substr(0, 2) == "2." || value == "0.91" || value == "0.92" ||
                           value == "0.93" || value == "0.94";
        if (!known)
            Report(Msg::InvalidRSSVersion, rss,
                   QStringLiteral("<rss> says version=\"%1\"; RSS 2.0 feeds say version=\"2.0\".")
                       .arg(Utf8(value)),
                   QStringLiteral("rss@version"));
    }
    for (pugi::xml_attribute attribute : rss.attributes()) {
        const std::string_view name = attribute.name();
        if (name == "version" || name == "xmlns" || name.substr(0, 6) == "xmlns:")
            continue;
        if (name.find(':') != std::string_view::npos)
            Report(Msg::UseOfExtensionAttr, rss,
                   QStringLiteral("<rss> carries the extension attribute %1; readers ignore "
                                  "attributes RSS 2.0 does not define on this element.")
                       .arg(Utf8(name)),
                   QStringLiteral("rss@") + Utf8(name));
        else
            Report(Msg::UnexpectedAttribute, rss,
                   QStringLiteral("<rss> has an attribute %1 that RSS 2.0 does not define.")
                       .arg(Utf8(name)),
                   QStringLiteral("rss@") + Utf8(name));
    }
    int channels = 0;
    if (HoldsText(rss))
        Report(Msg::UnexpectedText, rss,
               QStringLiteral("<rss> holds text; only elements belong there."),
               QStringLiteral("rss"));
    for (pugi::xml_node child : rss.children()) {
        if (child.type() != pugi::node_element)
            continue;
        const size_t pushed = PushNamespaces(child);
        const auto [ns, name] = Resolve(child);
        if (ns == Ns::Core && name == "channel") {
            if (++channels == 1)
                Channel(child);
            else
                Report(Msg::DuplicateElement, child,
                       QStringLiteral("A feed has one <channel>; readers ignore this one and "
                                      "everything in it."),
                       QStringLiteral("channel"));
        } else if (ns == Ns::Core) {
            Report(Msg::UndefinedElement, child,
                   QStringLiteral("<%1> is not an RSS 2.0 element; it belongs inside "
                                  "<channel>, if anywhere.")
                       .arg(Name(child)),
                   Name(child));
        }
        PopNamespaces(pushed);
    }
    if (channels == 0)
        Report(Msg::MissingElement, rss, QStringLiteral("<rss> holds no <channel>."),
               QStringLiteral("channel"));
}

void FeedWalker::Channel(pugi::xml_node channel) {
    m_channel = channel;
    int counts[kChannelSingleCount] = {};
    Attributes(channel, {});
    if (HoldsText(channel))
        Report(Msg::UnexpectedText, channel,
               QStringLiteral("<channel> holds text; only elements belong there."),
               QStringLiteral("channel"));
    for (pugi::xml_node child : channel.children()) {
        if (child.type() != pugi::node_element)
            continue;
        const size_t pushed = PushNamespaces(child);
        const auto [ns, name] = Resolve(child);
        const bool isItem = ns == Ns::Core && name == "item";
        if (isItem) {
            m_seenItem = true;
            Item(child);
        } else {
            if (m_seenItem && !m_misplacedReported) {
                Report(Msg::MisplacedItem, child,
                       QStringLiteral("<%1> comes after the channel's items; put every <item> "
                                      "after the channel's other elements.")
                           .arg(Name(child)),
                       Name(child), FixKind::MoveItems);
                m_misplacedReported = true;
            }
            m_post = -1;
            if (ns == Ns::Core)
                ChannelChild(child, name, counts);
            else
                Extension(child, ns, name, Context::Channel, nullptr);
        }
        PopNamespaces(pushed);
    }
    m_post = -1;
    FinishChannel(channel, counts);
}

void FeedWalker::ChannelChild(pugi::xml_node node, std::string_view name, int* counts) {
    const int single = IndexOf(kChannelSingles, kChannelSingleCount, name);
    if (single >= 0)
        Duplicate(node, counts[single]);
    if (name == "cloud") {
        Cloud(node);
        return;
    }
    if (name == "image") {
        Image(node);
        return;
    }
    if (name == "textInput") {
        if (counts[single] == 1)
            Report(Msg::AvoidTextInput, node,
                   QStringLiteral("Few readers support <textInput>; consider leaving it out."),
                   QStringLiteral("textInput"));
        TextInput(node);
        return;
    }
    if (name == "skipHours") {
        SkipHours(node);
        return;
    }
    if (name == "skipDays") {
        SkipDays(node);
        return;
    }
    if (single < 0 && name != "category") {
        QString message =
            QStringLiteral("<%1> is not an element of an RSS 2.0 channel.").arg(Utf8(name));
        if (EqualsNoCase(name, "textInput") || EqualsNoCase(name, "pubDate") ||
            EqualsNoCase(name, "lastBuildDate") || EqualsNoCase(name, "managingEditor") ||
            EqualsNoCase(name, "webMaster") || EqualsNoCase(name, "skipHours") ||
            EqualsNoCase(name, "skipDays"))
            message += QStringLiteral(" Element names are case-sensitive.");
        Report(Msg::UndefinedElement, node, message, Name(node));
        return;
    }
    Attributes(node, {name == "category" ? "domain" : ""});
    const std::string_view text = Text(node);
    if (name == "title") {
        if (!m_channelTitle)
            m_channelTitle = node;
        if (NotBlank(node, text))
            PlainText(node, text);
    } else if (name == "link") {
        if (text.empty()) {
            Report(Msg::InvalidLink, node,
                   QStringLiteral("The channel's <link> is empty; it should be the address of "
                                  "the web site the feed belongs to."),
                   FieldOf(node));
        } else {
            UrlValue(node, text, Msg::InvalidLink);
            if (m_channelLink.empty()) {
                m_channelLink = m_ownedTexts.emplace_back(text);
                const std::string scheme = UrlScheme(text);
                m_channelLinkAbsolute =
                    (scheme == "http" || scheme == "https") && CheckUrl(text) != UrlCheck::NotFull;
            }
        }
    } else if (name == "description") {
        if (text.empty())
            Report(Msg::NotBlank, node,
                   QStringLiteral("The channel's <description> is empty; say in a sentence what "
                                  "the feed is about."),
                   FieldOf(node), FixKind::FillDescription);
        else
            PlainText(node, text);
    } else if (name == "language") {
        m_language = node;
        LanguageValue(node, text);
    } else if (name == "managingEditor" || name == "webMaster") {
        Contact(node, text);
    } else if (name == "pubDate" || name == "lastBuildDate") {
        if (name == "lastBuildDate")
            m_lastBuildDate = node;
        DateValue(node, text);
    } else if (name == "docs") {
        if (NotBlank(node, text))
            UrlValue(node, text, Msg::InvalidLink);
    } else if (name == "ttl") {
        int64_t minutes = 0;
        if (NotBlank(node, text) && (!ParseInteger(text, minutes) || minutes < 1))
            Report(Msg::InvalidInteger, node,
                   QStringLiteral("<ttl> must be a whole number of minutes above 0, not \"%1\".")
                       .arg(Utf8(text)),
                   FieldOf(node));
    } else if (name == "category" || name == "copyright" || name == "generator") {
        if (NotBlank(node, text))
            PlainText(node, text);
    }
}

void FeedWalker::Item(pugi::xml_node item) {
    ++m_post;
    ItemState state;
    state.item = item;
    Attributes(item, {});
    // Told once, at the first text that is more than white space. Read
    // along with the elements, as items are the most of a feed.
    bool textReported = false;
    const auto text = [&](const char* value) {
        if (textReported || TrimXmlSpace(value).empty())
            return;
        Report(Msg::UnexpectedText, item, QStringLiteral("<item> holds text outside its elements."),
               QStringLiteral("item"));
        textReported = true;
    };
    text(feedtext::LeadingText(item));
    for (pugi::xml_node child : item.children()) {
        if (feedtext::IsTextNode(child)) {
            text(child.value());
            continue;
        }
        if (child.type() != pugi::node_element)
            continue;
        const size_t pushed = PushNamespaces(child);
        const auto [ns, name] = Resolve(child);
        if (ns == Ns::Core)
            ItemChild(child, name, state);
        else
            Extension(child, ns, name, Context::Item, &state);
        PopNamespaces(pushed);
    }
    FinishItem(state);
}

void FeedWalker::ItemChild(pugi::xml_node node, std::string_view name, ItemState& state) {
    const int field = IndexOf(kItemFields, ItemFieldCount, name);
    if (field < 0) {
        Report(Msg::UndefinedElement, node,
               QStringLiteral("<%1> is not an element of an RSS 2.0 item.").arg(Utf8(name)),
               Name(node));
        return;
    }
    if (field == EnclosureField) {
        Enclosure(node, state);
        return;
    }
    if (field != Category)
        Duplicate(node, state.counts[field]);
    else
        ++state.counts[field];
    if (field == GuidField) {
        Guid(node);
        return;
    }
    if (field == SourceField) {
        Source(node);
        return;
    }
    Attributes(node, {field == Category ? "domain" : ""});
    const std::string_view text = Text(node);
    switch (field) {
    case Title:
    case Category:
        if (NotBlank(node, text))
            PlainText(node, text);
        break;
    case Link:
    case Comments:
        if (NotBlank(node, text))
            UrlValue(node, text, Msg::InvalidLink);
        break;
    case Description:
        state.descriptionSeen = true;
        HtmlValue(node, text);
        break;
    case Author:
        Contact(node, text);
        break;
    case PubDate:
        DateValue(node, text);
        break;
    default:
        break;
    }
}

void FeedWalker::FinishItem(ItemState& state) {
    const pugi::xml_node item = state.item;
    if (state.counts[Title] == 0 && state.counts[Description] == 0)
        Report(Msg::ItemMustContainTitleOrDescription, item,
               QStringLiteral("This item has neither a <title> nor a <description>; it needs "
                              "at least one of them."),
               QStringLiteral("title"));
    if (state.counts[GuidField] == 0)
        Report(Msg::MissingGuid, item,
               QStringLiteral("This item has no <guid>, so readers cannot tell it apart from "
                              "an edited copy and may show it twice."),
               QStringLiteral("guid"), FixKind::AddGuid);
    if (state.content && state.contentBeforeDescription)
        Report(Msg::NeedDescriptionBeforeContent, state.content,
               state.counts[Description] == 0
                   ? QStringLiteral("<content:encoded> needs a <description> before it, for "
                                    "readers that do not show full content.")
                   : QStringLiteral("<content:encoded> comes before <description>; put the "
                                    "description first."),
               QStringLiteral("content:encoded"));
    const struct {
        pugi::xml_node node;
        int field;
        const char* core;
    } pairs[] = {{state.dcCreator, Author, "author"},
                 {state.dcDate, PubDate, "pubDate"},
                 {state.dcSubject, Category, "category"}};
    for (const auto& pair : pairs) {
        if (pair.node && state.counts[pair.field] > 0)
            Report(Msg::DuplicateItemSemantics, pair.node,
                   QStringLiteral("<%1> says what <%2> already says; keep one of them.")
                       .arg(Name(pair.node), QLatin1String(pair.core)),
                   Name(pair.node));
    }
}

void FeedWalker::FinishChannel(pugi::xml_node channel, const int* counts) {
    // The first three of the channel's single elements, counted on the walk.
    struct Required {
        const char* name;
        Msg msg;
        FixKind fix;
    };
    const Required required3[] = {
        {"title", Msg::MissingTitle, FixKind::None},
        {"link", Msg::MissingLink, FixKind::None},
        {"description", Msg::MissingDescription, FixKind::FillDescription}};
    for (int i = 0; i < 3; ++i) {
        const Required& required = required3[i];
        if (counts[i] == 0)
            Report(required.msg, channel,
                   QStringLiteral("The channel has no <%1>; every RSS 2.0 channel needs one.")
                       .arg(QLatin1String(required.name)),
                   QLatin1String(required.name), required.fix);
    }
    if (m_imageTitle && m_channelTitle) {
        const std::string title(Text(m_channelTitle));
        if (Text(m_imageTitle) != title)
            Report(Msg::ImageTitleDoesntMatch, m_imageTitle,
                   QStringLiteral("The image's <title> differs from the channel's; the profile "
                                  "asks for the same text."),
                   QStringLiteral("image/title"));
    }
    if (m_imageLink && !m_channelLink.empty() && Text(m_imageLink) != m_channelLink)
        Report(Msg::ImageLinkDoesntMatch, m_imageLink,
               QStringLiteral("The image's <link> differs from the channel's; the profile asks "
                              "for the same address."),
               QStringLiteral("image/link"));
    if (m_firstSlashComments && !m_lastBuildDate)
        Report(Msg::SlashDate, m_firstSlashComments,
               QStringLiteral("Comment counts change over time: give the channel a "
                              "<lastBuildDate> so readers know when they were counted."),
               QStringLiteral("slash:comments"));
    if (!m_selfLink)
        Report(Msg::MissingAtomSelfLink, channel,
               QStringLiteral("The channel has no atom:link rel=\"self\" giving the address "
                              "the feed is published at."),
               QStringLiteral("atom:link"), FixKind::AddSelfLink);
    if (!m_language)
        Report(Msg::MissingDCLanguage, channel,
               QStringLiteral("The channel has no <language>; readers and directories use it."),
               QStringLiteral("language"));
    FinishPodcast(channel);
}

void FeedWalker::Enclosure(pugi::xml_node node, ItemState& state) {
    const int index = state.counts[EnclosureField]++;
    if (index > 0)
        Report(Msg::DuplicateEnclosure, node,
               QStringLiteral("This item has more than one <enclosure>; most readers take only "
                              "the first."),
               QStringLiteral("enclosure"), FixKind::RemoveDuplicateEnclosure, index);
    Attributes(node, {"url", "length", "type"});
    NoText(node);
    UrlAttribute(node, "url", true, Msg::InvalidURLAttribute);
    const pugi::xml_attribute length = node.attribute("length");
    int64_t bytes = 0;
    if (!length) {
        Report(Msg::MissingAttribute, node,
               QStringLiteral("<enclosure> has no length attribute (the size in bytes; 0 when "
                              "it is not known)."),
               FieldOf(node, "length"));
    } else if (!ParseInteger(TrimXmlSpace(length.value()), bytes)) {
        Report(Msg::InvalidIntegerAttribute, node,
               QStringLiteral("<enclosure> length must be a whole number of bytes, not \"%1\".")
                   .arg(QString::fromUtf8(length.value())),
               FieldOf(node, "length"));
    } else if (bytes < 0) {
        Report(Msg::InvalidNonNegativeInteger, node,
               QStringLiteral("<enclosure> length cannot be negative (%1).").arg(bytes),
               FieldOf(node, "length"));
    }
    const pugi::xml_attribute type = node.attribute("type");
    if (!type)
        Report(Msg::MissingAttribute, node,
               QStringLiteral("<enclosure> has no type attribute (its MIME type, such as "
                              "audio/mpeg)."),
               FieldOf(node, "type"));
    else if (!IsMimeType(type.value()))
        Report(Msg::InvalidMIMEAttribute, node,
               QStringLiteral("<enclosure> type \"%1\" is not a MIME type such as audio/mpeg.")
                   .arg(QString::fromUtf8(type.value())),
               FieldOf(node, "type"));
    if (!m_unsupportedEnclosure) {
        std::string_view url = TrimXmlSpace(node.attribute("url").value());
        url = url.substr(0, url.find_first_of("?#"));
        const size_t dot = url.rfind('.');
        const size_t slash = url.rfind('/');
        if (dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash)) {
            const std::string extension = AsciiLower(url.substr(dot + 1));
            static constexpr std::string_view kPodcastFormats[] = {"mp3", "m4a", "mp4", "m4v",
                                                                   "mov", "pdf", "epub"};
            if (std::find(std::begin(kPodcastFormats), std::end(kPodcastFormats), extension) ==
                std::end(kPodcastFormats)) {
                m_unsupportedEnclosure = node;
                m_unsupportedPost = m_post;
            }
        }
    }
}

void FeedWalker::Guid(pugi::xml_node node) {
    Attributes(node, {"isPermaLink"});
    bool permalink = true;
    const pugi::xml_attribute attribute = node.attribute("isPermaLink");
    if (attribute) {
        const std::string_view value = attribute.value();
        if (value != "true" && value != "false")
            Report(Msg::InvalidBooleanAttribute, node,
                   QStringLiteral("isPermaLink must be \"true\" or \"false\", not \"%1\".")
                       .arg(Utf8(value)),
                   FieldOf(node, "isPermaLink"));
        permalink = value == "true";
    }
    const std::string_view text = Text(node);
    if (permalink) {
        const UrlCheck check = CheckUrl(text);
        if (StartsWithNoCase(text, "tag:") || StartsWithNoCase(text, "urn:uuid:"))
            Report(Msg::InvalidPermalink, node,
                   QStringLiteral("This <guid> is not a web address, so it cannot be a permalink; "
                                  "add isPermaLink=\"false\"."),
                   FieldOf(node));
        else if (text.empty() || check == UrlCheck::NotFull || check == UrlCheck::BadCharacter ||
                 check == UrlCheck::NotAscii)
            Report(Msg::InvalidHttpGUID, node,
                   text.empty()
                       ? QStringLiteral("This <guid> is empty.")
                       : QStringLiteral("This <guid> \"%1\" is taken as a permalink but is not a "
                                        "full URL; add isPermaLink=\"false\" if it is only an "
                                        "identifier.")
                             .arg(Utf8(text)),
                   FieldOf(node));
        else if (check == UrlCheck::UnregisteredScheme)
            Report(Msg::SchemeNotIANARegistered, node,
                   QStringLiteral("The address scheme of this <guid> is not a registered one."),
                   FieldOf(node));
    } else if (text.empty()) {
        Report(Msg::NotBlank, node, QStringLiteral("This <guid> is empty."), FieldOf(node));
    } else if (text.size() < 9 && text.find_first_not_of("0123456789") == std::string_view::npos) {
        Report(Msg::NotSufficientlyUnique, node,
               QStringLiteral("A <guid> of a few digits (\"%1\") is unlikely to be unique "
                              "beyond this feed.")
                   .arg(Utf8(text)),
               FieldOf(node));
    }
    if (text.empty())
        return;
    // A text the tree holds whole is a view into it; a gathered one needs a copy.
    const bool inTree = !InScratch(text);
    const std::string_view kept = inTree ? text : std::string_view(m_ownedTexts.emplace_back(text));
    if (!m_guids.Insert(kept))
        Report(Msg::DuplicateValue, node,
               QStringLiteral("Another post has the same <guid> \"%1\"; readers will take them "
                              "for one post.")
                   .arg(Utf8(text)),
               FieldOf(node));
}

void FeedWalker::Source(pugi::xml_node node) {
    Attributes(node, {"url"});
    UrlAttribute(node, "url", true, Msg::InvalidFullLink);
    PlainText(node, Text(node));
}
