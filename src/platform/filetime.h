// Pure arithmetic on file times, used by the POSIX platform file and
// checked by the unit tests.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace shotrenum {

// Seconds from 1601-01-01 to 1970-01-01.
inline constexpr std::int64_t kUnixEpochInFileTimeSeconds = 11644473600;
inline constexpr std::uint64_t kTicksPerSecond = 10000000;
// No calendar date of the file-time range reaches 2^63 ticks.
inline constexpr std::uint64_t kFirstUndatedTicks = std::uint64_t{1} << 63;

inline std::uint64_t FileTimeTicks(FILETIME t) { return (std::uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime; }

inline FILETIME FileTimeFromTicks(std::uint64_t ticks) {
  return FILETIME{static_cast<std::uint32_t>(ticks), static_cast<std::uint32_t>(ticks >> 32)};
}

// A Unix time (seconds and nanoseconds since 1970 UTC) as a file time, with the
// nanoseconds truncated to 100-ns units. Times before 1601 clamp to 0; times
// beyond the 64-bit range clamp to its largest value.
FILETIME FileTimeFromUnix(std::int64_t seconds, long nanoseconds);

// The whole seconds since 1970 of a file time (rounded down).
std::int64_t SecondsOfFileTime(FILETIME fileTime);

// File-time ticks shifted by a UTC offset in seconds (local = UTC + offset).
// Returns false when the result leaves the range a calendar date can have.
bool ShiftTicks(std::uint64_t ticks, std::int64_t offsetSeconds, std::uint64_t* shifted);

// Ticks since 1601 split into calendar fields. Returns false for values at or
// above 2^63, which no calendar date of the file-time range reaches.
bool CalendarOfTicks(std::uint64_t ticks, CalendarTime* out);

}  // namespace shotrenum
