#include "rename/run_log.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>

#include "say.h"
#include "texts.h"

namespace shotrenum {

namespace {

// `value` (>= 0) in decimal, zero-padded to at least `width` digits.
char* PutNumber(char* out, int value, int width) {
  int digits = 1;
  for (int rest = value / 10; rest > 0; rest /= 10) ++digits;
  if (digits < width) digits = width;
  for (int i = digits - 1; i >= 0; --i, value /= 10) out[i] = static_cast<char>('0' + value % 10);
  return out + digits;
}

// A two-digit field and the separator after it. Every field but the year has
// two digits, so this goes straight to them.
char* PutTwoDigitsThen(char* out, int value, char separator) {
  if (value >= 0 && value < 100) {
    out[0] = static_cast<char>('0' + value / 10);
    out[1] = static_cast<char>('0' + value % 10);
    out += 2;
  } else {
    out = PutNumber(out, value, 2);
  }
  *out = separator;
  return out + 1;
}

// Writes the pieces to `file` as one piece, so that a row (or a log's head)
// never reaches the file, or standard output beside the other log, in parts.
// False when they could not all be written (a full disk, a broken pipe).
bool WriteFlushed(std::FILE* file, std::initializer_list<std::string_view> pieces) {
  // A row is a few short pieces, written three times per screenshot: joined
  // on the stack, with no allocation.
  char joined[256];
  std::size_t length = 0;
  for (const std::string_view piece : pieces) length += piece.size();
  if (length <= sizeof joined) {
    char* end = joined;
    for (const std::string_view piece : pieces) end = std::copy(piece.begin(), piece.end(), end);
    return WriteToFile(file, joined, length);
  }
  std::string large;
  for (const std::string_view piece : pieces) large += piece;
  return WriteToFile(file, large.data(), large.size());
}

// The title and header lines of a log.
bool WriteHead(std::FILE* stream, const RunLog& log) {
  const std::string head = LogHeadText(log.kind, log.undoneLog);
  return WriteToFile(stream, head.data(), head.size());
}

// Standard output takes over a log from here on.
void StandInOnStdout(RunLog& log) {
  if (!WriteHead(stdout, log)) log.rowsLost = true;
}

// A write to standard output standing in for `log`.
void WriteToStdout(RunLog& log, std::initializer_list<std::string_view> pieces) {
  if (!WriteFlushed(stdout, pieces)) log.rowsLost = true;
}

// The log's file failed a write: it gets no more rows.
void GiveUpFile(RunLog& log) {
  CloseFile(log.file);
  log.file = nullptr;
  log.fileFailed = true;
  StandInOnStdout(log);
}

std::string_view Verdict(bool ok) { return ok ? "OK," : "NG,"; }

}  // namespace

bool LogDigits(char (&out)[16], const CalendarTime& startTime) {
  return std::snprintf(out, sizeof out, "%04d%02d%02d%02d%02d%02d", startTime.year, startTime.month, startTime.day,
                       startTime.hour, startTime.minute, startTime.second) == 14;
}

bool ParseLogFileName(std::string_view text, char (&digits)[15], LogKind* kind) {
  if (text.size() != 31 || !text.ends_with(".csv")) return false;
  if (text.starts_with("VeltraskoAll_")) {
    *kind = LogKind::kProcess;
  } else if (text.starts_with("VeltraskoLog_")) {
    *kind = LogKind::kResult;
  } else {
    return false;
  }
  for (std::size_t i = 13; i < 27; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  std::memcpy(digits, text.data() + 13, 14);
  digits[14] = '\0';
  return true;
}

void LogFileName(char (&out)[64], LogKind kind, const char* digits) {
  std::snprintf(out, sizeof out, "%s_%s.csv", kind == LogKind::kProcess ? "VeltraskoAll" : "VeltraskoLog", digits);
}

void LogFileName(char (&out)[64], LogKind kind, const CalendarTime& startTime) {
  char digits[16];
  LogDigits(digits, startTime);
  LogFileName(out, kind, digits);
}

RunLog OpenRunLog(LogKind kind, const CalendarTime& startTime) { return OpenUndoLog(kind, startTime, ""); }

namespace {

// The log's file, created new (nullptr when it could not be).
RunLog Created(LogKind kind, const CalendarTime& startTime, const char* undoneLog) {
  RunLog log{};
  log.kind = kind;
  std::snprintf(log.undoneLog, sizeof log.undoneLog, "%s", undoneLog);
  LogFileName(log.fileName, kind, startTime);
  log.file = CreateNewTextFile(log.fileName);
  log.fileCreated = log.file != nullptr;
  return log;
}

}  // namespace

RunLog OpenUndoLog(LogKind kind, const CalendarTime& startTime, const char* undoneLog) {
  RunLog log = Created(kind, startTime, undoneLog);
  if (log.file == nullptr) {
    StandInOnStdout(log);
  } else if (!WriteHead(log.file, log)) {
    GiveUpFile(log);
  }
  return log;
}

RunLog CreateUndoLog(LogKind kind, const CalendarTime& startTime, const char* undoneLog) {
  RunLog log = Created(kind, startTime, undoneLog);
  if (log.file != nullptr && !WriteHead(log.file, log)) {
    CloseFile(log.file);
    log.file = nullptr;
    RemoveEmptyFile(log.fileName);
  }
  return log;
}

std::size_t FormatLogTime(char (&out)[kLogTimeRoom], const CalendarTime& local) {
  // By hand rather than with printf: two rows are written per rename.
  char* p = PutNumber(out, local.year, 4);
  *p++ = '/';
  p = PutTwoDigitsThen(p, local.month, '/');
  p = PutTwoDigitsThen(p, local.day, ',');
  p = PutTwoDigitsThen(p, local.hour, ':');
  p = PutTwoDigitsThen(p, local.minute, ':');
  p = PutTwoDigitsThen(p, local.second, ':');
  p = PutTwoDigitsThen(p, local.milliseconds / 10, '\n');
  return static_cast<std::size_t>(p - out);
}

std::string LogHeadText(LogKind kind, const char* undoneLog) {
  const bool process = kind == LogKind::kProcess;
  if (undoneLog[0] == '\0') {
    return std::string(process ? texts::kProcessLogTitle : texts::kResultLogTitle) + texts::kLogHeader;
  }
  // An undo's title names the process log of what it takes back.
  char title[128];
  std::snprintf(title, sizeof title, process ? texts::kUndoProcessLogTitle : texts::kUndoResultLogTitle, undoneLog);
  return std::string(title) + texts::kLogHeader;
}

std::string LogRowText(bool ok, const char* before, const char* after, const CalendarTime& local) {
  char time[kLogTimeRoom];
  const std::size_t length = FormatLogTime(time, local);
  return std::string(Verdict(ok)) + before + "," + after + "," + std::string(time, length);
}

void WriteLogRow(RunLog& log, bool ok, const char* before, const char* after, FILETIME writeTime) {
  CalendarTime local;
  // A time with no local calendar date prints as zeros rather than garbage.
  if (!LocalCalendarOfFileTime(writeTime, &local)) local = CalendarTime{};
  char time[kLogTimeRoom];
  const std::string_view timeColumns(time, FormatLogTime(time, local));
  const std::initializer_list<std::string_view> row = {Verdict(ok), before, ",", after, ",", timeColumns};
  // The whole row leaves in one write before the next rename starts.
  if (log.file != nullptr) {
    if (WriteFlushed(log.file, row)) return;
    GiveUpFile(log);
  }
  WriteToStdout(log, row);
}

void CloseRunLog(RunLog& log) {
  // Every row was flushed; a close that still fails may have lost some.
  if (log.file != nullptr && !CloseFile(log.file)) log.rowsLost = true;
  log.file = nullptr;
}

void ReportLogTrouble(const RunLog& log) {
  if (log.rowsLost) {
    Say(texts::kLogLost, log.fileName);
  } else if (log.fileFailed) {
    Say(texts::kLogIncomplete, log.fileName);
  }
}

void CloseRunLogs(RunLog& processLog, RunLog& resultLog, long failures) {
  CloseRunLog(resultLog);
  CloseRunLog(processLog);
  // Where the process log could not be created, its rows are on standard
  // output only: no file to send the user to.
  if (failures > 0 && processLog.fileCreated) Say(texts::kFailures, processLog.fileName);
  if (failures > 0 && !processLog.fileCreated) Say("%s", texts::kFailuresOnStdout);
  ReportLogTrouble(processLog);
  ReportLogTrouble(resultLog);
}

}  // namespace shotrenum
