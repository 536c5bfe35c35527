#include "shots/temp_name.h"

#include <cstdio>
#include <cstring>

namespace shotrenum {

void TempName(char (&out)[kTempNameRoom], std::int64_t runStamp, const char* name) {
  // "_tmp_%lld_%s" by hand: an undo builds one for each row it reads.
  const std::size_t nameLength = std::strlen(name);
  if (runStamp < 0 || nameLength > sizeof out - 27) {
    std::snprintf(out, sizeof out, "_tmp_%lld_%s", static_cast<long long>(runStamp), name);
    return;
  }
  char digits[20];
  int count = 0;
  auto rest = static_cast<std::uint64_t>(runStamp);
  do {
    digits[count++] = static_cast<char>('0' + rest % 10);
    rest /= 10;
  } while (rest > 0);
  char* p = out;
  std::memcpy(p, "_tmp_", 5);
  p += 5;
  while (count > 0) *p++ = digits[--count];
  *p++ = '_';
  std::memcpy(p, name, nameLength + 1);
}

const char* ReadTempStamp(const char* name, std::int64_t* runStamp) {
  if (std::strncmp(name, "_tmp_", 5) != 0) return nullptr;
  const char* p = name + 5;
  // Only what "%lld" of a stamp from 0 up gives.
  if (*p == '0' && p[1] != '_') return nullptr;
  constexpr std::uint64_t kLargest = INT64_MAX;
  std::uint64_t value = 0;
  const char* digits = p;
  for (; *p >= '0' && *p <= '9'; ++p) {
    const auto digit = static_cast<std::uint64_t>(*p - '0');
    if (value > (kLargest - digit) / 10) return nullptr;
    value = value * 10 + digit;
  }
  if (p == digits || *p != '_') return nullptr;
  *runStamp = static_cast<std::int64_t>(value);
  return p + 1;
}

// Watches the 64 seconds from the reading of the folder on: far more than
// the sort and the wait for a free second take.
void MarkStampInUse(StampsInUse* inUse, std::int64_t runStamp) {
  if (runStamp >= inUse->from && runStamp - inUse->from < 64) {
    inUse->seconds |= std::uint64_t{1} << (runStamp - inUse->from);
  }
}

bool IsStampInUse(const StampsInUse& inUse, std::int64_t runStamp) {
  return runStamp >= inUse.from && runStamp - inUse.from < 64 && (inUse.seconds >> (runStamp - inUse.from) & 1) != 0;
}

}  // namespace shotrenum
