#include "platform/filetime.h"

#include <chrono>
#include <limits>

namespace shotrenum {

FILETIME FileTimeFromUnix(std::int64_t seconds, long nanoseconds) {
  if (seconds < -kUnixEpochInFileTimeSeconds) return FileTimeFromTicks(0);
  // Unsigned: the sum of a huge time and the epoch gap exceeds int64_t.
  const std::uint64_t since1601 =
      static_cast<std::uint64_t>(seconds) + static_cast<std::uint64_t>(kUnixEpochInFileTimeSeconds);
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  const std::uint64_t sub = static_cast<std::uint64_t>(nanoseconds) / 100;
  if (since1601 > (kMax - sub) / kTicksPerSecond) return FileTimeFromTicks(kMax);
  return FileTimeFromTicks(since1601 * kTicksPerSecond + sub);
}

std::int64_t SecondsOfFileTime(FILETIME fileTime) {
  return static_cast<std::int64_t>(FileTimeTicks(fileTime) / kTicksPerSecond) - kUnixEpochInFileTimeSeconds;
}

bool ShiftTicks(std::uint64_t ticks, std::int64_t offsetSeconds, std::uint64_t* shifted) {
  if (ticks >= kFirstUndatedTicks) return false;
  const auto signedTicks = static_cast<std::int64_t>(ticks);
  // |offset| is at most a day or so; guard anyway so no input can overflow.
  if (offsetSeconds > 1000000 || offsetSeconds < -1000000) return false;
  const std::int64_t delta = offsetSeconds * static_cast<std::int64_t>(kTicksPerSecond);
  if (delta > 0 && signedTicks > std::numeric_limits<std::int64_t>::max() - delta) return false;
  const std::int64_t result = signedTicks + delta;
  if (result < 0) return false;
  *shifted = static_cast<std::uint64_t>(result);
  return true;
}

bool CalendarOfTicks(std::uint64_t ticks, CalendarTime* out) {
  using namespace std::chrono;
  if (ticks >= kFirstUndatedTicks) return false;
  constexpr std::uint64_t kTicksPerDay = kTicksPerSecond * 86400;
  // 1601-01-01 as a day count of the system clock's calendar.
  constexpr sys_days kDay0 = sys_days{year{1601} / January / 1};
  const auto dayIndex = static_cast<std::int64_t>(ticks / kTicksPerDay);
  const std::uint64_t inDay = ticks % kTicksPerDay;
  const year_month_day date{kDay0 + days{dayIndex}};
  const hh_mm_ss clock{milliseconds{static_cast<std::int64_t>(inDay / 10000)}};
  out->year = static_cast<int>(date.year());
  out->month = static_cast<int>(static_cast<unsigned>(date.month()));
  out->day = static_cast<int>(static_cast<unsigned>(date.day()));
  out->hour = static_cast<int>(clock.hours().count());
  out->minute = static_cast<int>(clock.minutes().count());
  out->second = static_cast<int>(clock.seconds().count());
  out->milliseconds = static_cast<int>(clock.subseconds().count());
  return true;
}

}  // namespace shotrenum
