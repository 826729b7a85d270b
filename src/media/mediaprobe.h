// What an enclosure says about a media file: its length in bytes, its MIME
// type and, for audio and video, its duration.
#pragma once

#include "web/httpdownload.h"

#include <QString>

struct MediaFacts {
    // -1 when unknown.
    qint64 length = -1;
    // Empty when unknown.
    QString type;
    // Whole seconds (rounded); -1 when unknown.
    int durationSeconds = -1;
};

// A file on this machine: its size, its type by name and content, and the
// duration TagLib reads from it. False, with the reason, when the file
// cannot be read.
bool ProbeLocalMedia(const QString& path, MediaFacts& facts, QString* error = nullptr);

// The duration TagLib reads from an audio or video file; -1 when it reads none.
int MediaDurationSeconds(const QString& path);

// A remote file, by an HTTP HEAD request (a GET whose body is refused when
// the server will not answer HEAD): Content-Length and Content-Type, the type
// from the file name when the server gives none. http and https only, at
// most 5 redirects, TLS verified, the limits' time-outs. False, with the
// reason, when the server gave no answer or no length.
bool ProbeRemoteMedia(const QString& url, MediaFacts& facts, QString* error = nullptr,
                      const NetworkLimits& limits = NetworkLimits());

// The body of a URL, at most maxBytes (more fails), within the limits.
bool FetchUrlBytes(const QString& url, qint64 maxBytes, QByteArray& bytes, QString* error = nullptr,
                   const NetworkLimits& limits = NetworkLimits());
