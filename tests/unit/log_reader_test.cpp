// Reading a log back: what the writer writes, what a spreadsheet makes of it
// when it saves it again, and nothing else.
#include "rename/log_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "texts.h"

namespace shotrenum {
namespace {

const std::string kHead = LogHeadText(LogKind::kProcess, "");
const std::string kRow1 = "OK,G0000001.pcx,_tmp_1700000000_G0000001.pcx,2011/04/13,09:05:07:12\n";
const std::string kRow2 = "NG,_tmp_1700000000_G0000001.pcx,G0000000.pcx,0000/00/00,00:00:00:00\n";

struct Read {
  HeadStep head = HeadStep::kBad;
  LogHead title{};
  std::vector<LogRow> rows;
  bool bad = false;  // a row refused
  bool nulTail = false;
};

Read ReadAll(const std::string& text, std::size_t pageBytes = kCutPageBytes, std::vector<bool>* gaps = nullptr) {
  TextSource source(text);
  StampTable stamps;
  LogReader reader(source, stamps, pageBytes);
  Read read;
  read.head = reader.ReadHead(&read.title);
  if (read.head != HeadStep::kHead) return read;
  LogRow row;
  RowStep step;
  while ((step = reader.NextRow(&row)) == RowStep::kRow) {
    read.rows.push_back(row);
    if (gaps != nullptr) gaps->push_back(reader.GapBeforeRow());
  }
  read.bad = step == RowStep::kBad;
  read.nulTail = reader.HadNulTail();
  return read;
}

std::string Crlf(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

TEST(LogReader, ReadsWhatTheWriterWrites) {
  const Read run = ReadAll(kHead + kRow1 + kRow2);
  ASSERT_EQ(run.head, HeadStep::kHead);
  EXPECT_EQ(run.title.kind, LogKind::kProcess);
  EXPECT_FALSE(run.title.undo);
  ASSERT_EQ(run.rows.size(), 2u);
  EXPECT_TRUE(run.rows[0].ok);
  EXPECT_FALSE(run.rows[0].before.IsTemporary());
  EXPECT_EQ(run.rows[0].after.shot, run.rows[0].before.shot);
  EXPECT_EQ(run.rows[1].localTime, kUndatedRow);
  EXPECT_FALSE(run.rows[1].ok);

  const Read undo = ReadAll(LogHeadText(LogKind::kResult, "VeltraskoAll_20100101000000.csv") + kRow2);
  ASSERT_EQ(undo.head, HeadStep::kHead);
  EXPECT_TRUE(undo.title.undo);
  EXPECT_EQ(undo.title.kind, LogKind::kResult);
  EXPECT_STREQ(undo.title.undoneDigits, "20100101000000");
}

// Saved again by a spreadsheet: fields in quotes, the title padded to five
// fields, CR LF, month, day and hour without their leading zeros.
TEST(LogReader, TakesALogASpreadsheetSavedAgain) {
  const std::string title(texts::kProcessLogTitle, std::string(texts::kProcessLogTitle).size() - 1);
  const std::string saved = "\"" + title + "\",,,,\n" + std::string(texts::kLogHeader) +
                            "\"OK\",\"G0000001.pcx\",\"_tmp_1700000000_G0000001.pcx\",2011/4/3,9:05:07:12,,\n";
  const Read read = ReadAll(Crlf(saved));
  ASSERT_EQ(read.head, HeadStep::kHead);
  ASSERT_EQ(read.rows.size(), 1u);
  EXPECT_FALSE(read.bad);
  const Read padded = ReadAll(kHead + "OK,G0000001.pcx,_tmp_1700000000_G0000001.pcx,2011/04/03,09:05:07:12\n");
  ASSERT_EQ(padded.rows.size(), 1u);
  EXPECT_EQ(read.rows[0].localTime, padded.rows[0].localTime);
}

TEST(LogReader, RefusesAnyLineThatIsNotOneOfItsRows) {
  const std::string rowStart = "OK,G0000001.pcx,_tmp_1700000000_G0000001.pcx,";
  const std::string bad[] = {
      "ok" + kRow1.substr(2),                                                       // verdict
      rowStart + "2011/13/13,09:05:07:12\n",                                        // month
      rowStart + "2011/02/30,09:05:07:12\n",                                        // no such day
      rowStart + "2011/04/13,24:05:07:12\n",                                        // hour
      rowStart + "2011/04/13,09:5:07:12\n",                                         // minutes need both digits
      rowStart + "2011/04/13,09:05:07\n",                                           // hundredths
      rowStart + "2011/04/13,09:05:07:12,x\n",                                      // a sixth field
      "OK,G00000x1.pcx,_tmp_1700000000_G00000x1.pcx,2011/04/13,09:05:07:12\n",      // no screenshot
      "OK,G0000001.pcx,_tmp_01_G0000001.pcx,2011/04/13,09:05:07:12\n",              // no stamp
      "OK,G0000001.pcx,\"_tmp_1700000000_\"G0000001.pcx,2011/04/13,09:05:07:12\n",  // a quote inside
      kRow1.substr(0, kRow1.size() - 1),                                            // cut short
      kRow1.substr(0, 20) + std::string(1, '\0') + kRow1.substr(20),                // a NUL inside a line
  };
  for (const std::string& row : bad) {
    const Read read = ReadAll(kHead + row);
    EXPECT_TRUE(read.bad) << row;
  }
  const std::string badHeads[] = {
      kHead.substr(0, kHead.size() - 1),       // the header cut short
      "\xEF\xBB\xBF" + kHead,                  // a byte-order mark
      std::string(texts::kLogHeader) + kHead,  // no title first
      std::string(texts::kProcessLogTitle) + "something else\n",
  };
  for (const std::string& head : badHeads) EXPECT_EQ(ReadAll(head).head, HeadStep::kBad) << head;
  // Empty: killed before its head, or a head a full disk refused.
  EXPECT_EQ(ReadAll("").head, HeadStep::kEmpty);
}

// A killed command's log ends in the NUL bytes of the space allotted to it.
// The head texts as UTF-8, as a spreadsheet saves them again.
std::string Utf8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

TEST(LogReader, ReadsAHeadSavedAgainAsUtf8AsStrictlyAsShiftJis) {
  const std::string head = Utf8(texts::kResultLogTitleUtf8) + Utf8(texts::kLogHeaderUtf8);
  for (const std::string& mark : {std::string("\xEF\xBB\xBF"), std::string()}) {
    const Read read = ReadAll(mark + Crlf(head + kRow1));
    ASSERT_EQ(read.head, HeadStep::kHead) << mark.size();
    EXPECT_EQ(read.title.kind, LogKind::kResult);
    EXPECT_EQ(read.rows.size(), 1u);
    // An undo's title names what it takes back, in UTF-8 too.
    char title[128];
    std::snprintf(title, sizeof title, reinterpret_cast<const char*>(texts::kUndoProcessLogTitleUtf8),
                  "VeltraskoAll_20200102030405.csv");
    const Read undo = ReadAll(mark + title + Utf8(texts::kLogHeaderUtf8));
    ASSERT_EQ(undo.head, HeadStep::kHead);
    EXPECT_TRUE(undo.title.undo);
    EXPECT_STREQ(undo.title.undoneDigits, "20200102030405");
  }
  // One encoding for the whole head; a mark only before UTF-8.
  EXPECT_EQ(ReadAll(Utf8(texts::kResultLogTitleUtf8) + texts::kLogHeader).head, HeadStep::kBad);
  EXPECT_EQ(ReadAll(texts::kResultLogTitle + Utf8(texts::kLogHeaderUtf8)).head, HeadStep::kBad);
  EXPECT_EQ(ReadAll("\xEF\xBB\xBF" + kHead).head, HeadStep::kBad);
}

TEST(LogReader, SaysWhyAFileIsNoLog) {
  struct Case {
    std::string text;
    LogFault fault;
    long line;
  };
  const std::string utf16 = std::string("\xFF\xFE\xEA\x30\xCD\x30\n\0", 8);
  const Case cases[] = {
      {utf16, LogFault::kEncoding, 1},
      {"\xEF\xBB\xBF" + kHead, LogFault::kEncoding, 1},     // Shift_JIS after a UTF-8 mark
      {"\x82\xA0\xFF\n", LogFault::kEncoding, 1},           // no Shift_JIS, no UTF-8
      {std::string("abc\0def\n", 8), LogFault::kEncoding, 1},  // a NUL in the first line
      {"memo\n" + kRow1, LogFault::kTitle, 1},
      {Utf8(u8"メモ\n"), LogFault::kTitle, 1},
      {"", LogFault::kTitle, 1},
      {texts::kProcessLogTitle + kRow1, LogFault::kRow, 2},
      {kHead + kRow1 + "OK,G0000001.pcx\n" + kRow2, LogFault::kRow, 4},
      {kHead + kRow1 + kRow2 + "OK,G0000001.pcx", LogFault::kRow, 5},
      {kHead + kRow1 + kRow2, LogFault::kNone, 0},
  };
  for (const Case& c : cases) {
    TextSource source(c.text);
    const LogCheck check = CheckLog(source);
    EXPECT_EQ(check.fault, c.fault) << c.text;
    EXPECT_EQ(check.line, c.line) << c.text;
  }
}

TEST(LogReader, TakesANulTailAsTheEndOfAKilledCommandsLog) {
  const std::string tail(4096, '\0');
  const Read read = ReadAll(kHead + kRow1 + tail);
  EXPECT_FALSE(read.bad);
  EXPECT_TRUE(read.nulTail);
  EXPECT_EQ(read.rows.size(), 1u);
  EXPECT_EQ(ReadAll(tail).head, HeadStep::kNothing);
  EXPECT_TRUE(ReadAll(kHead + kRow1 + tail + "x").bad);
  // A row a kill cut short as it was stored is the row of the rename in
  // flight: never read. Only NULs may follow it, and only after the head.
  const Read cut = ReadAll(kHead + kRow1 + kRow1.substr(0, 30) + tail);
  EXPECT_FALSE(cut.bad);
  EXPECT_TRUE(cut.nulTail);
  EXPECT_EQ(cut.rows.size(), 1u);
  EXPECT_TRUE(ReadAll(kHead + kRow1.substr(0, 30) + tail + "x").bad);
  EXPECT_TRUE(ReadAll(kHead + kRow1.substr(0, 30) + std::string(3, '\0') + "\n" + tail).bad);
  EXPECT_EQ(ReadAll(kHead.substr(0, 10) + tail).head, HeadStep::kBad);
  EXPECT_TRUE(ReadAll(kHead + kRow1 + std::string(2000, 'x') + tail).bad);  // longer than any row
}

// What a power cut leaves of rows stored after the last barrier: pages of
// NULs anywhere, each ending at a page's end; the page after one may start
// in the middle of a row, and a page may end in a row cut short.
TEST(LogReader, TakesPagesACutLostAsGapsBetweenRows) {
  // Pages of 128 bytes: the head (the first page and part of the next), then rows.
  constexpr std::size_t kPage = 128;
  std::string rows;
  for (int i = 0; i < 12; ++i) rows += kRow1;
  const std::string whole = kHead + rows;
  const std::size_t firstRow = kHead.size();
  // Lose the pages from the one after the head's last page up to the fifth page.
  const std::size_t from = (firstRow + kRow1.size() + kPage - 1) / kPage * kPage;
  const std::size_t to = from + 3 * kPage;
  ASSERT_LT(to, whole.size());
  std::string cut = whole;
  std::fill(cut.begin() + static_cast<long>(from), cut.begin() + static_cast<long>(to), '\0');
  std::vector<bool> gaps;
  const Read read = ReadAll(cut, kPage, &gaps);
  EXPECT_FALSE(read.bad);
  // Whole rows only: those before the gap, and those wholly after it.
  const std::size_t before = (from - firstRow) / kRow1.size();
  const std::size_t after = (whole.size() - to) / kRow1.size();
  ASSERT_EQ(read.rows.size(), before + after);
  ASSERT_GT(before, 0u);
  EXPECT_FALSE(gaps[before - 1]);
  EXPECT_TRUE(gaps[before]);  // the first row after the gap says so
  if (before + 1 < gaps.size()) {
    EXPECT_FALSE(gaps[before + 1]);
  }
  // The same NULs ending anywhere but at a page's end: damage.
  std::string shifted = whole;
  std::fill(shifted.begin() + static_cast<long>(from), shifted.begin() + static_cast<long>(to - 1), '\0');
  EXPECT_TRUE(ReadAll(shifted, kPage).bad);
  // A gap in the head's page: nothing after it can be read.
  std::string head = whole;
  std::fill(head.begin() + 10, head.begin() + static_cast<long>(kPage), '\0');
  EXPECT_NE(ReadAll(head, kPage).head, HeadStep::kHead);
  // A page that starts with a whole row keeps it; two bad lines after a gap
  // are damage, not a part of a row.
  std::string aligned = kHead;
  aligned.resize((aligned.size() + kPage - 1) / kPage * kPage + kPage, '\0');
  EXPECT_EQ(ReadAll(aligned + kRow1, kPage).rows.size(), 1u);
  EXPECT_TRUE(ReadAll(aligned + "1.pcx,x\nnot a row\n" + kRow1, kPage).bad);
  EXPECT_EQ(ReadAll(aligned + "1.pcx,x\n" + kRow1, kPage).rows.size(), 1u);
}

TEST(ReadRowTime, CountsHundredthsSince1601) {
  std::int64_t t = 0;
  ASSERT_TRUE(ReadRowTime("1601/01/01", "00:00:01:02", &t));
  EXPECT_EQ(t, 102);
  ASSERT_TRUE(ReadRowTime("1601/1/2", "0:00:00:00", &t));
  EXPECT_EQ(t, 86400 * 100);
  ASSERT_TRUE(ReadRowTime("30828/09/14", "02:48:05:47", &t));
  ASSERT_TRUE(ReadRowTime("0000/00/00", "00:00:00:00", &t));
  EXPECT_EQ(t, kUndatedRow);
  EXPECT_FALSE(ReadRowTime("2011/04/13", "09:05:07:123", &t));
  EXPECT_FALSE(ReadRowTime("11/04/13", "09:05:07:12", &t));
  // The widths the tool writes, with a character out of place.
  for (const char* date : {"2011/04/1x", "2011-04/13", "2 11/04/13"})
    EXPECT_FALSE(ReadRowTime(date, "09:05:07:12", &t));
  for (const char* time : {"09:05:07:1/", "09:05.07:12", "0+:05:07:12"})
    EXPECT_FALSE(ReadRowTime("2011/04/13", time, &t));
}

}  // namespace
}  // namespace shotrenum
