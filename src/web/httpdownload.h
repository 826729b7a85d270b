// HTTP and HTTPS downloads over libcurl. Every call makes its own easy handle,
// so calls on different threads share nothing.
#pragma once

#include <QString>

#include <atomic>
#include <cstdint>

// Bounds every transfer obeys; the defaults are the product's.
struct NetworkLimits {
    int connectTimeoutMs = 10000;
    int transferTimeoutMs = 30000;
    // When set and true, a running transfer ends at the next chance (program exit).
    const std::atomic<bool>* stop = nullptr;
};

// Why a transfer gave nothing; filled by downloadToFile when asked.
struct DownloadFailure {
    enum Kind {
        None,
        NoAnswer,
        HttpStatus,
        TimedOut,
        TooManyRedirects,
        RefusedScheme,
        Stopped,
        LocalFile,
        Other
    };
    Kind kind = None;
    long httpStatus = 0;
    // curl's own words, for the command-line tool.
    QString detail;

    QString describe() const;
};

// Called per chunk with (bytes so far, total expected or -1, parameter); false stops.
using DownloadProgress = bool (*)(quint32 received, quint32 total, quintptr parameter);

struct DownloadOptions {
    QString agent;
    DownloadProgress progress = nullptr;
    quintptr progressParameter = 0;
    bool failOnAbort = false;
    // A body longer than this fails the download; 0 leaves it to the progress callback.
    qint64 maxBytes = 0;
    NetworkLimits limits;
};

// The destination is created or truncated; on failure it keeps what was written.
bool downloadToFile(const QString& url, const QString& destination, const DownloadOptions& options,
                    DownloadFailure* failure = nullptr);

// Split "scheme://host/path"; false (nothing set) without "://".
bool splitUrl(const QString& url, QString& host, QString& path, QString& scheme);

// The name after "charset=" (case as written), without quotes and spaces.
QString charsetFromContentType(const QString& contentType);

// Laid out as the system date-time record; all zero when unknown.
struct HeaderDateTime {
    quint16 year = 0;
    quint16 month = 0;
    // 0 is Sunday.
    quint16 dayOfWeek = 0;
    quint16 day = 0;
    quint16 hour = 0;
    quint16 minute = 0;
    quint16 second = 0;
    quint16 milliseconds = 0;

    bool isNull() const { return year == 0; }
};

// What one response's headers tell about a URL.
class UrlHeaderInfo final {
public:
    explicit UrlHeaderInfo(const QString& url) : m_url(url) {}

    // One request; true when the length, the last-modified time or a charset was learnt.
    bool query();

    QString url() const { return m_url; }
    HeaderDateTime lastModifiedTime() const { return m_lastModifiedTime; }
    qint32 contentLength() const { return m_contentLength; }
    QString lastModified() const { return m_lastModified; }
    QString charset() const { return m_charset; }

    NetworkLimits limits;

private:
    QString m_url;
    HeaderDateTime m_lastModifiedTime;
    qint32 m_contentLength = -1;
    QString m_lastModified;
    QString m_charset;
};
