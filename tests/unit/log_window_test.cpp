#include "rename/log_window.h"

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "log_window_texts.h"
#include "platform/platform.h"
#include "temp_dir.h"

namespace shotrenum {
namespace {

using LogWindowFile = testing::LogWindowDir;
using testing::BytesOf;
using testing::LogTexts;
using testing::StoreTexts;

// Windows of one granule, of one and a bit (two), and larger than the file
// all leave the bytes a plain write leaves, line ends included, with rows
// running across the windows' ends; the size computed for the texts is
// exactly what they take.
TEST_F(LogWindowFile, HoldsTheBytesOfPlainWritesWhateverTheWindow) {
  const std::size_t granularity = MappingGranularity();
  const std::vector<std::string> texts = LogTexts(granularity * 7 / 2);
  const std::string plain = PlainBytes(texts);
  ASSERT_EQ(BytesOf(texts), plain.size());
  for (const std::size_t windowLength : {std::size_t{1}, granularity + 1, granularity * 8}) {
    const std::string name = "mapped" + std::to_string(windowLength) + ".csv";
    const testing::Stored stored = StoreTexts(name.c_str(), texts, plain.size(), windowLength);
    EXPECT_EQ(stored.begun, LogWindowState::kMapped) << windowLength;
    EXPECT_EQ(stored.plainFrom, texts.size()) << windowLength;
    EXPECT_EQ(stored.ended, LogWindowState::kPlain) << windowLength;
    EXPECT_EQ(ReadBytes(name), plain) << windowLength;
  }
}

// A size computed short never lets a store past the file's end: the text that
// does not fit, and every later one, are written plainly after the others.
TEST_F(LogWindowFile, ATextPastTheAllocatedSizeIsWrittenPlainly) {
  const std::vector<std::string> texts = LogTexts(MappingGranularity() * 2);
  const std::uint64_t size = BytesOf(texts) - LogWindowBytes(texts.back()) - 1;
  const testing::Stored stored = StoreTexts("mapped.csv", texts, size, 1);
  EXPECT_EQ(stored.plainFrom, texts.size() - 2);
  EXPECT_EQ(stored.ended, LogWindowState::kPlain);
  EXPECT_EQ(ReadBytes("mapped.csv"), PlainBytes(texts));
}

// Allocating leaves the next write where it was; the file has the allocated
// size until its end, however long the window.
TEST_F(LogWindowFile, TheFileHasTheAllocatedSizeUntilItsEnd) {
  std::FILE* file = CreateNewTextFile("allocated.csv");
  ASSERT_EQ(AllocateFile(file, 10), FileStep::kDone);
  WriteToFile(file, "ab", 2);
  CloseFile(file);
  EXPECT_EQ(ReadBytes("allocated.csv"), std::string("ab") + std::string(8, '\0'));
  file = CreateNewTextFile("mapped.csv");
  LogWindow log;
  ASSERT_EQ(BeginLogWindow(log, file, 0, 10, 1 << 20), LogWindowState::kMapped);
  EXPECT_EQ(StoreInLogWindow(log, "ab"), LogWindowState::kMapped);
  EXPECT_EQ(ReadBytes("mapped.csv"), std::string("ab") + std::string(8, '\0'));
  EXPECT_EQ(EndLogWindow(log), LogWindowState::kPlain);
  CloseFile(file);
  EXPECT_EQ(ReadBytes("mapped.csv"), "ab");
}

// A log's head written plainly before the window begins: the stores go right
// after it, and a window that cannot begin (here: no room beyond the head)
// leaves it, with the next write after it.
TEST_F(LogWindowFile, StoresGoAfterWhatWasWrittenBefore) {
  const std::string head = "title\nheader\n";
  const std::uint64_t written = LogWindowBytes(head);
  for (const std::uint64_t rows : {std::uint64_t{3}, std::uint64_t{0}}) {
    const std::string name = "head" + std::to_string(rows) + ".csv";
    std::FILE* file = CreateNewTextFile(name.c_str());
    WriteToFile(file, head.data(), head.size());
    LogWindow log;
    const LogWindowState begun = BeginLogWindow(log, file, written, written + rows, 1);
    EXPECT_EQ(begun, rows > 0 ? LogWindowState::kMapped : LogWindowState::kPlain);
    if (begun == LogWindowState::kMapped) {
      EXPECT_EQ(StoreInLogWindow(log, "abc"), LogWindowState::kMapped);
    } else {
      WriteToFile(file, "abc", 3);
    }
    EXPECT_EQ(EndLogWindow(log), LogWindowState::kPlain);
    CloseFile(file);
    EXPECT_EQ(Read(name), head + "abc");
  }
}

// What a killed command left is cut back to its whole lines with the time it
// was last written, which tells when its command ran; a folder is neither
// cut nor removed.
TEST_F(LogWindowFile, AKilledLogIsCutBackToItsLinesWithItsTime) {
  Touch("killed.csv", std::string("a,b\n") + std::string(6, '\0'));
  const auto written = std::filesystem::last_write_time("killed.csv") - std::chrono::hours(30);
  std::filesystem::last_write_time("killed.csv", written);
  ASSERT_EQ(CutFileKeepingTime("killed.csv", 4), FileStep::kDone);
  EXPECT_EQ(ReadBytes("killed.csv"), "a,b\n");
  EXPECT_EQ(std::filesystem::last_write_time("killed.csv"), written);
  std::filesystem::create_directory("folder.csv");
  EXPECT_EQ(CutFileKeepingTime("folder.csv", 0), FileStep::kFailed);
  EXPECT_FALSE(RemoveRegularFile("folder.csv"));
  EXPECT_TRUE(RemoveRegularFile("killed.csv"));
  EXPECT_FALSE(Exists("killed.csv"));
  EXPECT_TRUE(Exists("folder.csv"));
}

// Rows come with "\n"; a file whose lines end in CR LF gets CR LF, on every
// OS, and its size counts them.
TEST_F(LogWindowFile, StoresEachLineEndAsTheFilesOwn) {
  EXPECT_EQ(LogWindowBytes("a\nbc\n\n", "\r\n"), 9u);
  EXPECT_EQ(LogWindowBytes("a\nbc\n\n", "\n"), 6u);
  const std::vector<std::string> texts = {"title\nheader\n", "OK,a,b\n", "NG,c,d"};
  testing::StoreTexts("crlf.csv", texts, BytesOf(texts, "\r\n"), 1, "\r\n");
  EXPECT_EQ(ReadBytes("crlf.csv"), "title\r\nheader\r\nOK,a,b\r\nNG,c,d");
}

}  // namespace
}  // namespace shotrenum
