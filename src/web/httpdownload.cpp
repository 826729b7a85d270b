#include "web/httpdownload.h"

#include <QDateTime>
#include <QFile>

#include <curl/curl.h>

#include <limits>

using namespace Qt::StringLiterals;

namespace {

// curl's global state must exist before the first worker makes a handle.
void ensureCurlReady() {
    static const CURLcode initialised = curl_global_init(CURL_GLOBAL_DEFAULT);
    Q_UNUSED(initialised);
}

bool stopRequested(const NetworkLimits& limits) {
    return limits.stop && limits.stop->load(std::memory_order_relaxed);
}

int onTransferInfo(void* clientp, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    // Non-zero aborts the transfer with CURLE_ABORTED_BY_CALLBACK.
    return stopRequested(*static_cast<const NetworkLimits*>(clientp)) ? 1 : 0;
}

// Settings every request shares: bounded in time, http(s) only, TLS verified.
void applyCommonOptions(CURL* curl, const QByteArray& url, const QByteArray& agent,
                        const NetworkLimits& limits) {
    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_USERAGENT, agent.constData());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, long(limits.connectTimeoutMs));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, long(limits.transferTimeoutMs));
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, onTransferInfo);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &limits);
}

struct Sink {
    CURL* curl = nullptr;
    QFile* file = nullptr;
    const DownloadOptions* options = nullptr;
    qint64 received = 0;
    bool stoppedByCallback = false;
    bool overCap = false;
    bool writeFailed = false;
};

size_t onBody(char* data, size_t size, size_t count, void* userdata) {
    auto* sink = static_cast<Sink*>(userdata);
    const qint64 length = qint64(size * count);
    const DownloadOptions& options = *sink->options;
    if (stopRequested(options.limits))
        return 0;
    if (options.maxBytes > 0 && sink->received + length > options.maxBytes) {
        sink->overCap = true;
        return 0;
    }
    // Opened with the first bytes, so an address that gives nothing leaves the file alone.
    if (!sink->file->isOpen() && !sink->file->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        sink->writeFailed = true;
        return 0;
    }
    if (sink->file->write(data, length) != length) {
        sink->writeFailed = true;
        return 0;
    }
    sink->received += length;
    if (options.progress) {
        curl_off_t total = -1;
        curl_easy_getinfo(sink->curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &total);
        const quint32 expected = total < 0 ? quint32(-1) : quint32(total);
        if (!options.progress(quint32(sink->received), expected, options.progressParameter)) {
            sink->stoppedByCallback = true;
            return 0;
        }
    }
    return size_t(length);
}

DownloadFailure failureFor(CURL* curl, CURLcode code) {
    DownloadFailure failure;
    failure.detail = QString::fromUtf8(curl_easy_strerror(code));
    switch (code) {
    case CURLE_OPERATION_TIMEDOUT:
        failure.kind = DownloadFailure::TimedOut;
        break;
    case CURLE_HTTP_RETURNED_ERROR:
        failure.kind = DownloadFailure::HttpStatus;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &failure.httpStatus);
        break;
    case CURLE_TOO_MANY_REDIRECTS:
        failure.kind = DownloadFailure::TooManyRedirects;
        break;
    case CURLE_UNSUPPORTED_PROTOCOL:
        failure.kind = DownloadFailure::RefusedScheme;
        break;
    case CURLE_ABORTED_BY_CALLBACK:
        failure.kind = DownloadFailure::Stopped;
        break;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_CONNECT:
    case CURLE_GOT_NOTHING:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_WEIRD_SERVER_REPLY:
        failure.kind = DownloadFailure::NoAnswer;
        break;
    default:
        failure.kind = DownloadFailure::Other;
        break;
    }
    return failure;
}

} // namespace

QString DownloadFailure::describe() const {
    switch (kind) {
    case None:
        return QString();
    case NoAnswer:
        return u"no answer (%1)"_s.arg(detail);
    case HttpStatus:
        return u"HTTP status %1"_s.arg(httpStatus);
    case TimedOut:
        return u"timed out"_s;
    case TooManyRedirects:
        return u"too many redirects"_s;
    case RefusedScheme:
        return u"not an http or https address"_s;
    case Stopped:
        return u"stopped"_s;
    case LocalFile:
        return u"cannot write the local file"_s;
    case Other:
        break;
    }
    return detail;
}

