#include "shots/scan.h"

#include <filesystem>
#include <set>
#include <string>

#include "temp_dir.h"

namespace shotrenum {
namespace {

using Scan = testing::InTempDir;

TEST_F(Scan, CountsScreenshotsInAnyCaseAndNothingElse) {
  EXPECT_EQ(CountShots(), 0);
  for (const char* name : {"G0000001.pcx", "g0000002.pcx", "G0000003.PCX", "G123.pcx", "G00000001.pcx", "GA000001.pcx",
                           "G00000a1.pcx", "X0000005.pcx", "G0000006.pcy", "G0000007.pcx.bak"}) {
    Touch(name);
  }
  std::filesystem::create_directory("G0000004.pcx");
  EXPECT_EQ(CountShots(), 3);

  ShotRecord records[4] = {};
  EXPECT_EQ(CollectShots(records, 4), 3);
  std::set<std::string> names;
  for (int i = 0; i < 3; ++i) names.insert(records[i].name);
  EXPECT_EQ(names, (std::set<std::string>{"G0000001.pcx", "g0000002.pcx", "G0000003.PCX"}));
  EXPECT_EQ(records[3].name[0], '\0');
}

TEST_F(Scan, SkipsFilesThatVanishedAfterTheCount) {
  for (const char* name : {"G0000001.pcx", "G0000002.pcx", "G0000003.pcx"}) Touch(name);
  const long counted = CountShots();
  ASSERT_EQ(counted, 3);
  std::filesystem::remove("G0000002.pcx");
  ShotRecord records[3] = {};
  EXPECT_EQ(CollectShots(records, counted), 2);
  EXPECT_EQ(records[2].name[0], '\0');

  for (const char* name : {"G0000001.pcx", "G0000003.pcx"}) std::filesystem::remove(name);
  EXPECT_EQ(CollectShots(records, counted), 0);
}

TEST_F(Scan, NeverWritesBeyondItsCapacity) {
  for (const char* name : {"G0000001.pcx", "G0000002.pcx", "G0000003.pcx"}) Touch(name);
  ShotRecord records[3] = {};
  records[2].name[0] = 'x';
  EXPECT_EQ(CollectShots(records, 2), kCollectOverflow);
  EXPECT_EQ(records[2].name[0], 'x');
  EXPECT_EQ(records[2].writeTime.dwLowDateTime, 0u);
}

}  // namespace
}  // namespace shotrenum
