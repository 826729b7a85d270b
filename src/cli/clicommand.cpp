#include "clicommand.h"

#include "feed/rssfeed.h"

#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

std::vector<const CliCommand*>& Registry() {
    // Function-local so registrars in other files never meet an unbuilt list.
    static std::vector<const CliCommand*> commands;
    return commands;
}

void WriteTo(std::FILE* stream, const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
}

void PrintUsage(std::FILE* stream) {
    QString text = QStringLiteral("usage: orvanctl COMMAND ARGUMENTS...\n\ncommands:\n");
    for (const CliCommand* command : CliCommands())
        text += QStringLiteral("  orvanctl ") + command->usage + QLatin1Char('\n');
    WriteTo(stream, text.toUtf8());
}

// The argument with each byte that is not part of a UTF-8 character shown
// as \xHH, so the message itself is UTF-8.
QString Printable(const QByteArray& arg) {
    QString text;
    for (qsizetype i = 0; i < arg.size();) {
        const auto c = static_cast<unsigned char>(arg[i]);
        const qsizetype length = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
        const QByteArray piece = arg.mid(i, length);
        if (piece.size() == length && QString::fromUtf8(piece).toUtf8() == piece) {
            text += QString::fromUtf8(piece);
            i += length;
        } else {
            text += QStringLiteral("\\x") +
                    QStringLiteral("%1").arg(c, 2, 16, QLatin1Char('0')).toUpper();
            ++i;
        }
    }
    return text;
}

} // namespace

int RunCli(int argc, char** argv, const char* programName) {
    (void)programName;
    QStringList args;
    args.reserve(argc);
    for (int i = 1; i < argc; ++i) {
        const QByteArray raw(argv[i]);
        const QString arg = QString::fromUtf8(raw);
        // A name that does not survive the trip to UTF-16 and back would
        // reach a different file, or collide with another one.
        if (arg.toUtf8() != raw) {
            PrintError(Printable(raw), QStringLiteral("not valid UTF-8"));
            return ExitFailed;
        }
        args.append(arg);
    }
    if (args.isEmpty()) {
        PrintUsage(stderr);
        return ExitUsage;
    }
    const QString name = args.takeFirst();
    if (name == QLatin1String("help") || name == QLatin1String("--help") ||
        name == QLatin1String("-h")) {
        PrintUsage(stdout);
        return ExitOk;
    }
    const CliCommand* command = FindCliCommand(name);
    if (!command) {
        PrintError(QStringLiteral("unknown command: ") + name);
        PrintUsage(stderr);
        return ExitUsage;
    }
    int status = command->run(args);
    // Output that never arrived (a full disk, a closed pipe) is a failure, not a success.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        PrintError(QStringLiteral("cannot write the output: ") +
                   QString::fromLocal8Bit(std::strerror(errno)));
        if (status == ExitOk)
            status = ExitFailed;
    }
    return status;
}

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
