// orvanctl: the feed model of Orvan on the command line.
#include "clicommand.h"

#include <QCoreApplication>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

void PrintUsage(std::FILE* stream) {
    QString text = QStringLiteral("usage: orvanctl COMMAND ARGUMENTS...\n\ncommands:\n");
    for (const CliCommand* command : CliCommands())
        text += QStringLiteral("  orvanctl ") + command->usage + QLatin1Char('\n');
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
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
