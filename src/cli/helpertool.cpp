#include "helpertool.h"

#include "clicommand.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

QString HelperToolPath(const QString& program) {
    const QString self = QFileInfo(u"/proc/self/exe"_s).canonicalFilePath();
    const QString folder = QFileInfo(self).absolutePath();
    const QStringList candidates = {folder + u'/' + program,
                                    folder + u"/../" ORVAN_LIBEXEC_SUBDIR "/"_s + program};
    for (const QString& candidate : candidates) {
        if (QFileInfo(candidate).isExecutable())
            return candidate;
    }
    return QString();
}

} // namespace

int ExecHelperTool(const QString& program, const QString& command, const QStringList& args) {
    const QString tool = HelperToolPath(program);
    if (tool.isEmpty()) {
        PrintError(u"%1 is not installed beside orvanctl"_s.arg(program));
        return ExitFailed;
    }
    std::vector<QByteArray> bytes;
    bytes.push_back(QFile::encodeName(tool));
    bytes.push_back(command.toUtf8());
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
