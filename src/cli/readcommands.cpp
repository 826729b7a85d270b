// Commands that read a feed: count, list, get, print, save-as.
#include "clicommand.h"

#include "document/rsseditdoc.h"
#include "feed/postlisting.h"
#include "feed/rssfeed.h"
#include "platform/uiservices.h"

#include <QHash>

namespace {

int RunCount(const QStringList& args) {
    if (args.size() != 1)
        return UsageError(QStringLiteral("count"));
    CRssFeed feed;
    if (!LoadFeedOrReport(feed, args[0]))
        return ExitLoad;
    PrintOut(QString::number(feed.GetPostCount()) + QLatin1Char('\n'));
    return ExitOk;
}

int RunList(const QStringList& args) {
    const QString name = QStringLiteral("list");
    if (args.isEmpty())
        return UsageError(name);
    QString path;
    PostOrder order = PostOrder::ByPosition;
    QString filter;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (!optionsEnded && arg == QLatin1String("--")) {
            optionsEnded = true;
        } else if (!optionsEnded &&
                   (arg == QLatin1String("--sort") || arg == QLatin1String("--filter"))) {
            if (i + 1 >= args.size())
                return UsageError(name);
            const QString value = args[++i];
            if (arg == QLatin1String("--filter")) {
                filter = value;
            } else if (value == QLatin1String("position")) {
                order = PostOrder::ByPosition;
            } else if (value == QLatin1String("title")) {
                order = PostOrder::ByTitle;
            } else if (value == QLatin1String("date")) {
                order = PostOrder::ByDate;
            } else {
                PrintError(QStringLiteral("unknown sort order: ") + value);
                return UsageError(name);
            }
        } else if (path.isEmpty() && (optionsEnded || !arg.startsWith(QLatin1String("--")))) {
            path = arg;
        } else {
            return UsageError(name);
        }
    }
    if (path.isEmpty())
        return UsageError(name);
    CRssFeed feed;
    if (!LoadFeedOrReport(feed, path))
        return ExitLoad;
    PrintOutBytes(FormatPostList(feed, order, filter));
    return ExitOk;
}

int RunGet(const QStringList& args) {
    const QString name = QStringLiteral("get");
    if (args.size() != 3)
        return UsageError(name);
    using Getter = QString (CRssFeed::*)(int) const;
    static const QHash<QString, Getter> getters = {
        {QStringLiteral("title"), &CRssFeed::GetTitle},
        {QStringLiteral("link"), &CRssFeed::GetLink},
        {QStringLiteral("description"), &CRssFeed::GetDescription},
        {QStringLiteral("author"), &CRssFeed::GetAuthor},
        {QStringLiteral("pubDate"), &CRssFeed::GetPubDate},
        {QStringLiteral("guid"), &CRssFeed::GetGuid},
        {QStringLiteral("description-xml"), &CRssFeed::GetDescriptionXml},
        {QStringLiteral("description-text"), &CRssFeed::GetDescriptionText},
    };
    const auto getter = getters.constFind(args[2]);
    if (getter == getters.constEnd()) {
        PrintError(QStringLiteral("unknown field: ") + args[2]);
        return UsageError(name);
    }
    CRssFeed feed;
    if (!LoadFeedOrReport(feed, args[0]))
        return ExitLoad;
    int index = 0;
    if (!ParsePostIndex(feed, args[0], args[1], index))
        return ExitFailed;
    PrintOut((feed.*getter.value())(index) + QLatin1Char('\n'));
    return ExitOk;
}

int RunPrint(const QStringList& args) {
    if (args.size() != 1)
        return UsageError(QStringLiteral("print"));
    CRssFeed feed;
    if (!LoadFeedOrReport(feed, args[0]))
        return ExitLoad;
    PrintOutBytes(feed.PrintToText());
    return ExitOk;
}

// Saved through the document, so a file it replaces is backed up first and
// the target is locked while it is written.
int RunSaveAs(const QStringList& args) {
    if (args.size() != 2)
        return UsageError(QStringLiteral("save-as"));
    QuietUiServices ui;
    CRSSEditDoc doc(&ui);
    if (!doc.OpenDocumentFile(args[0])) {
        PrintError(args[0], doc.GetLastReason());
        return ExitLoad;
    }
    if (doc.DoSave(args[1]))
        return ExitOk;
    PrintError(args[1], doc.GetLastReason());
    return ExitFailed;
}

const CliCommand countCommand(u"count", u"count FILE", RunCount);
const CliCommand listCommand(u"list", u"list FILE [--sort position|title|date] [--filter TEXT]",
                             RunList);
const CliCommand getCommand(u"get",
                            u"get FILE INDEX title|link|description|author|pubDate|guid|"
                            u"description-xml|description-text",
                            RunGet);
const CliCommand printCommand(u"print", u"print FILE", RunPrint);
const CliCommand saveAsCommand(u"save-as", u"save-as FILE OUT", RunSaveAs);

} // namespace
