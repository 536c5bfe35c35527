#include "rename/log_reader.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "texts.h"

namespace shotrenum {

namespace {

// Longer than any line a log holds, even quoted and padded.
constexpr std::size_t kLongestLine = 1024;

// A fixed text without its final "\n".
std::string_view Bare(const char* text) {
  const std::string_view all(text);
  return all.substr(0, all.size() - 1);
}
std::string_view Bare(const char8_t* text) { return Bare(reinterpret_cast<const char*>(text)); }

// The texts of a log's head in one encoding: as the tool writes them
// (Shift_JIS), or as a spreadsheet may save them again (UTF-8).
struct HeadTexts {
  std::string_view process;
  std::string_view result;
  std::string_view undoProcess;  // with "%s"
  std::string_view undoResult;
  std::string_view header;
};

const HeadTexts& ShiftJisHead() {
  static const HeadTexts head{Bare(texts::kProcessLogTitle), Bare(texts::kResultLogTitle),
                               Bare(texts::kUndoProcessLogTitle), Bare(texts::kUndoResultLogTitle),
                               Bare(texts::kLogHeader)};
  return head;
}

const HeadTexts& Utf8Head() {
  static const HeadTexts head{Bare(texts::kProcessLogTitleUtf8), Bare(texts::kResultLogTitleUtf8),
                               Bare(texts::kUndoProcessLogTitleUtf8), Bare(texts::kUndoResultLogTitleUtf8),
                               Bare(texts::kLogHeaderUtf8)};
  return head;
}

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Whether `text` is Shift_JIS (code page 932) text: no NUL, every lead byte
// followed by a trail byte.
bool IsShiftJis(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == 0 || c == 0x80 || c == 0xA0 || c >= 0xFD) return false;
    if ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) {
      if (++i == text.size()) return false;
      const auto trail = static_cast<unsigned char>(text[i]);
      if (trail < 0x40 || trail == 0x7F || trail > 0xFC) return false;
    }
  }
  return true;
}

// Whether `text` is UTF-8 text: no NUL, every sequence whole and shortest.
bool IsUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == 0) return false;
    std::size_t length = c < 0x80 ? 1 : c >= 0xC2 && c < 0xE0 ? 2 : c >= 0xE0 && c < 0xF0 ? 3 : c >= 0xF0 && c < 0xF5 ? 4 : 0;
    if (length == 0 || i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    if (length == 3) {
      const auto next = static_cast<unsigned char>(text[i + 1]);
      if ((c == 0xE0 && next < 0xA0) || (c == 0xED && next >= 0xA0)) return false;
    } else if (length == 4) {
      const auto next = static_cast<unsigned char>(text[i + 1]);
      if ((c == 0xF0 && next < 0x90) || (c == 0xF4 && next >= 0x90)) return false;
    }
    i += length;
  }
  return true;
}

// Why a first line that is no title is not: text in neither encoding, or
// text that says something else.
LogFault FaultOfFirstLine(std::string_view line) {
  if (line.starts_with(kByteOrderMark)) return IsUtf8(line.substr(kByteOrderMark.size())) ? LogFault::kTitle : LogFault::kEncoding;
  return IsShiftJis(line) || IsUtf8(line) ? LogFault::kTitle : LogFault::kEncoding;
}

// Splits `text` at `separator` into exactly `count` parts of the given
// lengths (0: one or two digits), all digits. (In one pass: every row has
// seven such parts.)
bool DigitParts(std::string_view text, char separator, const int* lengths, int count, long* values) {
  std::size_t at = 0;
  for (int i = 0; i < count; ++i) {
    long value = 0;
    std::size_t digits = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9' && digits <= 5; ++at, ++digits) {
      value = value * 10 + (text[at] - '0');
    }
    const auto length = static_cast<std::size_t>(lengths[i]);
    const bool fits = length == 0 ? digits == 1 || digits == 2 : digits == length || (length == 4 && digits == 5);
    if (!fits) return false;
    values[i] = value;
    if (i + 1 < count) {
      if (at == text.size() || text[at] != separator) return false;
      ++at;
    }
  }
  return at == text.size();
}

