// Reading a log back, line by line. Nothing in a log is trusted: every field
// is checked, and a line that its writer could not have written (or that a
// spreadsheet could not have made of one) is refused. A spreadsheet that
// saved a log again may have quoted its fields, padded its lines with empty
// fields, ended them in CR LF and dropped leading zeros from the month, the
// day and the hour; the names in it are checked as strictly as ever.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "rename/run_log.h"
#include "shots/folder_name.h"
#include "shots/shot_record.h"

namespace shotrenum {

// Where a log's bytes come from: a file, or a test's string.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads up to `room` bytes; 0 at the end, -1 when reading failed.
  virtual long Read(char* into, std::size_t room) = 0;
  // How many bytes there are to read at most; -1 when not known.
  virtual long long Size() { return -1; }
};

class FileSource : public ByteSource {
 public:
  explicit FileSource(std::FILE* file) : file_(file) {}
  long Read(char* into, std::size_t room) override;
  long long Size() override;

 private:
  std::FILE* file_;
};

class TextSource : public ByteSource {
 public:
  explicit TextSource(std::string_view text) : text_(text) {}
  long Read(char* into, std::size_t room) override;
  long long Size() override { return static_cast<long long>(text_.size()); }

 private:
  std::string_view text_;
};

// Why a file is not read as a log: what LogReader::Fault tells after
// ReadHead or NextRow gave kBad.
enum class LogFault {
  kNone,
  kUnreadable,  // reading the file failed
  kEncoding,    // its first line is text in neither Shift_JIS nor UTF-8
  kTitle,       // its first line is no title of this tool's logs
  kRow,         // a line (FaultLine) is neither the header nor a row
};

// What a log's title says.
struct LogHead {
  LogKind kind;
  bool undo;              // the log of an undo rather than of a run
  char undoneDigits[15];  // of an undo: the fourteen digits of the command it takes back
};

// Hundredths of a second since 1601 on the clock a row was printed by; the
// time columns of a row. kUndatedRow: columns of zeros, a time with no date.
inline constexpr std::int64_t kUndatedRow = INT64_MIN;

// No row of a log, as the tool writes it or a spreadsheet saves it again,
// is shorter than this: a log of n bytes holds at most n / kShortestRow rows.
// The shortest row: a verdict, two screenshot names, the date and time with
// every number a spreadsheet may shorten at one digit, and a line end.
inline constexpr long long kShortestRow = static_cast<long long>(sizeof "OK," - 1) + 2 * (kShotNameLength + 1) +
                                          static_cast<long long>(sizeof "2011/4/3," - 1) +
                                          static_cast<long long>(sizeof "9:05:07:12" - 1) + 1;

struct LogRow {
  bool ok;
  FolderName before;
  FolderName after;
  std::int64_t localTime;  // as printed: local time, in the offset of its command
};

enum class HeadStep {
  kHead,     // the title and header of a log of this tool
  kNothing,  // only NUL bytes: the space allotted to a log whose command
             // was killed before it stored a line, so before its first rename
  kEmpty,    // no byte at all: its head was never written (a kill right after
             // the file was made, or a full disk)
  kBad,      // anything else
};

// A power cut keeps what reached the disk: the bytes of a log's file written
// back before it, in whole pages, in no order. Of the rows stored after the
// last barrier, any page may be missing as NUL bytes (of the room allotted
// to them), the end or anywhere between; a page the disk has holds the
// bytes stored in it by some moment, so its last row may be cut short by
// NULs, and the page after a missing one may start in the middle of a row.
inline constexpr std::size_t kCutPageBytes = 4096;

enum class RowStep {
  kRow,
  kEnd,  // the end of the file, or of its last whole line where NUL bytes
         // (the rest of space allotted to a log whose command was killed)
         // fill the rest
  kBad,  // a line cut short, a NUL inside a line, NULs that end neither at
         // a page's end nor at the file's, a field out of shape, or the file
         // could not be read
};

class LogReader {
 public:
  // `pageBytes`: the unit in which the file system writes a file back, so
  // the unit in which a power cut keeps or loses its bytes.
  LogReader(ByteSource& source, StampTable& stamps, std::size_t pageBytes = kCutPageBytes)
      : source_(source), stamps_(stamps), pageBytes_(pageBytes) {}

  // A log saved again as UTF-8 (with or without a byte-order mark) is read
  // as strictly as one in Shift_JIS: its title and header must be this
  // tool's, in UTF-8 both.
  HeadStep ReadHead(LogHead* head);
  RowStep NextRow(LogRow* row);
  // After kBad: why, and of kRow the line (1 the title).
  LogFault Fault() const { return fault_; }
  long FaultLine() const { return faultLine_; }
  // Where the last whole line read ends in the file: where a NUL tail, if
  // any, starts.
  std::uint64_t LineBytes() const { return lineEnd_; }
  // Whether the file went on past its lines in NUL bytes (after, at most,
  // the start of a row that a kill cut short).
  bool HadNulTail() const { return nulTail_; }
  // Whether NULs a power cut left (pages that never reached the disk) stood
  // between the row NextRow gave last and the one before it (or the head):
  // rows may be missing there.
  bool GapBeforeRow() const { return gapBeforeRow_; }

 private:
  enum class LineStep { kLine, kEnd, kBad };
  RowStep NextRowOrPart(LogRow* row);
  LineStep NextLine(std::string_view* line);
  bool Fill();
  HeadStep BadHead(LogFault fault, long line);

  LogFault fault_ = LogFault::kNone;
  long faultLine_ = 0;
  long lines_ = 0;    // whole lines given by NextLine
  long badLine_ = 0;  // the line a row failed at

  ByteSource& source_;
  StampTable& stamps_;
  std::size_t pageBytes_;
  char buffer_[1 << 16];
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  bool atEnd_ = false;
  bool failed_ = false;
  bool nulTail_ = false;
  std::uint64_t base_ = 0;     // where buffer_[0] is in the file
  std::uint64_t lineEnd_ = 0;  // where the last whole line read ends
  bool gap_ = false;           // NULs of a cut since the last line given
  bool freshGap_ = false;      // no line given since such NULs
  bool lineAfterGap_ = false;  // the line given last came right after them
  bool gapBeforeRow_ = false;
};

// Reads a log from `source`, whole or only its head: kNone when what was read
// reads, else why not (and at which line). Where a command needs to say why
// a log was refused. `head`, where given, receives the head.
struct LogCheck {
  LogFault fault = LogFault::kNone;
  long line = 0;
};
enum class CheckExtent { kWhole, kHead };
LogCheck CheckLog(ByteSource& source, CheckExtent extent = CheckExtent::kWhole, LogHead* head = nullptr);

// The fields of a line as a spreadsheet may have saved it: split at commas,
// double quotes around a field taken off, empty fields at the end dropped.
// False when a quote stands anywhere else, or there are more than `room`.
bool SplitFields(std::string_view line, std::string_view* fields, int room, int* count);

// "YYYY/MM/DD" and "hh:mm:ss:cc" (month, day and hour with or without their
// leading zero; a year of four or five digits) as hundredths since 1601 on
// the clock that printed them, or kUndatedRow for zeros. False for anything
// else, or a date the calendar does not have.
bool ReadRowTime(std::string_view date, std::string_view time, std::int64_t* localTime);

}  // namespace shotrenum
