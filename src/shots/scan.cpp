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
  listed.shot = IsStrandedShotName(inner, entry.isDirectory);
  return listed;
}

}  // namespace

long CountShots() {
  ShotSearch* search = StartShotSearch();
  if (search == nullptr) return 0;
  long count = 0;
  ShotEntry entry;
  ListingStep step;
  while ((step = NextShotEntry(search, &entry)) == ListingStep::kEntry) {
    if (Classify(entry).shot) ++count;
  }
  EndShotSearch(search);
  return step == ListingStep::kEnd ? count : kListingBroken;
}

long CollectShots(ShotRecord* records, long capacity, StampsInUse* inUse) {
  *inUse = StampsInUse{CurrentRunStamp(), 0};
  ShotSearch* search = StartShotSearch();
  if (search == nullptr) return 0;
  long filled = 0;
  ShotEntry entry;
  ListingStep step;
  while ((step = NextShotEntry(search, &entry)) == ListingStep::kEntry) {
    const Listed listed = Classify(entry);
    if (listed.stranded) MarkStampInUse(inUse, listed.stamp);
    if (!listed.shot) continue;
    FILETIME writeTime;
    if (!ShotEntryWriteTime(search, &writeTime)) continue;  // vanished since listed
    if (filled == capacity) {
      EndShotSearch(search);
      return kCollectOverflow;
    }
    ShotRecord& record = records[filled++];
    std::memcpy(record.name, listed.name, kShotNameLength + 1);
    record.writeTime = writeTime;
    record.stranded = listed.stranded;
    SetStrandedStamp(record, listed.stamp);
  }
  EndShotSearch(search);
  return step == ListingStep::kEnd ? filled : kListingBroken;
}

}  // namespace shotrenum
