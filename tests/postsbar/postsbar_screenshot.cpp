// Draws a document window's posts bar and preview over a sample feed into
// PNG files: postsbar_screenshot OUTPUT_FOLDER
#include "document/rsseditdoc.h"
#include "platform/uiservices.h"
#include "postsbar/barrssitems.h"
#include "postsbar/htmlpreviewbar.h"
#include "postsbar/postsbarcommands.h"
#include "postsbar/postslistview.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

class Hub final : public DocumentListener {
public:
    void onNotify(DocumentListener* sender, DocHint hint, const HintParam& param) override {
        for (DocumentListener* l : listeners)
            if (l != sender)
                l->onNotify(sender, hint, param);
    }
    QList<DocumentListener*> listeners;
};

const char* const Feed = R"(<?xml version="1.0" encoding="UTF-8"?>
<rss version="2.0"><channel><title>Orvan sample</title><link>https://www.orvan.example/</link>
<description>Sample posts</description>
<item><title>Release notes for the spring update</title><link>https://www.orvan.example/news/spring.html</link>
<description>&lt;P&gt;The spring update brings &lt;b&gt;faster loading&lt;/b&gt; and a new &lt;a href="https://www.orvan.example/filter.php"&gt;filter&lt;/a&gt;.&lt;/P&gt;&lt;P&gt;Read more at https://www.orvan.example/news&lt;BR&gt;Thanks to everyone who wrote in.&lt;/P&gt;</description>
<pubDate>05 Dec 2026 10:45:34 GMT</pubDate></item>
<item><title>Source archive</title><link>https://www.orvan.example/files/orvan-1.0.zip</link>
<description>&lt;P&gt;The complete source as a zip archive.&lt;/P&gt;</description><pubDate>04 Dec 2026 09:12:00 GMT</pubDate></item>
<item><title>User manual (PDF)</title><link>https://www.orvan.example/files/manual.pdf</link>
<description>&lt;P&gt;Forty pages on every command.&lt;/P&gt;</description><pubDate>03 Dec 2026 16:30:10 GMT</pubDate></item>
<item><title>Podcast episode 12: feeds that last</title><link>https://www.orvan.example/audio/ep12.mp3</link>
<description>&lt;P&gt;We talk about keeping feeds valid for years.&lt;/P&gt;</description><pubDate>02 Dec 2026 08:00:00 GMT</pubDate></item>
<item><title>A post without a link</title><link></link><description>&lt;P&gt;Just text.&lt;/P&gt;</description><pubDate>01 Dec 2026 12:00:00 GMT</pubDate></item>
<item><title>Our new home page</title><link>https://www.orvan.example/</link><description>&lt;P&gt;Have a look.&lt;/P&gt;</description><pubDate>30 Nov 2026 18:20:00 GMT</pubDate></item>
<item><title>Screenshot gallery</title><link>https://www.orvan.example/gallery/index.php#top</link><description>&lt;P&gt;Pictures.&lt;/P&gt;</description><pubDate>29 Nov 2026 11:11:11 GMT</pubDate></item>
<item><title>Changelog as text</title><link>https://www.orvan.example/files/CHANGES.txt</link><description>&lt;P&gt;Plain text.&lt;/P&gt;</description><pubDate>28 Nov 2026 07:07:07 GMT</pubDate></item>
</channel></rss>
)";

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    InitPostsBarResources();
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QTemporaryDir dir;
    const QString path = dir.filePath(u"sample.xml"_s);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    file.write(Feed);
    file.close();

    QuietUiServices ui;
    CRSSEditDoc doc(&ui);
    Hub hub;
    doc.SetFrameHub(&hub);
    QMainWindow window;
    auto* centre = new QLabel(u"(post editor)"_s);
    centre->setAlignment(Qt::AlignCenter);
    window.setCentralWidget(centre);
    auto* posts = new CBarRssItems(&doc, &ui, &window);
    auto* preview = new CHtmlPreviewBar(&doc, &ui, &window);
    window.addDockWidget(Qt::LeftDockWidgetArea, posts);
    window.addDockWidget(Qt::BottomDockWidgetArea, preview);
    hub.listeners = {posts, preview};
    window.resize(1100, 700);
    window.resizeDocks({posts}, {440}, Qt::Horizontal);
    window.resizeDocks({preview}, {220}, Qt::Vertical);
    window.show();
    QTest::qWait(100);
    doc.OpenDocumentFile(path);
    QTest::qWait(400);
    window.grab().save(out + u"/postsbar_feed.png"_s);

    doc.OnFiltering();
    posts->FilterBox()->setText(u"an"_s);
    QTest::qWait(1300);
    window.grab().save(out + u"/postsbar_filter.png"_s);
    posts->FilterBox()->setText(u"nothing like this"_s);
    QTest::qWait(1300);
    window.grab().save(out + u"/postsbar_nomatch.png"_s);
    doc.OnFiltering();
    QTest::qWait(100);
    doc.OnPostRename();
    QTest::qWait(300);
    window.grab().save(out + u"/postsbar_rename.png"_s);
    return 0;
}
