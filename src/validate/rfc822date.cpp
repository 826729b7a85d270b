#include "rfc822date.h"

#include "valuechecks.h"

#include <string>

namespace {

constexpr const char* kDayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

struct NamedZone {
    const char* name;
    int offsetMinutes;
};
constexpr NamedZone kNamedZones[] = {{"UT", 0},        {"GMT", 0},       {"Z", 0},
                                     {"EST", -5 * 60}, {"EDT", -4 * 60}, {"CST", -6 * 60},
                                     {"CDT", -5 * 60}, {"MST", -7 * 60}, {"MDT", -6 * 60},
                                     {"PST", -8 * 60}, {"PDT", -7 * 60}};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string TwoDigits(int value) {
    return {static_cast<char>('0' + value / 10 % 10), static_cast<char>('0' + value % 10)};
}
bool IsAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Drops comments "( ... )" (nested, with backslash escapes) as RFC 2822
// allows them between the parts of a date, leaving a blank in their place.
bool StripComments(std::string_view text, std::string& out) {
    int depth = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (depth > 0 && c == '\\') {
            ++i;
        } else if (c == '(') {
            if (depth++ == 0)
                out += ' ';
        } else if (c == ')') {
            if (--depth < 0)
                return false;
        } else if (depth == 0) {
            out += c;
        }
    }
    return depth == 0;
}

// A cursor over the date text.
struct Reader {
    std::string_view text;
    size_t pos = 0;

    bool AtEnd() const { return pos >= text.size(); }
    // Skips white space; the number of characters skipped.
    size_t Space() {
        const size_t start = pos;
        while (pos < text.size() && IsXmlSpace(text[pos]))
            ++pos;
        return pos - start;
    }
    // Up to max digits; the count read.
    int Digits(int max, int& value) {
        int count = 0;
        value = 0;
        while (count < max && pos < text.size() && IsDigit(text[pos])) {
            value = value * 10 + (text[pos++] - '0');
            ++count;
        }
        return count;
    }
    std::string_view Word() {
        const size_t start = pos;
        while (pos < text.size() && IsAlpha(text[pos]))
            ++pos;
        return text.substr(start, pos - start);
    }
    bool Take(char c) {
        if (pos < text.size() && text[pos] == c) {
            ++pos;
            return true;
        }
        return false;
    }
};

// Day and month names are three letters; compared as one number, lower case.
constexpr unsigned Key3(const char* name) {
    return (static_cast<unsigned>(name[0] | 0x20) << 16) |
           (static_cast<unsigned>(name[1] | 0x20) << 8) | static_cast<unsigned>(name[2] | 0x20);
}

int IndexOfName(const char* const* names, int count, std::string_view word) {
    if (word.size() != 3)
        return -1;
    const unsigned key = Key3(word.data());
    for (int i = 0; i < count; ++i) {
        if (Key3(names[i]) == key)
            return i;
    }
    return -1;
}

bool FieldsExist(const DateFields& f) {
    return f.month >= 1 && f.month <= 12 && f.day >= 1 && f.day <= DaysInMonth(f.year, f.month) &&
           f.hour <= 23 && f.minute <= 59 && f.second <= 60;
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

bool ReadIsoDate(std::string_view text, DateFields& f) {
    Reader r{TrimXmlSpace(text)};
    int value = 0;
    if (r.Digits(4, f.year) != 4 || !r.Take('-') || r.Digits(2, f.month) != 2 || !r.Take('-') ||
        r.Digits(2, f.day) != 2)
        return false;
    if (!r.Take('T') && !r.Take('t') && r.Space() == 0)
        return false;
    if (r.Digits(2, f.hour) != 2 || !r.Take(':') || r.Digits(2, f.minute) != 2)
        return false;
    f.second = 0;
    if (r.Take(':') && r.Digits(2, f.second) != 2)
        return false;
    if (r.Take('.') && r.Digits(9, value) == 0)
        return false;
    r.Space();
    f.zoneName = "";
    if (r.Take('Z') || r.Take('z')) {
        f.offsetMinutes = 0;
        f.zoneName = "GMT";
    } else {
        const bool plus = r.Take('+');
        if (!plus && !r.Take('-'))
            return false;
        int hours = 0;
        int minutes = 0;
        if (r.Digits(2, hours) != 2)
            return false;
        r.Take(':');
        if (r.Digits(2, minutes) != 2 || minutes > 59)
            return false;
        f.offsetMinutes = (plus ? 1 : -1) * (hours * 60 + minutes);
    }
    r.Space();
    return r.AtEnd() && FieldsExist(f);
}

} // namespace

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 0;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

int Weekday(int year, int month, int day) {
    const int64_t days = DaysFromCivil(year, month, day);
    // 1970-01-01 was a Thursday.
    return static_cast<int>(((days % 7) + 7 + 4) % 7);
}

int64_t DateFields::ToEpochSeconds() const {
    return DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second -
           static_cast<int64_t>(offsetMinutes) * 60;
}

