// The one walk over a feed's tree that the validator makes: each element is
// visited once, in document order, and checked against what may stand there.
// Internal to the validator.
#pragma once

#include "feedvalidator.h"
#include "rfc822date.h"

#include "feed/feedtext.h"

#include <deque>
#include <initializer_list>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Texts seen so far, to find repeats in one pass: one array with open
// addressing, as a node per text cost more than the rest of a guid's checks.
// The texts must outlive the set; an empty text is never added.
class TextSet final {
public:
    void Reserve(size_t count);
    // False when the text was there already.
    bool Insert(std::string_view text);

private:
    void Grow(size_t capacity);
    std::vector<std::string_view> m_slots;
    size_t m_count = 0;
};

// The namespaces whose tags the validator knows.
enum class Ns { Core, Atom, Content, Dc, Itunes, Podcast, Slash, Other };

class FeedWalker final {
    friend class ForeignWalker;

public:
    // text is what the tree was parsed from; offsets get one entry per
    // finding: where in text it points.
    FeedWalker(const ValidationOptions& options, std::string_view text,
               std::vector<Finding>& findings, std::vector<ptrdiff_t>& offsets);
    void Run(const pugi::xml_document& document);
    // Room for the guids of that many posts.
    void ReservePosts(int posts) { m_guids.Reserve(static_cast<size_t>(posts)); }

private:
    // What holds the element being checked.
    enum class Context { Channel, Item };

    // Per post, what the item holds so far.
    struct ItemState {
        pugi::xml_node item;
        int counts[10] = {};
        bool descriptionSeen = false;
        bool contentBeforeDescription = false;
        pugi::xml_node content;
        pugi::xml_node dcCreator;
        pugi::xml_node dcDate;
        pugi::xml_node dcSubject;
    };

    // Reporting. field names the element (or attribute) as the finding's
    // field says; at is where the finding points.
    void Report(Msg msg, pugi::xml_node at, QString message, QString field,
                FixKind fix = FixKind::None, int which = -1);
    // "title", "image/url" ... for an element in the current context; the
    // same few fields come back for every post, so each is built once.
    QString FieldOf(pugi::xml_node node);
    QString FieldOf(pugi::xml_node node, const char* attribute);
    // A message that depends only on its kind and the element's name, built
    // once and shared by every post that gets it.
    template <typename Build> QString Shared(Msg msg, pugi::xml_node node, Build build) {
        const std::string_view name = node.name();
        for (const SharedText& shared : m_sharedMessages) {
            if (shared.msg == msg && shared.name == name)
                return shared.text;
        }
        QString text = build();
        if (m_sharedMessages.size() < kSharedLimit)
            m_sharedMessages.push_back({msg, std::string(name), text});
        return text;
    }

    // Namespaces declared on the element are pushed; returns how many.
    size_t PushNamespaces(pugi::xml_node node);
    void PopNamespaces(size_t count);
    // The namespace of an element and its name within it.
    std::pair<Ns, std::string_view> Resolve(pugi::xml_node node);

    // Core RSS elements.
    void Rss(pugi::xml_node rss);
    void Channel(pugi::xml_node channel);
    void ChannelChild(pugi::xml_node node, std::string_view name, int* counts);
    void Item(pugi::xml_node item);
    void ItemChild(pugi::xml_node node, std::string_view name, ItemState& state);
    void FinishItem(ItemState& state);
    void Image(pugi::xml_node image);
    void TextInput(pugi::xml_node node);
    void Cloud(pugi::xml_node node);
    void SkipHours(pugi::xml_node node);
    void SkipDays(pugi::xml_node node);
    void Enclosure(pugi::xml_node node, ItemState& state);
    void Guid(pugi::xml_node node);
    void Source(pugi::xml_node node);
    void FinishChannel(pugi::xml_node channel, const int* counts);

