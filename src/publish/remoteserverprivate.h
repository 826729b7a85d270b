// The state one RemoteServer keeps between and during its requests, shared by
// the files that implement it.
#pragma once

#include "publish/remoteserver.h"

#include <QByteArray>

#include <curl/curl.h>

struct RemoteServer::Private {
    Private(const PublishDestination& destination_, PublishHooks& hooks_);

    PublishDestination destination;
    PublishHooks& hooks;
    CURL* curl = nullptr;
    std::optional<QString> password;
    QString knownHosts;
    qint64 maxSpeed = 0;
    char errorBuffer[CURL_ERROR_SIZE] = {};

    // The certificates of the destination's CA file, read once.
    QByteArray caBytes;
    bool caRead = false;

    // Filled while a request runs.
    QString lastReply;
    CURLcode lastCode = CURLE_OK;
    QString hostKeyProblem;
    bool cancelled = false;
    // Progress goes to the hooks only while the file itself is sent, so the
    // clean-up after a cancel cannot be cancelled in turn.
    bool reporting = false;
    PublishProgress progress;
    QIODevice* source = nullptr;
    QByteArray* sink = nullptr;
    qint64 sinkCap = 0;
    bool sinkOverflow = false;

    bool isSftp() const { return destination.protocol() == PublishProtocol::Sftp; }
    bool isFtp() const {
        return destination.protocol() == PublishProtocol::Ftp ||
               destination.protocol() == PublishProtocol::Ftps;
    }
    bool isHttp() const { return destination.protocol() == PublishProtocol::Https; }

    // Resets the handle (its connection stays open) and sets what every
    // request shares. False, with the reason, when the CA file cannot be read.
    bool begin(const QUrl& url, QString& error);
    QString keyFile() const;
    long responseCode() const;

    static int OnDebug(CURL*, curl_infotype type, char* data, size_t size, void* self);
    static int OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t ulnow);
    static size_t OnRead(char* buffer, size_t size, size_t count, void* self);
    static int OnSeek(void* self, curl_off_t offset, int origin);
    static size_t OnWrite(char* data, size_t size, size_t count, void* self);
    static int OnHostKey(CURL*, const curl_khkey* known, const curl_khkey* found,
                         curl_khmatch match, void* self);
};
