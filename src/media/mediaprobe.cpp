#include "media/mediaprobe.h"

#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QUrl>

#include <curl/curl.h>
#include <taglib/audioproperties.h>
#include <taglib/fileref.h>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

bool Fail(QString* error, const QString& reason) {
    if (error)
        *error = reason;
    return false;
}

void EnsureCurlReady() {
    static const CURLcode initialised = curl_global_init(CURL_GLOBAL_DEFAULT);
    Q_UNUSED(initialised);
}

int OnProgress(void* clientp, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const auto* limits = static_cast<const NetworkLimits*>(clientp);
    return limits->stop && limits->stop->load(std::memory_order_relaxed) ? 1 : 0;
}

// The bounds every request here keeps: http(s) only, at most 5 redirects,
// TLS verified, the time-outs of the limits, stoppable.
CURL* NewRequest(const QByteArray& url, const NetworkLimits& limits) {
    EnsureCurlReady();
    CURL* curl = curl_easy_init();
    if (!curl)
        return nullptr;
    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "Orvan");
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, long(limits.connectTimeoutMs));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, long(limits.transferTimeoutMs));
    curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &limits);
    return curl;
}

QString Reason(CURL* curl, CURLcode code) {
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    if (code == CURLE_HTTP_RETURNED_ERROR && status > 0)
        return u"the server answered HTTP status %1"_s.arg(status);
    if (code == CURLE_OPERATION_TIMEDOUT)
        return u"no answer in time"_s;
    if (code == CURLE_ABORTED_BY_CALLBACK)
        return u"stopped"_s;
    if (code == CURLE_UNSUPPORTED_PROTOCOL)
        return u"not an http or https address"_s;
    return QString::fromUtf8(curl_easy_strerror(code));
}

// The headers are all a probe wants: its body is refused at the first byte.
size_t RefuseBody(char*, size_t, size_t, void*) {
    return 0;
}

QString TypeByName(const QString& name) {
    const QMimeType type = QMimeDatabase().mimeTypeForFile(name, QMimeDatabase::MatchExtension);
    return type.isDefault() ? QString() : type.name();
}

struct Body {
    QByteArray* bytes = nullptr;
    qint64 max = 0;
    bool overCap = false;
};

size_t TakeBody(char* data, size_t size, size_t count, void* userdata) {
    auto* body = static_cast<Body*>(userdata);
    const qint64 length = qint64(size * count);
    if (body->bytes->size() + length > body->max) {
        body->overCap = true;
        return 0;
    }
    body->bytes->append(data, length);
    return size_t(length);
}

} // namespace

int MediaDurationSeconds(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    TagLib::FileRef file(name.constData(), true, TagLib::AudioProperties::Average);
    if (file.isNull() || !file.audioProperties())
        return -1;
    const int milliseconds = file.audioProperties()->lengthInMilliseconds();
    return milliseconds > 0 ? int(std::lround(milliseconds / 1000.0)) : -1;
}

bool ProbeLocalMedia(const QString& path, MediaFacts& facts, QString* error) {
    facts = MediaFacts();
    const QFileInfo info(path);
    if (!info.exists())
        return Fail(error, u"No such file or directory"_s);
    if (!info.isFile())
        return Fail(error, u"not a regular file"_s);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Fail(error, file.errorString());
    facts.length = file.size();
    const QMimeType type = QMimeDatabase().mimeTypeForFile(info);
    facts.type = type.isDefault() ? QString() : type.name();
    facts.durationSeconds = MediaDurationSeconds(path);
    return true;
}

bool ProbeRemoteMedia(const QString& url, MediaFacts& facts, QString* error,
                      const NetworkLimits& limits) {
    facts = MediaFacts();
    const QByteArray address = url.toUtf8();
    CURLcode code = CURLE_OK;
    QString reason;
    // A server that will not answer HEAD is asked again with a GET whose body is refused.
    for (const bool head : {true, false}) {
        CURL* curl = NewRequest(address, limits);
        if (!curl)
            return Fail(error, u"out of memory"_s);
        if (head) {
            curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
        } else {
            curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, RefuseBody);
        }
        code = curl_easy_perform(curl);
        long status = 0;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        const bool answered = code == CURLE_OK || (!head && code == CURLE_WRITE_ERROR);
        if (answered) {
            curl_off_t length = -1;
            if (curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK)
                facts.length = length;
            const char* type = nullptr;
            if (curl_easy_getinfo(curl, CURLINFO_CONTENT_TYPE, &type) == CURLE_OK && type)
                facts.type = QString::fromLatin1(type).section(u';', 0, 0).trimmed().toLower();
        } else {
            reason = Reason(curl, code);
        }
        curl_easy_cleanup(curl);
        if (answered)
            break;
        if (!head || (status != 405 && status != 501 && status != 403))
            return Fail(error, reason);
    }
    // A server that says nothing of the type is taken at the file's name.
    if (facts.type.isEmpty() || facts.type == u"application/octet-stream") {
        const QString byName = TypeByName(QUrl(url).fileName());
        if (!byName.isEmpty())
            facts.type = byName;
    }
    if (facts.length < 0)
        return Fail(error, u"the server did not give the length"_s);
    return true;
}

bool FetchUrlBytes(const QString& url, qint64 maxBytes, QByteArray& bytes, QString* error,
                   const NetworkLimits& limits) {
    bytes.clear();
    CURL* curl = NewRequest(url.toUtf8(), limits);
    if (!curl)
        return Fail(error, u"out of memory"_s);
    Body body{&bytes, maxBytes, false};
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, TakeBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    const CURLcode code = curl_easy_perform(curl);
    const QString reason =
        body.overCap ? u"larger than %1 bytes"_s.arg(maxBytes) : Reason(curl, code);
    curl_easy_cleanup(curl);
    if (code != CURLE_OK) {
        bytes.clear();
        return Fail(error, reason);
    }
    return true;
}
