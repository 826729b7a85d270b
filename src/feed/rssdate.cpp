#include "rssdate.h"

#include "rssdatekey.h"

#include <QLocale>
#include <array>
#include <cstring>

namespace {

constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr std::array<const char*, 12> kFullMonths = {
    "january", "february", "march",     "april",   "may",      "june",
    "july",    "august",   "september", "october", "november", "december"};

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualNoCase(const char* a, size_t n, const char* b) {
    if (std::strlen(b) != n)
        return false;
    for (size_t i = 0; i < n; ++i) {
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    }
    return true;
}

// Month number of a three-letter English abbreviation, 0 for any other word.
int MonthOfWord(const char* word, size_t n) {
    for (int m = 0; m < 12; ++m) {
        if (EqualNoCase(word, n, kMonths[static_cast<size_t>(m)]))
            return m + 1;
    }
    return 0;
}

int MonthOfWordOrName(const char* word, size_t n) {
    if (int m = MonthOfWord(word, n))
        return m;
    for (int m = 0; m < 12; ++m) {
        if (EqualNoCase(word, n, kFullMonths[static_cast<size_t>(m)]))
            return m + 1;
    }
    return 0;
}

// A cursor over a zero-terminated UTF-8 text.
struct Reader {
    const char* p;

    void SkipBlanks() {
        while (IsBlank(*p))
            ++p;
    }
    // Reads an unsigned number of at most maxDigits digits at the cursor.
    bool Number(int& value, int minDigits, int maxDigits) {
        int n = 0;
        int v = 0;
        while (IsDigit(*p) && n < maxDigits) {
            v = v * 10 + (*p - '0');
            ++p;
            ++n;
        }
        if (n < minDigits || IsDigit(*p))
            return false;
        value = v;
        return true;
    }
    bool Char(char c) {
        if (*p != c)
            return false;
        ++p;
        return true;
    }
};

bool MakeKey(int year, int month, int day, int hour, int minute, int second, qint64& key) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59)
        return false;
    const QDate date(year, month, day);
    if (!date.isValid())
        return false;
    key = date.toJulianDay() * 86400 + hour * 3600 + minute * 60 + second;
    return true;
}

// RFC 822/1123: [Www[,]] d Mon yyyy hh:mm[:ss] [zone]; the zone is ignored.
bool ReadRfc822(const char* text, qint64& key) {
    Reader r{text};
    r.SkipBlanks();
    if (!IsDigit(*r.p)) {
        const char* start = r.p;
        while ((*r.p >= 'A' && *r.p <= 'Z') || (*r.p >= 'a' && *r.p <= 'z'))
            ++r.p;
        if (r.p - start < 3)
            return false;
        r.Char(',');
        r.SkipBlanks();
    }
    int day = 0, year = 0, hour = 0, minute = 0, second = 0;
    if (!r.Number(day, 1, 2))
        return false;
    r.SkipBlanks();
    const char* word = r.p;
    while ((*r.p >= 'A' && *r.p <= 'Z') || (*r.p >= 'a' && *r.p <= 'z'))
        ++r.p;
    const int month = MonthOfWordOrName(word, static_cast<size_t>(r.p - word));
    if (month == 0 || !IsBlank(*r.p))
        return false;
    r.SkipBlanks();
    const char* yearStart = r.p;
    if (!r.Number(year, 2, 4))
        return false;
    if (r.p - yearStart == 2)
        year += year < 50 ? 2000 : 1900;
    else if (r.p - yearStart == 3)
        return false;
    if (!IsBlank(*r.p))
        return false;
    r.SkipBlanks();
    if (!r.Number(hour, 1, 2) || !r.Char(':') || !r.Number(minute, 2, 2))
        return false;
    if (r.Char(':') && !r.Number(second, 2, 2))
        return false;
    if (*r.p != '\0' && !IsBlank(*r.p))
        return false;
    return MakeKey(year, month, day, hour, minute, second, key);
}

