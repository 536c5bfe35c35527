#include "shots/order.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace shotrenum {

namespace {

int Sign(int value) { return (value > 0) - (value < 0); }

template <typename T>
int Three(T a, T b) {
  return a < b ? -1 : b < a ? 1 : 0;
}

// What follows equal times and ordering names: a screenshot at its own name
// before one of that name an earlier run left at a temporary name, those by
// the stamp of their runs, and two that the logs gave one ordering name (a
// file replaced since) by their own names.
int AfterOrderName(const ShotRecord& left, const ShotRecord& right) {
  if (left.stranded != right.stranded) return left.stranded ? 1 : -1;
  if (const int byStamp = Three(StrandedStamp(left), StrandedStamp(right))) return byStamp;
  return Sign(std::strcmp(left.name, right.name));
}

int CompareTimes(const ShotRecord& left, const ShotRecord& right) {
  const FILETIME& lt = left.writeTime;
  const FILETIME& rt = right.writeTime;
  if (lt.dwHighDateTime != rt.dwHighDateTime) return lt.dwHighDateTime < rt.dwHighDateTime ? -1 : 1;
  if (lt.dwLowDateTime != rt.dwLowDateTime) return lt.dwLowDateTime < rt.dwLowDateTime ? -1 : 1;
  return 0;
}

}  // namespace

int CompareShots(const void* a, const void* b) {
  const auto* left = static_cast<const ShotRecord*>(a);
  const auto* right = static_cast<const ShotRecord*>(b);
  if (const int byTime = CompareTimes(*left, *right)) return byTime;
  // strcmp compares as unsigned char.
  if (const int byName = Sign(std::strcmp(left->name, right->name))) return byName;
  return AfterOrderName(*left, *right);
}

void SortShots(ShotRecord* records, long n) {
  // In place: qsort would allocate a pointer array and a copy buffer for
  // records of this size, a third more memory on top of the records.
  std::sort(records, records + n,
            [](const ShotRecord& left, const ShotRecord& right) { return CompareShots(&left, &right) < 0; });
}

bool SortShotsBy(ShotRecord* records, long n, const std::uint32_t* keys) {
  std::vector<std::uint32_t> order;
  try {
    order.resize(static_cast<std::size_t>(n));
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<std::uint32_t>(i);
  std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
    const ShotRecord& left = records[a];
    const ShotRecord& right = records[b];
    if (const int byTime = CompareTimes(left, right)) return byTime < 0;
    if (keys[a] != keys[b]) return keys[a] < keys[b];
    return AfterOrderName(left, right) < 0;
  });
  // Each record to its place, cycle by cycle; a placed one points at itself.
  for (std::uint32_t start = 0; start < order.size(); ++start) {
    if (order[start] == start) continue;
    const ShotRecord held = records[start];
    std::uint32_t at = start;
    while (order[at] != start) {
      const std::uint32_t from = order[at];
      records[at] = records[from];
      order[at] = at;
      at = from;
    }
    records[at] = held;
    order[at] = at;
  }
  return true;
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
