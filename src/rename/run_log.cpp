#include "rename/run_log.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <string_view>

#include "say.h"
#include "texts.h"

namespace shotrenum {

namespace {


// The pieces of a row: its verdict, both names, and its date and time
// columns.
using RowPieces = std::array<std::string_view, 6>;

// The row's pieces; `time` holds its date and time columns.
RowPieces RowOf(bool ok, const char* before, const char* after, FILETIME writeTime, char (&time)[kLogTimeRoom]) {
  CalendarTime local;
  // A time with no local calendar date prints as zeros rather than garbage.
  if (!LocalCalendarOfFileTime(writeTime, &local)) local = CalendarTime{};
  return {LogVerdict(ok), before, ",", after, ",", std::string_view(time, FormatLogTime(time, local))};
}

// A row's pieces as one piece, so that a row never reaches a file, or
// standard output beside the other log, in parts.
class JoinedRow {
 public:
  explicit JoinedRow(const RowPieces& pieces) {
    // A row is a few short pieces, written three times per screenshot: joined
    // on the stack, with no allocation.
    std::size_t length = 0;
    for (const std::string_view piece : pieces) length += piece.size();
    if (length <= sizeof room_) {
      char* end = room_;
      for (const std::string_view piece : pieces) end = std::copy(piece.begin(), piece.end(), end);
      text_ = std::string_view(room_, length);
      return;
    }
    for (const std::string_view piece : pieces) large_ += piece;
    text_ = large_;
  }
  JoinedRow(const JoinedRow&) = delete;
  JoinedRow& operator=(const JoinedRow&) = delete;
  std::string_view Text() const { return text_; }

 private:
  char room_[256];
  std::string large_;
  std::string_view text_;
};

// Writes a row to `file`. False when it could not all be written (a full
// disk, a broken pipe).
bool WriteFlushed(std::FILE* file, const RowPieces& pieces) {
  const JoinedRow row(pieces);
  return WriteToFile(file, row.Text().data(), row.Text().size());
}

// The title and header lines of a log.
bool WriteHead(std::FILE* stream, const RunLog& log) {
  const std::string head = LogHeadText(log.kind, log.undoneLog);
  return WriteToFile(stream, head.data(), head.size());
}

// The log whose lines standard output took last, once it took any: where
// both logs stand in there, each run of rows follows its own log's title.
bool stdoutTookLog = false;
LogKind stdoutLog = LogKind::kProcess;

// Standard output takes over a log from here on.
void StandInOnStdout(RunLog& log) {
  log.where = LogPlace::kStandardOutput;
  if (!WriteHead(stdout, log)) log.rowsLost = true;
  stdoutTookLog = true;
  stdoutLog = log.kind;
}

// A write to standard output standing in for `log`; after the other log's
// rows, its title line first.
void WriteToStdout(RunLog& log, const RowPieces& pieces) {
  if (stdoutTookLog && stdoutLog != log.kind) {
    const std::string head = LogHeadText(log.kind, log.undoneLog);
    const std::size_t titleEnd = head.find('\n') + 1;
    if (!WriteToFile(stdout, head.data(), titleEnd)) log.rowsLost = true;
  }
  stdoutTookLog = true;
  stdoutLog = log.kind;
  if (!WriteFlushed(stdout, pieces)) log.rowsLost = true;
}

// The log's file failed a write, or its mapping left it unable to take
// more: it gets no more rows.
void GiveUpFile(RunLog& log) {
  CloseFile(log.file);
  log.file = nullptr;
  log.fileFailed = true;
  StandInOnStdout(log);
}

// How long a window of a log's mapping is. Its pages stay resident while it
// is mapped, one window per log: small beside the records of the
// screenshots, large enough that a window moves on only every few thousand
// rows.
constexpr std::size_t kLogWindow = 256 * 1024;

// The log's mapping gave up in `state`: rows are written from here on.
void Unmapped(RunLog& log, LogWindowState state) {
  log.mapped = false;
  if (state == LogWindowState::kNulTail) GiveUpFile(log);
  if (state == LogWindowState::kChanged) log.changed = true;
}

// Stores a row into the log's mapping: kMapped when stored. Otherwise the
// state the mapping gave up in; the row is then to be written (to the file,
// which takes it right after the rows stored, or to standard output when the
// file can take nothing more), or for kChanged the log written whole again.
LogWindowState StoreRow(RunLog& log, const RowPieces& pieces) {
  const JoinedRow row(pieces);
  const LogWindowState state = StoreInLogWindow(log.window, row.Text());
  if (state != LogWindowState::kMapped) Unmapped(log, state);
  return state;
}

}  // namespace


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
  log.where = log.fileCreated ? LogPlace::kFile : LogPlace::kNotCreated;
  return log;
}

}  // namespace

