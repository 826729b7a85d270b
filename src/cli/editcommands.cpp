// Commands that change a feed: new, add, set, delete, duplicate, and the
// backup folder. Each runs the document's own operation and saves through the
// document, so a feed it replaces leaves its backup as in the editor. Each
// holds the feed's lock from load to save, so two commands at once both land.
#include "clicommand.h"

#include "document/rsseditdoc.h"
#include "feed/backup.h"
#include "feed/postfooter.h"
#include "feed/rsspost.h"
#include "platform/feedlock.h"
#include "platform/uiservices.h"

#include <QFileInfo>
#include <QHash>

using namespace Qt::StringLiterals;

namespace {

// Arguments split into positionals, options with a value, and flags.
struct ParsedArgs {
    QStringList positional;
    QHash<QString, QString> values;
    QStringList flags;
};

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

// Sets one field through the post reference, which touches the date, rewrites
// the guid after a link and gives a description its footer.
bool SetPostField(CRssFeed& feed, int index, const QString& field, const QString& value) {
    std::optional<CRssPost> post = feed.MakePost(index);
    if (!post)
        return false;
    if (field == u"title")
        return post->SetTitle(value);
    if (field == u"link")
        return post->SetLink(value);
    if (field == u"author")
        return post->SetAuthor(value);
    if (field == u"description")
        return post->SetDescription(value);
    return false;
}

const QStringList& EditableFields() {
    static const QStringList fields = {u"title"_s, u"link"_s, u"author"_s, u"description"_s};
    return fields;
}

// Opens the feed and makes the given post the document's current post.
int OpenAtPost(CRSSEditDoc& doc, const QString& path, const QString& indexArg, int& index) {
    if (!OpenOrReport(doc, path))
        return ExitLoad;
    if (!ParsePostIndex(doc.GetFeed(), path, indexArg, index))
        return ExitFailed;
    doc.NotifyViews(nullptr, HintSelectPost, index);
    return ExitOk;
}

int RunNew(const QStringList& args) {
    const QString name = u"new"_s;
    ParsedArgs parsed;
    if (!ParseArgs(args, {u"--title"_s, u"--link"_s, u"--category"_s}, {u"--force"_s}, parsed) ||
        parsed.positional.size() != 1)
        return UsageError(name);
    const QString path = parsed.positional.first();
    if (!CheckValuesOrReport(path, parsed.values.values()))
        return ExitFailed;
    FeedLock lock;
    if (!LockOrReport(lock, path))
        return ExitFailed;
    if (QFileInfo::exists(path) && !parsed.flags.contains(u"--force"_s)) {
        PrintError(path, u"already exists (use --force to overwrite it)"_s);
        return ExitFailed;
    }
    SetPendingNewFeedInfo({parsed.values.value(u"--title"_s), parsed.values.value(u"--link"_s),
                           parsed.values.value(u"--category"_s)});
    QuietUiServices ui;
    CRSSEditDoc doc(&ui);
    if (!doc.OnNewDocument()) {
        PrintError(path, u"the new feed could not be built"_s);
        return ExitFailed;
    }
    return SaveOrReport(doc, path);
}

int RunAdd(const QStringList& args) {
    const QString name = u"add"_s;
    ParsedArgs parsed;
    const QStringList options = {u"--title"_s, u"--link"_s, u"--author"_s, u"--description"_s};
    if (!ParseArgs(args, options, {}, parsed) || parsed.positional.size() != 1)
        return UsageError(name);
    const QString path = parsed.positional.first();
    if (!CheckValuesOrReport(path, parsed.values.values()))
        return ExitFailed;
    PrepareDescriptionFilter();
    FeedLock lock;
    if (!LockOrReport(lock, path))
        return ExitFailed;
    QuietUiServices ui;
    CRSSEditDoc doc(&ui);
    if (!OpenOrReport(doc, path))
        return ExitLoad;
    if (!doc.OnPostAdd()) {
        PrintError(path, u"the feed has no channel to add a post to"_s);
        return ExitFailed;
    }
    for (const QString& option : options) {
        if (!parsed.values.contains(option))
            continue;
        const QString field = option.mid(2);
        if (!SetPostField(doc.GetFeed(), 0, field, parsed.values.value(option))) {
            PrintError(path, u"the %1 of the new post could not be set"_s.arg(field));
            return ExitFailed;
        }
    }
    return SaveOrReport(doc, path);
}

int RunSet(const QStringList& args) {
    const QString name = u"set"_s;
    if (args.size() != 4)
        return UsageError(name);
    const QString& path = args[0];
    const QString& field = args[2];
    if (!EditableFields().contains(field)) {
        PrintError(u"unknown field: %1 (one of %2)"_s.arg(field, EditableFields().join(u", ")));
        return UsageError(name);
    }
    if (!CheckValuesOrReport(path, {args[3]}))
        return ExitFailed;
    PrepareDescriptionFilter();
    FeedLock lock;
    if (!LockOrReport(lock, path))
        return ExitFailed;
    QuietUiServices ui;
    CRSSEditDoc doc(&ui);
    int index = -1;
    if (const int result = OpenAtPost(doc, path, args[1], index); result != ExitOk)
        return result;
    if (!SetPostField(doc.GetFeed(), index, field, args[3])) {
        PrintError(path, u"the %1 of post %2 could not be set"_s.arg(field).arg(index));
        return ExitFailed;
    }
    doc.SetModifiedFlag(true);
    return SaveOrReport(doc, path);
}

int RunDelete(const QStringList& args) {
    const QString name = u"delete"_s;
    if (args.size() != 2)
        return UsageError(name);
    const QString& path = args[0];
    FeedLock lock;
    if (!LockOrReport(lock, path))
        return ExitFailed;
    // Nobody to ask on the command line: the question is answered OK.
    QuietUiServices ui;
    CRSSEditDoc doc(&ui);
    int index = -1;
    if (const int result = OpenAtPost(doc, path, args[1], index); result != ExitOk)
        return result;
    if (!doc.CanDeletePost()) {
        PrintError(path, u"the only post of a feed cannot be deleted"_s);
        return ExitFailed;
    }
    if (!doc.OnPostDelete()) {
        PrintError(path, u"post %1 could not be deleted"_s.arg(index));
        return ExitFailed;
    }
    return SaveOrReport(doc, path);
}

int RunDuplicate(const QStringList& args) {
    const QString name = u"duplicate"_s;
    ParsedArgs parsed;
    if (!ParseArgs(args, {}, {u"--delete-original"_s}, parsed) || parsed.positional.size() != 2)
        return UsageError(name);
    const QString path = parsed.positional[0];
    FeedLock lock;
    if (!LockOrReport(lock, path))
        return ExitFailed;
    QuietUiServices ui;
    CRSSEditDoc doc(&ui);
    int index = -1;
    if (const int result = OpenAtPost(doc, path, parsed.positional[1], index); result != ExitOk)
        return result;
    const bool done = parsed.flags.contains(u"--delete-original"_s) ? doc.OnPostDuplicateDelete()
                                                                    : doc.OnPostDuplicate();
    if (!done) {
        PrintError(path, u"post %1 could not be duplicated"_s.arg(index));
        return ExitFailed;
    }
    return SaveOrReport(doc, path);
}

int RunBackupFolder(const QStringList& args) {
    if (args.size() != 1)
        return UsageError(u"backup-folder"_s);
    PrintOut(GetBackupFolder(QFileInfo(args[0]).absoluteFilePath()) + u'\n');
    return ExitOk;
}

const CliCommand newCommand(u"new", u"new FILE [--title T] [--link L] [--category C] [--force]",
                            RunNew);
const CliCommand
    addCommand(u"add", u"add FILE [--title T] [--link L] [--author A] [--description D]", RunAdd);
const CliCommand setCommand(u"set", u"set FILE INDEX title|link|author|description VALUE", RunSet);
const CliCommand deleteCommand(u"delete", u"delete FILE INDEX", RunDelete);
const CliCommand duplicateCommand(u"duplicate", u"duplicate FILE INDEX [--delete-original]",
                                  RunDuplicate);
const CliCommand backupFolderCommand(u"backup-folder", u"backup-folder FILE", RunBackupFolder);

} // namespace
