// orvanctl enclosure FILE INDEX URL [--file LOCAL]: the post's enclosure with
// its length and type from the local copy of the file or from the server,
// and its duration when TagLib can read one.
#include "clicommand.h"
#include "clieditsupport.h"

#include "document/rsseditdoc.h"
#include "media/mediaprobe.h"

using namespace Qt::StringLiterals;

namespace {

int RunEnclosure(const QStringList& args) {
    const QString name = u"enclosure"_s;
    ParsedArgs parsed;
    if (!ParseArgs(args, {u"--file"_s}, {}, parsed) || parsed.positional.size() != 3 ||
        parsed.positional[2].isEmpty())
        return UsageError(name);
    const QString& path = parsed.positional[0];
    const QString& url = parsed.positional[2];
    if (!CheckValuesOrReport(path, {url}))
        return ExitFailed;
    // Asked before the feed is locked: a slow server must not hold up the feed.
    MediaFacts facts;
    QString error;
    if (parsed.values.contains(u"--file"_s)) {
        const QString local = parsed.values.value(u"--file"_s);
        if (!ProbeLocalMedia(local, facts, &error)) {
            PrintError(local, error);
            return ExitFailed;
        }
    } else if (!ProbeRemoteMedia(url, facts, &error)) {
        PrintError(url, error);
        return ExitFailed;
    }
    if (facts.type.isEmpty())
        facts.type = u"application/octet-stream"_s;

    QList<FieldEdit> edits = {
        {u"enclosure@url"_s, url, {}, {}},
        {u"enclosure@length"_s, QString::number(facts.length), {}, {}},
        {u"enclosure@type"_s, facts.type, {}, {}},
    };
    if (facts.durationSeconds >= 0)
        edits.append({u"itunes:duration"_s, QString::number(facts.durationSeconds), {}, {}});
    return EditAtTarget(path, parsed.positional[1], false, [&](CRSSEditDoc& doc, int index) {
        if (!doc.ApplyFieldEdits(index, edits, nullptr, &error)) {
            PrintError(path, error);
            return int(ExitFailed);
        }
        return doc.IsModified() ? SaveOrReport(doc, path) : int(ExitOk);
    });
}

const CliCommand enclosure(u"enclosure", u"enclosure FILE INDEX URL [--file LOCAL]", RunEnclosure);

} // namespace
