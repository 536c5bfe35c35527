#include "rename/row_time.h"

#include <chrono>
#include <cstring>

#include "shots/filetime.h"

namespace shotrenum {

namespace {

int Digits(const char* text, int count) {
  int value = 0;
  for (int i = 0; i < count; ++i) value = value * 10 + (text[i] - '0');
  return value;
}

// Seconds since 1970 of calendar fields read as UTC.
std::int64_t SecondsAsUtc(int y, int mo, int d, int h, int mi, int s) {
  using namespace std::chrono;
  const sys_days date{year{y} / month{static_cast<unsigned>(mo)} / std::chrono::day{static_cast<unsigned>(d)}};
  return std::int64_t{date.time_since_epoch().count()} * 86400 + h * 3600 + mi * 60 + s;
}

bool SameDigits(const CalendarTime& t, const char* digits) {
  char shown[16];
  return LogDigits(shown, t) && std::strcmp(shown, digits) == 0;
}

std::int64_t DigitsAsUtc(const char* digits) {
  return SecondsAsUtc(Digits(digits, 4), Digits(digits + 4, 2), Digits(digits + 6, 2), Digits(digits + 8, 2),
                      Digits(digits + 10, 2), Digits(digits + 12, 2));
}

}  // namespace

bool RunOffset(const char* digits, std::int64_t stamp, std::int64_t* offset) {
  const std::int64_t asUtc = DigitsAsUtc(digits);
  if (stamp >= 0) {
    *offset = asUtc - stamp;
    return true;
  }
  // Zone offsets are whole quarter hours, within a day of UTC.
  for (std::int64_t quarters = -56; quarters <= 56; ++quarters) {
    CalendarTime local{};
    if (LocalCalendarOfStamp(asUtc - quarters * 900, &local) && SameDigits(local, digits)) {
      *offset = quarters * 900;
      return true;
    }
  }
  return false;
}

bool StampOfDigits(const char* digits, std::int64_t* stamp) {
  std::int64_t offset = 0;
  if (!RunOffset(digits, -1, &offset)) return false;
  *stamp = DigitsAsUtc(digits) - offset;
  return true;
}

void RowTimeText(FILETIME writeTime, std::int64_t offset, char (&out)[kLogTimeRoom]) {
  CalendarTime local{};
  std::uint64_t shifted;
  if (!ShiftTicks(FileTimeTicks(writeTime), offset, &shifted) || !CalendarOfTicks(shifted, &local)) {
    local = CalendarTime{};
  }
  const std::size_t length = FormatLogTime(out, local);
  out[length - 1] = '\0';  // the line end
}

FILETIME FileTimeOfRowTime(const char* columns, std::int64_t offset) {
  if (std::strcmp(columns, "0000/00/00,00:00:00:00") == 0) return FileTimeFromTicks(kFirstUndatedTicks);
  const int yearDigits = columns[4] == '/' ? 4 : 5;
  const char* rest = columns + yearDigits;
  const std::int64_t local = SecondsAsUtc(Digits(columns, yearDigits), Digits(rest + 1, 2), Digits(rest + 4, 2),
                                          Digits(rest + 7, 2), Digits(rest + 10, 2), Digits(rest + 13, 2));
  const long hundredths = Digits(rest + 16, 2);
  return FileTimeFromUnix(local - offset, hundredths * 10000000L);
}

}  // namespace shotrenum
