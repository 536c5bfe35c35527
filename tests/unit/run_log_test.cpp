#include "rename/run_log.h"

#include "rename/log_reader.h"
#include "rename/row_time.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "shots/filetime.h"
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
  EXPECT_EQ(log.file, nullptr);
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
  EXPECT_EQ(log.file, nullptr);
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

// ---- Reading the logs back ------------------------------------------------------

namespace shotrenum {
namespace {

const std::string kTitle = std::string(texts::kProcessLogTitle) + texts::kLogHeader;
const std::string kRow1 = "OK,G0000001.pcx,_tmp_1700000000_G0000001.pcx,2011/04/13,09:05:07:12\n";
const std::string kRow2 = "NG,_tmp_1700000000_G0000001.pcx,G0000000.pcx,0000/00/00,00:00:00:00\n";

class LogReading : public testing::InTempDir {
 protected:
  static int RowsOf(const std::string& content, LogHead* head = nullptr);
};

// The rows of a log file, or -1 when the reader refuses it.
int LogReading::RowsOf(const std::string& content, LogHead* head) {
  Touch("log.csv", content);
  std::FILE* file = std::fopen("log.csv", "rb");
  LogReader reader;
  int rows = -1;
  if (ReadLogHead(&reader, file)) {
    LogRow row;
    LogStep step;
    for (rows = 0; (step = ReadLogRow(&reader, &row)) == LogStep::kRow;) ++rows;
    if (step == LogStep::kBad) rows = -1;
  }
  std::fclose(file);
  if (head != nullptr) *head = reader.head;
  return rows;
}

std::string WithCrLf(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

TEST_F(LogReading, ReadsWhatTheWriterWritesAndTheUndoTitles) {
  RunLog process = OpenUndoLog(LogKind::kProcess, kStart, "VeltraskoAll_20100101000000.csv");
  RunLog result = OpenRunLog(LogKind::kResult, kStart);
  WriteLogRow(process, true, "g0000007.PCX", "_tmp_1302685507_g0000007.PCX", kDateless);
  WriteLogRow(process, false, "_tmp_1302685507_g0000007.PCX", "G0000000.pcx", FileTimeFromTicks(1));
  WriteLogRow(result, true, "_tmp_99_G0000003.pcx", "G0000000.pcx", kDateless);
  CloseRunLog(result);
  CloseRunLog(process);
  LogHead head{};
  EXPECT_EQ(RowsOf(ReadBytes(process.fileName), &head), 2);
  EXPECT_TRUE(head.undo);
  EXPECT_STREQ(head.undoneDigits, "20100101000000");
  EXPECT_EQ(RowsOf(ReadBytes(result.fileName), &head), 1);
  EXPECT_FALSE(head.undo);
  EXPECT_EQ(head.kind, LogKind::kResult);
  // Either line end, the same throughout.
  EXPECT_EQ(RowsOf(kTitle + kRow1 + kRow2), 2);
  EXPECT_EQ(RowsOf(WithCrLf(kTitle + kRow1 + kRow2)), 2);
}

TEST_F(LogReading, RefusesAnyLineItsWriterDoesNotWrite) {
  const std::string kOtherTitle = std::string(texts::kResultLogTitle) + texts::kLogHeader;
  const std::string bad[] = {
      "",                                                   // empty
      kTitle.substr(0, kTitle.size() - 1),                  // the header cut short
      "\xEF\xBB\xBF" + kTitle,                              // a byte-order mark
      std::string(texts::kLogHeader) + kTitle,              // no title first
      WithCrLf(kTitle) + kRow1,                             // line ends mixed
      kTitle + kRow1.substr(0, kRow1.size() - 1),           // the last row cut short
      kTitle + "ok" + kRow1.substr(2),                      // verdict
      kTitle + "OK,G0000001.pcx,_tmp_1700000000_G0000001.pcx,2011/13/13,09:05:07:12\n",  // month
      kTitle + "OK,G0000001.pcx,_tmp_1700000000_G0000001.pcx,2011/04/13,24:05:07:12\n",  // hour
      kTitle + "OK,G0000001.pcx,_tmp_1700000000_G0000001.pcx,2011/04/13,09:05:07\n",     // hundredths
      kTitle + "OK,G0000001.pcx,_tmp_1700000000_G0000002.pcx,2011/04/13,09:05:07:12\n",  // another name
      kTitle + "OK,G00000x1.pcx,_tmp_1700000000_G00000x1.pcx,2011/04/13,09:05:07:12\n",  // no screenshot
      kTitle + "OK,G0000001.pcx,_tmp_01_G0000001.pcx,2011/04/13,09:05:07:12\n",          // no stamp
      kTitle + "OK,G0000001.pcx,_tmp_1700000000_G0000001.pcx,2011/04/13,09:05:07:12,\n", // a sixth field
      kTitle + kRow2 + kRow1,                               // the first phase after the second
      kTitle + kRow1 + "OK,G0000002.pcx,_tmp_1700000001_G0000002.pcx,2011/04/13,09:05:07:12\n",  // two stamps
      kOtherTitle + kRow1,                                  // a first-phase row in a result log
      kTitle + kRow1 + std::string("\0", 1) + "\n",         // a NUL
  };
  for (const std::string& content : bad) EXPECT_EQ(RowsOf(content), -1) << content;
}

TEST_F(LogReading, TellsALogByItsFirstTwoLines) {
  const std::string undoTitle = "\x83\x8a\x83\x6c\x81\x5b\x83\x80\x8c\x8b\x89\xca\x83\x8d\x83\x4f\x81\x69"
                                "VeltraskoAll_20100101000000.csv\x82\xf0\x8c\xb3\x82\xc9\x96\xdf\x82\xb7\x81\x6a\n";
  const std::pair<std::string, bool> cases[] = {
      {kTitle + "anything", true},
      {WithCrLf(kTitle), true},
      {undoTitle + texts::kLogHeader, true},
      {undoTitle.substr(0, 18) + "VeltraskoAll_2010010100000.csv" + undoTitle.substr(49) + texts::kLogHeader, false},
      {"a,b,c\n1,2,3\n", false},
      {std::string(texts::kProcessLogTitle) + "something else\n", false},
  };
  for (const auto& [content, isLog] : cases) {
    Touch("x.csv", content);
    std::FILE* file = std::fopen("x.csv", "rb");
    EXPECT_EQ(HasRunLogHead(file), isLog) << content;
    std::fclose(file);
  }
}

// In Asia/Tokyo (UTC+9, as the unit tests run): a run's rows print its
// files' times nine hours on; a reader finds the offset from the log's name.
TEST(RowTimes, AreCheckedInTheOffsetTheRunPrintedThemIn) {
  const char* tz = std::getenv("TZ");
  if (tz == nullptr || std::string(tz) != "Asia/Tokyo") GTEST_SKIP() << "needs TZ=Asia/Tokyo (ctest sets it)";
  std::int64_t offset = 0;
  ASSERT_TRUE(RunOffset("20110413090507", -1, &offset));
  EXPECT_EQ(offset, 9 * 3600);
  ASSERT_TRUE(RunOffset("20110413090507", 1302653107 - 3600, &offset));
  EXPECT_EQ(offset, 10 * 3600);  // the stamp, when known, rules
  std::int64_t stamp = 0;
  ASSERT_TRUE(StampOfDigits("20110413090507", &stamp));
  EXPECT_EQ(stamp, 1302653107);
  const FILETIME t = FileTimeFromUnix(1302653107, 125999999);
  char text[kLogTimeRoom];
  RowTimeText(t, 9 * 3600, text);
  EXPECT_STREQ(text, "2011/04/13,09:05:07:12");
  RowTimeText(FileTimeOfRowTime(text, 9 * 3600), 9 * 3600, text);
  EXPECT_STREQ(text, "2011/04/13,09:05:07:12");
  RowTimeText(FileTimeOfRowTime("0000/00/00,00:00:00:00", 0), 0, text);
  EXPECT_STREQ(text, "0000/00/00,00:00:00:00");
}

}  // namespace
}  // namespace shotrenum
