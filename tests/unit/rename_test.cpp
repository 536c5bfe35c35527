#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/platform.h"
#include "shots/temp_name.h"
#include "temp_dir.h"

namespace shotrenum {
namespace {

using Rename = testing::InTempDir;

TEST_F(Rename, MovesAFileToAFreeName) {
  Touch("G0000001.pcx", "one");
  EXPECT_EQ(RenameWithoutReplace("G0000001.pcx", "G0000000.pcx"), RenameResult::kRenamed);
  EXPECT_FALSE(Exists("G0000001.pcx"));
  EXPECT_EQ(Read("G0000000.pcx"), "one");
}

// A name in the way is told as such: a folder or a file the user may move.
TEST_F(Rename, NeverReplacesAFileOrADirectory) {
  Touch("G0000001.pcx", "one");
  Touch("G0000000.pcx", "zero");
  EXPECT_EQ(RenameWithoutReplace("G0000001.pcx", "G0000000.pcx"), RenameResult::kTaken);
  EXPECT_EQ(Read("G0000001.pcx"), "one");
  EXPECT_EQ(Read("G0000000.pcx"), "zero");

  std::filesystem::create_directory("G0000002.pcx");
  EXPECT_EQ(RenameWithoutReplace("G0000001.pcx", "G0000002.pcx"), RenameResult::kTaken);
  EXPECT_EQ(Read("G0000001.pcx"), "one");
  EXPECT_TRUE(std::filesystem::is_empty("G0000002.pcx"));

  EXPECT_EQ(RenameWithoutReplace("G0000009.pcx", "G0000003.pcx"), RenameResult::kFailed);
  EXPECT_FALSE(Exists("G0000003.pcx"));
}

TEST(TempName, JoinsTheRunStampAndTheName) {
  char temp[64];
  TempName(temp, 1302685507, "g0000001.PCX");
  EXPECT_STREQ(temp, "_tmp_1302685507_g0000001.PCX");
  TempName(temp, -1, "G0000001.pcx");
  EXPECT_STREQ(temp, "_tmp_-1_G0000001.pcx");
  TempName(temp, 0, "G0000001.pcx");
  EXPECT_STREQ(temp, "_tmp_0_G0000001.pcx");
  TempName(temp, INT64_MIN, "G0000001.pcx");
  EXPECT_STREQ(temp, "_tmp_-9223372036854775808_G0000001.pcx");
  // A name too long for the buffer is cut, as snprintf would.
  const std::string longName(80, 'n');
  TempName(temp, 1302685507, longName.c_str());
  EXPECT_EQ(std::string(temp), "_tmp_1302685507_" + longName.substr(0, 63 - 16));
}

}  // namespace
}  // namespace shotrenum
