#include "clicommand.h"

#include "feed/rssfeed.h"

#include <QFileInfo>
#include <algorithm>
#include <cstdio>

namespace {

std::vector<const CliCommand*>& Registry() {
    // Function-local so registrars in other files never meet an unbuilt list.
    static std::vector<const CliCommand*> commands;
    return commands;
}

void WriteTo(std::FILE* stream, const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
}

} // namespace

CliCommand::CliCommand(const char16_t* name_, const char16_t* usage_, CliFunction run_)
    : name(QString::fromUtf16(name_)), usage(QString::fromUtf16(usage_)), run(run_) {
    Registry().push_back(this);
}

std::vector<const CliCommand*> CliCommands() {
    std::vector<const CliCommand*> commands = Registry();
    std::sort(commands.begin(), commands.end(),
              [](const CliCommand* a, const CliCommand* b) { return a->name < b->name; });
    return commands;
}

const CliCommand* FindCliCommand(const QString& name) {
    for (const CliCommand* command : Registry()) {
        if (command->name == name)
            return command;
    }
    return nullptr;
}

void PrintError(const QString& file, const QString& reason) {
    PrintError(file + QStringLiteral(": ") + reason);
}

void PrintError(const QString& reason) {
    WriteTo(stderr, (QStringLiteral("orvanctl: ") + reason + QLatin1Char('\n')).toUtf8());
}

int UsageError(const QString& commandName) {
    const CliCommand* command = FindCliCommand(commandName);
    const QString usage = command ? command->usage : commandName;
    WriteTo(stderr, (QStringLiteral("usage: orvanctl ") + usage + QLatin1Char('\n')).toUtf8());
    return ExitUsage;
}

void PrintOut(const QString& text) {
    WriteTo(stdout, text.toUtf8());
}

void PrintOutBytes(const QByteArray& bytes) {
    WriteTo(stdout, bytes);
}

bool LoadFeedOrReport(CRssFeed& feed, const QString& path) {
    QString error;
    if (feed.LoadFile(path, &error))
        return true;
    PrintError(path, error.isEmpty() ? QStringLiteral("cannot be loaded") : error);
    return false;
}

bool SaveFeedOrReport(const CRssFeed& feed, const QString& path) {
    QString error;
    if (feed.SaveFile(path, &error))
        return true;
    PrintError(path, error.isEmpty() ? QStringLiteral("cannot be saved") : error);
    return false;
}

bool ParsePostIndex(const CRssFeed& feed, const QString& path, const QString& arg, int& index) {
    bool ok = false;
    const int value = arg.toInt(&ok);
    if (!ok) {
        PrintError(path, QStringLiteral("not a post index: ") + arg);
        return false;
    }
    if (value < 0 || value >= feed.GetPostCount()) {
        PrintError(path, QStringLiteral("post index %1 out of range (the feed has %2 posts)")
                             .arg(value)
                             .arg(feed.GetPostCount()));
        return false;
    }
    index = value;
    return true;
}
