// The commands of orvanctl. Each command lives in a source file of its own
// and registers itself with a static CliCommand object:
//
//     static int RunCount(const QStringList& args);
//     static const CliCommand count(u"count", u"count FILE", RunCount);
//
// args holds the arguments after the command name.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

class CRssFeed;

enum CliExit : int {
    ExitOk = 0,
    // The operation failed (index out of range, a setter refused, ...).
    ExitFailed = 1,
    ExitUsage = 2,
    // The file could not be loaded.
    ExitLoad = 3,
};

using CliFunction = int (*)(const QStringList& args);

class CliCommand final {
public:
    CliCommand(const char16_t* name, const char16_t* usage, CliFunction run);

    QString name;
    // The usage line without the program name, e.g. "count FILE".
    QString usage;
    CliFunction run;
};

// The whole program: checks that every argument is UTF-8, runs the command
// named by argv[1] and fails when its output could not be written. No
// application object is made: a command needs none, and its start-up
// (locale files, plugins) would be most of a short command's time.
int RunCli(int argc, char** argv, const char* programName);

// Every registered command, in order of name.
std::vector<const CliCommand*> CliCommands();
const CliCommand* FindCliCommand(const QString& name);

// "orvanctl: FILE: reason" on standard error.
void PrintError(const QString& file, const QString& reason);
// "orvanctl: reason" on standard error.
void PrintError(const QString& reason);
// Prints "usage: orvanctl <usage line of the command>" and returns ExitUsage.
int UsageError(const QString& commandName);
// Writes UTF-8 text to standard output as it stands.
void PrintOut(const QString& text);
void PrintOutBytes(const QByteArray& bytes);

// Loads the file into the feed; on failure prints the reason and returns false
// (the caller then returns ExitLoad).
bool LoadFeedOrReport(CRssFeed& feed, const QString& path);
// Reads a post index argument; prints the reason and returns false when it is
// not a number or out of range for the feed.
bool ParsePostIndex(const CRssFeed& feed, const QString& path, const QString& arg, int& index);
