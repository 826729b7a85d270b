// Date texts of posts: the RSS form written into pubDate, its reader, and the
// locale stamp used in guid texts and backup names.
#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

// The given UTC time as "05 Dec 2026 10:45:34 GMT" (English month names).
QString FormatRssDate(const QDateTime& utc);
// The current UTC time in the RSS form.
QString FormatRssDate();

// Never fails: RFC 822/1123 (weekday optional, zone ignored), ISO 8601, or
// "day month year h:m:s ..." read; anything else gives the current local
// time. The result carries no zone: it is compared with other results only.
QDateTime ParseRssDate(const QString& text);
// The reader's result, or nothing when the text is unreadable.
std::optional<QDateTime> TryParseRssDate(const QString& text);

// The current local date and time in the locale's short date form (the system
// locale unless the program sets another) and
// "hh:mm:ss", trimmed of blanks and tabs.
QString LocaleStamp();
// The same for a given local time (testable).
QString LocaleStamp(const QDateTime& local);
