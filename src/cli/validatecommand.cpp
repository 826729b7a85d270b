// orvanctl validate: the feed checked offline, one finding per line in the
// form compilers use, or as JSON.
#include "clicommand.h"

#include "feed/rssfeed.h"
#include "validate/feedvalidator.h"

#include <QFile>
#include <QFileInfo>
#include <charconv>

namespace {

const char* SeverityName(Severity severity) {
    switch (severity) {
    case Severity::Error:
        return "error";
    case Severity::Warning:
        return "warning";
    case Severity::Info:
        return "info";
    }
    return "error";
}

void AppendNumber(QByteArray& out, int value) {
    char digits[16];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr - digits);
}

void AppendJsonString(QByteArray& out, const QString& text) {
    out += '"';
    const QByteArray utf8 = text.toUtf8();
    for (char c : utf8) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (u < 0x20) {
            out += "\\u00";
            out += "0123456789abcdef"[u >> 4];
            out += "0123456789abcdef"[u & 15];
        } else {
            out += c;
        }
    }
    out += '"';
}

// Feeds can give a finding in every post: the output is written into one
// buffer, piece by piece.
QByteArray FormatLines(const QString& file, const std::vector<Finding>& findings) {
    const QByteArray name = file.toUtf8();
    QByteArray out;
    out.reserve(static_cast<qsizetype>(findings.size()) * (name.size() + 160));
    for (const Finding& finding : findings) {
        out.append(name);
        out.append(':');
        AppendNumber(out, finding.line);
        out.append(':');
        AppendNumber(out, finding.column);
        out.append(": ");
        out.append(SeverityName(finding.severity()));
        out.append(": ");
        out.append(finding.id());
        out.append(": ");
        // One finding, one line, whatever a value quoted in the message holds.
        QByteArray message = finding.message.toUtf8();
        message.replace('\n', ' ').replace('\r', ' ');
        out.append(message);
        out.append('\n');
    }
    return out;
}

QByteArray FormatJson(const QString& file, const std::vector<Finding>& findings) {
    QByteArray name;
    AppendJsonString(name, file);
    QByteArray out = "[";
    out.reserve(static_cast<qsizetype>(findings.size()) * (name.size() + 240));
    for (size_t i = 0; i < findings.size(); ++i) {
        const Finding& finding = findings[i];
        out.append(i ? ",\n  {" : "\n  {");
        out.append("\"file\": ");
        out.append(name);
        out.append(", \"line\": ");
        AppendNumber(out, finding.line);
        out.append(", \"column\": ");
        AppendNumber(out, finding.column);
        out.append(", \"severity\": \"");
        out.append(SeverityName(finding.severity()));
        out.append("\", \"id\": \"");
        out.append(finding.id());
        out.append("\", \"message\": ");
        AppendJsonString(out, finding.message);
        out.append(", \"post\": ");
        if (finding.post < 0)
            out.append("null");
        else
            AppendNumber(out, finding.post);
        out.append(", \"fix\": ");
        out.append(finding.fix != FixKind::None ? "true" : "false");
        out.append('}');
    }
    out.append(findings.empty() ? "]\n" : "\n]\n");
    return out;
}

int RunValidate(const QStringList& args) {
    const QString name = QStringLiteral("validate");
    QString path;
    ValidationOptions options;
    bool json = false;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (!optionsEnded && arg == QLatin1String("--")) {
            optionsEnded = true;
        } else if (!optionsEnded && arg == QLatin1String("--json")) {
            json = true;
        } else if (!optionsEnded && arg == QLatin1String("--location")) {
            if (i + 1 >= args.size())
                return UsageError(name);
            options.location = args[++i];
        } else if (path.isEmpty() && (optionsEnded || !arg.startsWith(QLatin1String("--")))) {
            path = arg;
        } else {
            return UsageError(name);
        }
    }
    if (path.isEmpty())
        return UsageError(name);

    CRssFeed feed;
    QString error;
    std::vector<Finding> findings;
    int status = ExitOk;
    if (feed.LoadFile(path, &error)) {
        // The text the tree was parsed from turns the tree's offsets into
        // lines and columns.
        QFile file(path);
        const QByteArray text =
            file.open(QIODevice::ReadOnly) ? ParserTextOf(file.readAll()) : QByteArray();
        findings = ValidateLoadedFeed(feed, text, options);
        for (const Finding& finding : findings) {
            if (finding.severity() == Severity::Error)
                status = ExitFailed;
        }
    } else {
        // A file that cannot be read has no place to point at; one that was
        // read but does not parse is a finding in it.
        const QFileInfo info(path);
        QFile file(path);
        if (!info.isFile() || !file.open(QIODevice::ReadOnly)) {
            PrintError(path, error.isEmpty() ? QStringLiteral("cannot be loaded") : error);
            return ExitLoad;
        }
        findings.push_back(LoadFailureFinding(error));
        status = ExitLoad;
    }
    PrintOutBytes(json ? FormatJson(path, findings) : FormatLines(path, findings));
    return status;
}

const CliCommand validateCommand(u"validate", u"validate FILE [--location URL] [--json]",
                                 RunValidate);

} // namespace
