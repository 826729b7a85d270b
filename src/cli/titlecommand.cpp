// orvanctl title URL: the page title as the editor's title worker finds it,
// without the cache.
#include "clicommand.h"
#include "web/fetchtitlefromurl.h"

using namespace Qt::StringLiterals;

namespace {

int RunTitle(const QStringList& args) {
    if (args.size() != 1 || args.first().isEmpty())
        return UsageError(u"title"_s);
    const QString& url = args.first();
    CFetchTitleFromURL fetcher(url, u"Orvan"_s);
    const QString title = fetcher.GetTitle();
    if (title.isEmpty()) {
        const QString reason = fetcher.failureReason();
        PrintError(url, u"no title: "_s + (reason.isEmpty() ? u"nothing found"_s : reason));
        return ExitFailed;
    }
    PrintOut(title + u'\n');
    return ExitOk;
}

const CliCommand title(u"title", u"title URL", RunTitle);

} // namespace
