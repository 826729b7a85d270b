// Date texts of RSS: how well a text follows RFC 822 (as RFC 2822 refines
// it), what moment it names, and the form a repair writes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct DateFields {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    // Minutes east of UTC.
    int offsetMinutes = 0;
    // The zone when it was written as a name ("GMT", "EST"); empty for a
    // numeric offset.
    const char* zoneName = "";
    // Seconds since 1970-01-01T00:00:00Z.
    int64_t ToEpochSeconds() const;
};

enum class DateForm {
    // RFC 822 as the profile asks for it.
    Valid,
    // Readable, but in a form many readers fail on: comments, a two-digit
    // year, an odd zone, missing blanks.
    Problematical,
    // Not an RFC 822 date, or a day that does not exist.
    Invalid,
};

struct DateCheck {
    DateForm form = DateForm::Invalid;
    // The weekday written does not match the date.
    bool wrongWeekday = false;
    // True when the moment is known for certain (fields hold it), so a
    // repair can write it again in the right form.
    bool readable = false;
    DateFields fields;
};

DateCheck CheckRfc822Date(std::string_view text);
// Also reads ISO 8601 / W3C-DTF dates with a time and a zone
// ("2002-12-31T01:15:07-05:00"), which feeds often carry in RSS date fields.
bool ReadAnyDate(std::string_view text, DateFields& fields);
// W3C-DTF (the ISO 8601 profile used by Dublin Core dates).
bool IsW3cDtfDate(std::string_view text);

// "Tue, 31 Dec 2002 14:20:20 GMT": the weekday computed, the zone as it was
// when RFC 822 names it or as a numeric offset.
std::string FormatRfc822(const DateFields& fields);

int DaysInMonth(int year, int month);
// 0 = Sunday.
int Weekday(int year, int month, int day);
