// What only Windows shows: the loose Win32 name search, times that come with
// the listing, and names that differ only in case.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "platform/platform.h"
#include "scan_calls.h"
#include "shots/scan.h"
#include "syscall_swap.h"
#include "temp_dir.h"

namespace shotrenum {
namespace {

using testing::inUse;

using Win32Platform = testing::InTempDir;

using testing::Collect;
using testing::Count;

// How many entries the search delivers, screenshots or not.
int CountListed() {
  FolderSearch* search = nullptr;
  if (StartFolderSearch(kShotSearchPattern, &search) != SearchStart::kStarted) return 0;
  int listed = 0;
  FolderEntry entry;
  while (NextFolderEntry(search, &entry) == ListingStep::kEntry) ++listed;
  EndFolderSearch(search);
  return listed;
}

TEST_F(Win32Platform, KeepsOnlyTwelveByteNamesOfTheLooseSearch) {
  // Their 8.3 short names (G000~1U0.PCX and the like) fit the pattern.
  for (const char* name : {"G00000001.pcx", "GABCDEFGHIJK.pcx", "G0000005.pcxx", "G0000003.pcx"}) Touch(name);
  ASSERT_GT(CountListed(), 1) << "the search returned no extra names; nothing to filter";
  ASSERT_EQ(Count(), 1);
  ShotRecord records[2] = {};
  ASSERT_EQ(Collect(records, 2), 1);
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
  ASSERT_EQ(Collect(&record, 1), 1);
  EXPECT_EQ(record.writeTime.dwHighDateTime, written.dwHighDateTime);
  EXPECT_EQ(record.writeTime.dwLowDateTime, written.dwLowDateTime);
}

// Only ERROR_NO_MORE_FILES ends a listing; any other error breaks it off.
TEST_F(Win32Platform, AListingThatFailsPartwayIsBroken) {
  Touch("G0000001.pcx");
  Touch("G0000002.pcx");
  const testing::SyscallSwap failing(syscalls.FindNextFileA, [](HANDLE, LPWIN32_FIND_DATAA) -> BOOL WINAPI {
    SetLastError(ERROR_UNEXP_NET_ERR);
    return FALSE;
  });
  long count = -1;
  EXPECT_EQ(CountShots(&count), ScanResult::kBroken);
}

TEST_F(Win32Platform, NeverRenamesOntoANameThatDiffersOnlyInCase) {
  Touch("G0000000.pcx", "zero");
  Touch("_tmp_1_g0000005.PCX", "five");
  EXPECT_EQ(RenameWithoutReplace("_tmp_1_g0000005.PCX", "g0000000.PCX"), RenameResult::kFailed);
  EXPECT_EQ(Read("G0000000.pcx"), "zero");
  EXPECT_EQ(Read("_tmp_1_g0000005.PCX"), "five");
}

}  // namespace
}  // namespace shotrenum