// `text` laid out as `form` says: 'd' a digit, any other character itself.
// The numbers between the other characters go to `values`.
bool FixedDigits(std::string_view text, std::string_view form, long* values) {
  if (text.size() != form.size()) return false;
  long value = 0;
  for (std::size_t i = 0; i < form.size(); ++i) {
    if (form[i] == 'd') {
      const unsigned digit = static_cast<unsigned char>(text[i]) - '0';
      if (digit > 9) return false;
      value = value * 10 + digit;
    } else if (text[i] == form[i]) {
      *values++ = value;
      value = 0;
    } else {
      return false;
    }
  }
  *values = value;
  return true;
}

// An undo's title: the format's text around "%s", with the process log of
// the command it takes back between.
bool ReadUndoTitle(std::string_view line, std::string_view bare, char (&digits)[15]) {
  const std::size_t mark = bare.find("%s");
  const std::string_view prefix = bare.substr(0, mark);
  const std::string_view suffix = bare.substr(mark + 2);
  if (line.size() <= prefix.size() + suffix.size() || !line.starts_with(prefix) || !line.ends_with(suffix)) {
    return false;
  }
  LogKind kind;
  return ParseLogFileName(line.substr(prefix.size(), line.size() - prefix.size() - suffix.size()), digits, &kind) &&
         kind == LogKind::kProcess;
}

bool ReadTitle(std::string_view title, const HeadTexts& texts, LogHead* head) {
  head->undo = false;
  head->undoneDigits[0] = '\0';
  if (title == texts.process) {
    head->kind = LogKind::kProcess;
  } else if (title == texts.result) {
    head->kind = LogKind::kResult;
  } else if (ReadUndoTitle(title, texts.undoProcess, head->undoneDigits)) {
    head->kind = LogKind::kProcess;
    head->undo = true;
  } else if (ReadUndoTitle(title, texts.undoResult, head->undoneDigits)) {
    head->kind = LogKind::kResult;
    head->undo = true;
  } else {
    return false;
  }
  return true;
}

// The header's five fields.
bool IsHeader(const std::string_view* fields, int count, std::string_view header) {
  for (int i = 0; i < count; ++i) {
    const std::size_t comma = header.find(',');
    const std::string_view expected = header.substr(0, comma);
    if (fields[i] != expected) return false;
    if (comma == std::string_view::npos) return i + 1 == count;
    header.remove_prefix(comma + 1);
  }
  return false;
}

}  // namespace

long FileSource::Read(char* into, std::size_t room) {
  const std::size_t got = std::fread(into, 1, room, file_);
  if (got == 0 && std::ferror(file_)) return -1;
  return static_cast<long>(got);
}

long long FileSource::Size() {
  // Read from its start only: its end is where the position goes and comes
  // back from.
  const long start = std::ftell(file_);
  if (start < 0 || std::fseek(file_, 0, SEEK_END) != 0) return -1;
  const long end = std::ftell(file_);
  if (std::fseek(file_, start, SEEK_SET) != 0) return -1;
  return end;
}

long TextSource::Read(char* into, std::size_t room) {
  const std::size_t got = room < text_.size() ? room : text_.size();
  std::memcpy(into, text_.data(), got);
  text_.remove_prefix(got);
  return static_cast<long>(got);
}

LogCheck CheckLog(ByteSource& source, CheckExtent extent, LogHead* head) {
  StampTable stamps;
  LogReader reader(source, stamps);
  LogHead own{};
  if (head == nullptr) head = &own;
  switch (reader.ReadHead(head)) {
    case HeadStep::kHead:
      break;
    case HeadStep::kBad:
      return LogCheck{reader.Fault(), reader.FaultLine()};
    case HeadStep::kNothing:
    case HeadStep::kEmpty:
      return LogCheck{LogFault::kTitle, 1};
  }
  if (extent == CheckExtent::kHead) return LogCheck{};
  LogRow row;
  RowStep step;
  while ((step = reader.NextRow(&row)) == RowStep::kRow) {
  }
  return step == RowStep::kEnd ? LogCheck{} : LogCheck{reader.Fault(), reader.FaultLine()};
}

