#include "shots/in_the_way.h"

#include <gtest/gtest.h>

namespace shotrenum {
namespace {

// Which names a run gives, as it writes them: "G", seven digits, ".pcx";
// other letter cases only where the file system ignores case.
TEST(InTheWay, TargetPositionReadsOnlyTargetNames) {
  const struct {
    const char* name;
    bool caseless;
    long position;
  } cases[] = {
      {"G0000000.pcx", false, 0},
      {"G0000017.pcx", false, 17},
      {"G9999999.pcx", false, 9999999},
      {"g0000017.PCX", false, -1},
      {"g0000017.PCX", true, 17},
      {"G0000017.pCx", true, 17},
      {"G000017.pcx", false, -1},
      {"G00000017.pcx", false, -1},
      {"G0000017.pcxx", true, -1},
      {"G00000a7.pcx", true, -1},
      {"H0000017.pcx", true, -1},
      {"G0000017.pcy", true, -1},
      {"_tmp_5_G0000017.pcx", true, -1},
  };
  for (const auto& c : cases) EXPECT_EQ(TargetPosition(c.name, c.caseless), c.position) << c.name << " " << c.caseless;
}

}  // namespace
}  // namespace shotrenum
