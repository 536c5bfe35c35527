#include "rename/run_log.h"

#include <cstring>
#include <vector>

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

char* PutText(char* out, const char* text, std::size_t length) {
  std::memcpy(out, text, length);
  return out + length;
}

char* PutNumberThen(char* out, int value, int width, char separator) {
  out = PutNumber(out, value, width);
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
  log.stream = std::fopen(log.fileName, "w");
  if (log.stream == nullptr) log.stream = stdout;
  std::fputs(process ? texts::kProcessLogTitle : texts::kResultLogTitle, log.stream);
  std::fputs(texts::kLogHeader, log.stream);
  std::fflush(log.stream);
  return log;
}

std::size_t FormatRow(char* out, bool ok, const char* before, const char* after, const CalendarTime& local) {
  char* p = PutText(out, ok ? "OK," : "NG,", 3);
  p = PutText(p, before, std::strlen(before));
  *p++ = ',';
  p = PutText(p, after, std::strlen(after));
  *p++ = ',';
  p = PutNumberThen(p, local.year, 4, '/');
  p = PutNumberThen(p, local.month, 2, '/');
  p = PutNumberThen(p, local.day, 2, ',');
  p = PutNumberThen(p, local.hour, 2, ':');
  p = PutNumberThen(p, local.minute, 2, ':');
  p = PutNumberThen(p, local.second, 2, ':');
  p = PutNumberThen(p, local.milliseconds / 10, 2, '\n');
  return static_cast<std::size_t>(p - out);
}

void WriteRow(const RunLog& log, bool ok, const char* before, const char* after, FILETIME writeTime) {
  CalendarTime local;
  if (!LocalCalendarOfFileTime(writeTime, &local)) {
    // A time with no local calendar date prints as zeros rather than garbage.
    local = CalendarTime{};
  }
  // Every name the tool logs fits the buffer on the stack.
  char small[192];
  std::vector<char> large;
  char* row = small;
  const std::size_t room = std::strlen(before) + std::strlen(after) + kRowFrame;
  if (room > sizeof small) {
    large.resize(room);
    row = large.data();
  }
  std::fwrite(row, 1, FormatRow(row, ok, before, after, local), log.stream);
  // Each row is handed to the file as soon as it is complete (the C runtime
  // of some OSes buffers fully even when asked for lines).
  std::fflush(log.stream);
}

void CloseRunLog(const RunLog& log) {
  if (log.stream != stdout) std::fclose(log.stream);
}

}  // namespace shotrenum
