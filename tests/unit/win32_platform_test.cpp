// What only Windows shows: the loose Win32 name search, times that come with
// the listing, names that differ only in case, and files other programs hold.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <numeric>
#include <tuple>
#include <string>
#include <vector>

#include "journal/folder.h"
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
  std::vector<ListedLog> logs;
  EXPECT_EQ(CountShotsListingLogs(&count, &logs), ScanResult::kBroken);
}

TEST_F(Win32Platform, NeverRenamesOntoANameThatDiffersOnlyInCase) {
  Touch("G0000000.pcx", "zero");
  Touch("_tmp_1_g0000005.PCX", "five");
  EXPECT_EQ(RenameWithoutReplace("_tmp_1_g0000005.PCX", "g0000000.PCX"), RenameResult::kTaken);
  EXPECT_EQ(Read("G0000000.pcx"), "zero");
  EXPECT_EQ(Read("_tmp_1_g0000005.PCX"), "five");
}

// A cut that Windows refuses (a file mapped by another process) leaves the
// file as it was.
TEST_F(Win32Platform, ACutThatFailsLeavesTheLogAsItWas) {
  Touch("log.csv", std::string("a,b\r\n") + std::string(4, '\0'));
  const testing::SyscallSwap failing(syscalls.SetEndOfFile, [](HANDLE) -> BOOL WINAPI {
    SetLastError(ERROR_USER_MAPPED_FILE);
    return FALSE;
  });
  EXPECT_EQ(CutFileKeepingTime("log.csv", 5), FileStep::kFailed);
  EXPECT_EQ(ReadBytes("log.csv").size(), 9u);
}

// NT statuses behind the Win32 errors.
constexpr LONG kStatusSharingViolation = static_cast<LONG>(0xC0000043);
constexpr LONG kStatusLockViolation = static_cast<LONG>(0xC0000054);
constexpr LONG kStatusDeletePending = static_cast<LONG>(0xC0000056);
constexpr LONG kStatusAccessDenied = static_cast<LONG>(0xC0000022);

// A move that fails while another program holds the file, as its swapped
// calls describe it, and the waits the rename asked for.
class HeldFile : public Win32Platform {
 protected:
  static inline bool held;         // every move fails
  static inline DWORD error;       // their Win32 error
  static inline LONG status;       // the NT status behind it
  static inline std::vector<DWORD> waits;

  void SetUp() override {
    Win32Platform::SetUp();
    ASSERT_NE(LockFolder(), FolderLock::kBusy);  // a new run: its own waiting time
    held = true;
    error = ERROR_SHARING_VIOLATION;
    status = kStatusSharingViolation;
    waits.clear();
  }
  void TearDown() override {
    UnlockFolder();
    Win32Platform::TearDown();
  }
  static DWORD Waited() { return std::accumulate(waits.begin(), waits.end(), DWORD{0}); }

 private:
  static BOOL WINAPI Move(LPCSTR, LPCSTR, DWORD) {
    if (!held) return TRUE;
    SetLastError(error);
    return FALSE;
  }
  static LONG NTAPI Status() { return status; }
  static void WINAPI Wait(DWORD milliseconds) { waits.push_back(milliseconds); }

  const testing::SyscallSwap<decltype(syscalls.MoveFileExA)> move_{syscalls.MoveFileExA, Move};
  const testing::SyscallSwap<decltype(syscalls.RtlGetLastNtStatus)> status_{syscalls.RtlGetLastNtStatus, Status};
  const testing::SyscallSwap<decltype(syscalls.Sleep)> sleep_{syscalls.Sleep, Wait};
};

// Growing waits; a lock on a part of the file, and a delete still pending,
// are holds too.
TEST_F(HeldFile, WaitsAboutTwoSecondsForAFileAndTenForARun) {
  const std::pair<DWORD, LONG> holds[] = {{ERROR_SHARING_VIOLATION, kStatusSharingViolation},
                                          {ERROR_LOCK_VIOLATION, kStatusLockViolation},
                                          {ERROR_ACCESS_DENIED, kStatusDeletePending}};
  for (const auto& [heldError, heldStatus] : holds) {
    error = heldError;
    status = heldStatus;
    waits.clear();
    EXPECT_EQ(RenameWithoutReplace("G0000001.pcx", "G0000000.pcx"), RenameResult::kHeld) << heldError;
    EXPECT_EQ(Waited(), 2000u) << heldError;
    ASSERT_GT(waits.size(), 3u);
    for (std::size_t i = 1; i + 1 < waits.size(); ++i) EXPECT_GT(waits[i], waits[i - 1]) << i;
  }
  // The run has 4 s of its 10 left: two more files, then none at all.
  waits.clear();
  for (int file = 0; file < 3; ++file) {
    EXPECT_EQ(RenameWithoutReplace("G0000001.pcx", "G0000000.pcx"), RenameResult::kHeld);
  }
  EXPECT_EQ(Waited(), 4000u);
  // The next run waits again.
  UnlockFolder();
  ASSERT_NE(LockFolder(), FolderLock::kBusy);
  waits.clear();
  EXPECT_EQ(RenameWithoutReplace("G0000001.pcx", "G0000000.pcx"), RenameResult::kHeld);
  EXPECT_EQ(Waited(), 2000u);
}

// Waiting mends no missing permission, no taken name and no full disk
// (whatever status an earlier call left); each is told by its cause.
TEST_F(HeldFile, AnyOtherFailureNeverWaitsAndTellsItsCause) {
  const std::tuple<DWORD, LONG, RenameResult> others[] = {
      {ERROR_ACCESS_DENIED, kStatusAccessDenied, RenameResult::kDenied},
      {ERROR_WRITE_PROTECT, kStatusAccessDenied, RenameResult::kDenied},
      {ERROR_ALREADY_EXISTS, kStatusDeletePending, RenameResult::kTaken},
      {ERROR_FILE_EXISTS, kStatusAccessDenied, RenameResult::kTaken},
      {ERROR_DISK_FULL, kStatusAccessDenied, RenameResult::kNoSpace},
      {ERROR_HANDLE_DISK_FULL, kStatusAccessDenied, RenameResult::kNoSpace},
      {ERROR_GEN_FAILURE, kStatusAccessDenied, RenameResult::kFailed}};
  for (const auto& [otherError, otherStatus, cause] : others) {
    error = otherError;
    status = otherStatus;
    EXPECT_EQ(RenameWithoutReplace("G0000001.pcx", "G0000000.pcx"), cause) << otherError;
  }
  held = false;
  EXPECT_EQ(RenameWithoutReplace("G0000001.pcx", "G0000000.pcx"), RenameResult::kRenamed);
  EXPECT_TRUE(waits.empty());
}

// Only a console that serves the tool alone is Explorer's, which closes with it.
TEST(Console, ClosesAtExitOnlyWhenTheToolIsAloneOnIt) {
  static DWORD attached;
  const testing::SyscallSwap<decltype(syscalls.GetConsoleProcessList)> swap(
      syscalls.GetConsoleProcessList, [](LPDWORD, DWORD) WINAPI { return attached; });
  for (const DWORD processes : {0u, 2u, 3u}) {
    attached = processes;
    EXPECT_FALSE(WindowClosesAtExit()) << processes;
  }
  attached = 1;
  EXPECT_TRUE(WindowClosesAtExit());
}

}  // namespace
}  // namespace shotrenum