    // Elements of other namespaces, in the channel or in an item.
    void Extension(pugi::xml_node node, Ns ns, std::string_view name, Context context,
                   ItemState* item);
    void Atom(pugi::xml_node node, std::string_view name, Context context);
    void Itunes(pugi::xml_node node, std::string_view name, Context context);
    void Podcast(pugi::xml_node node, std::string_view name, Context context);
    void ItunesCategory(pugi::xml_node node, std::string_view parent);
    void FinishPodcast(pugi::xml_node channel);
    // Unprefixed elements inside an element of another namespace.
    void ForeignSubtree(pugi::xml_node node);

    // Values.
    // The element's text (all text and CDATA children), trimmed. Reports
    // child elements where only text belongs. Valid until the next call.
    std::string_view Text(pugi::xml_node node);
    // True when text is one that Text joined, not a view into the tree.
    bool InScratch(std::string_view text) const {
        return text.data() >= m_scratch.data() &&
               text.data() <= m_scratch.data() + m_scratch.size();
    }
    bool NotBlank(pugi::xml_node node, std::string_view text);
    void PlainText(pugi::xml_node node, std::string_view text);
    void UrlValue(pugi::xml_node node, std::string_view text, Msg invalid);
    void UrlAttribute(pugi::xml_node node, const char* attribute, bool required, Msg invalid);
    void Contact(pugi::xml_node node, std::string_view text);
    void DateValue(pugi::xml_node node, std::string_view text);
    // Dates before 1970 or after tomorrow.
    void ImplausibleDate(pugi::xml_node node, std::string_view text, const DateFields& fields);
    void HtmlValue(pugi::xml_node node, std::string_view text);
    void LanguageValue(pugi::xml_node node, std::string_view text);
    void NoText(pugi::xml_node node);
    // True when the element holds text other than white space of its own,
    // not counting that of the elements in it.
    static bool HoldsText(pugi::xml_node node);
    void Attributes(pugi::xml_node node, std::initializer_list<std::string_view> allowed);
    void Duplicate(pugi::xml_node node, int& count);
    // True when the file's text of the element uses hexadecimal character
    // references, which excuse markup-like characters in plain text.
    bool SourceHasHexReferences(pugi::xml_node node) const;

    struct SharedText {
        Msg msg;
        std::string name;
        QString text;
    };
    struct SharedField {
        // The context's prefix and the attribute (or null), as given.
        const char* prefix;
        const char* attribute;
        std::string name;
        QString text;
    };
    static constexpr size_t kSharedLimit = 64;
    std::vector<SharedText> m_sharedMessages;
    std::vector<SharedField> m_sharedFields;

    const ValidationOptions& m_options;
    std::string_view m_text;
    std::vector<Finding>& m_findings;
    std::vector<ptrdiff_t>& m_offsets;
    int64_t m_nowSeconds = 0;

    std::vector<std::pair<std::string_view, std::string_view>> m_namespaces;
    // How many of them bind the default namespace.
    int m_defaultNamespaces = 0;
    std::vector<std::string> m_undeclaredPrefixes;
    std::string m_scratch;

    // Where the walk stands.
    int m_post = -1;
    const char* m_prefix = "";
    pugi::xml_node m_channel;
    std::string_view m_channelLink;
    bool m_channelLinkAbsolute = false;

    // What the channel holds, gathered for checks that need all of it.
    pugi::xml_node m_channelTitle;
    pugi::xml_node m_imageTitle;
    pugi::xml_node m_imageLink;
    pugi::xml_node m_lastBuildDate;
    pugi::xml_node m_firstSlashComments;
    pugi::xml_node m_language;
    pugi::xml_node m_selfLink;
    bool m_misplacedReported = false;
    bool m_seenItem = false;

    // Podcast tags.
    bool m_itunesUsed = false;
    pugi::xml_node m_itunesImage;
    pugi::xml_node m_itunesCategory;
    pugi::xml_node m_itunesExplicit;
    pugi::xml_node m_unsupportedEnclosure;
    int m_unsupportedPost = -1;
    int m_podcastCounts[4] = {};

    // guid texts seen so far, to find repeats in one pass.
    TextSet m_guids;
    std::deque<std::string> m_ownedTexts;
};
