// The clocks a log was written by. A command's log names carry its local
// start time ("YYYYMMDDhhmmss"), its temporary names its stamp (seconds
// since 1970 UTC): the two together tell the UTC offset it printed every
// row's time in, whatever the time zone is now.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace shotrenum {

// The fourteen digits read as a UTC time, in seconds since 1970.
std::int64_t DigitsAsUtc(const char* digits);

// Whether a time zone can have `offset` (seconds east of UTC): whole
// quarter hours, from twelve hours west of UTC to fourteen east.
bool PlausibleOffset(std::int64_t offset);
// The UTC offset a command whose log names bear `digits` and whose
// temporary names bear `stamp` printed its rows in.
std::int64_t OffsetOfStamp(const char* digits, std::int64_t stamp);
// And back: the stamp of a command of `digits` that printed in `offset`.
std::int64_t StampOfOffset(const char* digits, std::int64_t offset);
// Whether a command whose log names bear `digits` can have had `stamp`: the
// two differ by an offset a time zone can have.
bool PlausibleStamp(const char* digits, std::int64_t stamp);
// The stamp of a command whose log names bear `digits` and whose log was
// last written at `written` (its stamp, or a moment after): the quarter
// hour of offset nearest to the difference. False where none is plausible.
bool StampNearWritten(const char* digits, std::int64_t written, std::int64_t* stamp);

// The stamp of a command whose log names bear `digits`, from the local time
// zone as it is now: only for a command that left no temporary name to tell
// it. False when no stamp gives those digits.
bool StampOfDigitsNow(const char* digits, std::int64_t* stamp);

// A file's time as a row printed in any offset shows it, once that offset is
// taken off again: hundredths of a second since 1601 UTC, or kUndatedRow
// where the row shows zeros (the time has no date in that offset).
std::int64_t RowTimeOfFile(FILETIME writeTime, std::int64_t offset);
// A row's time columns (LogRow::localTime) with the offset taken off.
std::int64_t RowTimeUtc(std::int64_t localTime, std::int64_t offset);
// The offset a row that shows a file's own time (`localTime`, its time
// columns) printed it in; false where the two differ by no offset a time
// zone can have, or either has no date.
bool OffsetOfRow(std::int64_t localTime, FILETIME writeTime, std::int64_t* offset);
// A file time that a row of that time shows (the start of its hundredth).
FILETIME FileTimeOfRowTime(std::int64_t utcTime);

}  // namespace shotrenum
