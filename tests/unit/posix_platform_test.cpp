// What only a POSIX file system can show: nanosecond file times, symbolic
// links, hard links, and the rename fallbacks for file systems without
// no-replace renames or without links; and how the errors of those calls are
// read.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "journal/folder.h"
#include "platform/filetime.h"
#include "platform/platform.h"
#include "shots/scan.h"
#include "syscall_swap.h"
#include "temp_dir.h"

namespace shotrenum {
namespace {

StampsInUse inUse;
LinkedNames linked;

using PosixPlatform = testing::InTempDir;

void SetTime(const char* name, std::int64_t seconds, long nanoseconds, int flags = 0) {
  const timespec times[2] = {{static_cast<time_t>(seconds), nanoseconds}, {static_cast<time_t>(seconds), nanoseconds}};
  ASSERT_EQ(utimensat(AT_FDCWD, name, times, flags), 0) << name;
}

std::uint64_t Ticks(std::int64_t seconds, long nanoseconds) {
  return FileTimeTicks(FileTimeFromUnix(seconds, nanoseconds));
}

TEST_F(PosixPlatform, CollectsFullPrecisionTimesAndFollowsLinks) {
  Touch("G0000001.pcx");
  SetTime("G0000001.pcx", 1302685507, 123456789);
  Touch("target.bin");
  SetTime("target.bin", -86400, 500);
  std::filesystem::create_directory("somedir");
  ASSERT_EQ(symlink("target.bin", "G0000002.pcx"), 0);
  ASSERT_EQ(symlink("somedir", "G0000003.pcx"), 0);  // a link to a directory is no screenshot
  ASSERT_EQ(symlink("missing", "G0000004.pcx"), 0);  // a dangling link is one, with its own time
  SetTime("G0000004.pcx", 42, 999, AT_SYMLINK_NOFOLLOW);

  long n = 0;
  std::vector<ListedLog> logs;
  ASSERT_EQ(CountShotsListingLogs(&n, &logs), ScanResult::kComplete);
  ASSERT_EQ(n, 3);
  ShotRecord records[3] = {};
  ASSERT_EQ(CollectShots(records, 3, &inUse, &linked, &n), ScanResult::kComplete);
  ASSERT_EQ(n, 3);
  std::map<std::string, std::uint64_t> times;
  for (const ShotRecord& r : records) times[r.name] = FileTimeTicks(r.writeTime);
  EXPECT_EQ(times["G0000001.pcx"], Ticks(1302685507, 123456789));
  EXPECT_EQ(times["G0000002.pcx"], Ticks(-86400, 500));
  EXPECT_EQ(times["G0000004.pcx"], Ticks(42, 999));
}

// Only "no such entry" means a listed entry went; any other failure to read
// its time leaves the set incomplete, and the pass says so.
TEST_F(PosixPlatform, AnEntryWhoseTimeCannotBeReadBreaksTheCollectingPass) {
  Touch("G0000001.pcx");
  Touch("G0000002.pcx");
  ShotRecord records[2] = {};
  long n = -1;
  {
    const testing::SyscallSwap failing(syscalls.fstatat, [](int, const char*, struct stat*, int) {
      errno = EIO;
      return -1;
    });
    EXPECT_EQ(CollectShots(records, 2, &inUse, &linked, &n), ScanResult::kBroken);
  }
  {
    const testing::SyscallSwap vanished(syscalls.fstatat, [](int, const char*, struct stat*, int) {
      errno = ENOENT;
      return -1;
    });
    EXPECT_EQ(CollectShots(records, 2, &inUse, &linked, &n), ScanResult::kComplete);
    EXPECT_EQ(n, 0);
  }
}

int FailWith(int error) {
  errno = error;
  return -1;
}

// A failed rename tells the cause the user can mend: permission, a full
// disk, a name in the way; anything else is a failure without a name.
TEST_F(PosixPlatform, RenameTellsTheCauseOfItsFailure) {
  static int error = 0;
  const testing::SyscallSwap fails(syscalls.renameat2,
                                   [](int, const char*, int, const char*, unsigned) { return FailWith(error); });
  const std::pair<int, RenameResult> causes[] = {
      {EACCES, RenameResult::kDenied},   {EPERM, RenameResult::kDenied},   {EROFS, RenameResult::kDenied},
      {ENOSPC, RenameResult::kNoSpace},  {EDQUOT, RenameResult::kNoSpace}, {EEXIST, RenameResult::kTaken},
      {ENOTEMPTY, RenameResult::kTaken}, {EISDIR, RenameResult::kTaken},   {EIO, RenameResult::kFailed},
      {ENOENT, RenameResult::kFailed}};
  Touch("a");
  for (const auto& [cause, result] : causes) {
    error = cause;
    EXPECT_EQ(RenameWithoutReplace("a", "b"), result) << cause;
  }
}

// Through the fallbacks, the cause told is that of the step that failed,
// not that of the cleanup after it, which may fail too.
TEST_F(PosixPlatform, AFallbackTellsTheCauseOfTheStepThatFailed) {
  const testing::SyscallSwap noFlag(syscalls.renameat2,
                                    [](int, const char*, int, const char*, unsigned) { return FailWith(EINVAL); });
  const testing::SyscallSwap cleanupFails(syscalls.unlink, [](const char* name) {
    return std::string(name) == "a" ? FailWith(EACCES) : FailWith(EIO);
  });
  Touch("a");
  EXPECT_EQ(RenameWithoutReplace("a", "b"), RenameResult::kDenied);
  const testing::SyscallSwap noLinks(syscalls.link, [](const char*, const char*) { return FailWith(EPERM); });
  const testing::SyscallSwap renameFails(syscalls.rename, [](const char*, const char*) { return FailWith(ENOSPC); });
  EXPECT_EQ(RenameWithoutReplace("a", "c"), RenameResult::kNoSpace);
}

// Where renameat2 does not know RENAME_NOREPLACE (EINVAL: FUSE, older file
// systems), a link and an unlink move the file.
TEST_F(PosixPlatform, LinkFallbackMovesButNeverReplaces) {
  const testing::SyscallSwap noFlag(syscalls.renameat2,
                                    [](int, const char*, int, const char*, unsigned) { return FailWith(EINVAL); });
  Touch("a", "A");
  Touch("b", "B");
  EXPECT_EQ(RenameWithoutReplace("a", "b"), RenameResult::kTaken);
  EXPECT_EQ(Read("a"), "A");
  EXPECT_EQ(Read("b"), "B");
  EXPECT_EQ(RenameWithoutReplace("a", "c"), RenameResult::kRenamed);
  EXPECT_FALSE(Exists("a"));
  EXPECT_EQ(Read("c"), "A");
  struct stat st {};
  ASSERT_EQ(stat("c", &st), 0);
  EXPECT_EQ(st.st_nlink, 1u);
  // When the old name cannot be removed, the new one goes again: the file
  // keeps its one name.
  {
    static int unlinks = 0;
    const testing::SyscallSwap firstFails(
        syscalls.unlink, [](const char* name) { return ++unlinks == 1 ? FailWith(EACCES) : unlink(name); });
    // Its cause is the unlink's, not the cleanup's after it.
    EXPECT_EQ(RenameWithoutReplace("c", "f"), RenameResult::kDenied);
  }
  EXPECT_EQ(Read("c"), "A");
  EXPECT_FALSE(Exists("f"));
  ASSERT_EQ(stat("c", &st), 0);
  EXPECT_EQ(st.st_nlink, 1u);
  // A link to a directory is not possible, so such a move fails cleanly.
  std::filesystem::create_directory("d");
  EXPECT_EQ(RenameWithoutReplace("d", "e"), RenameResult::kFailed);
  EXPECT_TRUE(Exists("d"));
  EXPECT_FALSE(Exists("e"));
}

// FAT and exFAT know neither the flag nor links: the destination is reserved
// by an exclusive create, and only that reservation is renamed over.
TEST_F(PosixPlatform, ReservationFallbackMovesButNeverReplaces) {
  const testing::SyscallSwap noFlag(syscalls.renameat2,
                                    [](int, const char*, int, const char*, unsigned) { return FailWith(EINVAL); });
  const testing::SyscallSwap noLinks(syscalls.link, [](const char*, const char*) { return FailWith(EPERM); });
  Touch("a", "A");
  Touch("b", "B");
  EXPECT_EQ(RenameWithoutReplace("a", "b"), RenameResult::kTaken);
  EXPECT_EQ(Read("a"), "A");
  EXPECT_EQ(Read("b"), "B");
  ASSERT_EQ(symlink("nowhere", "dangling"), 0);
  EXPECT_EQ(RenameWithoutReplace("a", "dangling"), RenameResult::kTaken);
  EXPECT_FALSE(Exists("nowhere"));
  EXPECT_EQ(RenameWithoutReplace("a", "c"), RenameResult::kRenamed);
  EXPECT_FALSE(Exists("a"));
  EXPECT_EQ(Read("c"), "A");
  // A rename that fails after the reservation takes the reservation away,
  // and tells its own error, not that of the cleanup.
  const testing::SyscallSwap renameFails(syscalls.rename, [](const char*, const char*) { return FailWith(ENOSPC); });
  EXPECT_EQ(RenameWithoutReplace("c", "e"), RenameResult::kNoSpace);
  EXPECT_EQ(Read("c"), "A");
  EXPECT_FALSE(Exists("e"));
}

// The only unlink of a user's file: a second name goes only when both names
// are one file. Another file with the same time on the same device, even
// one with a name outside the folder, stays.
TEST_F(PosixPlatform, RemovesOnlyASecondNameOfTheSameFile) {
  Touch("kept", "K");
  Touch("other", "O");
  ASSERT_EQ(link("other", "outside"), 0);
  EXPECT_FALSE(RemoveSecondName("other", "kept"));
  EXPECT_EQ(Read("other"), "O");
  ASSERT_EQ(link("kept", "extra"), 0);
  EXPECT_TRUE(RemoveSecondName("extra", "kept"));
  EXPECT_FALSE(Exists("extra"));
  EXPECT_EQ(Read("kept"), "K");
}

// The listing knows the names of one file by its identity, and no other
// file's: not one of a single name, nor another file of two names, nor a
// symbolic link to a file of two.
TEST_F(PosixPlatform, TheListingTellsTheNamesOfOneFile) {
  Touch("G0000001.pcx", "A");
  Touch("G0000002.pcx", "B");
  Touch("G0000004.pcx", "D");
  ASSERT_EQ(link("G0000001.pcx", "_tmp_5_G0000001.pcx"), 0);
  ASSERT_EQ(link("G0000004.pcx", "elsewhere"), 0);
  ASSERT_EQ(symlink("G0000001.pcx", "G0000003.pcx"), 0);
  ShotRecord records[5] = {};
  long n = 0;
  linked = LinkedNames{};
  ASSERT_EQ(CollectShots(records, 5, &inUse, &linked, &n), ScanResult::kComplete);
  EXPECT_EQ(n, 5);
  EXPECT_TRUE(linked.OneFile("G0000001.pcx", "_tmp_5_G0000001.pcx"));
  EXPECT_FALSE(linked.OneFile("G0000001.pcx", "G0000002.pcx"));
  EXPECT_FALSE(linked.OneFile("_tmp_5_G0000001.pcx", "G0000004.pcx"));
  EXPECT_FALSE(linked.OneFile("G0000003.pcx", "G0000001.pcx"));
}

// A symbolic link named like a log is never cut or removed, nor is what it
// points to; a cut the file system refuses leaves the file as it was.
TEST_F(PosixPlatform, NeverCutsOrRemovesThroughALink) {
  Touch("log.csv", std::string("a,b\n") + std::string(4, '\0'));
  ASSERT_EQ(symlink("log.csv", "link.csv"), 0);
  EXPECT_EQ(CutFileKeepingTime("link.csv", 4), FileStep::kFailed);
  EXPECT_FALSE(RemoveRegularFile("link.csv"));
  {
    const testing::SyscallSwap failing(syscalls.ftruncate, [](int, off_t) {
      errno = EIO;
      return -1;
    });
    EXPECT_EQ(CutFileKeepingTime("log.csv", 4), FileStep::kFailed);
  }
  EXPECT_EQ(ReadBytes("log.csv").size(), 8u);
  EXPECT_TRUE(Exists("link.csv"));
}

// A log name counts as taken whatever bears it, a dangling link included.
TEST_F(PosixPlatform, AnyEntryButAFolderBearsAName) {
  ASSERT_EQ(symlink("nowhere", "dangling"), 0);
  Touch("file");
  std::filesystem::create_directory("folder");
  EXPECT_TRUE(FileExists("dangling"));
  EXPECT_TRUE(FileExists("file"));
  EXPECT_FALSE(FileExists("folder"));
  EXPECT_FALSE(FileExists("absent"));
}

// Sets TZ for the rest of the test and waits for the clock's next second, the
// moment from which the tool applies the zone's offset.
void UseZoneFromNextSecond(const char* zone) {
  ASSERT_EQ(setenv("TZ", zone, 1), 0);
  tzset();
  const time_t start = time(nullptr);
  while (time(nullptr) == start) usleep(10000);
}

CalendarTime LocalCalendarOf(std::int64_t seconds) {
  CalendarTime c{};
  EXPECT_TRUE(LocalCalendarOfFileTime(FileTimeFromUnix(seconds, 120000000), &c));
  return c;
}

TEST(LocalTime, AppliesTheOffsetInForceNowAndFollowsItsChange) {
  const char* saved = getenv("TZ");
  const std::string previous = saved != nullptr ? saved : "";
  UseZoneFromNextSecond("JST-9");
  CalendarTime c = LocalCalendarOf(0);
  EXPECT_EQ((std::vector<int>{c.year, c.month, c.day, c.hour, c.minute, c.milliseconds}),
            (std::vector<int>{1970, 1, 1, 9, 0, 120}));
  // Within one run the zone can change (a daylight-saving switch); rows
  // converted after the change use the new offset.
  UseZoneFromNextSecond("EST5");
  c = LocalCalendarOf(0);
  EXPECT_EQ((std::vector<int>{c.year, c.month, c.day, c.hour, c.minute, c.milliseconds}),
            (std::vector<int>{1969, 12, 31, 19, 0, 120}));
  // The offset of now, not of the one at the file's date: a file from the
  // other half of the year is shifted by today's offset all the same.
  UseZoneFromNextSecond("EST5EDT,M3.2.0,M11.1.0");
  const time_t now = time(nullptr);
  tm local{};
  ASSERT_NE(localtime_r(&now, &local), nullptr);
  const long offsetNow = local.tm_gmtoff;
  time_t other = now;
  for (int month = 1; month <= 12 && local.tm_gmtoff == offsetNow; ++month) {
    other = now - month * 30 * 86400;
    ASSERT_NE(localtime_r(&other, &local), nullptr);
  }
  ASSERT_NE(local.tm_gmtoff, offsetNow);
  const time_t shifted = other + offsetNow;
  tm expected{};
  ASSERT_NE(gmtime_r(&shifted, &expected), nullptr);
  c = LocalCalendarOf(other);
  EXPECT_EQ((std::vector<int>{c.year, c.month, c.day, c.hour, c.minute, c.second}),
            (std::vector<int>{expected.tm_year + 1900, expected.tm_mon + 1, expected.tm_mday, expected.tm_hour,
                              expected.tm_min, expected.tm_sec}));
  if (saved != nullptr) {
    UseZoneFromNextSecond(previous.c_str());
  } else {
    unsetenv("TZ");
    tzset();
    // The tool holds an offset for the rest of its second: the tests after
    // this one start in a second of their own.
    const time_t start = time(nullptr);
    while (time(nullptr) == start) usleep(10000);
  }
}

}  // namespace
}  // namespace shotrenum

