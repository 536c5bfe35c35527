#include "rename/run_log.h"

#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
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

char* PutText(char* out, const char* text, std::size_t length) {
  std::memcpy(out, text, length);
  return out + length;
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

namespace {

std::size_t FormatRow(char* out, bool ok, const char* before, std::size_t beforeLength, const char* after,
                      std::size_t afterLength, const CalendarTime& local) {
  char* p = PutText(out, ok ? "OK," : "NG,", 3);
  p = PutText(p, before, beforeLength);
  *p++ = ',';
  p = PutText(p, after, afterLength);
  *p++ = ',';
  p = PutNumber(p, local.year, 4);
  *p++ = '/';
  p = PutTwoDigitsThen(p, local.month, '/');
  p = PutTwoDigitsThen(p, local.day, ',');
  p = PutTwoDigitsThen(p, local.hour, ':');
  p = PutTwoDigitsThen(p, local.minute, ':');
  p = PutTwoDigitsThen(p, local.second, ':');
  p = PutTwoDigitsThen(p, local.milliseconds / 10, '\n');
  return static_cast<std::size_t>(p - out);
}

}  // namespace

std::size_t FormatRow(char* out, bool ok, const char* before, const char* after, const CalendarTime& local) {
  return FormatRow(out, ok, before, std::strlen(before), after, std::strlen(after), local);
}

namespace {

// One row, formatted on the stack (on the heap for names longer than any the
// tool makes).
class Row {
 public:
  Row(bool ok, const char* before, const char* after, const CalendarTime& local) {
    const std::size_t beforeLength = std::strlen(before);
    const std::size_t afterLength = std::strlen(after);
    const std::size_t room = beforeLength + afterLength + kRowFrame;
    if (room > sizeof small_) {
      large_.resize(room);
      bytes_ = large_.data();
    }
    size_ = FormatRow(bytes_, ok, before, beforeLength, after, afterLength, local);
  }
  Row(const Row&) = delete;
  Row& operator=(const Row&) = delete;

  const char* data() const { return bytes_; }
  std::size_t size() const { return size_; }

 private:
  char small_[192];
  std::vector<char> large_;
  char* bytes_ = small_;
  std::size_t size_ = 0;
};

constexpr std::size_t kVerdictLength = 3;  // "OK," or "NG,"

CalendarTime LocalCalendarOrZeros(FILETIME writeTime) {
  CalendarTime local;
  // A time with no local calendar date prints as zeros rather than garbage.
  if (!LocalCalendarOfFileTime(writeTime, &local)) local = CalendarTime{};
  return local;
}

// Each row goes to the file in one write as soon as it is complete, so a run
// killed at any moment leaves every finished row and no partial one.
void PutRow(const RunLog& log, const Row& row) { WriteThrough(log.stream, row.data(), row.size()); }

}  // namespace

void WriteRow(const RunLog& log, bool ok, const char* before, const char* after, FILETIME writeTime) {
  PutRow(log, Row(ok, before, after, LocalCalendarOrZeros(writeTime)));
}

void WriteRowPair(const RunLog& first, const RunLog& second, bool ok, const char* firstBefore, const char* secondBefore,
                  const char* after, FILETIME writeTime) {
  const CalendarTime local = LocalCalendarOrZeros(writeTime);
  const Row firstRow(ok, firstBefore, after, local);
  const Row secondRow(ok, secondBefore, after, local);
  if (first.stream != second.stream) {
    PutRow(first, firstRow);
    PutRow(second, secondRow);
    return;
  }
  std::string shared;
  shared.append(firstRow.data(), kVerdictLength).append(secondRow.data(), kVerdictLength);
  shared.append(firstRow.data() + kVerdictLength, firstRow.size() - kVerdictLength);
  shared.append(secondRow.data() + kVerdictLength, secondRow.size() - kVerdictLength);
  WriteThrough(first.stream, shared.data(), shared.size());
}

void CloseRunLog(const RunLog& log) {
  if (log.stream != stdout) std::fclose(log.stream);
}

}  // namespace shotrenum
