#include "shots/second_names.h"

#include <algorithm>

#include "shots/temp_name.h"

namespace shotrenum {

namespace {

bool SameTime(const ShotRecord& a, const ShotRecord& b) {
  return a.writeTime.dwLowDateTime == b.writeTime.dwLowDateTime &&
         a.writeTime.dwHighDateTime == b.writeTime.dwHighDateTime;
}

// Whether records[i], a screenshot at a temporary name, was a second name of
// another one and is now removed. Both names of a file show one time, so the
// other is among its neighbours in capture order.
bool RemovedAsSecondName(const ShotRecord* records, long n, long i) {
  char temp[kTempNameRoom];
  TempName(temp, StrandedStamp(records[i]), records[i].name);
  if (!HasOtherNames(temp)) return false;
  long first = i;
  while (first > 0 && SameTime(records[first - 1], records[i])) --first;
  for (long j = first; j < n && SameTime(records[j], records[i]); ++j) {
    if (!records[j].stranded && RemoveSecondName(temp, records[j].name)) return true;
  }
  return false;
}

}  // namespace

long DropSecondNames(ShotRecord* records, long n) {
  bool dropped = false;
  for (long i = 0; i < n; ++i) {
    if (records[i].stranded && RemovedAsSecondName(records, n, i)) {
      records[i].name[0] = '\0';  // marked for dropping
      dropped = true;
    }
  }
  if (!dropped) return n;
  return std::remove_if(records, records + n, [](const ShotRecord& r) { return r.name[0] == '\0'; }) - records;
}

}  // namespace shotrenum
