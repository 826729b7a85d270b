#include "rssfeed.h"

#include "feedtext.h"
#include "rssdate.h"
#include "rssdatekey.h"
#include "rsspost.h"
#include "titleorder.h"

#include <QUuid>
#include <algorithm>
#include <cstring>

using feedtext::ElementText;

namespace {

bool IsForbidden(char16_t u) {
    return (u < 0x20 && u != '\t' && u != '\n' && u != '\r') || u == 0xFFFE || u == 0xFFFF;
}

} // namespace

bool HasCharactersXmlForbids(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (QChar::isHighSurrogate(u) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ++i;
            continue;
        }
        if (IsForbidden(u) || QChar::isSurrogate(u))
            return true;
    }
    return false;
}

QString XmlAllowedText(const QString& text) {
    if (!HasCharactersXmlForbids(text))
        return text;
    QString allowed;
    allowed.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            allowed += c;
            allowed += text[++i];
        } else if (!IsForbidden(c.unicode()) && !c.isSurrogate()) {
            allowed += c;
        }
    }
    return allowed;
}

QString OneLineText(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    QByteArray line(utf8.size(), Qt::Uninitialized);
    char* end =
        feedtext::CopyOneLine(line.data(), utf8.constData(), static_cast<size_t>(utf8.size()));
    line.truncate(end - line.constData());
    return QString::fromUtf8(line);
}

CRssFeed::CRssFeed() = default;

CRssFeed::~CRssFeed() = default;

void CRssFeed::Clear() {
    NoteChanged();
    reset();
    m_channel = pugi::xml_node();
    m_items.clear();
    // Only once the tree lets go of it may the text it points into go.
    m_text.reset();
    m_bom = false;
    m_lineEnds = LineEnds::Lf;
    m_encoding.clear();
    m_encodingKind = 0;
}

void CRssFeed::RebuildIndex() {
    NoteChanged();
    m_items.clear();
    m_channel = child("rss").child("channel");
    for (pugi::xml_node item = m_channel.child("item"); item; item = item.next_sibling("item"))
        m_items.push_back(item);
}

pugi::xml_node CRssFeed::GetItemNode(int index) const {
    if (m_items.empty())
        return pugi::xml_node();
    if (index < 0)
        index = 0;
    if (index >= GetPostCount())
        return pugi::xml_node();
    return m_items[static_cast<size_t>(index)];
}

pugi::xml_node CRssFeed::FieldNode(int index, const char* name) const {
    return GetItemNode(index).child(name);
}

const char* CRssFeed::GetFieldUtf8(int index, const char* name) const {
    return ElementText(FieldNode(index, name), m_scratch);
}

QString CRssFeed::FieldText(int index, const char* name) const {
    const pugi::xml_node field = FieldNode(index, name);
    return field ? QString::fromUtf8(ElementText(field, m_scratch)) : QString();
}

QString CRssFeed::GetTitleLine(int index) const {
    return OneLineText(GetTitle(index));
}

QString CRssFeed::GetTitle(int index) const {
    return FieldText(index, "title");
}
QString CRssFeed::GetLink(int index) const {
    return FieldText(index, "link");
}
QString CRssFeed::GetAuthor(int index) const {
    return FieldText(index, "author");
}
QString CRssFeed::GetDescription(int index) const {
    return FieldText(index, "description");
}
QString CRssFeed::GetPubDate(int index) const {
    return FieldText(index, "pubDate");
}
QString CRssFeed::GetGuid(int index) const {
    return FieldText(index, "guid");
}

QString CRssFeed::GetDescriptionXml(int index) const {
    QString text = GetDescription(index);
    EscapeForXml(text);
    return text;
}

QString CRssFeed::GetDescriptionText(int index) const {
    return DescriptionPlainText(GetDescription(index));
}

bool CRssFeed::WriteField(int index, const char* name, const QString& text, bool createMissing) {
    NoteChanged();
    pugi::xml_node item = GetItemNode(index);
    if (!item)
        return false;
    // The conversion sizes its own buffer, so no text is too long to store.
    const QByteArray utf8 = XmlAllowedText(text).toUtf8();
    pugi::xml_node field = item.child(name);
    if (!field) {
        // Appending the element keeps the user's input instead of dropping it.
        if (!createMissing || utf8.isEmpty())
            return false;
        field = item.append_child(name);
        if (!field)
            return false;
        pugi::xml_node value = field.append_child(pugi::node_pcdata);
        if (!value || !value.set_value(utf8.constData())) {
            item.remove_child(field);
            return false;
        }
        // White space the item held alone is layout once it has an element.
        feedtext::DropLayoutText(item);
        return true;
    }
    bool cdata = false;
    for (pugi::xml_node child = field.first_child(); child; child = child.next_sibling())
        cdata |= child.type() == pugi::node_cdata;
    // The new text is in place before the old children go, so a failure
    // leaves the field as it was.
    pugi::xml_node value;
    if (!utf8.isEmpty()) {
        value = field.append_child(cdata ? pugi::node_cdata : pugi::node_pcdata);
        if (!value)
            return false;
        if (!value.set_value(utf8.constData())) {
            field.remove_child(value);
            return false;
        }
    }
    while (field.first_child() != value)
        field.remove_child(field.first_child());
    feedtext::ClearLeadingText(field);
    return true;
}

