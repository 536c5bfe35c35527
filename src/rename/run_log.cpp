#include "rename/run_log.h"

#include <filesystem>
#include <system_error>

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

}  // namespace

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
  std::fflush(log.stream);
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

void WriteVerdict(const RunLog& log, bool ok) { std::fputs(ok ? "OK," : "NG,", log.stream); }

void WriteRowRest(const RunLog& log, const char* before, const char* after, FILETIME writeTime) {
  CalendarTime local;
  // A time with no local calendar date prints as zeros rather than garbage.
  if (!LocalCalendarOfFileTime(writeTime, &local)) local = CalendarTime{};
  char time[kLogTimeRoom];
  const std::size_t timeLength = FormatLogTime(time, local);
  std::fputs(before, log.stream);
  std::fputc(',', log.stream);
  std::fputs(after, log.stream);
  std::fputc(',', log.stream);
  std::fwrite(time, 1, timeLength, log.stream);
  // The whole row leaves in one write before the next rename starts. (Some C
  // runtimes buffer fully even when asked for lines, so flush explicitly.)
  std::fflush(log.stream);
}

void CloseRunLog(const RunLog& log) {
  if (log.stream != stdout) std::fclose(log.stream);
}

}  // namespace shotrenum
