// The time columns of log rows, as a later reader checks them against a
// file: a run prints a file's time in the UTC offset in force while it ran,
// which its log's name (its local start time) and its stamp tell.
#pragma once

#include <cstdint>

#include "rename/run_log.h"

namespace shotrenum {

// The UTC offset in seconds (local = UTC + offset) of the run whose log
// names bear `digits` ("YYYYMMDDhhmmss", its local start time). With its
// stamp known (>= 0) that is exact; otherwise the offset is the one of the
// local time zone that gives those digits for a stamp near them. False when
// no offset does.
bool RunOffset(const char* digits, std::int64_t stamp, std::int64_t* offset);

// The stamp of a run whose log names bear `digits`, from the local time zone
// as it is now; false when no stamp gives those digits.
bool StampOfDigits(const char* digits, std::int64_t* stamp);

// The date and time columns, without their line end, that a run with that
// offset printed for a file time ("YYYY/MM/DD,hh:mm:ss:cc").
void RowTimeText(FILETIME writeTime, std::int64_t offset, char (&out)[kLogTimeRoom]);

// A file time that prints as the row's columns in that offset (the
// hundredth's start); a dateless row's time for columns of zeros.
FILETIME FileTimeOfRowTime(const char* columns, std::int64_t offset);

}  // namespace shotrenum
