#include "journal/row_time.h"

#include <chrono>

#include "rename/log_reader.h"
#include "platform/filetime.h"

namespace shotrenum {

namespace {

int Digits(const char* text, int count) {
  int value = 0;
  for (int i = 0; i < count; ++i) value = value * 10 + (text[i] - '0');
  return value;
}

std::int64_t SecondsAsUtc(int y, unsigned mo, unsigned d, int h, int mi, int s) {
  using namespace std::chrono;
  return std::int64_t{sys_days{year{y} / month{mo} / day{d}}.time_since_epoch().count()} * 86400 + h * 3600 + mi * 60 +
         s;
}

// Calendar fields read as a UTC time.
std::int64_t SecondsAsUtc(const CalendarTime& t) {
  return SecondsAsUtc(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day), t.hour, t.minute, t.second);
}

constexpr std::int64_t kWestmost = -12 * 3600;
constexpr std::int64_t kEastmost = 14 * 3600;

}  // namespace

std::int64_t DigitsAsUtc(const char* digits) {
  return SecondsAsUtc(Digits(digits, 4), static_cast<unsigned>(Digits(digits + 4, 2)),
                      static_cast<unsigned>(Digits(digits + 6, 2)), Digits(digits + 8, 2), Digits(digits + 10, 2),
                      Digits(digits + 12, 2));
}

bool PlausibleOffset(std::int64_t offset) { return offset % 900 == 0 && offset >= kWestmost && offset <= kEastmost; }

std::int64_t OffsetOfStamp(const char* digits, std::int64_t stamp) { return DigitsAsUtc(digits) - stamp; }

std::int64_t StampOfOffset(const char* digits, std::int64_t offset) { return DigitsAsUtc(digits) - offset; }

bool PlausibleStamp(const char* digits, std::int64_t stamp) { return PlausibleOffset(OffsetOfStamp(digits, stamp)); }

bool StampNearWritten(const char* digits, std::int64_t written, std::int64_t* stamp) {
  const std::int64_t difference = DigitsAsUtc(digits) - written;
  const std::int64_t quarters = (difference + (difference >= 0 ? 450 : -450)) / 900;
  const std::int64_t near = StampOfOffset(digits, quarters * 900);
  if (!PlausibleStamp(digits, near)) return false;
  *stamp = near;
  return true;
}

bool StampOfDigitsNow(const char* digits, std::int64_t* stamp) {
  const std::int64_t asUtc = DigitsAsUtc(digits);
  for (std::int64_t offset = kWestmost; offset <= kEastmost; offset += 900) {
    CalendarTime local{};
    if (LocalCalendarOfStamp(asUtc - offset, &local) && SecondsAsUtc(local) == asUtc) {
      *stamp = asUtc - offset;
      return true;
    }
  }
  return false;
}

std::int64_t RowTimeOfFile(FILETIME writeTime, std::int64_t offset) {
  const std::uint64_t ticks = FileTimeTicks(writeTime);
  std::uint64_t shifted;
  // What the row shows zeros for: no date in that offset.
  if (!ShiftTicks(ticks, offset, &shifted)) return kUndatedRow;
  return static_cast<std::int64_t>(ticks / 100000);
}

std::int64_t RowTimeUtc(std::int64_t localTime, std::int64_t offset) {
  return localTime == kUndatedRow ? kUndatedRow : localTime - offset * 100;
}

FILETIME FileTimeOfRowTime(std::int64_t utcTime) {
  if (utcTime == kUndatedRow || utcTime < 0) return FileTimeFromTicks(kFirstUndatedTicks);
  return FileTimeFromTicks(static_cast<std::uint64_t>(utcTime) * 100000);
}

bool OffsetOfRow(std::int64_t localTime, FILETIME writeTime, std::int64_t* offset) {
  const std::int64_t file = RowTimeOfFile(writeTime, 0);
  if (localTime == kUndatedRow || file == kUndatedRow) return false;
  const std::int64_t difference = localTime - file;
  if (difference % 100 != 0 || !PlausibleOffset(difference / 100)) return false;
  *offset = difference / 100;
  return true;
}

}  // namespace shotrenum
