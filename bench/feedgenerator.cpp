#include "feedgenerator.h"

#include <array>
#include <cstdint>

namespace {

constexpr std::array<const char*, 48> kWords = {
    "release",  "update",  "linux",     "kernel", "feed",    "editor", "weekly",  "notes",
    "security", "patch",   "desktop",   "design", "review",  "market", "science", "climate",
    "photo",    "guide",   "how",       "why",    "new",     "open",   "source",  "data",
    "privacy",  "cloud",   "mobile",    "music",  "travel",  "recipe", "garden",  "history",
    "city",     "council", "budget",    "school", "health",  "sport",  "final",   "season",
    "market",   "report",  "interview", "video",  "podcast", "summer", "winter",  "tips"};
constexpr std::array<const char*, 7> kDays = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// A small deterministic generator (xorshift), so runs are comparable.
struct Random {
    uint32_t state;
    uint32_t Next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    int Below(int n) { return static_cast<int>(Next() % static_cast<uint32_t>(n)); }
    const char* Word() { return kWords[static_cast<size_t>(Below(kWords.size()))]; }
};

QByteArray Sentence(Random& random, int words) {
    QByteArray text;
    for (int i = 0; i < words; ++i) {
        if (i)
            text += ' ';
        text += random.Word();
    }
    return text;
}

} // namespace

QByteArray GenerateFeed(int posts, unsigned seed) {
    Random random{seed ? seed : 1};
    QByteArray xml;
    xml.reserve(static_cast<qsizetype>(posts) * 1100 + 1024);
    xml += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<rss version=\"2.0\" xmlns:atom=\"http://www.w3.org/2005/Atom\">\n"
           "<channel>\n"
           "  <title>Benchmark feed</title>\n"
           "  <link>http://bench.example/</link>\n"
           "  <description>Generated posts</description>\n"
           "  <atom:link href=\"http://bench.example/rss.xml\" rel=\"self\" "
           "type=\"application/rss+xml\"/>\n";
    for (int i = 0; i < posts; ++i) {
        QByteArray title = Sentence(random, 3 + random.Below(6));
        title[0] = static_cast<char>(title[0] - 'a' + 'A');
        const QByteArray slug = QByteArray::number(i);
        const int day = 1 + random.Below(28);
        const int month = random.Below(12);
        const int year = 2010 + random.Below(16);
        const QByteArray date =
            QByteArray(kDays[static_cast<size_t>(random.Below(7))]) + ", " +
            QByteArray::number(day).rightJustified(2, '0') + ' ' +
            kMonths[static_cast<size_t>(month)] + ' ' + QByteArray::number(year) + ' ' +
            QByteArray::number(random.Below(24)).rightJustified(2, '0') + ':' +
            QByteArray::number(random.Below(60)).rightJustified(2, '0') + ':' +
            QByteArray::number(random.Below(60)).rightJustified(2, '0') + " +0000";
        QByteArray description = "&lt;p&gt;" + Sentence(random, 20 + random.Below(30)) +
                                 ".&lt;/p&gt;\n    &lt;p&gt;" + Sentence(random, 10) +
                                 " &lt;a href=&quot;http://bench.example/p/" + slug + "&quot;&gt;" +
                                 Sentence(random, 3) + "&lt;/a&gt; " +
                                 Sentence(random, 15 + random.Below(20)) +
                                 ".&lt;/p&gt;\n    &lt;p&gt;&lt;img src=&quot;http://img.example/" +
                                 slug + ".jpg&quot; alt=&quot;&quot;&gt;&lt;/p&gt;";
        xml += "  <item>\n    <title>" + title + "</title>\n    <link>http://bench.example/p/" +
               slug + "</link>\n    <description>" + description + "</description>\n    <author>" +
               random.Word() + "@bench.example</author>\n" + "    <pubDate>" + date +
               "</pubDate>\n    <guid isPermaLink=\"false\">bench-" + slug + "</guid>\n  </item>\n";
    }
    xml += "</channel>\n</rss>\n";
    return xml;
}
