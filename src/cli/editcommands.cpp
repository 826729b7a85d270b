// Commands that change a feed: new, add, set, append, delete, duplicate, and the
// backup folder. Each runs the document's own operation and saves through the
// document, so a feed it replaces leaves its backup as in the editor. Each
// holds the feed's lock from load to save, so two commands at once both land.
#include "clicommand.h"
#include "clieditsupport.h"

#include "document/rsseditdoc.h"
#include "feed/backup.h"
#include "feed/feedfields.h"
#include "feed/postfooter.h"
#include "feed/rssdate.h"
#include "feed/rsspost.h"
#include "platform/feedlock.h"
#include "platform/uiservices.h"

#include <QFileInfo>
#include <QHash>

using namespace Qt::StringLiterals;

namespace {

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
        if (!SetFeedField(doc.GetFeed(), 0, *FieldPath::Parse(field),
                          parsed.values.value(option))) {
            PrintError(path, u"the %1 of the new post could not be set"_s.arg(field));
            return ExitFailed;
        }
    }
    return SaveOrReport(doc, path);
}

// set and append: one field of the channel or of a post. The classic post
// fields go through the post's own setters, which renew its date (as the
// feed's options say) and guid and give a description its footer.
int RunFieldCommand(const QString& name, const QStringList& args) {
    if (args.size() != 4)
        return UsageError(name);
    const QString& path = args[0];
    const QString& value = args[3];
    QString error;
    const std::optional<FieldPath> field = FieldPath::Parse(args[2], &error);
    if (!field) {
        PrintError(error);
        return UsageError(name);
    }
    const bool append = name == u"append";
    if (append && value.isEmpty()) {
        PrintError(path, u"an empty value adds nothing"_s);
        return ExitFailed;
    }
    if (!CheckValuesOrReport(path, {value}))
        return ExitFailed;
    // A date no reader understands would sort the post anywhere and make the
    // feed invalid; a script should hear of it rather than find it later.
    if (!value.isEmpty() &&
        (field->IsPlainName("pubDate") || field->IsPlainName("lastBuildDate")) &&
        !TryParseRssDate(value)) {
        PrintError(path,
                   u"not a date: %1 (write it like \"05 Dec 2026 10:45:34 GMT\")"_s.arg(value));
        return ExitFailed;
    }
    PrepareDescriptionFilter();
    return EditAtTarget(path, args[1], true, [&](CRSSEditDoc& doc, int index) {
        bool changed = false;
        bool done = false;
        if (append) {
            done = AppendFieldValue(FieldContext(doc.GetFeed(), index), *field, value, &changed,
                                    &error);
            if (changed)
                doc.SetModifiedFlag(true);
        } else {
            done = doc.ApplyFieldEdits(index, {FieldEdit{args[2], value, {}, {}}}, nullptr, &error);
            changed = doc.IsModified();
        }
        if (!done) {
            PrintError(path, error);
            return int(ExitFailed);
        }
        // Nothing to write when the field already held the value.
        return changed ? SaveOrReport(doc, path) : int(ExitOk);
    });
}

int RunSet(const QStringList& args) {
    return RunFieldCommand(u"set"_s, args);
}

int RunAppend(const QStringList& args) {
    return RunFieldCommand(u"append"_s, args);
}

int RunDelete(const QStringList& args) {
    const QString name = u"delete"_s;
    if (args.size() != 2)
        return UsageError(name);
    const QString& path = args[0];
    return EditAtTarget(path, args[1], false, [&](CRSSEditDoc& doc, int index) {
        if (!doc.CanDeletePost()) {
            PrintError(path, u"the only post of a feed cannot be deleted"_s);
            return int(ExitFailed);
        }
        if (!doc.OnPostDelete()) {
            PrintError(path, u"post %1 could not be deleted"_s.arg(index));
            return int(ExitFailed);
        }
        return SaveOrReport(doc, path);
    });
}

int RunDuplicate(const QStringList& args) {
    const QString name = u"duplicate"_s;
    ParsedArgs parsed;
    if (!ParseArgs(args, {}, {u"--delete-original"_s}, parsed) || parsed.positional.size() != 2)
        return UsageError(name);
    const QString path = parsed.positional[0];
    const bool deleteOriginal = parsed.flags.contains(u"--delete-original"_s);
    return EditAtTarget(path, parsed.positional[1], false, [&](CRSSEditDoc& doc, int index) {
        const bool done = deleteOriginal ? doc.OnPostDuplicateDelete() : doc.OnPostDuplicate();
        if (!done) {
            PrintError(path, u"post %1 could not be duplicated"_s.arg(index));
            return int(ExitFailed);
        }
        return SaveOrReport(doc, path);
    });
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
const CliCommand setCommand(u"set", u"set FILE channel|INDEX FIELD VALUE", RunSet);
const CliCommand appendCommand(u"append", u"append FILE channel|INDEX FIELD VALUE", RunAppend);
const CliCommand deleteCommand(u"delete", u"delete FILE INDEX", RunDelete);
const CliCommand duplicateCommand(u"duplicate", u"duplicate FILE INDEX [--delete-original]",
                                  RunDuplicate);
const CliCommand backupFolderCommand(u"backup-folder", u"backup-folder FILE", RunBackupFolder);

} // namespace
