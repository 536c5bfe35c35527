#include "rename/log_reader.h"

#include <cstring>
#include <string_view>

#include "platform/platform.h"
#include "shots/shot_name.h"
#include "texts.h"

namespace shotrenum {

namespace {

// Longer than any line a log holds: a longer one is refused.
constexpr std::size_t kLineRoom = 256;

enum class LineStep { kLine, kEnd, kBad };

// Reads one line without its line end, which must be CR LF when `crlf`, else
// LF alone. A line that the file's end cuts short, is too long, or holds a
// NUL is bad.
LineStep ReadLine(std::FILE* file, bool crlf, char (&line)[kLineRoom], std::size_t* length) {
  if (std::fgets(line, sizeof line, file) == nullptr) return std::ferror(file) ? LineStep::kBad : LineStep::kEnd;
  std::size_t n = std::strlen(line);
  // Short of a line end: cut short by the file's end, too long, or a NUL
  // inside (strlen stops there).
  if (n == 0 || line[n - 1] != '\n') return LineStep::kBad;
  --n;
  const bool hasCr = n > 0 && line[n - 1] == '\r';
  if (hasCr != crlf) return LineStep::kBad;
  if (hasCr) --n;
  if (std::memchr(line, '\r', n) != nullptr) return LineStep::kBad;
  line[n] = '\0';
  *length = n;
  return LineStep::kLine;
}

// A fixed text without its final "\n".
std::string_view Bare(const char* text) {
  const std::string_view all(text);
  return all.substr(0, all.size() - 1);
}

bool AllDigits(std::string_view text) {
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return !text.empty();
}

// An undo's title: the format's text before and after "%s", with the undone
// run's process log name between.
bool ReadUndoTitle(std::string_view line, const char* format, char (&digits)[15]) {
  const std::string_view bare = Bare(format);
  const std::size_t mark = bare.find("%s");
  const std::string_view prefix = bare.substr(0, mark);
  const std::string_view suffix = bare.substr(mark + 2);
  if (line.size() <= prefix.size() + suffix.size() || !line.starts_with(prefix) || !line.ends_with(suffix)) {
    return false;
  }
  LogKind kind;
  return ReadLogFileName(line.substr(prefix.size(), line.size() - prefix.size() - suffix.size()), digits, &kind) &&
         kind == LogKind::kProcess;
}

bool ReadTitle(std::string_view line, LogHead* head) {
  head->undo = false;
  head->undoneDigits[0] = '\0';
  if (line == Bare(texts::kProcessLogTitle)) {
    head->kind = LogKind::kProcess;
  } else if (line == Bare(texts::kResultLogTitle)) {
    head->kind = LogKind::kResult;
  } else if (ReadUndoTitle(line, texts::kUndoProcessLogTitle, head->undoneDigits)) {
    head->kind = LogKind::kProcess;
    head->undo = true;
  } else if (ReadUndoTitle(line, texts::kUndoResultLogTitle, head->undoneDigits)) {
    head->kind = LogKind::kResult;
    head->undo = true;
  } else {
    return false;
  }
  return true;
}

// A screenshot name (-1) or a temporary name of one (its stamp), as a field.
bool ReadName(std::string_view field, char (&out)[kTempNameRoom], std::int64_t* stamp, const char** shot) {
  if (field.empty() || field.size() >= sizeof out) return false;
  std::memcpy(out, field.data(), field.size());
  out[field.size()] = '\0';
  *stamp = -1;
  *shot = out;
  if (out[0] == '_') {
    *shot = ReadTempStamp(out, stamp);
    if (*shot == nullptr) return false;
  }
  return IsShotName(*shot, false);
}

int Number(std::string_view digits) {
  int value = 0;
  for (const char c : digits) value = value * 10 + (c - '0');
  return value;
}

// "YYYY/MM/DD,hh:mm:ss:cc" (a year of four or five digits) with every field in
// its range, or all zeros for a time that has no date.
bool ReadTimeColumns(std::string_view field, char (&out)[kLogTimeRoom]) {
  const std::size_t yearDigits = field.size() == 22 ? 4 : field.size() == 23 ? 5 : 0;
  if (yearDigits == 0) return false;
  const std::string_view rest = field.substr(yearDigits);
  constexpr std::string_view kShape = "/99/99,99:99:99:99";
  for (std::size_t i = 0; i < kShape.size(); ++i) {
    if (kShape[i] == '9' ? rest[i] < '0' || rest[i] > '9' : rest[i] != kShape[i]) return false;
  }
  if (!AllDigits(field.substr(0, yearDigits))) return false;
  const int month = Number(rest.substr(1, 2));
  const int day = Number(rest.substr(4, 2));
  const int hour = Number(rest.substr(7, 2));
  const int minute = Number(rest.substr(10, 2));
  const int second = Number(rest.substr(13, 2));
  if (field != "0000/00/00,00:00:00:00" &&
      (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60)) {
    return false;
  }
  std::memcpy(out, field.data(), field.size());
  out[field.size()] = '\0';
  return true;
}

bool ReadRowFields(std::string_view line, LogRow* row) {
  if (line.starts_with("OK,")) {
    row->ok = true;
  } else if (line.starts_with("NG,")) {
    row->ok = false;
  } else {
    return false;
  }
  line.remove_prefix(3);
  const std::size_t first = line.find(',');
  if (first == std::string_view::npos) return false;
  const std::size_t second = line.find(',', first + 1);
  if (second == std::string_view::npos) return false;
  return ReadName(line.substr(0, first), row->before, &row->beforeStamp, &row->beforeShot) &&
         ReadName(line.substr(first + 1, second - first - 1), row->after, &row->afterStamp, &row->afterShot) &&
         ReadTimeColumns(line.substr(second + 1), row->time);
}

// The order and shape of the rows that each log's writer gives.
bool RowFitsLog(LogReader* reader, const LogRow& row) {
  if (reader->head.kind == LogKind::kResult) return IsPhase2Row(row);
  if (IsPhase2Row(row)) {
    reader->inPhase2 = true;
    return row.beforeStamp >= 0;
  }
  // A first-phase row: a screenshot name to this run's temporary name of it.
  if (reader->inPhase2 || row.beforeStamp >= 0 || std::strcmp(row.beforeShot, row.afterShot) != 0) return false;
  if (reader->stamp < 0) reader->stamp = row.afterStamp;
  return row.afterStamp == reader->stamp;
}

}  // namespace

bool ReadLogHead(LogReader* reader, std::FILE* file) {
  *reader = LogReader{file, {}, false, -1};
  char line[kLineRoom];
  std::size_t length = 0;
  // The title line tells the line end the whole log uses.
  int c;
  std::size_t n = 0;
  while ((c = std::getc(file)) != EOF && c != '\n' && n + 1 < sizeof line) line[n++] = static_cast<char>(c);
  if (c != '\n') return false;
  reader->head.crlf = n > 0 && line[n - 1] == '\r';
  if (reader->head.crlf) --n;
  if (!ReadTitle(std::string_view(line, n), &reader->head)) return false;
  return ReadLine(file, reader->head.crlf, line, &length) == LineStep::kLine &&
         std::string_view(line, length) == Bare(texts::kLogHeader);
}

LogStep ReadLogRow(LogReader* reader, LogRow* row) {
  char line[kLineRoom];
  std::size_t length = 0;
  switch (ReadLine(reader->file, reader->head.crlf, line, &length)) {
    case LineStep::kEnd:
      return LogStep::kEnd;
    case LineStep::kBad:
      return LogStep::kBad;
    case LineStep::kLine:
      break;
  }
  if (!ReadRowFields(std::string_view(line, length), row)) return LogStep::kBad;
  return RowFitsLog(reader, *row) ? LogStep::kRow : LogStep::kBad;
}

bool FindUnloggedRename(const char* processLog, std::int64_t stamp, LogRow* firstPhaseRow) {
  std::FILE* first = OpenFileForReading(processLog);
  std::FILE* second = OpenFileForReading(processLog);
  LogReader firstPhase;
  LogReader secondPhase;
  bool found = false;
  if (first != nullptr && second != nullptr && ReadLogHead(&firstPhase, first) && ReadLogHead(&secondPhase, second) &&
      firstPhase.head.kind == LogKind::kProcess) {
    LogRow& p1 = *firstPhaseRow;
    LogRow p2;
    // The second reader goes to the first row of the second phase, and from
    // there from one of this run's temporary names to the next.
    bool havePhase2 = false;
    while (!havePhase2 && ReadLogRow(&secondPhase, &p2) == LogStep::kRow) havePhase2 = IsPhase2Row(p2);
    const auto nextOwn = [&] {
      while (havePhase2 && p2.beforeStamp != stamp) havePhase2 = ReadLogRow(&secondPhase, &p2) == LogStep::kRow;
    };
    nextOwn();
    while (!found && ReadLogRow(&firstPhase, &p1) == LogStep::kRow && !IsPhase2Row(p1)) {
      if (havePhase2 && std::strcmp(p2.beforeShot, p1.beforeShot) == 0) {
        havePhase2 = ReadLogRow(&secondPhase, &p2) == LogStep::kRow;
        nextOwn();
      } else {
        found = p1.ok;  // a rename that failed left no temporary name
      }
    }
  }
  if (first != nullptr) std::fclose(first);
  if (second != nullptr) std::fclose(second);
  return found;
}

bool HasRunLogHead(std::FILE* file) {
  LogReader reader;
  return ReadLogHead(&reader, file);
}

bool ReadLogFileName(std::string_view text, char (&digits)[15], LogKind* kind) {
  if (text.size() != 31 || !text.ends_with(".csv")) return false;
  if (text.starts_with("VeltraskoAll_")) {
    *kind = LogKind::kProcess;
  } else if (text.starts_with("VeltraskoLog_")) {
    *kind = LogKind::kResult;
  } else {
    return false;
  }
  if (!AllDigits(text.substr(13, 14))) return false;
  std::memcpy(digits, text.data() + 13, 14);
  digits[14] = '\0';
  return true;
}

}  // namespace shotrenum
