// Field-by-field check of a CalendarTime, so a failure names the field.
#pragma once

#include <gtest/gtest.h>

#include "platform/platform.h"

namespace shotrenum::testing {

inline void ExpectCalendar(const CalendarTime& c, int y, int mo, int d, int h, int mi, int s, int ms) {
  EXPECT_EQ(c.year, y);
  EXPECT_EQ(c.month, mo);
  EXPECT_EQ(c.day, d);
  EXPECT_EQ(c.hour, h);
  EXPECT_EQ(c.minute, mi);
  EXPECT_EQ(c.second, s);
  EXPECT_EQ(c.milliseconds, ms);
}

}  // namespace shotrenum::testing
