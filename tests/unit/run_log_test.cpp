#include "rename/run_log.h"

#include <filesystem>
#include <string>

#include "temp_dir.h"
#include "text_newline.h"
#include "texts.h"

namespace shotrenum {
namespace {

using RunLogFile = testing::InTempDir;

const CalendarTime kStart{2011, 4, 13, 9, 5, 7, 0};

TEST_F(RunLogFile, NamesBothLogsFromTheStartTimeAndWritesTitleAndHeader) {
  RunLog process = OpenRunLog(LogKind::kProcess, kStart);
  RunLog result = OpenRunLog(LogKind::kResult, CalendarTime{987, 1, 2, 3, 4, 5, 0});
  EXPECT_STREQ(process.fileName, "VeltraskoAll_20110413090507.csv");
  EXPECT_STREQ(result.fileName, "VeltraskoLog_09870102030405.csv");
  WriteVerdict(process, true);
  WriteVerdict(result, false);
  CloseRunLog(result);
  CloseRunLog(process);
  EXPECT_EQ(Read("VeltraskoAll_20110413090507.csv"), std::string(texts::kProcessLogTitle) + texts::kLogHeader + "OK,");
  EXPECT_EQ(Read("VeltraskoLog_09870102030405.csv"), std::string(texts::kResultLogTitle) + texts::kLogHeader + "NG,");
}

TEST_F(RunLogFile, EmptiesAnOlderLogOfTheSameName) {
  Touch("VeltraskoLog_20110413090507.csv", "an older run's rows\n");
  CloseRunLog(OpenRunLog(LogKind::kResult, kStart));
  EXPECT_EQ(Read("VeltraskoLog_20110413090507.csv"), std::string(texts::kResultLogTitle) + texts::kLogHeader);
}

TEST_F(RunLogFile, GoesToStandardOutputWhenTheFileCannotBeCreated) {
  std::filesystem::create_directory("VeltraskoAll_20110413090507.csv");
  ::testing::internal::CaptureStdout();
  RunLog log = OpenRunLog(LogKind::kProcess, kStart);
  WriteVerdict(log, false);
  EXPECT_EQ(log.stream, stdout);
  CloseRunLog(log);  // must leave stdout open
  std::fflush(stdout);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), std::string(texts::kProcessLogTitle) + texts::kLogHeader + "NG,");
  EXPECT_STREQ(log.fileName, "VeltraskoAll_20110413090507.csv");
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
  WriteRowRest(log, "G0000001.pcx", "G0000000.pcx", FILETIME{0xFFFFFFFF, 0xFFFFFFFF});
  CloseRunLog(log);
  EXPECT_EQ(ReadBytes(log.fileName), WithTextNewlines(std::string(texts::kResultLogTitle) + texts::kLogHeader +
                                                      "G0000001.pcx,G0000000.pcx,0000/00/00,00:00:00:00\n"));
}

}  // namespace
}  // namespace shotrenum
