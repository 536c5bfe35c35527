#include "shots/scan.h"

#include <cstring>

#include "shots/shot_name.h"

namespace shotrenum {

namespace {

// What a listed entry is to the set.
struct Listed {
  bool shot;           // a screenshot, at its own name or a temporary one
  bool stranded;       // at a temporary name
  std::int64_t stamp;  // the stamp of that name
  const char* name;    // the screenshot's name (in the temporary one)
};

// Screenshots, and screenshots an earlier run left at temporary names: a
// non-directory entry named "_tmp_", a stamp, "_" and a screenshot name.
Listed Classify(const ShotEntry& entry) {
  Listed listed{IsShotName(entry.name, entry.isDirectory), false, 0, entry.name};
  if (listed.shot) return listed;
  const char* inner = ReadTempStamp(entry.name, &listed.stamp);
  if (inner == nullptr) return listed;
  listed.stranded = true;
  listed.name = inner;
  listed.shot = IsShotName(inner, entry.isDirectory);
  return listed;
}

}  // namespace

ScanResult CountShots(long* count) {
  *count = 0;
  ShotSearch* search = StartShotSearch();
  if (search == nullptr) return ScanResult::kComplete;
  ShotEntry entry;
  ListingStep step;
  while ((step = NextShotEntry(search, &entry)) == ListingStep::kEntry) {
    if (Classify(entry).shot) ++*count;
  }
  EndShotSearch(search);
  return step == ListingStep::kEnd ? ScanResult::kComplete : ScanResult::kBroken;
}

namespace {

ScanResult EndCollecting(ShotSearch* search, ScanResult result) {
  EndShotSearch(search);
  return result;
}

}  // namespace

ScanResult CollectShots(ShotRecord* records, long capacity, StampsInUse* inUse, long* filled) {
  *filled = 0;
  *inUse = StampsInUse{CurrentRunStamp(), 0};
  ShotSearch* search = StartShotSearch();
  if (search == nullptr) return ScanResult::kComplete;
  ShotEntry entry;
  ListingStep step;
  while ((step = NextShotEntry(search, &entry)) == ListingStep::kEntry) {
    const Listed listed = Classify(entry);
    if (listed.stranded) MarkStampInUse(inUse, listed.stamp);
    if (!listed.shot) continue;
    FILETIME writeTime;
    const EntryTime time = ShotEntryWriteTime(search, &writeTime);
    if (time == EntryTime::kVanished) continue;
    // A screenshot whose time is unknown has no place in the order: leaving
    // it out would give its number to another file.
    if (time == EntryTime::kFailed) return EndCollecting(search, ScanResult::kBroken);
    if (*filled == capacity) return EndCollecting(search, ScanResult::kOverflow);
    ShotRecord& record = records[(*filled)++];
    std::memcpy(record.name, listed.name, kShotNameLength + 1);
    record.writeTime = writeTime;
    record.stranded = listed.stranded;
    SetStrandedStamp(record, listed.stamp);
  }
  return EndCollecting(search, step == ListingStep::kEnd ? ScanResult::kComplete : ScanResult::kBroken);
}

}  // namespace shotrenum