void CRssFeed::TouchPubDate(int index) {
    if (!m_renewDateOnEdit)
        return;
    WriteField(index, "pubDate", FormatRssDate(), false);
}

bool CRssFeed::SetTitle(int index, const QString& text) {
    if (!WriteField(index, "title", text, true))
        return false;
    TouchPubDate(index);
    return true;
}

bool CRssFeed::SetAuthor(int index, const QString& text) {
    if (!WriteField(index, "author", text, true))
        return false;
    TouchPubDate(index);
    return true;
}

bool CRssFeed::SetDescription(int index, const QString& text) {
    if (!WriteField(index, "description", text, true))
        return false;
    TouchPubDate(index);
    return true;
}

bool CRssFeed::SetLink(int index, const QString& text) {
    if (!WriteField(index, "link", text, true))
        return false;
    TouchPubDate(index);
    QString stamp = LocaleStamp();
    stamp.replace(QLatin1Char(' '), QLatin1Char('_'));
    stamp.replace(QLatin1Char('.'), QLatin1Char('_'));
    if (WriteField(index, "guid", text + QLatin1Char('?') + stamp, false)) {
        pugi::xml_node guid = FieldNode(index, "guid");
        pugi::xml_attribute permaLink = guid.attribute("isPermaLink");
        if (!permaLink)
            permaLink = guid.append_attribute("isPermaLink");
        permaLink.set_value("false");
    }
    return true;
}

bool CRssFeed::SetPubDate(int index, const QString& text) {
    return WriteField(index, "pubDate", text, false);
}

bool CRssFeed::SetGuid(int index, const QString& text) {
    return WriteField(index, "guid", text, false);
}

bool CRssFeed::AddPost() {
    NoteChanged();
    if (!m_channel)
        return false;
    pugi::xml_node item = m_items.empty() ? m_channel.append_child("item")
                                          : m_channel.insert_child_before("item", m_items.front());
    if (!item)
        return false;
    const QByteArray date = FormatRssDate().toUtf8();
    const QByteArray guid = MakeGuidText().toUtf8();
    const std::pair<const char*, const char*> fields[] = {
        {"title", "New Item"}, {"description", ""}, {"pubDate", date.constData()},
        {"link", ""},          {"author", ""},      {"guid", guid.constData()},
    };
    // An empty field holds no text node at all, just as one read from a file.
    for (const auto& [name, text] : fields) {
        pugi::xml_node field = item.append_child(name);
        if (*text)
            field.append_child(pugi::node_pcdata).set_value(text);
    }
    m_items.insert(m_items.begin(), item);
    feedtext::DropLayoutText(m_channel);
    return true;
}

bool CRssFeed::DuplicatePost(int index) {
    NoteChanged();
    const pugi::xml_node original = GetItemNode(index);
    if (!original)
        return false;
    pugi::xml_node copy = m_channel.insert_copy_before(original, m_items.front());
    if (!copy)
        return false;
    m_items.insert(m_items.begin(), copy);
    return true;
}

bool CRssFeed::RemovePost(int index) {
    NoteChanged();
    const pugi::xml_node item = GetItemNode(index);
    if (!item)
        return false;
    if (!m_channel.remove_child(item))
        return false;
    m_items.erase(m_items.begin() + std::max(index, 0));
    return true;
}

std::optional<CRssPost> CRssFeed::MakePost(int index) const {
    if (index < 0 || index >= GetPostCount())
        return std::nullopt;
    return CRssPost(const_cast<CRssFeed*>(this), index);
}

CRssPost* CRssFeed::MakePostPtr(int index) const {
    if (index < 0 || index >= GetPostCount())
        return nullptr;
    return new CRssPost(const_cast<CRssFeed*>(this), index);
}

QStringList CRssFeed::GetAllLinks() const {
    QStringList links;
    links.reserve(GetPostCount());
    for (const pugi::xml_node& item : m_items) {
        const char* link = ElementText(item.child("link"), m_scratch);
        if (*link)
            links.append(QString::fromUtf8(link));
    }
    std::sort(links.begin(), links.end());
    links.erase(std::unique(links.begin(), links.end()), links.end());
    return links;
}

std::vector<QString> CRssFeed::CollectTitles() const {
    std::vector<QString> titles;
    titles.reserve(m_items.size());
    for (const pugi::xml_node& item : m_items)
        titles.push_back(QString::fromUtf8(ElementText(item.child("title"), m_scratch)));
    return titles;
}

