// orvanctl publish FILE [URL]: uploads the feed to its web server and reads
// it back. Runs in orvanctl-publish, so the network library and the secret
// store load only for this command.
#include "clicommand.h"

#include "feed/rssfeed.h"
#include "platform/settingsfile.h"
#include "publish/feedsettings.h"
#include "publish/mediafiles.h"
#include "publish/passwordstore.h"
#include "publish/publisher.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <termios.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const char16_t kUsage[] = u"publish FILE [URL] [--key FILE] [--known-hosts FILE] "
                          u"[--accept-new-host-key] [--cacert FILE] [--require-tls]";

void Err(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

QString Size(double bytes) {
    if (bytes < 1024)
        return QString::number(qint64(bytes)) + u" B"_s;
    if (bytes < 1024 * 1024)
        return QString::number(bytes / 1024, 'f', 1) + u" KB"_s;
    return QString::number(bytes / (1024 * 1024), 'f', 1) + u" MB"_s;
}

// Reads a line from the terminal without showing it.
std::optional<QString> AskHidden(const QString& prompt) {
    if (!isatty(STDIN_FILENO))
        return std::nullopt;
    Err(prompt);
    termios old{};
    const bool saved = tcgetattr(STDIN_FILENO, &old) == 0;
    if (saved) {
        termios quiet = old;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    QByteArray line;
    for (int c; (c = std::fgetc(stdin)) != EOF && c != '\n';)
        line += char(c);
    if (saved)
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &old);
    Err(u"\n"_s);
    return QString::fromUtf8(line);
}

class CliHooks final : public PublishHooks {
public:
    bool acceptNewHosts = false;
    bool terminal = isatty(STDERR_FILENO) != 0;
    PasswordStore store;

    bool progress(const PublishProgress& p) override {
        if (!terminal || (m_shown.isValid() && m_shown.elapsed() < 200 && p.sent < p.total))
            return true;
        m_shown.start();
        Err(u"\r\x1b[K"_s + p.fileName + u"  "_s + Size(double(p.sent)) + u" of "_s +
            Size(double(p.total)) + u"  "_s + Size(p.bytesPerSecond) + u"/s"_s);
        m_progressShown = true;
        return true;
    }

    void endProgress() {
        if (m_progressShown)
            Err(u"\n"_s);
        m_progressShown = false;
    }

    bool acceptNewHostKey(const HostKeyInfo& key) override {
        if (!acceptNewHosts)
            return false;
        endProgress();
        Err(u"orvanctl: adding "_s + key.hostName + u" ("_s + key.keyType + u' ' + key.fingerprint +
            u") to "_s + key.knownHostsFile + u'\n');
        return true;
    }

    std::optional<QString> password(const PublishDestination& destination, bool retry) override {
        const QString key = destination.credentialKey();
        if (!retry) {
            if (qEnvironmentVariableIsSet("ORVAN_PASSWORD"))
                return qEnvironmentVariable("ORVAN_PASSWORD");
            if (auto stored = store.find(key)) {
                m_fromStore = true;
                return stored;
            }
        } else if (m_fromStore) {
            // A stored password the server refuses is stale.
            store.forget(key);
            m_fromStore = false;
        }
        if (retry && qEnvironmentVariableIsSet("ORVAN_PASSWORD")) {
            // The variable is all a script gave: asking would hang it.
            return std::nullopt;
        }
        endProgress();
        QString who = destination.userName();
        who += (who.isEmpty() ? QString() : u"@"_s) + destination.url().host();
        return AskHidden((retry ? u"Refused. Password for "_s : u"Password for "_s) + who +
                         u": "_s);
    }

private:
    QElapsedTimer m_shown;
    bool m_progressShown = false;
    bool m_fromStore = false;
};

struct Options {
    QString file;
    QString url;
    QString keyFile;
    QString knownHosts;
    QString caFile;
    bool acceptNewHosts = false;
    bool requireTls = false;
};

bool ParseOptions(const QStringList& args, Options& options) {
    QStringList positional;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (optionsEnded || !arg.startsWith(u"--")) {
            positional.append(arg);
            continue;
        }
        if (arg == u"--") {
            optionsEnded = true;
        } else if (arg == u"--accept-new-host-key") {
            options.acceptNewHosts = true;
        } else if (arg == u"--require-tls") {
            options.requireTls = true;
        } else if (arg == u"--key" || arg == u"--known-hosts" || arg == u"--cacert") {
            if (++i >= args.size() || args[i].isEmpty())
                return false;
            QString& target = arg == u"--key"           ? options.keyFile
                              : arg == u"--known-hosts" ? options.knownHosts
                                                        : options.caFile;
            target = QFileInfo(args[i]).absoluteFilePath();
        } else {
            return false;
        }
    }
    if (positional.isEmpty() || positional.size() > 2 || positional.first().isEmpty())
        return false;
    options.file = positional.first();
    if (positional.size() == 2)
        options.url = positional.at(1);
    return true;
}

