// What only a POSIX file system can show: nanosecond file times, symbolic
// links, and the rename fallback for file systems without no-replace renames.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "platform/filetime.h"
#include "platform/platform.h"
#include "shots/scan.h"
#include "temp_dir.h"

namespace shotrenum {
namespace {

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

  ASSERT_EQ(CountShots(), 3);
  ShotRecord records[3] = {};
  ASSERT_EQ(CollectShots(records, 3), 3);
  std::map<std::string, std::uint64_t> times;
  for (const ShotRecord& r : records) times[r.name] = FileTimeTicks(r.writeTime);
  EXPECT_EQ(times["G0000001.pcx"], Ticks(1302685507, 123456789));
  EXPECT_EQ(times["G0000002.pcx"], Ticks(-86400, 500));
  EXPECT_EQ(times["G0000004.pcx"], Ticks(42, 999));
}

TEST_F(PosixPlatform, LinkFallbackMovesButNeverReplaces) {
  ASSERT_EQ(setenv("SHOTRENUM_SEAM_NO_NOREPLACE", "1", 1), 0);
  Touch("a", "A");
  Touch("b", "B");
  EXPECT_FALSE(RenameWithoutReplace("a", "b"));
  EXPECT_EQ(Read("a"), "A");
  EXPECT_EQ(Read("b"), "B");
  EXPECT_TRUE(RenameWithoutReplace("a", "c"));
  EXPECT_FALSE(Exists("a"));
  EXPECT_EQ(Read("c"), "A");
  struct stat st {};
  ASSERT_EQ(stat("c", &st), 0);
  EXPECT_EQ(st.st_nlink, 1u);
  // A link to a directory is not possible, so such a move fails cleanly.
  std::filesystem::create_directory("d");
  EXPECT_FALSE(RenameWithoutReplace("d", "e"));
  EXPECT_TRUE(Exists("d"));
  EXPECT_FALSE(Exists("e"));
  unsetenv("SHOTRENUM_SEAM_NO_NOREPLACE");
}

}  // namespace
}  // namespace shotrenum
