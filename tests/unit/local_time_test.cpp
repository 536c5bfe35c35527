// Local calendar times, run by ctest in zones that keep one offset all year
// (TZ=Asia/Tokyo, UTC+9, and TZ=America/Bogota, UTC-5), so the offset in force
// now is known. Elsewhere these tests skip.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <limits>

#include "expect_calendar.h"
#include "platform/filetime.h"
#include "platform/platform.h"

namespace shotrenum {
namespace {

// 2011-04-13 09:05:07.125 UTC.
constexpr std::int64_t kStamp = 1302685507;
const FILETIME kShot = FileTimeFromUnix(kStamp, 125000000);

bool InZone(const char* zone) {
  const char* tz = std::getenv("TZ");
  return tz != nullptr && std::strcmp(tz, zone) == 0;
}

using testing::ExpectCalendar;

TEST(LocalTimeEastOfUtc, ShiftsFileTimesAndStampsByTheZone) {
  if (!InZone("Asia/Tokyo")) GTEST_SKIP() << "needs TZ=Asia/Tokyo (ctest sets it)";
  CalendarTime c{};
  ASSERT_TRUE(LocalCalendarOfFileTime(kShot, &c));
  ExpectCalendar(c, 2011, 4, 13, 18, 5, 7, 125);
  ASSERT_TRUE(LocalCalendarOfStamp(kStamp, &c));
  ExpectCalendar(c, 2011, 4, 13, 18, 5, 7, 0);
  // The first moment of the range still has a date east of UTC.
  ASSERT_TRUE(LocalCalendarOfFileTime(FileTimeFromTicks(0), &c));
  ExpectCalendar(c, 1601, 1, 1, 9, 0, 0, 0);
}

TEST(LocalTimeEastOfUtc, RefusesTimesPushedPastTheLastDate) {
  if (!InZone("Asia/Tokyo")) GTEST_SKIP() << "needs TZ=Asia/Tokyo (ctest sets it)";
  CalendarTime c{};
  EXPECT_FALSE(LocalCalendarOfFileTime(FileTimeFromTicks((1ULL << 63) - 1), &c));
  EXPECT_FALSE(LocalCalendarOfFileTime(FileTimeFromTicks(1ULL << 63), &c));
  EXPECT_FALSE(LocalCalendarOfFileTime(FileTimeFromTicks(std::numeric_limits<std::uint64_t>::max()), &c));
}

TEST(LocalTimeWestOfUtc, ShiftsBackAndRefusesTimesBefore1601) {
  if (!InZone("America/Bogota")) GTEST_SKIP() << "needs TZ=America/Bogota (ctest sets it)";
  CalendarTime c{};
  ASSERT_TRUE(LocalCalendarOfFileTime(kShot, &c));
  ExpectCalendar(c, 2011, 4, 13, 4, 5, 7, 125);
  ASSERT_TRUE(LocalCalendarOfFileTime(FileTimeFromTicks((1ULL << 63) - 1), &c));
  ExpectCalendar(c, 30828, 9, 13, 21, 48, 5, 477);
  EXPECT_FALSE(LocalCalendarOfFileTime(FileTimeFromTicks(0), &c));
  EXPECT_FALSE(LocalCalendarOfFileTime(FileTimeFromTicks(5 * 3600 * kTicksPerSecond - 1), &c));
  ASSERT_TRUE(LocalCalendarOfFileTime(FileTimeFromTicks(5 * 3600 * kTicksPerSecond), &c));
  ExpectCalendar(c, 1601, 1, 1, 0, 0, 0, 0);
}

}  // namespace
}  // namespace shotrenum