int RunPublish(const QStringList& args) {
    Options options;
    if (!ParseOptions(args, options))
        return UsageError(u"publish"_s);
    const QString& path = options.file;

    // The bytes that load are the bytes sent: read once, so a save in
    // between cannot slip an unchecked file onto the server.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        PrintError(path, file.errorString());
        return ExitLoad;
    }
    const QByteArray bytes = file.readAll();
    file.close();
    CRssFeed feed;
    QString error;
    if (!feed.LoadFromMemory(bytes, &error)) {
        PrintError(path, (error.isEmpty() ? u"cannot be loaded"_s : error) +
                             u"; a feed that does not load is not published"_s);
        return ExitLoad;
    }

    const FeedPublishSettings settings = FeedPublishSettings::Load(SettingsIniPath(), path);
    const QString text = options.url.isEmpty() ? settings.destination : options.url;
    if (text.trimmed().isEmpty()) {
        PrintError(path, u"no destination: give a URL, or set one in the editor's "
                         "Publish Settings"_s);
        return ExitFailed;
    }
    PublishDestination destination;
    if (!destination.Parse(text, QFileInfo(path).fileName(), &error)) {
        PrintError(path, error);
        return options.url.isEmpty() ? ExitFailed : ExitUsage;
    }
    // The stored choices go with the stored destination; options override them.
    const bool stored = options.url.isEmpty() || options.url.trimmed() == settings.destination;
    if (stored) {
        destination.requireTls = settings.requireTls;
        destination.caFile = settings.caFile;
        destination.keyFile = settings.keyFile;
    }
    destination.requireTls = destination.requireTls || options.requireTls;
    if (!options.caFile.isEmpty())
        destination.caFile = options.caFile;
    if (!options.keyFile.isEmpty())
        destination.keyFile = options.keyFile;

    QList<MediaFile> media;
    if (settings.uploadEnclosures &&
        !FindMediaFiles(EnclosureUrls(feed), settings, path, destination, media, &error)) {
        PrintError(path, error);
        return ExitFailed;
    }

    CliHooks hooks;
    hooks.acceptNewHosts = options.acceptNewHosts;
    Publisher publisher(hooks);
    publisher.knownHostsFile = options.knownHosts;
    const PublishResult result = publisher.publish(bytes, destination, media);
    hooks.endProgress();
    if (!result.ok) {
        QString reason = result.error;
        if (result.failure == RemoteServer::Failure::HostKey && !options.acceptNewHosts &&
            !reason.contains(u"WARNING"))
            reason += u"; check the key, then run again with --accept-new-host-key"_s;
        PrintError(path, reason);
        return ExitFailed;
    }
    if (hooks.terminal)
        Err(u"orvanctl: published to "_s + destination.displayText() + u" ("_s +
            QString::number(result.mediaSent) + u" media files sent, "_s +
            QString::number(result.mediaUnchanged) + u" unchanged)\n"_s);
    return ExitOk;
}

const CliCommand publish(u"publish", kUsage, RunPublish);

} // namespace
