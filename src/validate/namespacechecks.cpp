// Elements of the namespaces feeds use beside RSS itself: Atom links,
// content:encoded, Dublin Core, slash, and the podcast tags of iTunes and
// Podcasting 2.0.
#include "feedwalker.h"
#include "itunescategories.h"
#include "messagetext.h"
#include "rfc822date.h"
#include "valuechecks.h"

#include <QUrl>
#include <algorithm>

namespace {

QString Utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

template <size_t N> bool OneOf(const std::string_view (&list)[N], std::string_view value) {
    return std::find(std::begin(list), std::end(list), value) != std::end(list);
}

constexpr std::string_view kDcElements[] = {
    "title",  "creator",    "subject", "description", "publisher", "contributor", "date",  "type",
    "format", "identifier", "source",  "language",    "relation",  "coverage",    "rights"};
constexpr std::string_view kItunesElements[] = {"author",       "block",       "category",
                                                "complete",     "duration",    "email",
                                                "episode",      "episodeType", "explicit",
                                                "image",        "keywords",    "name",
                                                "new-feed-url", "order",       "owner",
                                                "season",       "subtitle",    "summary",
                                                "title",        "type",        "isClosedCaptioned"};
constexpr std::string_view kMedia[] = {
    "podcast",    "music",       "video", "film",       "audiobook", "newsletter", "blog",
    "publisher",  "course",      "mixed", "podcastL",   "musicL",    "videoL",     "filmL",
    "audiobookL", "newsletterL", "blogL", "publisherL", "courseL"};
constexpr std::string_view kTranscriptTypes[] = {
    "text/plain",           "text/html",      "text/vtt", "application/json",
    "application/x-subrip", "application/srt"};

// Seconds, or minutes and seconds, or hours, minutes and seconds.
bool IsDuration(std::string_view text) {
    int parts = 0;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(':', start);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view part = text.substr(start, end - start);
        int64_t value = 0;
        if (!ParseInteger(part, value) || value < 0 || (parts > 0 && value > 59) ||
            (parts > 0 && part.size() != 2))
            return false;
        if (++parts > 3)
            return false;
        start = end + 1;
    }
    return parts > 0;
}

} // namespace

void FeedWalker::Extension(pugi::xml_node node, Ns ns, std::string_view name, Context context,
                           ItemState* item) {
    const QString qname = QString::fromUtf8(node.name());
    switch (ns) {
    case Ns::Atom:
        Atom(node, name, context);
        break;
    case Ns::Content:
        if (name != "encoded") {
            Report(Msg::UndefinedElement, node,
                   QStringLiteral("<%1> is not an element of the content module.").arg(qname),
                   FieldOf(node));
        } else {
            if (item && !item->content) {
                item->content = node;
                item->contentBeforeDescription = !item->descriptionSeen;
            }
            HtmlValue(node, Text(node));
        }
        break;
    case Ns::Dc: {
        if (!OneOf(kDcElements, name)) {
            Report(Msg::UndefinedElement, node,
                   QStringLiteral("<%1> is not a Dublin Core element.").arg(qname), FieldOf(node));
            break;
        }
        const std::string_view text = Text(node);
        if (name == "date" && !IsW3cDtfDate(text))
            Report(Msg::InvalidW3CDTFDate, node,
                   QStringLiteral("<%1> must be a W3C-DTF date such as "
                                  "\"2002-12-31T14:20:20Z\", not \"%2\".")
                       .arg(qname, Utf8(text)),
                   FieldOf(node));
        if (name == "language")
            LanguageValue(node, text);
        if (item && name == "creator" && !item->dcCreator)
            item->dcCreator = node;
        if (item && name == "date" && !item->dcDate)
            item->dcDate = node;
        if (item && name == "subject" && !item->dcSubject)
            item->dcSubject = node;
        if (context == Context::Channel && name == "language" && !m_language)
            m_language = node;
        break;
    }
    case Ns::Slash:
        if (name == "comments") {
            if (!m_firstSlashComments)
                m_firstSlashComments = node;
            const std::string_view text = Text(node);
            int64_t count = 0;
            if (!ParseInteger(text, count) || count < 0)
                Report(Msg::InvalidNonNegativeInteger, node,
                       QStringLiteral("<%1> must be a count of comments (0 or more), not "
                                      "\"%2\".")
                           .arg(qname, Utf8(text)),
                       FieldOf(node));
        }
        break;
    case Ns::Itunes:
        m_itunesUsed = true;
        Itunes(node, name, context);
        break;
    case Ns::Podcast:
        Podcast(node, name, context);
        break;
    case Ns::Other:
    case Ns::Core:
        ForeignSubtree(node);
        break;
    }
}

