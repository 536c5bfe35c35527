#include "shots/order.h"

#include <algorithm>
#include <cstring>

namespace shotrenum {

namespace {

// The name that orders a record: the one the logs gave it, if any.
const char* OrderName(const ShotRecord& record) { return record.target[0] != '\0' ? record.target : record.name; }

}  // namespace

int CompareShots(const void* a, const void* b) {
  const auto* left = static_cast<const ShotRecord*>(a);
  const auto* right = static_cast<const ShotRecord*>(b);
  const FILETIME& lt = left->writeTime;
  const FILETIME& rt = right->writeTime;
  if (lt.dwHighDateTime != rt.dwHighDateTime) return lt.dwHighDateTime < rt.dwHighDateTime ? -1 : 1;
  if (lt.dwLowDateTime != rt.dwLowDateTime) return lt.dwLowDateTime < rt.dwLowDateTime ? -1 : 1;
  // strcmp compares as unsigned char.
  const int byName = std::strcmp(OrderName(*left), OrderName(*right));
  if (byName != 0) return byName < 0 ? -1 : 1;
  // A screenshot at its own name before one of that name an earlier run left
  // at a temporary name, and those by the stamp of their runs.
  if (left->stranded != right->stranded) return left->stranded ? 1 : -1;
  const std::int64_t leftStamp = StrandedStamp(*left);
  const std::int64_t rightStamp = StrandedStamp(*right);
  if (leftStamp != rightStamp) return leftStamp < rightStamp ? -1 : 1;
  // Two names that the logs gave one ordering name (a file replaced since):
  // by their own names.
  const int byOwnName = std::strcmp(left->name, right->name);
  return (byOwnName > 0) - (byOwnName < 0);
}

void SortShots(ShotRecord* records, long n) {
  // In place: qsort would allocate a pointer array and a copy buffer for
  // records of this size, a third more memory on top of the records.
  std::sort(records, records + n,
            [](const ShotRecord& left, const ShotRecord& right) { return CompareShots(&left, &right) < 0; });
}

void WriteTargetName(char (&target)[kShotNameLength + 1], long position) {
  // "G%07ld.pcx" of the position, which has at most seven digits.
  std::memcpy(target, "G0000000.pcx", sizeof target);
  for (int digit = 7; digit >= 1 && position > 0; --digit, position /= 10) {
    target[digit] = static_cast<char>('0' + position % 10);
  }
}

bool CheckOrder(ShotRecord* records, long n) {
  long matches = 0;
  for (long i = 0; i < n; ++i) {
    WriteTargetName(records[i].target, i);
    // A screenshot at a temporary name is never where it belongs.
    if (!records[i].stranded && std::strcmp(records[i].name, records[i].target) == 0) ++matches;
  }
  return matches == n;
}

}  // namespace shotrenum