void CRssFeed::SortByTitle(int* first, int* last) const {
    // Titles are copied side by side as bytes that sort like their UTF-16
    // texts, and most comparisons are settled by the first eight of them.
    struct Entry {
        quint64 prefix;
        quint32 offset;
        quint32 size;
        quint32 position;
        int post;
    };
    const auto count = static_cast<size_t>(last - first);
    std::vector<char> arena;
    std::vector<Entry> entries;
    entries.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const auto offset = static_cast<quint32>(arena.size());
        AppendTitleSortBytes(
            arena, ElementText(m_items[static_cast<size_t>(first[i])].child("title"), m_scratch));
        entries.push_back({0, offset, static_cast<quint32>(arena.size() - offset),
                           static_cast<quint32>(i), first[i]});
    }
    for (Entry& e : entries) {
        // Big-endian, padded with zero bytes, which no title contains.
        for (quint32 k = 0; k < 8; ++k)
            e.prefix = (e.prefix << 8) |
                       (k < e.size ? static_cast<unsigned char>(arena[e.offset + k]) : 0u);
    }
    const char* bytes = arena.data();
    std::sort(entries.begin(), entries.end(), [bytes](const Entry& a, const Entry& b) {
        if (a.prefix != b.prefix)
            return a.prefix < b.prefix;
        const quint32 common = std::min(a.size, b.size);
        if (common > 8) {
            const int c = std::memcmp(bytes + a.offset + 8, bytes + b.offset + 8, common - 8);
            if (c != 0)
                return c < 0;
        }
        if (a.size != b.size)
            return a.size < b.size;
        return a.position < b.position;
    });
    for (size_t i = 0; i < count; ++i)
        first[i] = entries[i].post;
}

std::vector<qint64> CRssFeed::CollectDateKeys() const {
    // One reading of the clock, so every unreadable date sorts as the same time.
    const qint64 now = CurrentDateKey();
    std::vector<qint64> keys;
    keys.reserve(m_items.size());
    for (const pugi::xml_node& item : m_items) {
        qint64 key = 0;
        keys.push_back(RssDateKey(ElementText(item.child("pubDate"), m_scratch), key) ? key : now);
    }
    return keys;
}

bool CRssFeed::ComparePosts(PostOrder order, int a, int b) const {
    if (a == b)
        return false;
    switch (order) {
    case PostOrder::ByPosition:
        return a < b;
    case PostOrder::ByTitle:
        return GetTitle(a) < GetTitle(b);
    case PostOrder::ByDate: {
        const qint64 now = CurrentDateKey();
        qint64 da = 0;
        qint64 db = 0;
        if (!RssDateKey(ElementText(FieldNode(a, "pubDate"), m_scratch), da))
            da = now;
        if (!RssDateKey(ElementText(FieldNode(b, "pubDate"), m_scratch), db))
            db = now;
        return da > db;
    }
    }
    return false;
}

std::vector<int> CRssFeed::SortedIndices(PostOrder order) const {
    std::vector<int> indices(m_items.size());
    for (size_t i = 0; i < indices.size(); ++i)
        indices[i] = static_cast<int>(i);
    if (order == PostOrder::ByTitle) {
        SortByTitle(indices.data(), indices.data() + indices.size());
    } else if (order == PostOrder::ByDate) {
        const std::vector<qint64> keys = CollectDateKeys();
        std::stable_sort(indices.begin(), indices.end(), [&keys](int a, int b) {
            return keys[static_cast<size_t>(a)] > keys[static_cast<size_t>(b)];
        });
    }
    return indices;
}

int EscapeForXml(QString& text) {
    if (text.isEmpty())
        return 0;
    static const std::pair<QChar, QLatin1String> kEntities[] = {
        {QLatin1Char('&'), QLatin1String("&amp;")},
        {QLatin1Char('<'), QLatin1String("&lt;")},
        {QLatin1Char('>'), QLatin1String("&gt;")},
        {QLatin1Char('"'), QLatin1String("&quot;")},
    };
    int count = 0;
    for (const auto& [ch, entity] : kEntities) {
        count += static_cast<int>(text.count(ch));
        text.replace(ch, entity);
    }
    return count;
}

QString DescriptionPlainText(const QString& description) {
    // One pass removes every "<...>" pair just as removing the first pair
    // again and again would.
    QString text;
    text.reserve(description.size());
    qsizetype pos = 0;
    while (pos < description.size()) {
        const qsizetype open = description.indexOf(QLatin1Char('<'), pos);
        if (open < 0)
            break;
        const qsizetype close = description.indexOf(QLatin1Char('>'), open + 1);
        if (close < 0)
            break;
        text += QStringView(description).mid(pos, open - pos);
        pos = close + 1;
    }
    text += QStringView(description).mid(pos);
    text.replace(QLatin1String("&nbsp;"), QLatin1String(" "));
    text.replace(QLatin1String("&laquo;"), QLatin1String("\""));
    text.replace(QLatin1String("&raquo;"), QLatin1String("\""));
    text.replace(QLatin1String("&lt;"), QLatin1String("<"));
    text.replace(QLatin1String("&gt;"), QLatin1String(">"));
    return text;
}

QString MakeGuidText() {
    QString text = QUuid::createUuid().toString(QUuid::WithoutBraces).toLower();
    text.remove(QLatin1Char('-'));
    return text;
}