bool SplitFields(std::string_view line, std::string_view* fields, int room, int* count) {
  int n = 0;
  for (;;) {
    const std::size_t comma = line.find(',');
    std::string_view field = line.substr(0, comma);
    if (field.size() >= 2 && field.front() == '"' && field.back() == '"') field = field.substr(1, field.size() - 2);
    if (field.find('"') != std::string_view::npos) return false;
    if (n == room) {
      // Past room, only the empty fields a spreadsheet pads with.
      if (!field.empty()) return false;
    } else {
      fields[n++] = field;
    }
    if (comma == std::string_view::npos) break;
    line.remove_prefix(comma + 1);
  }
  while (n > 0 && fields[n - 1].empty()) --n;
  *count = n;
  return true;
}

bool ReadRowTime(std::string_view date, std::string_view time, std::int64_t* localTime) {
  static constexpr int kDate[3] = {4, 0, 0};
  static constexpr int kTime[4] = {0, 2, 2, 2};
  long d[3];
  long t[4];
  // As the tool writes them, "YYYY/MM/DD" and "hh:mm:ss:cc", read in place;
  // any other form (a spreadsheet's) digit by digit.
  if (!(FixedDigits(date, "dddd/dd/dd", d) && FixedDigits(time, "dd:dd:dd:dd", t)) &&
      !(DigitParts(date, '/', kDate, 3, d) && DigitParts(time, ':', kTime, 4, t))) {
    return false;
  }
  if (d[0] == 0 && d[1] == 0 && d[2] == 0 && t[0] == 0 && t[1] == 0 && t[2] == 0 && t[3] == 0) {
    *localTime = kUndatedRow;
    return true;
  }
  using namespace std::chrono;
  const year_month_day ymd{year{static_cast<int>(d[0])}, month{static_cast<unsigned>(d[1])},
                           day{static_cast<unsigned>(d[2])}};
  // A leap second stands for the second after.
  if (!ymd.ok() || t[0] > 23 || t[1] > 59 || t[2] > 60) return false;
  constexpr sys_days kDay0 = sys_days{year{1601} / January / 1};
  const std::int64_t days = (sys_days{ymd} - kDay0).count();
  *localTime = ((days * 86400 + t[0] * 3600 + t[1] * 60 + t[2]) * 100) + t[3];
  return true;
}

bool LogReader::Fill() {
  if (atEnd_) return false;
  if (begin_ > 0) {
    std::memmove(buffer_, buffer_ + begin_, end_ - begin_);
    end_ -= begin_;
    base_ += begin_;
    begin_ = 0;
  }
  const long got = source_.Read(buffer_ + end_, sizeof buffer_ - end_);
  if (got < 0) failed_ = true;
  if (got <= 0) {
    atEnd_ = true;
    return false;
  }
  end_ += static_cast<std::size_t>(got);
  return true;
}

LogReader::LineStep LogReader::NextLine(std::string_view* line) {
  for (;;) {
    if (failed_) return LineStep::kBad;
    if (begin_ < end_ && buffer_[begin_] == '\0') {
      // NULs: the rest of the room of a log whose command was killed, to the
      // end; or pages a power cut kept none of, to a page's end, with rows
      // after them.
      for (;;) {
        while (begin_ < end_ && buffer_[begin_] == '\0') ++begin_;
        if (begin_ < end_ || !Fill()) break;
      }
      if (failed_) return LineStep::kBad;
      if (begin_ == end_) {
        nulTail_ = true;
        return LineStep::kEnd;
      }
      if (lineEnd_ == 0 || (base_ + begin_) % pageBytes_ != 0) return LineStep::kBad;
      gap_ = true;
      freshGap_ = true;
      continue;
    }
    const char* start = buffer_ + begin_;
    const std::size_t available = end_ - begin_;
    const void* newline = std::memchr(start, '\n', available);
    const std::size_t length =
        newline != nullptr ? static_cast<std::size_t>(static_cast<const char*>(newline) - start) : available;
    // A row cut short by NULs: by a kill as it was stored (the NULs its
    // command allotted after it), or by a cut at the end of what reached the
    // disk of its page. Never whole, so never read; only after the head.
    const void* nul = std::memchr(start, '\0', length);
    if (nul != nullptr) {
      if (lineEnd_ == 0 || static_cast<const char*>(nul) - start > static_cast<long>(kLongestLine)) {
        return LineStep::kBad;
      }
      begin_ = static_cast<std::size_t>(static_cast<const char*>(nul) - buffer_);
      continue;
    }
    if (newline != nullptr) {
      if (length > kLongestLine) return LineStep::kBad;
      *line = std::string_view(start, length);
      if (line->ends_with('\r')) line->remove_suffix(1);
      begin_ += length + 1;
      lineEnd_ = base_ + begin_;
      ++lines_;
      lineAfterGap_ = freshGap_;
      freshGap_ = false;
      return LineStep::kLine;
    }
    if (available > kLongestLine) return LineStep::kBad;
    if (!Fill()) return begin_ == end_ && !failed_ ? LineStep::kEnd : LineStep::kBad;
  }
}