// Walks the elements inside an element of another namespace without
// recursion, as files may nest elements deeper than a call stack allows,
// keeping the namespaces each declares while it is open. Inside such an
// element, a name without a prefix (and no default namespace) belongs to no
// namespace at all; that is told once per element.
class ForeignWalker final : public pugi::xml_tree_walker {
public:
    ForeignWalker(FeedWalker& walker, pugi::xml_node root) : m_walker(walker), m_root(root) {}

    bool for_each(pugi::xml_node& node) override {
        if (node.type() != pugi::node_element)
            return true;
        while (!m_open.empty() && m_open.back().first >= depth()) {
            m_walker.PopNamespaces(m_open.back().second);
            m_open.pop_back();
        }
        m_open.emplace_back(depth(), m_walker.PushNamespaces(node));
        const auto [ns, name] = m_walker.Resolve(node);
        if (ns != Ns::Core)
            return true;
        const pugi::xml_node parent = node.parent();
        m_walker.Report(Msg::NotInANamespace, node,
                        Cat(u"<", name, u"> inside <", std::string_view(parent.name()),
                            u"> is in no namespace; give it the prefix of its module."),
                        Cat(m_walker.FieldOf(m_root), u"/", name));
        return false;
    }

    bool end(pugi::xml_node&) override {
        for (const auto& open : m_open)
            m_walker.PopNamespaces(open.second);
        m_open.clear();
        return true;
    }

private:
    FeedWalker& m_walker;
    pugi::xml_node m_root;
    // Depth of each open element and how many namespaces it declared.
    std::vector<std::pair<int, size_t>> m_open;
};

void FeedWalker::ForeignSubtree(pugi::xml_node node) {
    ForeignWalker walker(*this, node);
    node.traverse(walker);
    // A walk stopped early does not reach its end.
    walker.end(node);
}

void FeedWalker::Atom(pugi::xml_node node, std::string_view name, Context context) {
    if (name != "link")
        return;
    const pugi::xml_attribute href = node.attribute("href");
    const std::string_view rel = href ? TrimXmlSpace(node.attribute("rel").value()) : "";
    if (!href) {
        Report(Msg::MissingHref, node, QStringLiteral("<atom:link> has no href attribute."),
               FieldOf(node, "href"));
        return;
    }
    bool empty = TrimXmlSpace(feedtext::LeadingText(node)).empty();
    for (pugi::xml_node child = node.first_child(); child && empty; child = child.next_sibling())
        empty = child.type() == pugi::node_pcdata && TrimXmlSpace(child.value()).empty();
    if (!empty)
        Report(Msg::AtomLinkNotEmpty, node,
               QStringLiteral("<atom:link> should be empty; its address goes in href."),
               FieldOf(node));
    const std::string_view value = TrimXmlSpace(href.value());
    if (rel != "self" || context != Context::Channel) {
        UrlAttribute(node, "href", true, Msg::InvalidURLAttribute);
        return;
    }
    if (m_selfLink) {
        Report(Msg::DuplicateAtomLink, node,
               QStringLiteral("The channel has more than one atom:link rel=\"self\"."),
               FieldOf(node));
        return;
    }
    m_selfLink = node;
    if (UrlScheme(value).empty()) {
        Report(Msg::RelativeSelf, node,
               QStringLiteral("The atom:link rel=\"self\" address \"%1\" is relative; give the "
                              "full URL the feed is published at.")
                   .arg(Utf8(value)),
               FieldOf(node, "href"));
        return;
    }
    UrlAttribute(node, "href", true, Msg::InvalidURLAttribute);
    const QString location = m_options.location.trimmed();
    if (!location.isEmpty()) {
        const QUrl self(Utf8(value));
        const QUrl published(location);
        if (self.adjusted(QUrl::NormalizePathSegments) !=
            published.adjusted(QUrl::NormalizePathSegments))
            Report(Msg::SelfDoesntMatchLocation, node,
                   QStringLiteral("The atom:link rel=\"self\" address \"%1\" is not where the "
                                  "feed is published (%2).")
                       .arg(Utf8(value), location),
                   FieldOf(node, "href"));
    }
}

