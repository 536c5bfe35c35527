#include <filesystem>

#include "platform/platform.h"
#include "rename/renumber.h"
#include "temp_dir.h"

namespace shotrenum {
namespace {

using Rename = testing::InTempDir;

TEST_F(Rename, MovesAFileToAFreeName) {
  Touch("G0000001.pcx", "one");
  EXPECT_TRUE(RenameWithoutReplace("G0000001.pcx", "G0000000.pcx"));
  EXPECT_FALSE(Exists("G0000001.pcx"));
  EXPECT_EQ(Read("G0000000.pcx"), "one");
}

TEST_F(Rename, NeverReplacesAFileOrADirectory) {
  Touch("G0000001.pcx", "one");
  Touch("G0000000.pcx", "zero");
  EXPECT_FALSE(RenameWithoutReplace("G0000001.pcx", "G0000000.pcx"));
  EXPECT_EQ(Read("G0000001.pcx"), "one");
  EXPECT_EQ(Read("G0000000.pcx"), "zero");

  std::filesystem::create_directory("G0000002.pcx");
  EXPECT_FALSE(RenameWithoutReplace("G0000001.pcx", "G0000002.pcx"));
  EXPECT_EQ(Read("G0000001.pcx"), "one");
  EXPECT_TRUE(std::filesystem::is_empty("G0000002.pcx"));

  EXPECT_FALSE(RenameWithoutReplace("G0000009.pcx", "G0000003.pcx"));
  EXPECT_FALSE(Exists("G0000003.pcx"));
}

TEST(TempName, JoinsTheRunStampAndTheName) {
  char temp[64];
  TempName(temp, 1302685507, "g0000001.PCX");
  EXPECT_STREQ(temp, "_tmp_1302685507_g0000001.PCX");
  TempName(temp, -1, "G0000001.pcx");
  EXPECT_STREQ(temp, "_tmp_-1_G0000001.pcx");
}

}  // namespace
}  // namespace shotrenum