DateCheck CheckRfc822Date(std::string_view text) {
    DateCheck result;
    text = TrimXmlSpace(text);
    bool strict = true;
    std::string stripped;
    if (text.find('(') != std::string_view::npos || text.find(')') != std::string_view::npos) {
        if (!StripComments(text, stripped))
            return result;
        text = TrimXmlSpace(stripped);
        strict = false;
    }
    Reader r{text};
    DateFields& f = result.fields;
    int weekday = -1;
    const size_t wordStart = r.pos;
    const std::string_view first = r.Word();
    if (!first.empty()) {
        weekday = IndexOfName(kDayNames, 7, first);
        if (weekday < 0)
            return result;
        if (r.Space() > 0)
            strict = false;
        if (!r.Take(','))
            strict = false;
        if (r.Space() == 0)
            strict = false;
    } else {
        r.pos = wordStart;
    }
    const int dayDigits = r.Digits(2, f.day);
    if (dayDigits == 0 || r.Space() == 0)
        return result;
    f.month = IndexOfName(kMonthNames, 12, r.Word()) + 1;
    if (f.month == 0 || r.Space() == 0)
        return result;
    const int yearDigits = r.Digits(4, f.year);
    if (yearDigits < 2 || r.Space() == 0)
        return result;
    if (yearDigits < 4) {
        // Years of two or three digits, read as RFC 2822 says.
        strict = false;
        f.year += yearDigits == 3 ? 1900 : (f.year < 50 ? 2000 : 1900);
    }
    const int hourDigits = r.Digits(2, f.hour);
    if (hourDigits == 0 || !r.Take(':') || r.Digits(2, f.minute) != 2)
        return result;
    if (hourDigits == 1)
        strict = false;
    f.second = 0;
    if (r.Take(':') && r.Digits(2, f.second) != 2)
        return result;
    if (r.Space() == 0)
        return result;
    bool zoneCertain = true;
    if (r.pos < text.size() && (text[r.pos] == '+' || text[r.pos] == '-')) {
        const bool plus = text[r.pos++] == '+';
        int hhmm = 0;
        if (r.Digits(4, hhmm) != 4 || hhmm % 100 > 59)
            return result;
        const int minutes = hhmm % 100;
        if (minutes % 15 != 0 || hhmm / 100 > 14)
            strict = false;
        f.offsetMinutes = (plus ? 1 : -1) * ((hhmm / 100) * 60 + minutes);
    } else {
        const std::string_view zone = r.Word();
        bool known = false;
        for (const NamedZone& named : kNamedZones) {
            if (EqualsNoCase(zone, named.name)) {
                f.offsetMinutes = named.offsetMinutes;
                f.zoneName = named.name;
                known = true;
            }
        }
        if (!known) {
            // Military zones other than Z: RFC 2822 notes their signs were
            // defined backwards, so nobody can tell what they mean.
            if (zone.size() != 1 || zone[0] == 'j' || zone[0] == 'J')
                return result;
            strict = false;
            zoneCertain = false;
        }
    }
    r.Space();
    if (!r.AtEnd() || !FieldsExist(f))
        return result;
    if (weekday >= 0 && weekday != Weekday(f.year, f.month, f.day)) {
        result.wrongWeekday = true;
        result.readable = zoneCertain;
        return result;
    }
    result.form = strict ? DateForm::Valid : DateForm::Problematical;
    result.readable = zoneCertain;
    return result;
}

bool ReadAnyDate(std::string_view text, DateFields& fields) {
    const DateCheck check = CheckRfc822Date(text);
    if (check.readable) {
        fields = check.fields;
        return true;
    }
    return ReadIsoDate(text, fields);
}

bool IsW3cDtfDate(std::string_view text) {
    Reader r{TrimXmlSpace(text)};
    int value = 0;
    if (r.Digits(4, value) != 4)
        return false;
    if (r.AtEnd())
        return true;
    int month = 0;
    if (!r.Take('-') || r.Digits(2, month) != 2 || month < 1 || month > 12)
        return false;
    if (r.AtEnd())
        return true;
    int day = 0;
    if (!r.Take('-') || r.Digits(2, day) != 2 || day < 1 || day > DaysInMonth(value, month))
        return false;
    if (r.AtEnd())
        return true;
    DateFields fields;
    return ReadIsoDate(r.text, fields) && r.text.find('T') != std::string_view::npos;
}

std::string FormatRfc822(const DateFields& input) {
    DateFields f = input;
    const std::string_view named = f.zoneName;
    std::string zone = named == "Z" || named == "UT" ? std::string("GMT") : std::string(named);
    const int absMinutes = f.offsetMinutes < 0 ? -f.offsetMinutes : f.offsetMinutes;
    if (zone.empty() && (absMinutes % 15 != 0 || absMinutes > 14 * 60)) {
        // An offset readers stumble over: the same moment in GMT instead.
        const int64_t seconds = f.ToEpochSeconds();
        int64_t days = seconds / 86400;
        int64_t rest = seconds % 86400;
        if (rest < 0) {
            rest += 86400;
            --days;
        }
        CivilFromDays(days, f.year, f.month, f.day);
        f.hour = static_cast<int>(rest / 3600);
        f.minute = static_cast<int>(rest / 60 % 60);
        f.second = static_cast<int>(rest % 60);
        zone = "GMT";
    } else if (zone.empty()) {
        zone = f.offsetMinutes < 0 ? "-" : "+";
        zone += TwoDigits(absMinutes / 60);
        zone += TwoDigits(absMinutes % 60);
    }
    // Written by hand: a feed may hold thousands of dates to rewrite.
    char buffer[64];
    char* out = buffer;
    auto put = [&out](std::string_view part) {
        for (char c : part)
            *out++ = c;
    };
    auto two = [&out](int value) {
        *out++ = static_cast<char>('0' + value / 10 % 10);
        *out++ = static_cast<char>('0' + value % 10);
    };
    put(kDayNames[Weekday(f.year, f.month, f.day)]);
    put(", ");
    two(f.day);
    *out++ = ' ';
    put(kMonthNames[f.month - 1]);
    *out++ = ' ';
    two(f.year / 100);
    two(f.year % 100);
    *out++ = ' ';
    two(f.hour);
    *out++ = ':';
    two(f.minute);
    *out++ = ':';
    two(f.second);
    *out++ = ' ';
    put(zone);
    const std::string text(buffer, static_cast<size_t>(out - buffer));
    return text;
}
