// orvanctl-publish: the publish command of orvanctl in a program of its own,
// which orvanctl runs for it, so that the network library and the secret
// store slow down only the command that uses them.
#include "clicommand.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv) {
    // The secret store answers through the event loop.
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    if (!args.isEmpty() && args.first() == QLatin1String("publish"))
        args.removeFirst();
    const CliCommand* command = FindCliCommand(QStringLiteral("publish"));
    int status = command->run(args);
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        status = status == ExitOk ? ExitFailed : status;
    return status;
}
