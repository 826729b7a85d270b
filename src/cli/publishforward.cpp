// orvanctl publish runs orvanctl-publish, which alone links the network
// library and the secret store: the other commands start without them.
#include "clicommand.h"
#include "helpertool.h"

using namespace Qt::StringLiterals;

namespace {

int RunPublish(const QStringList& args) {
    return ExecHelperTool(u"orvanctl-publish"_s, u"publish"_s, args);
}

const CliCommand publish(u"publish",
                         u"publish FILE [URL] [--key FILE] [--known-hosts FILE] "
                         u"[--accept-new-host-key] [--cacert FILE] [--require-tls]",
                         RunPublish);

} // namespace
