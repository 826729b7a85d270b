// Dates as plain numbers for sorting many posts: seconds since the start of
// the Julian day count, with no zone attached.
#pragma once

#include <QtGlobal>

// False when the text is not a date the reader knows.
bool RssDateKey(const char* utf8, qint64& key);
// The current local time as a key.
qint64 CurrentDateKey();