void FeedWalker::Itunes(pugi::xml_node node, std::string_view name, Context context) {
    const QString qname = QString::fromUtf8(node.name());
    if (!OneOf(kItunesElements, name)) {
        Report(Msg::UndefinedElement, node,
               QStringLiteral("<%1> is not an iTunes podcast tag.").arg(qname), FieldOf(node));
        return;
    }
    const bool inChannel = context == Context::Channel;
    if (name == "category") {
        if (inChannel && !m_itunesCategory)
            m_itunesCategory = node;
        ItunesCategory(node, {});
        return;
    }
    if (name == "image") {
        if (inChannel && !m_itunesImage)
            m_itunesImage = node;
        UrlAttribute(node, "href", true, Msg::InvalidURLAttribute);
        std::string_view href = TrimXmlSpace(node.attribute("href").value());
        href = href.substr(0, href.find_first_of("?#"));
        const std::string lower = AsciiLower(href);
        if (!href.empty() && !lower.ends_with(".jpg") && !lower.ends_with(".jpeg") &&
            !lower.ends_with(".png"))
            Report(
                Msg::ImageUrlFormat, node,
                QStringLiteral("Podcast artwork in <%1> should be a JPEG or PNG file.").arg(qname),
                FieldOf(node, "href"));
        return;
    }
    if (name == "owner") {
        bool email = false;
        for (pugi::xml_node child : node.children()) {
            if (child.type() != pugi::node_element)
                continue;
            const size_t pushed = PushNamespaces(child);
            const auto [childNs, childName] = Resolve(child);
            PopNamespaces(pushed);
            if (childNs != Ns::Itunes || childName != "email")
                continue;
            email = true;
            const std::string_view text = Text(child);
            if (!IsAddrSpec(text))
                Report(Msg::InvalidAddrSpec, child,
                       QStringLiteral("<%1> must be a plain e-mail address, not \"%2\".")
                           .arg(QString::fromUtf8(child.name()), Utf8(text)),
                       FieldOf(node) + QLatin1Char('/') + QString::fromUtf8(child.name()));
        }
        if (!email)
            Report(Msg::MissingItunesEmail, node,
                   QStringLiteral("<%1> has no itunes:email; directories use it to reach the "
                                  "podcast's owner.")
                       .arg(qname),
                   FieldOf(node));
        return;
    }
    const std::string_view text = Text(node);
    const std::string lower = AsciiLower(text);
    if (name == "explicit") {
        if (inChannel && !m_itunesExplicit)
            m_itunesExplicit = node;
        if (lower != "true" && lower != "false" && lower != "yes" && lower != "no" &&
            lower != "clean")
            Report(Msg::InvalidYesNoClean, node,
                   QStringLiteral("<%1> must be \"true\" or \"false\", not \"%2\".")
                       .arg(qname, Utf8(text)),
                   FieldOf(node));
    } else if (name == "block" || name == "complete" || name == "isClosedCaptioned") {
        if (lower != "yes" && lower != "no")
            Report(Msg::InvalidYesNo, node,
                   QStringLiteral("<%1> must be \"Yes\" or \"No\", not \"%2\".")
                       .arg(qname, Utf8(text)),
                   FieldOf(node));
    } else if (name == "type") {
        if (text != "episodic" && text != "serial")
            Report(Msg::InvalidItunesChannelType, node,
                   QStringLiteral("<%1> must be \"episodic\" or \"serial\", not \"%2\".")
                       .arg(qname, Utf8(text)),
                   FieldOf(node));
    } else if (name == "episodeType") {
        if (text != "full" && text != "trailer" && text != "bonus")
            Report(Msg::InvalidItunesEpisodeType, node,
                   QStringLiteral("<%1> must be \"full\", \"trailer\" or \"bonus\", not \"%2\".")
                       .arg(qname, Utf8(text)),
                   FieldOf(node));
    } else if (name == "episode" || name == "season") {
        int64_t number = 0;
        if (!ParseInteger(text, number) || number < 1)
            Report(Msg::InvalidPositiveInteger, node,
                   QStringLiteral("<%1> must be a whole number above 0, not \"%2\".")
                       .arg(qname, Utf8(text)),
                   FieldOf(node));
    } else if (name == "duration") {
        if (!IsDuration(text))
            Report(Msg::InvalidDuration, node,
                   QStringLiteral("<%1> must be seconds, MM:SS or H:MM:SS, not \"%2\".")
                       .arg(qname, Utf8(text)),
                   FieldOf(node));
    } else if (name == "new-feed-url") {
        if (NotBlank(node, text))
            UrlValue(node, text, Msg::InvalidLink);
    } else if (name == "summary") {
        if (QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).size() > 4000)
            Report(Msg::TooLong, node,
                   QStringLiteral("<%1> is longer than the 4,000 characters directories show.")
                       .arg(qname),
                   FieldOf(node));
    } else if (name == "author" || name == "subtitle" || name == "title") {
        if (NotBlank(node, text))
            PlainText(node, text);
    }
}

