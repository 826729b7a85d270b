// orvanctl publish runs orvanctl-publish, which alone links the network
// library and the secret store: the other commands start without them.
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

// Beside orvanctl in the build tree; under libexec once installed.
QString PublishToolPath() {
    const QString self = QFileInfo(u"/proc/self/exe"_s).canonicalFilePath();
    const QString folder = QFileInfo(self).absolutePath();
    const QStringList candidates = {folder + u"/orvanctl-publish"_s,
                                    folder + u"/../"_s + QStringLiteral(ORVAN_LIBEXEC_SUBDIR) +
                                        u"/orvanctl-publish"_s};
    for (const QString& candidate : candidates) {
        if (QFileInfo(candidate).isExecutable())
            return candidate;
    }
    return QString();
}

int RunPublish(const QStringList& args) {
    const QString tool = PublishToolPath();
    if (tool.isEmpty()) {
        PrintError(u"orvanctl-publish is not installed beside orvanctl"_s);
        return ExitFailed;
    }
    std::vector<QByteArray> bytes;
    bytes.push_back(QFile::encodeName(tool));
    bytes.push_back("publish");
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

const CliCommand publish(u"publish",
                         u"publish FILE [URL] [--key FILE] [--known-hosts FILE] "
                         u"[--accept-new-host-key] [--cacert FILE] [--require-tls]",
                         RunPublish);

} // namespace
