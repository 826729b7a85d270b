#include "clieditsupport.h"

#include "document/rsseditdoc.h"
#include "feed/postfooter.h"
#include "feed/rsspost.h"
#include "platform/feedlock.h"
#include "platform/uiservices.h"

using namespace Qt::StringLiterals;

// False on an unknown option or an option without its value.
bool ParseArgs(const QStringList& args, const QStringList& valueOptions,
               const QStringList& flagOptions, ParsedArgs& parsed) {
    bool optionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        // After "--" everything is a file name or an index, even "--title".
        if (optionsEnded) {
            parsed.positional.append(arg);
        } else if (arg == u"--") {
            optionsEnded = true;
        } else if (valueOptions.contains(arg)) {
            if (i + 1 >= args.size())
                return false;
            parsed.values.insert(arg, args[++i]);
        } else if (flagOptions.contains(arg)) {
            parsed.flags.append(arg);
        } else if (arg.startsWith(u"--"_s)) {
            PrintError(u"unknown option: "_s + arg);
            return false;
        } else {
            parsed.positional.append(arg);
        }
    }
    return true;
}

// Descriptions get the footer, as when the editor stores them.
void PrepareDescriptionFilter() {
    if (!GetDescriptionFilter())
        InstallPostFooterFilter();
}

bool OpenOrReport(CRSSEditDoc& doc, const QString& path) {
    if (doc.OpenDocumentFile(path))
        return true;
    PrintError(path, doc.GetLastReason());
    return false;
}

int SaveOrReport(CRSSEditDoc& doc, const QString& path) {
    if (doc.DoSave(path))
        return ExitOk;
    PrintError(path, doc.GetLastReason());
    return ExitFailed;
}

// Takes the feed's lock for the whole command.
bool LockOrReport(FeedLock& lock, const QString& path) {
    QString error;
    if (lock.Acquire(path, kFeedLockWaitMs, &error))
        return true;
    PrintError(path, error);
    return false;
}

// What XML cannot hold is refused before anything changes: the editor drops
// such characters, but a script should learn that its value was not taken.
bool CheckValuesOrReport(const QString& path, const QStringList& values) {
    for (const QString& value : values) {
        // Arguments are checked UTF-8, so no surrogate stands alone here.
        for (const QChar c : value) {
            if (!c.isSurrogate() && HasCharactersXmlForbids(QString(c))) {
                const QString code =
                    QString::number(c.unicode(), 16).toUpper().rightJustified(4, u'0');
                PrintError(
                    path,
                    u"the value holds the character U+%1, which XML does not allow"_s.arg(code));
                return false;
            }
        }
    }
    return true;
}

int OpenAtTarget(CRSSEditDoc& doc, const QString& path, const QString& target, int& index,
                 bool allowChannel) {
    if (!OpenOrReport(doc, path))
        return ExitLoad;
    const bool ok = allowChannel ? ParseFieldTarget(doc.GetFeed(), path, target, index)
                                 : ParsePostIndex(doc.GetFeed(), path, target, index);
    if (!ok)
        return ExitFailed;
    if (index >= 0)
        doc.NotifyViews(nullptr, HintSelectPost, index);
    return ExitOk;
}

int EditAtTarget(const QString& path, const QString& target, bool allowChannel,
                 const std::function<int(CRSSEditDoc& doc, int index)>& edit) {
    FeedLock lock;
    if (!LockOrReport(lock, path))
        return ExitFailed;
    // Nobody to ask on the command line: a question is answered OK.
    QuietUiServices ui;
    CRSSEditDoc doc(&ui);
    int index = -1;
    if (const int result = OpenAtTarget(doc, path, target, index, allowChannel); result != ExitOk)
        return result;
    return edit(doc, index);
}
