#include "rename/log_format.h"

#include <cstdio>
#include <cstring>

#include "texts.h"

namespace shotrenum {

namespace {

// A log's name: its kind's prefix, fourteen digits, the extension.
constexpr std::string_view kProcessPrefix = "VeltraskoAll_";
constexpr std::string_view kResultPrefix = "VeltraskoLog_";
constexpr std::string_view kExtension = ".csv";
constexpr std::size_t kDigits = 14;
static_assert(kProcessPrefix.size() == kResultPrefix.size());

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
char* PutTwoDigits(char* out, unsigned value) {
  out[0] = static_cast<char>('0' + value / 10);
  out[1] = static_cast<char>('0' + value % 10);
  return out + 2;
}

char* PutTwoDigitsThen(char* out, int value, char separator) {
  if (value >= 0 && value < 100) {
    out = PutTwoDigits(out, static_cast<unsigned>(value));
  } else {
    out = PutNumber(out, value, 2);
  }
  *out = separator;
  return out + 1;
}

}  // namespace

std::string_view LogVerdict(bool ok) { return ok ? "OK," : "NG,"; }

bool LogDigits(char (&out)[16], const CalendarTime& startTime) {
  return std::snprintf(out, sizeof out, "%04d%02d%02d%02d%02d%02d", startTime.year, startTime.month, startTime.day,
                       startTime.hour, startTime.minute, startTime.second) == 14;
}

bool ParseLogFileName(std::string_view text, char (&digits)[15], LogKind* kind) {
  const std::size_t at = kProcessPrefix.size();
  if (text.size() != at + kDigits + kExtension.size() || !text.ends_with(kExtension)) return false;
  if (text.starts_with(kProcessPrefix)) {
    *kind = LogKind::kProcess;
  } else if (text.starts_with(kResultPrefix)) {
    *kind = LogKind::kResult;
  } else {
    return false;
  }
  for (std::size_t i = at; i < at + kDigits; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  std::memcpy(digits, text.data() + at, kDigits);
  digits[kDigits] = '\0';
  return true;
}

void LogFileName(char (&out)[64], LogKind kind, const char* digits) {
  const std::string_view prefix = kind == LogKind::kProcess ? kProcessPrefix : kResultPrefix;
  std::snprintf(out, sizeof out, "%.*s%s%.*s", static_cast<int>(prefix.size()), prefix.data(), digits,
                static_cast<int>(kExtension.size()), kExtension.data());
}

void LogFileName(char (&out)[64], LogKind kind, const CalendarTime& startTime) {
  char digits[16];
  LogDigits(digits, startTime);
  LogFileName(out, kind, digits);
}

std::size_t FormatLogTime(char (&out)[kLogTimeRoom], const CalendarTime& local) {
  // By hand rather than with printf: two rows are written per rename.
  char* p = out;
  if (local.year >= 0 && local.year < 10000) {
    const auto year = static_cast<unsigned>(local.year);
    p = PutTwoDigits(PutTwoDigits(p, year / 100), year % 100);
  } else {
    p = PutNumber(p, local.year, 4);
  }
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
  return std::string(LogVerdict(ok)) + before + "," + after + "," + std::string(time, length);
}

}  // namespace shotrenum