namespace shotrenum {
namespace {

// A flush the file system does not do is refused, and the command goes on;
// an I/O error is a failure. Both for a log and for the folder.
TEST_F(PosixPlatform, FlushOutcomesAreReadOnce) {
  std::FILE* file = CreateNewTextFile("log.csv");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(MakeFileDurable(file, nullptr, 0), Durable::kDone);
  EXPECT_EQ(MakeFolderDurable(), Durable::kDone);
  {
    const testing::SyscallSwap refused(syscalls.fdatasync, [](int) { return FailWith(EINVAL); });
    const testing::SyscallSwap refusedFolder(syscalls.fsync, [](int) { return FailWith(EROFS); });
    EXPECT_EQ(MakeFileDurable(file, nullptr, 0), Durable::kRefused);
    EXPECT_EQ(MakeFolderDurable(), Durable::kRefused);
  }
  {
    const testing::SyscallSwap failed(syscalls.fdatasync, [](int) { return FailWith(EIO); });
    const testing::SyscallSwap failedFolder(syscalls.fsync, [](int) { return FailWith(EIO); });
    EXPECT_EQ(MakeFileDurable(file, nullptr, 0), Durable::kFailed);
    EXPECT_EQ(MakeFolderDurable(), Durable::kFailed);
  }
  // A window's stores are written back before the file's data.
  ASSERT_EQ(AllocateFile(file, 8192), FileStep::kDone);
  char* window = nullptr;
  ASSERT_EQ(MapFileWindow(file, 0, 8192, &window), FileStep::kDone);
  {
    const testing::SyscallSwap failedWindow(syscalls.msync, [](void*, std::size_t, int) { return FailWith(EIO); });
    EXPECT_EQ(MakeFileDurable(file, window, 8192), Durable::kFailed);
  }
  EXPECT_EQ(MakeFileDurable(file, window, 8192), Durable::kDone);
  UnmapFileWindow(window, 8192);
  CloseFile(file);
}

// Only a refusal tells that a folder may not be written: a question that
// failed otherwise warns of nothing.
TEST_F(PosixPlatform, AFolderMayNotBeWrittenOnlyWhenRefused) {
  EXPECT_EQ(CanWriteFolder(), FolderWrite::kAllowed);
  for (const int refusal : {EACCES, EROFS, EPERM}) {
    static int error;
    error = refusal;
    const testing::SyscallSwap refused(syscalls.faccessat, [](int, const char*, int, int) { return FailWith(error); });
    EXPECT_EQ(CanWriteFolder(), FolderWrite::kDenied) << refusal;
  }
  const testing::SyscallSwap failed(syscalls.faccessat, [](int, const char*, int, int) { return FailWith(EIO); });
  EXPECT_EQ(CanWriteFolder(), FolderWrite::kUnknown);
}

}  // namespace
}  // namespace shotrenum
