#include "platform/filetime.h"

#include <gtest/gtest.h>

#include <limits>

#include "expect_calendar.h"

namespace shotrenum {
namespace {

constexpr std::uint64_t kUnixEpochTicks = 116444736000000000ULL;

TEST(FileTimeFromUnix, KeepsHundredNanosecondPrecisionAndClamps) {
  EXPECT_EQ(FileTimeTicks(FileTimeFromUnix(0, 0)), kUnixEpochTicks);
  EXPECT_EQ(FileTimeTicks(FileTimeFromUnix(1, 123456789)), kUnixEpochTicks + 10000000 + 1234567);
  EXPECT_EQ(FileTimeTicks(FileTimeFromUnix(-1, 999999999)), kUnixEpochTicks - 10000000 + 9999999);
  // Before 1601 and beyond the 64-bit range.
  EXPECT_EQ(FileTimeTicks(FileTimeFromUnix(-kUnixEpochInFileTimeSeconds, 0)), 0u);
  EXPECT_EQ(FileTimeTicks(FileTimeFromUnix(-kUnixEpochInFileTimeSeconds - 1, 0)), 0u);
  EXPECT_EQ(FileTimeTicks(FileTimeFromUnix(std::numeric_limits<std::int64_t>::max(), 0)),
            std::numeric_limits<std::uint64_t>::max());
  const FILETIME split = FileTimeFromUnix(0, 0);
  EXPECT_EQ(split.dwLowDateTime, static_cast<std::uint32_t>(kUnixEpochTicks));
  EXPECT_EQ(split.dwHighDateTime, static_cast<std::uint32_t>(kUnixEpochTicks >> 32));
}

CalendarTime Calendar(std::uint64_t ticks) {
  CalendarTime c{};
  EXPECT_TRUE(CalendarOfTicks(ticks, &c));
  return c;
}

using testing::ExpectCalendar;

TEST(CalendarOfTicks, SplitsDatesAcrossTheWholeRange) {
  ExpectCalendar(Calendar(0), 1601, 1, 1, 0, 0, 0, 0);
  // 2011-04-13 09:05:07.125 UTC is Unix 1302685507.
  ExpectCalendar(Calendar(FileTimeTicks(FileTimeFromUnix(1302685507, 125999999))), 2011, 4, 13, 9, 5, 7, 125);
  // 2000-02-29 23:59:59.999 (a leap day).
  ExpectCalendar(Calendar(FileTimeTicks(FileTimeFromUnix(951868799, 999000000))), 2000, 2, 29, 23, 59, 59, 999);
  ExpectCalendar(Calendar(FileTimeTicks(FileTimeFromUnix(-1, 0))), 1969, 12, 31, 23, 59, 59, 0);
  // The last tick below 2^63 is in the year 30828; 2^63 has no date.
  ExpectCalendar(Calendar((1ULL << 63) - 1), 30828, 9, 14, 2, 48, 5, 477);
  CalendarTime c{};
  EXPECT_FALSE(CalendarOfTicks(1ULL << 63, &c));
}

TEST(ShiftTicks, AppliesOffsetsAndRefusesTheImpossible) {
  std::uint64_t shifted = 0;
  ASSERT_TRUE(ShiftTicks(kUnixEpochTicks, 9 * 3600, &shifted));
  EXPECT_EQ(shifted, kUnixEpochTicks + 9ULL * 3600 * 10000000);
  ASSERT_TRUE(ShiftTicks(kUnixEpochTicks, -5 * 3600, &shifted));
  EXPECT_EQ(shifted, kUnixEpochTicks - 5ULL * 3600 * 10000000);
  EXPECT_FALSE(ShiftTicks(0, -1, &shifted));
  EXPECT_FALSE(ShiftTicks((1ULL << 63) - 1, 1, &shifted));
  EXPECT_FALSE(ShiftTicks(std::numeric_limits<std::uint64_t>::max(), 0, &shifted));
}

}  // namespace
}  // namespace shotrenum
