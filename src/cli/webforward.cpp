// The commands that reach the network or read media files live in programs
// of their own, orvanctl-web and orvanctl-media, so the network library,
// TagLib and everything they load slow down only the commands that use them.
#include "clicommand.h"
#include "helpertool.h"

using namespace Qt::StringLiterals;

namespace {

int RunTitle(const QStringList& args) {
    return ExecHelperTool(u"orvanctl-web"_s, u"title"_s, args);
}

int RunEnclosure(const QStringList& args) {
    return ExecHelperTool(u"orvanctl-media"_s, u"enclosure"_s, args);
}

const CliCommand title(u"title", u"title URL", RunTitle);
const CliCommand enclosure(u"enclosure", u"enclosure FILE INDEX URL [--file LOCAL]", RunEnclosure);

} // namespace