bool downloadToFile(const QString& url, const QString& destination, const DownloadOptions& options,
                    DownloadFailure* failure) {
    DownloadFailure local;
    DownloadFailure& result = failure ? *failure : local;
    result = DownloadFailure();

    QFile file(destination);
    ensureCurlReady();
    CURL* curl = curl_easy_init();
    if (!curl) {
        result.kind = DownloadFailure::Other;
        return false;
    }
    const QByteArray agent =
        options.agent.isEmpty() ? QByteArrayLiteral("MyAgent") : options.agent.left(260).toUtf8();
    applyCommonOptions(curl, url.toUtf8(), agent, options.limits);
    curl_slist* headers = curl_slist_append(nullptr, "Accept: */*");
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    // Pages are fetched directly, never through a proxy.
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
    curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, 12288L);
    Sink sink;
    sink.curl = curl;
    sink.file = &file;
    sink.options = &options;
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);

    const CURLcode code = curl_easy_perform(curl);
    bool ok = code == CURLE_OK;
    if (sink.stoppedByCallback) {
        ok = !options.failOnAbort;
        if (!ok)
            result.kind = DownloadFailure::Stopped;
    } else if (sink.writeFailed) {
        result.kind = DownloadFailure::LocalFile;
    } else if (sink.overCap) {
        result.kind = DownloadFailure::Other;
        result.detail = u"more than %1 bytes"_s.arg(options.maxBytes);
    } else if (code == CURLE_WRITE_ERROR && stopRequested(options.limits)) {
        result.kind = DownloadFailure::Stopped;
    } else if (!ok) {
        result = failureFor(curl, code);
    }
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    // An empty body still leaves an empty file.
    if (ok && !file.isOpen() && !file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        ok = false;
    if (file.isOpen() && !file.flush())
        ok = false;
    if (!ok && result.kind == DownloadFailure::None)
        result.kind = DownloadFailure::LocalFile;
    file.close();
    return ok;
}

bool splitUrl(const QString& url, QString& host, QString& path, QString& scheme) {
    const qsizetype mark = url.indexOf(u"://");
    if (mark < 0)
        return false;
    scheme = url.left(mark + 3);
    const QString rest = url.mid(mark + 3);
    const qsizetype slash = rest.indexOf(u'/');
    if (slash < 0) {
        host.clear();
        path = rest;
    } else {
        host = rest.left(slash);
        path = rest.mid(slash);
    }
    return true;
}

QString charsetFromContentType(const QString& contentType) {
    static const QString key = u"charset="_s;
    const qsizetype at = contentType.indexOf(key);
    if (at < 0)
        return QString();
    QString name = contentType.mid(at + key.size());
    if (name.isEmpty())
        return QString();
    for (qsizetype i = 1; i < name.size(); ++i) {
        if (name.at(i) == u'"' || name.at(i) == u' ') {
            name.truncate(i);
            break;
        }
    }
    qsizetype begin = 0;
    qsizetype end = name.size();
    const auto isQuoteOrSpace = [](QChar c) { return c == u' ' || c == u'"' || c == u'\''; };
    while (begin < end && isQuoteOrSpace(name.at(begin)))
        ++begin;
    while (end > begin && isQuoteOrSpace(name.at(end - 1)))
        --end;
    return name.mid(begin, end - begin);
}

namespace {

struct ProbeHeaders {
    QByteArray lastModified;
};

size_t onProbeHeader(char* data, size_t size, size_t count, void* userdata) {
    auto* headers = static_cast<ProbeHeaders*>(userdata);
    const QByteArray line = QByteArray(data, qsizetype(size * count)).trimmed();
    // Each response of a redirect chain starts afresh; the last one counts.
    if (line.startsWith("HTTP/"))
        headers->lastModified.clear();
    else if (line.toLower().startsWith("last-modified:"))
        headers->lastModified = line.mid(14).trimmed();
    return size * count;
}

// The headers are all the probe wants: the body is refused at its first byte.
size_t onProbeBody(char*, size_t, size_t, void*) {
    return 0;
}

} // namespace

bool UrlHeaderInfo::query() {
    QString host, path, scheme;
    splitUrl(m_url, host, path, scheme);
    // Without a host behind the scheme there is nothing to connect to.
    if (host.isEmpty())
        return false;
    ensureCurlReady();
    CURL* curl = curl_easy_init();
    if (!curl)
        return false;
    applyCommonOptions(curl, m_url.toUtf8(), QByteArrayLiteral("Internet Explorer"), limits);
    curl_slist* headers = curl_slist_append(nullptr, "Pragma: no-cache");
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_FILETIME, 1L);
    ProbeHeaders seen;
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, onProbeHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &seen);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, onProbeBody);

    const CURLcode code = curl_easy_perform(curl);
    bool learnt = false;
    if (code == CURLE_OK || code == CURLE_WRITE_ERROR) {
        curl_off_t length = -1;
        if (curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK &&
            length >= 0) {
            m_contentLength = length > std::numeric_limits<qint32>::max() ? -1 : qint32(length);
            learnt = m_contentLength >= 0;
        }
        if (!seen.lastModified.isEmpty()) {
            m_lastModified = QString::fromLatin1(seen.lastModified);
            learnt = true;
        }
        curl_off_t stamp = -1;
        if (curl_easy_getinfo(curl, CURLINFO_FILETIME_T, &stamp) == CURLE_OK && stamp >= 0) {
            const QDateTime when = QDateTime::fromSecsSinceEpoch(stamp, Qt::UTC);
            const QDate date = when.date();
            const QTime time = when.time();
            m_lastModifiedTime = {quint16(date.year()),          quint16(date.month()),
                                  quint16(date.dayOfWeek() % 7), quint16(date.day()),
                                  quint16(time.hour()),          quint16(time.minute()),
                                  quint16(time.second()),        0};
            learnt = true;
        }
        const char* type = nullptr;
        if (curl_easy_getinfo(curl, CURLINFO_CONTENT_TYPE, &type) == CURLE_OK && type && *type) {
            m_charset = charsetFromContentType(QString::fromLatin1(type));
            learnt = learnt || !m_charset.isEmpty();
        }
    }
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    return learnt;
}
