#include "rename/run_log.h"

#include <filesystem>
#include <system_error>

#include "texts.h"

namespace shotrenum {

RunLog OpenRunLog(LogKind kind, const CalendarTime& startTime) {
  RunLog log{};
  const bool process = kind == LogKind::kProcess;
  std::snprintf(log.fileName, sizeof log.fileName, "%s_%04d%02d%02d%02d%02d%02d.csv",
                process ? "VeltraskoAll" : "VeltraskoLog", startTime.year, startTime.month, startTime.day,
                startTime.hour, startTime.minute, startTime.second);
  // Opening a symbolic link for writing would empty the file it points to,
  // wherever that is; the log then goes where it goes when it cannot be created.
  std::error_code error;
  if (!std::filesystem::is_symlink(log.fileName, error)) log.stream = std::fopen(log.fileName, "w");
  if (log.stream == nullptr) log.stream = stdout;
  std::fputs(process ? texts::kProcessLogTitle : texts::kResultLogTitle, log.stream);
  std::fputs(texts::kLogHeader, log.stream);
  return log;
}

void WriteVerdict(const RunLog& log, bool ok) { std::fputs(ok ? "OK," : "NG,", log.stream); }

void WriteRowRest(const RunLog& log, const char* before, const char* after, FILETIME writeTime) {
  CalendarTime local;
  if (!LocalCalendarOfFileTime(writeTime, &local)) {
    // A time with no local calendar date prints as zeros rather than garbage.
    local = CalendarTime{};
  }
  std::fprintf(log.stream, "%s,%s,%04d/%02d/%02d,%02d:%02d:%02d:%02d\n", before, after, local.year, local.month,
               local.day, local.hour, local.minute, local.second, local.milliseconds / 10);
  // The row reaches the file before the next rename starts, so a run killed at
  // any moment leaves a log of every rename it completed but the one in flight.
  std::fflush(log.stream);
}

void CloseRunLog(const RunLog& log) {
  if (log.stream != stdout) std::fclose(log.stream);
}

}  // namespace shotrenum
