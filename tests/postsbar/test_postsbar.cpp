#include "postsbartestkit.h"

#include "postsbar/postsbarcommands.h"

#include <QApplication>
#include <QFile>
#include <QStandardPaths>
#include <QTest>

using namespace Qt::StringLiterals;

QString WriteSampleFeed(const QTemporaryDir& dir, const QList<SamplePost>& posts,
                        const QString& name) {
    QString xml = u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\">\n"
                  "<channel><title>Sample</title><link>https://example.org/</link>"
                  "<description>Sample feed</description>\n"_s;
    for (const SamplePost& post : posts) {
        xml += u"<item><title>%1</title><link>%2</link><description>%3</description>"
               "<pubDate>%4</pubDate></item>\n"_s.arg(post.title.toHtmlEscaped(),
                                                      post.link.toHtmlEscaped(),
                                                      post.description.toHtmlEscaped(), post.date);
    }
    xml += u"</channel>\n</rss>\n"_s;
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QString();
    file.write(xml.toUtf8());
    return path;
}

QList<SamplePost> SamplePosts() {
    return {
        {u"b"_s, u"https://example.org/b.html"_s, u"<P>Bee \"quoted\"</P>"_s,
         u"01 Dec 2026 10:00:00 GMT"_s},
        {u"B"_s, u"https://example.org/files/b.zip"_s, u"<P>Big B</P>"_s,
         u"03 Dec 2026 10:00:00 GMT"_s},
        {u"a"_s, u""_s, u""_s, u"02 Dec 2026 10:00:00 GMT"_s},
    };
}

int RunBarRssItemsTests(int argc, char** argv);
int RunHtmlPreviewBarTests(int argc, char** argv);

int main(int argc, char** argv) {
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath(u"config"_s).toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath(u"data"_s).toUtf8());
    QApplication app(argc, argv);
    InitPostsBarResources();
    int failures = RunBarRssItemsTests(argc, argv);
    failures += RunHtmlPreviewBarTests(argc, argv);
    return failures;
}
