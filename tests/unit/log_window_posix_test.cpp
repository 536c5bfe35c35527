// A log stored through a shared mapping on POSIX: each step of it failing the
// way the system fails, and a process killed partway.
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <string>
#include <vector>

#include "log_moves.h"
#include "log_window_texts.h"
#include "platform/platform.h"
#include "rename/log_window.h"
#include "syscall_swap.h"
#include "temp_dir.h"

namespace shotrenum {
namespace {

using PosixLogWindow = testing::LogWindowDir;
using testing::BytesOf;
using testing::LogTexts;
using testing::StoreTexts;
using testing::SyscallSwap;

testing::CallFailure<int> failure;

int FailingFallocate(int fd, int, off_t offset, off_t length) {
  // A full disk may leave the file grown part of the way.
  errno = failure.error == ENOSPC && ftruncate(fd, (offset + length) / 2) != 0 ? EIO : failure.error;
  return -1;
}

void* FailingMmap(void* address, std::size_t length, int protection, int flags, int fd, off_t offset) {
  if (!failure.Fails()) return mmap(address, length, protection, flags, fd, offset);
  errno = failure.error;
  return MAP_FAILED;
}

int FailingMunmap(void* address, std::size_t length) {
  munmap(address, length);
  errno = EINVAL;
  return -1;
}

int FailingFtruncate(int, off_t) {
  errno = EIO;
  return -1;
}

// Allocation or the first window failing, for whatever reason, leaves the file
// empty, and the log is written plainly from its first byte.
TEST_F(PosixLogWindow, AnyStepThatFailsAtTheStartLeavesTheFileToPlainWrites) {
  const std::vector<std::string> texts = LogTexts(MappingGranularity() * 2);
  const std::string plain = PlainBytes(texts);
  {
    const SyscallSwap fallocate(syscalls.fallocate, FailingFallocate);
    EXPECT_EQ(StepOfFailure(failure, true, EOPNOTSUPP), FileStep::kUnsupported);  // FUSE
    EXPECT_EQ(StepOfFailure(failure, true, EINVAL), FileStep::kUnsupported);
    EXPECT_EQ(StepOfFailure(failure, true, EIO), FileStep::kFailed);
    EXPECT_EQ(StepOfFailure(failure, true, ENOSPC), FileStep::kNoSpace);
    failure = {ENOSPC, 0, 1};
    const testing::Stored stored = StoreTexts("full.csv", texts, plain.size() + 100, 1);
    EXPECT_EQ(stored.begun, LogWindowState::kPlain);
    EXPECT_EQ(ReadBytes("full.csv"), plain);
  }
  const SyscallSwap mapping(syscalls.mmap, FailingMmap);
  EXPECT_EQ(StepOfFailure(failure, false, ENOMEM), FileStep::kFailed);
  EXPECT_EQ(StepOfFailure(failure, false, ENODEV), FileStep::kUnsupported);  // no mmap on this file system
}

// A window that cannot move on, or one that cannot be given up, hands the
// rest of the log to plain writes right after the bytes stored; the room
// allocated beyond them goes.
TEST_F(PosixLogWindow, AWindowThatCannotMoveOnHandsTheRestToPlainWrites) {
  const std::vector<std::string> texts = LogTexts(MappingGranularity() * 3);
  const std::string plain = PlainBytes(texts);
  {
    const SyscallSwap mapping(syscalls.mmap, FailingMmap);
    failure = {ENOMEM, 0, 3};
    ExpectPlainWritesFromPartway("mmap.csv", texts, plain);
  }
  const SyscallSwap unmapping(syscalls.munmap, FailingMunmap);
  ExpectPlainWritesFromPartway("munmap.csv", texts, plain);
}

// Where the file's end cannot be set, the stored rows stay, followed by the
// NULs of the allocation, and nothing more is written into it.
TEST_F(PosixLogWindow, AFileWhoseEndCannotBeSetKeepsItsNulTail) {
  const std::vector<std::string> texts = LogTexts(MappingGranularity() * 2);
  const std::string plain = PlainBytes(texts);
  const SyscallSwap cutting(syscalls.ftruncate, FailingFtruncate);
  EXPECT_EQ(StoreTexts("end.csv", texts, plain.size() + 5, 1).ended, LogWindowState::kNulTail);
  EXPECT_EQ(ReadBytes("end.csv"), plain + std::string(5, '\0'));
  // Nor can a file be emptied again whose first window failed.
  {
    const SyscallSwap mapping(syscalls.mmap, FailingMmap);
    failure = {ENODEV, 0, 1};
    EXPECT_EQ(StoreTexts("start.csv", texts, plain.size(), 1).begun, LogWindowState::kNulTail);
    EXPECT_EQ(ReadBytes("start.csv"), std::string(plain.size(), '\0'));
  }
  // A file system that can neither allocate nor cut (a FUSE FAT driver): the
  // file never grew, needs no cut, and takes plain writes.
  const SyscallSwap fallocate(syscalls.fallocate, FailingFallocate);
  failure = {EOPNOTSUPP, 0, 1};
  EXPECT_EQ(StoreTexts("fat.csv", texts, plain.size(), 1).begun, LogWindowState::kPlain);
  EXPECT_EQ(ReadBytes("fat.csv"), plain);
}

int OneFallocateFails(int fd, int mode, off_t offset, off_t length) {
  if (++failure.calls == failure.failFrom) return FailingFallocate(fd, mode, offset, length);
  return fallocate(fd, mode, offset, length);
}

// A run whose process log cannot be mapped (here: no room for it) writes
// both logs a row at a time as it always has: the result log is created
// between the phases, and both end as before. A result log that cannot be
// mapped is created with its head before the first rename all the same, and
// written a row at a time.
TEST_F(PosixLogWindow, ARunWhoseLogsCannotBeMappedWritesThemAsBefore) {
  const SyscallSwap fallocate(syscalls.fallocate, OneFallocateFails);
  failure = {ENOSPC, 0, 1};
  const testing::ReversedShots shots(300, 3);
  const testing::MovedRun run = testing::MoveIntoLogs(shots);
  testing::ExpectWholeLogs(shots, run, false, false);
  std::remove(run.process.fileName);
  std::remove(run.result.fileName);
  failure = {ENOSPC, 0, 2};
  const testing::MovedRun result = testing::MoveIntoLogs(shots);
  testing::ExpectWholeLogs(shots, result, true, false);
}

std::vector<ssize_t> headBytes;  // what each log held when its room was taken

int FallocateNotingHead(int fd, int mode, off_t offset, off_t length) {
  char head[8];
  headBytes.push_back(pread(fd, head, sizeof head, 0));
  return fallocate(fd, mode, offset, length);
}

// No log is empty when its room is taken, so that a kill at any instant
// leaves a log that can be read: each holds its head by then.
TEST_F(PosixLogWindow, EachLogHoldsItsHeadBeforeItsRoomIsTaken) {
  const SyscallSwap fallocate(syscalls.fallocate, FallocateNotingHead);
  headBytes.clear();
  const testing::ReversedShots shots(10, 0);
  testing::ExpectWholeLogs(shots, testing::MoveIntoLogs(shots), true, true);
  EXPECT_EQ(headBytes, (std::vector<ssize_t>{8, 8}));
}

void* OneMmapFails(void* address, std::size_t length, int protection, int flags, int fd, off_t offset) {
  if (++failure.calls != failure.failFrom) return mmap(address, length, protection, flags, fd, offset);
  errno = failure.error;
  return MAP_FAILED;
}

// A window that cannot move on leaves the rest of its log to writes, the row
// that found it so included; where the room beyond the rows cannot be cut
// off either, the file takes nothing more, and the rest goes to standard
// output as a full disk's rows do. (The logs are compared whole, but not
// shown: they are long enough for the windows to move on.)
TEST_F(PosixLogWindow, ALogWhoseWindowCannotMoveOnLosesNoRow) {
  const testing::ReversedShots shots(6000, 0);
  const std::string process = shots.Log(LogKind::kProcess);
  // The third mapping: the process log's second window.
  const SyscallSwap mapping(syscalls.mmap, OneMmapFails);
  failure = {ENOMEM, 0, 3};
  testing::MovedRun run = testing::MoveIntoLogs(shots);
  testing::ExpectWholeLogs(shots, run, true, true);
  std::remove(run.process.fileName);
  std::remove(run.result.fileName);

  const SyscallSwap cutting(syscalls.ftruncate, FailingFtruncate);
  failure = {ENOMEM, 0, 3};
  ::testing::internal::CaptureStdout();
  run = testing::MoveIntoLogs(shots);
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_TRUE(run.process.fileFailed);
  const std::string file = ReadBytes(run.process.fileName);
  const std::size_t stored = file.find('\0');
  ASSERT_NE(stored, std::string::npos);
  EXPECT_GT(stored, LogHeadText(LogKind::kProcess, "").size());
  // Each log was given one NUL more than its rows, which stays where
  // nothing can be cut (the next command that reads the log cuts it).
  EXPECT_TRUE(file == process.substr(0, stored) + std::string(process.size() + 1 - stored, '\0'));
  EXPECT_TRUE(out == LogHeadText(LogKind::kProcess, "") + process.substr(stored));
  EXPECT_TRUE(ReadBytes(run.result.fileName) == shots.Log(LogKind::kResult) + '\0');
}

int cutsTried = 0;

int FirstFtruncateFails(int fd, off_t length) {
  if (++cutsTried == 1) return FailingFtruncate(fd, length);
  return ftruncate(fd, length);
}

// A result log given up before the first rename (its first window failed,
// and its room could not be cut back) has its rows on standard output under
// one title, and tells so: the second phase does not open it again as if it
// had never been.
TEST_F(PosixLogWindow, AResultLogGivenUpBeforeTheFirstRenameKeepsItsRowsOnStandardOutput) {
  const SyscallSwap mapping(syscalls.mmap, OneMmapFails);
  failure = {ENOMEM, 0, 2};  // the result log's first window
  const SyscallSwap cutting(syscalls.ftruncate, FirstFtruncateFails);
  cutsTried = 0;
  const testing::ReversedShots shots(10, 0);
  ::testing::internal::CaptureStdout();
  const testing::MovedRun run = testing::MoveIntoLogs(shots);
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_TRUE(run.result.fileFailed);
  EXPECT_EQ(out, shots.Log(LogKind::kResult));
  EXPECT_TRUE(testing::TextOf(run.process.fileName) == shots.Log(LogKind::kProcess));
}

// A result log whose name something else holds when its room is due (a
// folder here) is tried again between the phases, and then stands in on
// standard output, head and all.
TEST_F(PosixLogWindow, AResultLogThatCannotBeCreatedAtFirstStandsInOnStandardOutput) {
  char name[64];
  LogFileName(name, LogKind::kResult, testing::kMoveStart);
  ASSERT_EQ(mkdir(name, 0700), 0);
  const testing::ReversedShots shots(10, 0);
  ::testing::internal::CaptureStdout();
  const testing::MovedRun run = testing::MoveIntoLogs(shots);
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(out, shots.Log(LogKind::kResult));
  EXPECT_TRUE(testing::TextOf(run.process.fileName) == shots.Log(LogKind::kProcess));
  rmdir(name);
}

int folderSyncs = 0;

int CountingFsync(int fd) {
  ++folderSyncs;
  return fsync(fd);
}

// Between the phases the folder is made durable beside the process log: the
// first phase's renames reach the disk before any row of the second can, so
// a second-phase row a cut keeps without its rename finds its file at the
// temporary name the first phase gave it.
TEST_F(PosixLogWindow, TheBarrierBetweenThePhasesMakesTheFolderDurable) {
  RunLog process = OpenRunLog(LogKind::kProcess, testing::kMoveStart);
  RunLog result{};
  testing::LogsOnly sink(process, result);
  const SyscallSwap syncing(syscalls.fsync, CountingFsync);
  folderSyncs = 0;
  EXPECT_TRUE(sink.MakeDurable(Barrier::kFirstPhase));
  EXPECT_EQ(folderSyncs, 1);
  CloseRunLog(process);
  std::remove(process.fileName);
}

// How many mappings of the file `name` the process holds.
int MappingsOf(const char* name) {
  struct stat st {};
  stat(name, &st);
  std::ifstream maps("/proc/self/maps");
  int count = 0;
  for (std::string line; std::getline(maps, line);) {
    unsigned long inode = 0;
    if (std::sscanf(line.c_str(), "%*s %*s %*s %*s %lu", &inode) == 1 && inode == st.st_ino) ++count;
  }
  return count;
}

// However far the log goes, one window of it is mapped; a process killed
// partway leaves every row stored before the kill, then NULs to the end.
TEST_F(PosixLogWindow, OneWindowIsMappedAndAKillLeavesEveryStoredRow) {
  const std::vector<std::string> texts = LogTexts(MappingGranularity() * 6);
  const std::uint64_t size = BytesOf(texts);
  const std::size_t killedAt = texts.size() * 2 / 3;
  std::string stored;
  for (std::size_t i = 0; i < killedAt; ++i) stored += texts[i];
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::FILE* file = CreateNewTextFile("killed.csv");
    LogWindow log;
    if (BeginLogWindow(log, file, 0, size, 1) != LogWindowState::kMapped) _exit(1);
    for (std::size_t i = 0; i < killedAt; ++i) {
      if (StoreInLogWindow(log, texts[i]) != LogWindowState::kMapped || MappingsOf("killed.csv") != 1) _exit(2);
    }
    kill(getpid(), SIGKILL);
    _exit(3);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status);
  EXPECT_EQ(ReadBytes("killed.csv"), stored + std::string(size - stored.size(), '\0'));
}

// Another program cuts the file underneath the window (to nothing, to half,
// to one page): the store that falls past its end completes, ends nothing,
// and tells kChanged, the window given up; a cut after the last store is told
// when asked, and the end leaves the file as the cut left it. A SIGBUS from
// any other mapping still ends the process.
TEST_F(PosixLogWindow, ACutUnderTheWindowIsToldAndEndsNothing) {
  const std::vector<std::string> texts = LogTexts(MappingGranularity() * 6);
  const std::uint64_t size = BytesOf(texts);
  for (const off_t keep : {off_t{0}, static_cast<off_t>(size / 2), off_t{4096}}) {
    SCOPED_TRACE(keep);
    std::FILE* file = CreateNewTextFile("cut.csv");
    LogWindow log;
    ASSERT_EQ(BeginLogWindow(log, file, 0, size, MappingGranularity() * 2), LogWindowState::kMapped);
    std::size_t i = 0;
    for (; i < texts.size() / 4; ++i) ASSERT_EQ(StoreInLogWindow(log, texts[i]), LogWindowState::kMapped);
    ASSERT_EQ(ftruncate(fileno(file), keep), 0);
    LogWindowState state = LogWindowState::kMapped;
    for (; i < texts.size() && state == LogWindowState::kMapped; ++i) state = StoreInLogWindow(log, texts[i]);
    EXPECT_EQ(state, LogWindowState::kChanged);
    EXPECT_LT(i, texts.size());
    EXPECT_EQ(MappingsOf("cut.csv"), 0);
    EXPECT_EQ(StoreInLogWindow(log, texts[i]), LogWindowState::kChanged);
    EXPECT_EQ(EndLogWindow(log), LogWindowState::kChanged);
    CloseFile(file);
    EXPECT_EQ(ReadBytes("cut.csv").size(), static_cast<std::size_t>(keep));
    ASSERT_EQ(unlink("cut.csv"), 0);

    // Every row stored, then the cut: only the question finds it.
    file = CreateNewTextFile("late.csv");
    ASSERT_EQ(BeginLogWindow(log, file, 0, size + 1, MappingGranularity()), LogWindowState::kMapped);
    for (const std::string& text : texts) ASSERT_EQ(StoreInLogWindow(log, text), LogWindowState::kMapped);
    EXPECT_EQ(CheckLogWindow(log), LogWindowState::kMapped);
    ASSERT_EQ(ftruncate(fileno(file), keep), 0);
    // Asked, or at the end itself.
    if (keep != 0) {
      EXPECT_EQ(CheckLogWindow(log), LogWindowState::kChanged);
    }
    EXPECT_EQ(EndLogWindow(log), LogWindowState::kChanged);
    CloseFile(file);
    EXPECT_EQ(ReadBytes("late.csv").size(), static_cast<std::size_t>(keep));
    ASSERT_EQ(unlink("late.csv"), 0);
  }
  EXPECT_EXIT(
      {
        // The handler is in place once a window was mapped.
        std::FILE* ours = CreateNewTextFile("ours.csv");
        LogWindow log;
        BeginLogWindow(log, ours, 0, MappingGranularity(), MappingGranularity());
        const int fd = open("other.bin", O_RDWR | O_CREAT, 0600);
        if (fd < 0 || ftruncate(fd, 8192) != 0) _exit(10);
        auto* other = static_cast<char*>(mmap(nullptr, 8192, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0));
        if (other == MAP_FAILED || ftruncate(fd, 0) != 0) _exit(11);
        other[5000] = 'x';
        _exit(12);
      },
      // The fault goes on to the handler that was there before ours: the
      // default one kills; a sanitizer's reports and exits 1.
      [](int status) {
        return (WIFSIGNALED(status) && WTERMSIG(status) == SIGBUS) || (WIFEXITED(status) && WEXITSTATUS(status) == 1);
      },
      "");
}

}  // namespace
}  // namespace shotrenum