RunLog OpenUndoLog(LogKind kind, const CalendarTime& startTime, const char* undoneLog) {
  RunLog log = Created(kind, startTime, undoneLog);
  if (log.where != LogPlace::kFile) {
    StandInOnStdout(log);
  } else if (!WriteHead(log.file, log)) {
    GiveUpFile(log);
  }
  return log;
}

std::uint64_t LogRowBytes(const char* before, const char* after, FILETIME writeTime) {
  char time[kLogTimeRoom];
  std::uint64_t bytes = 0;
  for (const std::string_view piece : RowOf(true, before, after, writeTime, time)) bytes += LogWindowBytes(piece);
  return bytes;
}

bool MapLogRows(RunLog& log, std::uint64_t rowBytes) {
  if (log.where != LogPlace::kFile) return false;
  const std::uint64_t head = LogWindowBytes(LogHeadText(log.kind, log.undoneLog));
  // One NUL more than the rows take: a row that a kill cuts short as it is
  // stored is followed by NULs even at the end of the log, so the reader
  // knows it for the row in flight. The end of the command cuts it off.
  switch (BeginLogWindow(log.window, log.file, head, head + rowBytes + 1, kLogWindow)) {
    case LogWindowState::kMapped:
      log.mapped = true;
      return true;
    case LogWindowState::kPlain:
      return false;
    case LogWindowState::kNulTail:
      // NULs the file could not be cut back from stand between its head and
      // any row written after them.
      GiveUpFile(log);
      return false;
    case LogWindowState::kChanged:  // not before the first store
      return false;
  }
  return false;
}

RunLog CreateUndoLog(LogKind kind, const CalendarTime& startTime, const char* undoneLog) {
  RunLog log = Created(kind, startTime, undoneLog);
  if (log.where == LogPlace::kFile && !WriteHead(log.file, log)) {
    CloseFile(log.file);
    log.file = nullptr;
    log.where = LogPlace::kNotCreated;
    // Its own file, just created: a head cut short would read as a log
    // that cannot be read.
    RemoveRegularFile(log.fileName);
  }
  return log;
}


bool WriteLogRow(RunLog& log, bool ok, const char* before, const char* after, FILETIME writeTime) {
  char time[kLogTimeRoom];
  const RowPieces row = RowOf(ok, before, after, writeTime, time);
  // The whole row is in the file, stored or written in one piece, before the
  // next rename starts.
  if (log.mapped) {
    const LogWindowState state = StoreRow(log, row);
    if (state == LogWindowState::kMapped) return true;
    if (state == LogWindowState::kChanged) return false;
  }
  if (log.where == LogPlace::kFile) {
    if (WriteFlushed(log.file, row)) return true;
    GiveUpFile(log);
  }
  WriteToStdout(log, row);
  return true;
}

bool RunLogWhole(RunLog& log) {
  if (!log.mapped) return true;
  const LogWindowState state = CheckLogWindow(log.window);
  if (state == LogWindowState::kMapped) return true;
  Unmapped(log, state);
  return false;
}

void RestartRunLog(RunLog& log) {
  log.mapped = false;
  if (log.where != LogPlace::kFile) return;
  if (EndFileAt(log.file, 0) != FileStep::kDone || !WriteHead(log.file, log)) GiveUpFile(log);
}

Durable MakeLogDurable(RunLog& log) {
  if (log.where != LogPlace::kFile) return Durable::kDone;
  if (log.mapped) return MakeFileDurable(log.file, log.window.window, log.window.windowLength);
  return MakeFileDurable(log.file, nullptr, 0);
}

void EndLogRows(RunLog& log) {
  if (log.mapped) EndLogWindow(log.window);
  log.mapped = false;
}

void CloseRunLog(RunLog& log) {
  // The room allocated beyond the rows goes. Where the file cannot be cut,
  // its rows are all in it, followed by NULs as a killed run's are, and the
  // next command that reads it cuts them. A file changed underneath it after
  // the move last asked is left as it is: rows of it are lost.
  if (log.mapped && EndLogWindow(log.window) == LogWindowState::kChanged) {
    log.changed = true;
    log.rowsLost = true;
  }
  log.mapped = false;
  // Every row was flushed; a close that still fails may have lost some.
  if (log.where == LogPlace::kFile && !CloseFile(log.file)) log.rowsLost = true;
  log.file = nullptr;
  log.where = LogPlace::kClosed;
}

void ReportLogTrouble(const RunLog& log) {
  if (log.changed) Say(texts::kLogChanged, log.fileName);
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