// ISO 8601: yyyy-mm-dd[Thh:mm[:ss[.fff]]][zone]; the zone is ignored.
bool ReadIso8601(const char* text, qint64& key) {
    Reader r{text};
    r.SkipBlanks();
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!r.Number(year, 4, 4) || !r.Char('-') || !r.Number(month, 2, 2) || !r.Char('-') ||
        !r.Number(day, 2, 2))
        return false;
    if (r.Char('T') || r.Char('t') || (r.Char(' ') && IsDigit(*r.p))) {
        if (!r.Number(hour, 2, 2) || !r.Char(':') || !r.Number(minute, 2, 2))
            return false;
        if (r.Char(':')) {
            if (!r.Number(second, 2, 2))
                return false;
            if (r.Char('.') || r.Char(',')) {
                while (IsDigit(*r.p))
                    ++r.p;
            }
        }
        // The zone: Z, +hh, +hh:mm or +hhmm.
        if (r.Char('Z') || r.Char('z')) {
        } else if (r.Char('+') || r.Char('-')) {
            int zone = 0;
            if (!r.Number(zone, 2, 4))
                return false;
            if (r.Char(':') && !r.Number(zone, 2, 2))
                return false;
        }
    }
    r.SkipBlanks();
    if (*r.p != '\0')
        return false;
    return MakeKey(year, month, day, hour, minute, second, key);
}

// Reads an optionally signed decimal number after blanks, as scanf's %d.
bool ScanInt(Reader& r, int& value) {
    r.SkipBlanks();
    bool negative = false;
    if (*r.p == '+' || *r.p == '-')
        negative = *r.p++ == '-';
    if (!IsDigit(*r.p))
        return false;
    qint64 v = 0;
    while (IsDigit(*r.p)) {
        if (v < 100000000)
            v = v * 10 + (*r.p - '0');
        ++r.p;
    }
    value = static_cast<int>(negative ? -v : v);
    return true;
}

// "day month-word year hour:minute:second", anything after the seconds ignored.
bool ReadDayMonthYear(const char* text, qint64& key) {
    Reader r{text};
    int day = -1, year = -1, hour = -1, minute = -1, second = -1;
    if (!ScanInt(r, day))
        return false;
    r.SkipBlanks();
    const char* word = r.p;
    while (*r.p != '\0' && !IsBlank(*r.p))
        ++r.p;
    size_t wordLength = static_cast<size_t>(r.p - word);
    if (wordLength == 0)
        return false;
    wordLength = std::min<size_t>(wordLength, 100);
    if (!ScanInt(r, year) || !ScanInt(r, hour) || !r.Char(':') || !ScanInt(r, minute) ||
        !r.Char(':') || !ScanInt(r, second))
        return false;
    if (day == -1 || year == -1 || hour == -1 || minute == -1 || second == -1)
        return false;
    const int month = MonthOfWord(word, wordLength);
    if (month == 0)
        return false;
    return MakeKey(year, month, day, hour, minute, second, key);
}

QDateTime FromKey(qint64 key) {
    const QDate date = QDate::fromJulianDay(key / 86400);
    const int secs = static_cast<int>(key % 86400);
    return QDateTime(date, QTime(secs / 3600, secs / 60 % 60, secs % 60), Qt::UTC);
}

} // namespace

bool RssDateKey(const char* utf8, qint64& key) {
    if (!utf8)
        return false;
    return ReadRfc822(utf8, key) || ReadIso8601(utf8, key) || ReadDayMonthYear(utf8, key);
}

qint64 CurrentDateKey() {
    const QDateTime now = QDateTime::currentDateTime();
    const QTime time = now.time();
    return now.date().toJulianDay() * 86400 + time.hour() * 3600 + time.minute() * 60 +
           time.second();
}

QString FormatRssDate(const QDateTime& utc) {
    const QDateTime t = utc.toUTC();
    const QDate d = t.date();
    const QTime h = t.time();
    return QString::asprintf("%02d %s %04d %02d:%02d:%02d GMT", d.day(),
                             kMonths[static_cast<size_t>(d.month() - 1)], d.year(), h.hour(),
                             h.minute(), h.second());
}

QString FormatRssDate() {
    return FormatRssDate(QDateTime::currentDateTimeUtc());
}

std::optional<QDateTime> TryParseRssDate(const QString& text) {
    qint64 key = 0;
    if (!RssDateKey(text.toUtf8().constData(), key))
        return std::nullopt;
    return FromKey(key);
}

QDateTime ParseRssDate(const QString& text) {
    if (std::optional<QDateTime> parsed = TryParseRssDate(text))
        return *parsed;
    return FromKey(CurrentDateKey());
}

QString LocaleStamp(const QDateTime& local) {
    const QString stamp = QLocale().toString(local.date(), QLocale::ShortFormat) +
                          QLatin1Char(' ') + local.time().toString(QStringLiteral("hh:mm:ss"));
    qsizetype begin = 0;
    qsizetype end = stamp.size();
    auto blank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
    while (begin < end && blank(stamp[begin]))
        ++begin;
    while (end > begin && blank(stamp[end - 1]))
        --end;
    return stamp.mid(begin, end - begin);
}

QString LocaleStamp() {
    return LocaleStamp(QDateTime::currentDateTime());
}