void FeedWalker::ItunesCategory(pugi::xml_node node, std::string_view parent) {
    const pugi::xml_attribute attribute = node.attribute("text");
    const QString qname = QString::fromUtf8(node.name());
    if (!attribute) {
        Report(Msg::MissingAttribute, node,
               QStringLiteral("<%1> has no text attribute naming the category.").arg(qname),
               FieldOf(node, "text"));
        return;
    }
    const std::string_view text = attribute.value();
    const CategoryCheck check =
        parent.empty() ? CheckItunesCategory(text) : CheckItunesSubcategory(parent, text);
    if (check == CategoryCheck::Obsolete)
        Report(Msg::ObsoleteItunesCategory, node,
               QStringLiteral("The podcast category \"%1\" is no longer in Apple's list.")
                   .arg(Utf8(text)),
               FieldOf(node, "text"));
    else if (check == CategoryCheck::Unknown)
        Report(Msg::InvalidItunesCategory, node,
               parent.empty()
                   ? QStringLiteral("\"%1\" is not a podcast category of Apple's list.")
                         .arg(Utf8(text))
                   : QStringLiteral("\"%1\" is not a subcategory of \"%2\" in Apple's list.")
                         .arg(Utf8(text), Utf8(parent)),
               FieldOf(node, "text"));
    if (!parent.empty())
        return;
    for (pugi::xml_node child : node.children()) {
        if (child.type() != pugi::node_element)
            continue;
        const size_t pushed = PushNamespaces(child);
        const auto [ns, name] = Resolve(child);
        if (ns == Ns::Itunes && name == "category")
            ItunesCategory(child, text);
        PopNamespaces(pushed);
    }
}

