#include "shots/shot_name.h"

#include <gtest/gtest.h>

namespace shotrenum {
namespace {

TEST(IsShotName, KeepsTwelveByteNamesWithSevenDigits) {
  EXPECT_TRUE(IsShotName("G0000001.pcx", false));
  EXPECT_TRUE(IsShotName("g0000002.pcx", false));
  EXPECT_TRUE(IsShotName("G0000003.PCX", false));
  EXPECT_TRUE(IsShotName("G9999999.pcx", false));
}

TEST(IsShotName, RejectsOtherLengthsLettersAndDirectories) {
  EXPECT_FALSE(IsShotName("G123.pcx", false));
  EXPECT_FALSE(IsShotName("G00000001.pcx", false));
  EXPECT_FALSE(IsShotName("GA000001.pcx", false));
  EXPECT_FALSE(IsShotName("G00000a1.pcx", false));
  EXPECT_FALSE(IsShotName("G000000 .pcx", false));
  // The listing lets through any name that ends in ".pcx"; the rule here
  // decides on every byte.
  EXPECT_FALSE(IsShotName("X0000005.pcx", false));
  EXPECT_FALSE(IsShotName("G0000006_pcx", false));
  EXPECT_FALSE(IsShotName("G0000007.pcy", false));
  EXPECT_FALSE(IsShotName("G0000007.bcx", false));
  EXPECT_FALSE(IsShotName("G0000007.pax", false));
  EXPECT_FALSE(IsShotName("G0000004.pcx", true));
  EXPECT_FALSE(IsShotName("", false));
}

}  // namespace
}  // namespace shotrenum
