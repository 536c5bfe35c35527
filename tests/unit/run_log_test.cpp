#include "rename/run_log.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "log_moves.h"
#include "platform/filetime.h"
#include "syscall_swap.h"
#include "temp_dir.h"
#include "text_newline.h"
#include "texts.h"

namespace shotrenum {
namespace {

using RunLogFile = testing::InTempDir;

const CalendarTime kStart{2011, 4, 13, 9, 5, 7, 0};
// A file time with no calendar date: its row shows zeros whatever the zone.
const FILETIME kDateless = FileTimeFromTicks(std::uint64_t{1} << 63);
const std::string kDatelessTime = ",0000/00/00,00:00:00:00\n";

void WriteRow(RunLog& log, bool ok, const char* before, const char* after, FILETIME writeTime) {
  WriteLogRow(log, ok, before, after, writeTime);
}

TEST_F(RunLogFile, NamesBothLogsFromTheStartTimeAndWritesTitleAndHeader) {
  RunLog process = OpenRunLog(LogKind::kProcess, kStart);
  RunLog result = OpenRunLog(LogKind::kResult, CalendarTime{987, 1, 2, 3, 4, 5, 0});
  EXPECT_STREQ(process.fileName, "VeltraskoAll_20110413090507.csv");
  EXPECT_STREQ(result.fileName, "VeltraskoLog_09870102030405.csv");
  WriteRow(process, true, "G0000001.pcx", "_tmp_1_G0000001.pcx", kDateless);
  WriteRow(result, false, "g0000001.PCX", "G0000000.pcx", kDateless);
  CloseRunLog(result);
  CloseRunLog(process);
  EXPECT_EQ(Read("VeltraskoAll_20110413090507.csv"), std::string(texts::kProcessLogTitle) + texts::kLogHeader +
                                                         "OK,G0000001.pcx,_tmp_1_G0000001.pcx" + kDatelessTime);
  EXPECT_EQ(Read("VeltraskoLog_09870102030405.csv"),
            std::string(texts::kResultLogTitle) + texts::kLogHeader + "NG,g0000001.PCX,G0000000.pcx" + kDatelessTime);
}

// An older run's rows are the user's record of it: never emptied.
TEST_F(RunLogFile, LeavesAnOlderLogOfTheSameNameAlone) {
  Touch("VeltraskoLog_20110413090507.csv", "an older run's rows\n");
  ::testing::internal::CaptureStdout();
  RunLog log = OpenRunLog(LogKind::kResult, kStart);
  CloseRunLog(log);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), std::string(texts::kResultLogTitle) + texts::kLogHeader);
  EXPECT_EQ(Read("VeltraskoLog_20110413090507.csv"), "an older run's rows\n");
}

// A run killed between two renames must leave every row written so far in the
// file, so nothing may wait in a buffer for the close.
TEST_F(RunLogFile, EachRowIsInTheFileBeforeTheNextOne) {
  RunLog log = OpenRunLog(LogKind::kResult, kStart);
  const std::string head = std::string(texts::kResultLogTitle) + texts::kLogHeader;
  EXPECT_EQ(Read(log.fileName), head);
  WriteRow(log, true, "G0000002.pcx", "G0000000.pcx", kDateless);
  const std::string first = "OK,G0000002.pcx,G0000000.pcx" + kDatelessTime;
  EXPECT_EQ(Read(log.fileName), head + first);
  WriteRow(log, false, "G0000001.pcx", "G0000001.pcx", kDateless);
  const std::string second = "NG,G0000001.pcx,G0000001.pcx" + kDatelessTime;
  EXPECT_EQ(Read(log.fileName), head + first + second);
  // Names longer than any the tool makes still give one whole row.
  const std::string longName(300, 'x');
  WriteRow(log, true, longName.c_str(), "y", kDateless);
  EXPECT_EQ(Read(log.fileName), head + first + second + "OK," + longName + ",y" + kDatelessTime);
  CloseRunLog(log);
}

TEST_F(RunLogFile, GoesToStandardOutputWhenTheFileCannotBeCreated) {
  std::filesystem::create_directory("VeltraskoAll_20110413090507.csv");
  ::testing::internal::CaptureStdout();
  RunLog log = OpenRunLog(LogKind::kProcess, kStart);
  WriteRow(log, false, "a", "b", kDateless);
  EXPECT_EQ(log.where, LogPlace::kStandardOutput);
  CloseRunLog(log);  // must leave stdout open
  std::fflush(stdout);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            std::string(texts::kProcessLogTitle) + texts::kLogHeader + "NG,a,b" + kDatelessTime);
  EXPECT_STREQ(log.fileName, "VeltraskoAll_20110413090507.csv");
}

// A close that fails may have lost rows: the user is told.
TEST_F(RunLogFile, AFailedCloseCountsAsLostRows) {
  RunLog log = OpenRunLog(LogKind::kResult, kStart);
  WriteRow(log, true, "G0000002.pcx", "G0000000.pcx", kDateless);
  {
    const testing::SyscallSwap failing(syscalls.fclose, [](std::FILE* file) {
      std::fclose(file);
      errno = EIO;
      return EOF;
    });
    CloseRunLog(log);
  }
  EXPECT_TRUE(log.rowsLost);
}

