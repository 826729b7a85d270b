// The commands that reach the network live in a program of their own,
// orvanctl-web, so the network library and everything it loads slow down
// only the commands that use it. orvanctl hands such a command over whole.
#include "clicommand.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <unistd.h>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// Beside orvanctl in the build tree; under libexec once installed.
QString WebToolPath() {
    const QString self = QFileInfo(u"/proc/self/exe"_s).canonicalFilePath();
    const QString folder = QFileInfo(self).absolutePath();
    const QStringList candidates = {folder + u"/orvanctl-web"_s,
                                    folder + u"/../" ORVAN_LIBEXEC_SUBDIR "/orvanctl-web"_s};
    for (const QString& candidate : candidates) {
        if (QFileInfo(candidate).isExecutable())
            return candidate;
    }
    return QString();
}

int RunWebCommand(const QString& name, const QStringList& args) {
    const QString tool = WebToolPath();
    if (tool.isEmpty()) {
        PrintError(u"the network tool orvanctl-web is not installed beside orvanctl"_s);
        return ExitFailed;
    }
    std::vector<QByteArray> bytes;
    bytes.push_back(QFile::encodeName(tool));
    bytes.push_back(name.toUtf8());
    for (const QString& arg : args)
        bytes.push_back(arg.toUtf8());
    std::vector<char*> argv;
    for (QByteArray& b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    std::fflush(stdout);
    ::execv(argv[0], argv.data());
    PrintError(tool, QString::fromLocal8Bit(std::strerror(errno)));
    return ExitFailed;
}

int RunTitle(const QStringList& args) {
    return RunWebCommand(u"title"_s, args);
}

const CliCommand title(u"title", u"title URL", RunTitle);

} // namespace
