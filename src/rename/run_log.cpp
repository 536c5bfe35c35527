#include "rename/run_log.h"

#include "texts.h"

namespace shotrenum {

RunLog OpenRunLog(LogKind kind, const CalendarTime& startTime) {
  RunLog log{};
  const bool process = kind == LogKind::kProcess;
  std::snprintf(log.fileName, sizeof log.fileName, "%s_%04d%02d%02d%02d%02d%02d.csv",
                process ? "VeltraskoAll" : "VeltraskoLog", startTime.year, startTime.month, startTime.day,
                startTime.hour, startTime.minute, startTime.second);
  log.stream = std::fopen(log.fileName, "w");
  if (log.stream == nullptr) log.stream = stdout;
  std::fputs(process ? texts::kProcessLogTitle : texts::kResultLogTitle, log.stream);
  std::fputs(texts::kLogHeader, log.stream);
  std::fflush(log.stream);
  return log;
}

void WriteRow(const RunLog& log, bool ok, const char* before, const char* after, FILETIME writeTime) {
  CalendarTime local;
  if (!LocalCalendarOfFileTime(writeTime, &local)) {
    // A time with no local calendar date prints as zeros rather than garbage.
    local = CalendarTime{};
  }
  std::fprintf(log.stream, "%s,%s,%s,%04d/%02d/%02d,%02d:%02d:%02d:%02d\n", ok ? "OK" : "NG", before, after, local.year,
               local.month, local.day, local.hour, local.minute, local.second, local.milliseconds / 10);
  // Each row is handed to the file as soon as it is complete (the C runtime
  // of some OSes buffers fully even when asked for lines).
  std::fflush(log.stream);
}

void CloseRunLog(const RunLog& log) {
  if (log.stream != stdout) std::fclose(log.stream);
}

}  // namespace shotrenum