void FeedWalker::Podcast(pugi::xml_node node, std::string_view name, Context context) {
    const QString qname = QString::fromUtf8(node.name());
    if (context == Context::Channel) {
        const std::string_view singles[] = {"guid", "locked", "medium"};
        const auto single = std::find(std::begin(singles), std::end(singles), name);
        if (single != std::end(singles))
            Duplicate(node, m_podcastCounts[single - std::begin(singles)]);
    }
    if (name == "guid") {
        const std::string_view text = Text(node);
        int version = 0;
        if (!IsUuid(text, &version))
            Report(Msg::InvalidPodcastGuid, node,
                   QStringLiteral("<%1> must be a UUID (8-4-4-4-12 hexadecimal digits), not "
                                  "\"%2\".")
                       .arg(qname, Utf8(text)),
                   FieldOf(node));
        else if (version != 5)
            Report(Msg::PodcastGuidNotVersion5, node,
                   QStringLiteral("<%1> should be the version 5 UUID made from the feed's "
                                  "address; this one is version %2.")
                       .arg(qname)
                       .arg(version),
                   FieldOf(node));
    } else if (name == "locked") {
        const std::string_view text = Text(node);
        const pugi::xml_attribute owner = node.attribute("owner");
        if (owner && !IsAddrSpec(TrimXmlSpace(owner.value())))
            Report(Msg::InvalidAddrSpec, node,
                   QStringLiteral("The owner of <%1> must be an e-mail address, not \"%2\".")
                       .arg(qname, QString::fromUtf8(owner.value())),
                   FieldOf(node, "owner"));
        if (text != "yes" && text != "no")
            Report(Msg::InvalidPodcastLocked, node,
                   QStringLiteral("<%1> must be \"yes\" or \"no\", not \"%2\".")
                       .arg(qname, Utf8(text)),
                   FieldOf(node));
    } else if (name == "medium") {
        const std::string_view text = Text(node);
        if (!OneOf(kMedia, text))
            Report(Msg::InvalidPodcastMedium, node,
                   QStringLiteral("<%1> \"%2\" is not a medium the namespace defines (podcast, "
                                  "music, video, film, audiobook, newsletter, blog ...).")
                       .arg(qname, Utf8(text)),
                   FieldOf(node));
    } else if (name == "funding") {
        UrlAttribute(node, "url", true, Msg::InvalidURLAttribute);
        const std::string_view text = Text(node);
        if (Utf8(text).size() > 128)
            Report(Msg::TooLong, node,
                   QStringLiteral("The text of <%1> is longer than 128 characters.").arg(qname),
                   FieldOf(node));
    } else if (name == "transcript" || name == "chapters") {
        const bool transcript = name == "transcript";
        UrlAttribute(node, "url", true, Msg::InvalidURLAttribute);
        const pugi::xml_attribute type = node.attribute("type");
        const std::string_view value = TrimXmlSpace(type.value());
        if (!type)
            Report(
                transcript ? Msg::MissingTranscriptType : Msg::MissingChaptersType, node,
                QStringLiteral("<%1> has no type attribute giving the file's format.").arg(qname),
                FieldOf(node, "type"));
        else if (transcript ? !OneOf(kTranscriptTypes, value)
                            : value != "application/json+chapters")
            Report(transcript ? Msg::InvalidTranscriptType : Msg::InvalidChaptersType, node,
                   transcript ? QStringLiteral("<%1> type \"%2\" is not a transcript format "
                                               "apps read (text/vtt, application/x-subrip, "
                                               "application/json, text/html, text/plain).")
                                    .arg(qname, Utf8(value))
                              : QStringLiteral("<%1> type should be application/json+chapters, "
                                               "not \"%2\".")
                                    .arg(qname, Utf8(value)),
                   FieldOf(node, "type"));
        const pugi::xml_attribute language = node.attribute("language");
        if (transcript && language && !IsLanguageTag(language.value()))
            Report(Msg::InvalidLanguage, node,
                   QStringLiteral("The language of <%1> must be a language code such as \"en\", "
                                  "not \"%2\".")
                       .arg(qname, QString::fromUtf8(language.value())),
                   FieldOf(node, "language"));
        const pugi::xml_attribute rel = node.attribute("rel");
        if (transcript && rel && std::string_view(rel.value()) != "captions")
            Report(Msg::InvalidValue, node,
                   QStringLiteral("The rel of <%1> can only be \"captions\".").arg(qname),
                   FieldOf(node, "rel"));
    }
}

void FeedWalker::FinishPodcast(pugi::xml_node channel) {
    if (!m_itunesUsed)
        return;
    const struct {
        pugi::xml_node found;
        const char* name;
    } required[] = {{m_itunesImage, "itunes:image"},
                    {m_itunesCategory, "itunes:category"},
                    {m_itunesExplicit, "itunes:explicit"}};
    for (const auto& need : required) {
        if (!need.found)
            Report(Msg::MissingItunesElement, channel,
                   QStringLiteral("This podcast's channel has no <%1>, which Apple Podcasts "
                                  "requires.")
                       .arg(QLatin1String(need.name)),
                   QLatin1String(need.name));
    }
    if (m_unsupportedEnclosure) {
        m_post = m_unsupportedPost;
        Report(Msg::UnsupportedItunesFormat, m_unsupportedEnclosure,
               QStringLiteral("Apple Podcasts plays MP3, M4A, MP4, M4V, MOV, PDF and EPUB files; "
                              "this enclosure is in another format."),
               QStringLiteral("enclosure@url"));
        m_post = -1;
    }
}
