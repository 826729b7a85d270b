// What the commands that change a feed share: their arguments, the lock, the
// document they open and save, and the check of values. Used by orvanctl
// and by the programs it hands commands to.
#pragma once

#include <functional>

#include "clicommand.h"

#include <QHash>
#include <QString>
#include <QStringList>

class CRSSEditDoc;
class FeedLock;

// Arguments split into positionals, options with a value, and flags.
struct ParsedArgs {
    QStringList positional;
    QHash<QString, QString> values;
    QStringList flags;
};

// False on an unknown option or an option without its value.
bool ParseArgs(const QStringList& args, const QStringList& valueOptions,
               const QStringList& flagOptions, ParsedArgs& parsed);
// Descriptions get the footer, as when the editor stores them.
void PrepareDescriptionFilter();
bool OpenOrReport(CRSSEditDoc& doc, const QString& path);
int SaveOrReport(CRSSEditDoc& doc, const QString& path);
// Takes the feed's lock for the whole command.
bool LockOrReport(FeedLock& lock, const QString& path);
// What XML cannot hold is refused before anything changes: the editor drops
// such characters, but a script should learn that its value was not taken.
bool CheckValuesOrReport(const QString& path, const QStringList& values);
// Opens the feed and makes the given post the document's current post; with
// allowChannel, "channel" is taken too (index -1). An exit status.
int OpenAtTarget(CRSSEditDoc& doc, const QString& path, const QString& target, int& index,
                 bool allowChannel = true);
// Locks the feed, opens it at the given post and lets edit change and save it
// while the lock is held. An exit status: edit's own once it runs.
int EditAtTarget(const QString& path, const QString& target, bool allowChannel,
                 const std::function<int(CRSSEditDoc& doc, int index)>& edit);