HeadStep LogReader::BadHead(LogFault fault, long line) {
  fault_ = failed_ ? LogFault::kUnreadable : fault;
  faultLine_ = line;
  return HeadStep::kBad;
}

HeadStep LogReader::ReadHead(LogHead* head) {
  std::string_view line;
  switch (NextLine(&line)) {
    case LineStep::kEnd:
      if (failed_) return BadHead(LogFault::kUnreadable, 1);
      return nulTail_ ? HeadStep::kNothing : HeadStep::kEmpty;
    case LineStep::kBad: {
      // A NUL or no line end within the longest line: what is there tells.
      const std::string_view start(buffer_ + begin_, std::min(end_ - begin_, kLongestLine));
      return BadHead(FaultOfFirstLine(start.substr(0, start.find('\n'))), 1);
    }
    case LineStep::kLine:
      break;
  }
  const std::string_view firstLine = line;
  const bool marked = line.starts_with(kByteOrderMark);
  if (marked) line.remove_prefix(kByteOrderMark.size());
  std::string_view fields[5];
  int count = 0;
  const HeadTexts* found = nullptr;
  if (SplitFields(line, fields, 5, &count) && count == 1) {
    if (!marked && ReadTitle(fields[0], ShiftJisHead(), head)) {
      found = &ShiftJisHead();
    } else if (ReadTitle(fields[0], Utf8Head(), head)) {
      found = &Utf8Head();
    }
  }
  if (found == nullptr) return BadHead(FaultOfFirstLine(firstLine), 1);
  if (NextLine(&line) != LineStep::kLine || !SplitFields(line, fields, 5, &count) ||
      !IsHeader(fields, count, found->header)) {
    return BadHead(LogFault::kRow, 2);
  }
  return HeadStep::kHead;
}

RowStep LogReader::NextRow(LogRow* row) {
  for (;;) {
    const RowStep step = NextRowOrPart(row);
    // The page after one a cut lost may start in the middle of a row: the
    // end of a row, never a row of its own.
    if (step == RowStep::kBad && lineAfterGap_ && !failed_ && lineEnd_ > 0) {
      lineAfterGap_ = false;
      continue;
    }
    gapBeforeRow_ = step == RowStep::kRow && gap_;
    if (step == RowStep::kRow) gap_ = false;
    if (step == RowStep::kBad) {
      fault_ = failed_ ? LogFault::kUnreadable : LogFault::kRow;
      faultLine_ = badLine_;
    }
    return step;
  }
}

RowStep LogReader::NextRowOrPart(LogRow* row) {
  std::string_view line;
  lineAfterGap_ = false;
  badLine_ = lines_ + 1;
  switch (NextLine(&line)) {
    case LineStep::kEnd:
      return RowStep::kEnd;
    case LineStep::kBad:
      return RowStep::kBad;
    case LineStep::kLine:
      break;
  }
  std::string_view fields[5];
  int count = 0;
  if (!SplitFields(line, fields, 5, &count) || count != 5) return RowStep::kBad;
  if (fields[0] == "OK") {
    row->ok = true;
  } else if (fields[0] == "NG") {
    row->ok = false;
  } else {
    return RowStep::kBad;
  }
  char before[64];
  char after[64];
  if (fields[1].size() >= sizeof before || fields[2].size() >= sizeof after) return RowStep::kBad;
  std::memcpy(before, fields[1].data(), fields[1].size());
  before[fields[1].size()] = '\0';
  std::memcpy(after, fields[2].data(), fields[2].size());
  after[fields[2].size()] = '\0';
  if (!ReadFolderName(before, stamps_, &row->before) || !ReadFolderName(after, stamps_, &row->after)) {
    return RowStep::kBad;
  }
  return ReadRowTime(fields[3], fields[4], &row->localTime) ? RowStep::kRow : RowStep::kBad;
}

}  // namespace shotrenum
