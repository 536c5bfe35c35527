#include "shots/scan.h"

#include <filesystem>
#include <set>
#include <string>

#include "platform/platform.h"
#include "scan_calls.h"
#include "temp_dir.h"

namespace shotrenum {
namespace {

using Scan = testing::InTempDir;

using testing::inUse;
using testing::linked;

using testing::Collect;
using testing::Count;

// The patterns of a search, matched as Windows matches long names.
TEST(Wildcards, MatchAsWindowsMatchesLongNames) {
  const struct {
    const char* name;
    const char* pattern;
    bool matches;
  } cases[] = {
      {"G0000001.pcx", "*.pcx", true},
      {"g0000001.PCX", "*.pcx", true},
      {".pcx", "*.pcx", true},
      {"G0000001.pcxx", "*.pcx", false},
      {"pcx", "*.pcx", false},
      {"G0000001.pc", "*.pcx", false},
      {"VeltraskoAll_20200101000000.csv", "Veltrasko*_*.csv", true},
      {"veltraskolog_1.CSV", "Veltrasko*_*.csv", true},
      {"VeltraskoAll.csv", "Veltrasko*_*.csv", false},
      {"VeltraskoAll_1.csv.bak", "Veltrasko*_*.csv", false},
      {"a_b_c.csv", "a*_*.csv", true},
      {"G0000001.pcx", "G???????.pcx", true},
      {"anything", "*", true},
  };
  for (const auto& c : cases) EXPECT_EQ(MatchesPattern(c.name, c.pattern), c.matches) << c.name << " " << c.pattern;
}

TEST_F(Scan, CountsScreenshotsInAnyCaseAndNothingElse) {
  EXPECT_EQ(Count(), 0);
  for (const char* name :
       {"G0000001.pcx", "g0000002.pcx", "G0000003.PCX", "G123.pcx", "G00000001.pcx", "GA000001.pcx", "G00000a1.pcx",
        "X0000005.pcx", "G0000006.pcy", "G0000007.pcx.bak", "G0000008_pcx", "G000009.pcx"}) {
    Touch(name);
  }
  std::filesystem::create_directory("G0000004.pcx");
  EXPECT_EQ(Count(), 3);

  ShotRecord records[4] = {};
  EXPECT_EQ(Collect(records, 4), 3);
  std::set<std::string> names;
  for (int i = 0; i < 3; ++i) names.insert(records[i].name);
  EXPECT_EQ(names, (std::set<std::string>{"G0000001.pcx", "g0000002.pcx", "G0000003.PCX"}));
  EXPECT_EQ(records[3].name[0], '\0');
}

// Screenshots an earlier run left at temporary names join the set, with the
// stamp of that run; nothing else that looks like one does. Every temporary
// name bears a second the next run must not take, a folder's too.
TEST_F(Scan, FindsScreenshotsStrandedAtTemporaryNames) {
  const std::int64_t now = CurrentRunStamp();
  const std::string soon = std::to_string(now + 1);
  const std::string later = std::to_string(now + 2);
  for (const std::string& name : std::initializer_list<std::string>{
           std::string("G0000001.pcx"), "_tmp_" + soon + "_G0000001.pcx", "_tmp_0_g0000002.PCX",
           "_tmp_9223372036854775807_G0000003.pcx", "_tmp_9223372036854775808_G0000004.pcx", "_tmp_05_G0000005.pcx",
           "_tmp__G0000006.pcx", "_tmp_-1_G0000007.pcx", "_tmp_5_G00000a8.pcx", "_tmp_5_x_G0000009.pcx",
           "_TMP_5_G0000010.pcx", "_tmp_5_G0000011.pcx.bak"}) {
    Touch(name);
  }
  std::filesystem::create_directory("_tmp_" + later + "_G0000012.pcx");
  EXPECT_EQ(Count(), 4);

  ShotRecord records[4] = {};
  ASSERT_EQ(Collect(records, 4), 4);
  std::set<std::string> found;
  for (const ShotRecord& r : records) {
    found.insert((r.stranded ? std::to_string(StrandedStamp(r)) + " " : "") + r.name);
  }
  EXPECT_EQ(found, (std::set<std::string>{"G0000001.pcx", soon + " G0000001.pcx", "0 g0000002.PCX",
                                          "9223372036854775807 G0000003.pcx"}));
  EXPECT_FALSE(IsStampInUse(inUse, now));
  EXPECT_TRUE(IsStampInUse(inUse, now + 1));
  EXPECT_TRUE(IsStampInUse(inUse, now + 2));
  EXPECT_FALSE(IsStampInUse(inUse, now + 3));
}

TEST_F(Scan, SkipsFilesThatVanishedAfterTheCount) {
  for (const char* name : {"G0000001.pcx", "G0000002.pcx", "G0000003.pcx"}) Touch(name);
  const long counted = Count();
  ASSERT_EQ(counted, 3);
  std::filesystem::remove("G0000002.pcx");
  ShotRecord records[3] = {};
  EXPECT_EQ(Collect(records, counted), 2);
  EXPECT_EQ(records[2].name[0], '\0');

  for (const char* name : {"G0000001.pcx", "G0000003.pcx"}) std::filesystem::remove(name);
  EXPECT_EQ(Collect(records, counted), 0);
}

TEST_F(Scan, NeverWritesBeyondItsCapacity) {
  for (const char* name : {"G0000001.pcx", "G0000002.pcx", "_tmp_1_G0000003.pcx"}) Touch(name);
  ShotRecord records[3] = {};
  records[2].name[0] = 'x';
  long filled = -1;
  EXPECT_EQ(CollectShots(records, 2, &inUse, &linked, &filled), ScanResult::kOverflow);
  EXPECT_EQ(records[2].name[0], 'x');
  EXPECT_EQ(records[2].writeTime.dwLowDateTime, 0u);
}

}  // namespace
}  // namespace shotrenum
