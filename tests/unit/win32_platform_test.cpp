// What only Windows shows: the loose Win32 name search, times that come with
// the listing, names that differ only in case, and console bytes passed on
// untouched.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/filetime.h"
#include "platform/platform.h"
#include "shots/scan.h"
#include "temp_dir.h"
#include "texts.h"

namespace shotrenum {
namespace {

using Win32Platform = testing::InTempDir;

struct Listed {
  std::string name;
  bool isDirectory;
};

std::vector<Listed> ListAll() {
  std::vector<Listed> all;
  ShotSearch* search = StartShotSearch();
  if (search == nullptr) return all;
  ShotEntry entry;
  while (NextShotEntry(search, &entry)) all.push_back({entry.name, entry.isDirectory});
  EndShotSearch(search);
  return all;
}

TEST_F(Win32Platform, DeliversTheFirstMatchAndMarksDirectories) {
  EXPECT_EQ(StartShotSearch(), nullptr);
  Touch("G0000001.pcx");
  Touch("readme.txt");
  std::vector<Listed> listed = ListAll();
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].name, "G0000001.pcx");
  EXPECT_FALSE(listed[0].isDirectory);

  std::filesystem::remove("G0000001.pcx");
  std::filesystem::create_directory("G0000002.pcx");
  listed = ListAll();
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_TRUE(listed[0].isDirectory);
  EXPECT_EQ(CountShots(), 0);
}

TEST_F(Win32Platform, KeepsOnlyTwelveByteNamesOfTheLooseSearch) {
  // Their 8.3 short names (G000~1U0.PCX and the like) fit the pattern.
  for (const char* name : {"G00000001.pcx", "GABCDEFGHIJK.pcx", "G0000005.pcxx", "G0000003.pcx"}) Touch(name);
  ASSERT_GT(ListAll().size(), 1u) << "the search returned no extra names; nothing to filter";
  ASSERT_EQ(CountShots(), 1);
  ShotRecord records[2] = {};
  ASSERT_EQ(CollectShots(records, 2), 1);
  EXPECT_STREQ(records[0].name, "G0000003.pcx");
}

TEST_F(Win32Platform, TakesTheListedWriteTimeToTheTick) {
  Touch("G0000001.pcx");
  // Both halves differ, and the low one has its top bit set.
  const ::FILETIME written = {0x89ABCDEFu, 0x01CBF9C3u};
  {
    const HANDLE file = CreateFileA("G0000001.pcx", FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &written));
    CloseHandle(file);
  }
  ShotRecord record{};
  ASSERT_EQ(CollectShots(&record, 1), 1);
  EXPECT_EQ(record.writeTime.dwHighDateTime, written.dwHighDateTime);
  EXPECT_EQ(record.writeTime.dwLowDateTime, written.dwLowDateTime);
}

TEST_F(Win32Platform, NeverRenamesOntoANameThatDiffersOnlyInCase) {
  Touch("G0000000.pcx", "zero");
  Touch("_tmp_1_g0000005.PCX", "five");
  EXPECT_FALSE(RenameWithoutReplace("_tmp_1_g0000005.PCX", "g0000000.PCX"));
  EXPECT_EQ(Read("G0000000.pcx"), "zero");
  EXPECT_EQ(Read("_tmp_1_g0000005.PCX"), "five");
}

TEST(Win32Console, PassesShiftJisBytesOnUntouched) {
  ::testing::internal::CaptureStderr();
  Say(texts::kPhase1Start, 12L);
  const std::string shown = ::testing::internal::GetCapturedStderr();
  // "一時ファイルリネーム開始　全12件" in Shift_JIS.
  EXPECT_EQ(shown,
            "\x88\xea\x8e\x9e\x83\x74\x83\x40\x83\x43\x83\x8b\x83\x8a\x83\x6c\x81\x5b\x83\x80\x8a\x4a\x8e\x6e\x81\x40"
            "\x91\x53"
            "12\x8c\x8f\n");
}

}  // namespace
}  // namespace shotrenum
