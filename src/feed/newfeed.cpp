#include "newfeedinfo.h"
#include "rssdate.h"
#include "rssfeed.h"

#include "platform/identity.h"

QString GeneratorText() {
    return ProductNameWithVersion() + QStringLiteral(", ") + ProductHomeUrl();
}

bool CRssFeed::CreateNewFeed(const NewFeedInfo& info) {
    Clear();
    pugi::xml_node declaration = append_child(pugi::node_declaration);
    if (!declaration)
        return false;
    declaration.append_attribute("version").set_value("1.0");
    declaration.append_attribute("encoding").set_value("UTF-8");
    pugi::xml_node rss = append_child("rss");
    if (!rss)
        return false;
    rss.append_attribute("version").set_value("2.0");
    rss.append_attribute("xmlns:atom").set_value("http://www.w3.org/2005/Atom");
    pugi::xml_node channel = rss.append_child("channel");
    if (!channel)
        return false;
    const QString fields[][2] = {
        {QStringLiteral("title"), info.title},
        {QStringLiteral("link"), info.link},
        {QStringLiteral("description"), QString()},
        {QStringLiteral("language"), QString()},
        {QStringLiteral("managingEditor"), QString()},
        {QStringLiteral("webMaster"), QString()},
        {QStringLiteral("category"), info.category},
        {QStringLiteral("copyright"), QString()},
        {QStringLiteral("docs"), QString()},
        {QStringLiteral("pubDate"), FormatRssDate()},
        {QStringLiteral("generator"), GeneratorText()},
    };
    for (const auto& field : fields) {
        pugi::xml_node element = channel.append_child(field[0].toUtf8().constData());
        const QByteArray text = XmlAllowedText(field[1]).toUtf8();
        if (element && !text.isEmpty())
            element.append_child(pugi::node_pcdata).set_value(text.constData());
    }
    RebuildIndex();
    return AddPost();
}
