#include "shots/scan.h"

#include <cstring>

#include "shots/shot_name.h"

namespace shotrenum {

long CountShots() {
  ShotSearch* search = StartShotSearch();
  if (search == nullptr) return 0;
  long count = 0;
  ShotEntry entry;
  ListingStep step;
  while ((step = NextShotEntry(search, &entry)) == ListingStep::kEntry) {
    if (IsShotName(entry.name, entry.isDirectory)) ++count;
  }
  EndShotSearch(search);
  return step == ListingStep::kEnd ? count : kListingBroken;
}

long CollectShots(ShotRecord* records, long capacity) {
  ShotSearch* search = StartShotSearch();
  if (search == nullptr) return 0;
  long filled = 0;
  ShotEntry entry;
  ListingStep step;
  while ((step = NextShotEntry(search, &entry)) == ListingStep::kEntry) {
    if (!IsShotName(entry.name, entry.isDirectory)) continue;
    FILETIME writeTime;
    if (!ShotEntryWriteTime(search, &writeTime)) continue;  // vanished since listed
    if (filled == capacity) {
      EndShotSearch(search);
      return kCollectOverflow;
    }
    std::memcpy(records[filled].name, entry.name, kShotNameLength + 1);
    records[filled].writeTime = writeTime;
    ++filled;
  }
  EndShotSearch(search);
  return step == ListingStep::kEnd ? filled : kListingBroken;
}

}  // namespace shotrenum