std::string WithTextNewlines(const std::string& lines) {
  std::string out;
  for (const char c : lines) {
    if (c == '\n') {
      out += testing::kTextNewline;
    } else {
      out += c;
    }
  }
  return out;
}

// Read as bytes: every line ends the way text files do on this OS.
TEST_F(RunLogFile, TimeWithoutACalendarDatePrintsAsZeros) {
  RunLog log = OpenRunLog(LogKind::kResult, kStart);
  WriteRow(log, true, "G0000001.pcx", "G0000000.pcx", FILETIME{0xFFFFFFFF, 0xFFFFFFFF});
  CloseRunLog(log);
  EXPECT_EQ(ReadBytes(log.fileName), WithTextNewlines(std::string(texts::kResultLogTitle) + texts::kLogHeader +
                                                      "OK,G0000001.pcx,G0000000.pcx,0000/00/00,00:00:00:00\n"));
}

// A row takes in the file exactly the bytes LogRowBytes gives, line end
// included, whatever the width of its year or its names.
TEST_F(RunLogFile, ARowTakesTheBytesItsSizeSays) {
  RunLog log = OpenRunLog(LogKind::kResult, kStart);
  std::uint64_t size = std::filesystem::file_size(log.fileName);
  const std::string longName(300, 'x');
  for (const FILETIME time : {kDateless, FileTimeFromUnix(1302685507, 0), FileTimeFromTicks(0x7FFF000000000000)}) {
    for (const char* name : {"G0000001.pcx", "_tmp_1302685507_G0000001.pcx", longName.c_str()}) {
      WriteRow(log, true, name, "G0000000.pcx", time);
      const std::uint64_t grown = std::filesystem::file_size(log.fileName);
      EXPECT_EQ(grown - size, LogRowBytes(name, "G0000000.pcx", time)) << name;
      size = grown;
    }
  }
  CloseRunLog(log);
}

// Before the first rename both logs are there, with their heads, and take
// their rows through mappings; they end as writes would leave them.
TEST_F(RunLogFile, BothLogsAreThereBeforeTheFirstRenameAndEndAsWritesLeaveThem) {
  // Enough rows that the windows move on along both logs.
  const testing::ReversedShots shots(6000, 7);
  testing::ExpectWholeLogs(shots, testing::MoveIntoLogs(shots), true, true);
}

// The room the move gives each log is what its rows take: rows of files that
// stay, and of files from temporary names, included.
TEST(MoveInTwoPhases, GivesEachLogTheRoomOfItsRowsBeforeTheFirstRename) {
  class Counting : public MoveSink {
   public:
    // Every other rename fails.
    RenameResult Rename(const char*, const char*) override {
      EXPECT_TRUE(begun);
      fail = !fail;
      return fail ? RenameResult::kFailed : RenameResult::kRenamed;
    }
    bool Row(LogKind log, bool, const char* before, const char* after, FILETIME writeTime) override {
      (log == LogKind::kProcess ? process : result) += LogRowBytes(before, after, writeTime);
      return true;
    }
    bool Whole(LogKind) override { return true; }
    void Restart(LogKind) override {}
    std::uint64_t RowBytes(const char* before, const char* after, FILETIME writeTime) override {
      return LogRowBytes(before, after, writeTime);
    }
    void Begin(std::uint64_t processRowBytes, std::uint64_t resultRowBytes) override {
      begun = true;
      roomProcess = processRowBytes;
      roomResult = resultRowBytes;
    }
    void SecondPhase() override {}
    void Show(const char*, long) override {}
    bool MakeDurable(Barrier) override { return true; }

    bool begun = false;
    bool fail = false;
    std::uint64_t process = 0, result = 0, roomProcess = 0, roomResult = 0;
  };
  Counting sink;
  MoveInTwoPhases(testing::kMoveStamp, testing::ReversedShots(25, 4), sink);
  EXPECT_GT(sink.process, sink.result);
  EXPECT_EQ(sink.roomProcess, sink.process);
  EXPECT_EQ(sink.roomResult, sink.result);
}

// The date and time columns, held against the printf format the logs have
// always used.
TEST(FormatLogTime, MatchesThePrintfLayoutForEveryFieldWidth) {
  const CalendarTime calendars[] = {
      {},
      {1601, 1, 1, 0, 0, 0, 0},
      {2011, 4, 13, 9, 5, 7, 125},
      {1999, 12, 31, 23, 59, 60, 999},
      {987, 10, 2, 3, 4, 5, 9},
      {30828, 9, 14, 2, 48, 5, 477},
  };
  for (const CalendarTime& c : calendars) {
    char expected[64];
    std::snprintf(expected, sizeof expected, "%04d/%02d/%02d,%02d:%02d:%02d:%02d\n", c.year, c.month, c.day, c.hour,
                  c.minute, c.second, c.milliseconds / 10);
    char time[kLogTimeRoom];
    EXPECT_EQ(std::string(time, FormatLogTime(time, c)), expected);
  }
}

}  // namespace
}  // namespace shotrenum
