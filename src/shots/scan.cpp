#include "shots/scan.h"

#include <cstring>

#include "shots/shot_name.h"

namespace shotrenum {

Listed Classify(const FolderEntry& entry) {
  Listed listed{IsShotName(entry.name, entry.isDirectory), false, 0, entry.name};
  if (listed.shot) return listed;
  const char* inner = ReadTempStamp(entry.name, &listed.stamp);
  if (inner == nullptr) return listed;
  listed.stranded = true;
  listed.name = inner;
  listed.shot = IsShotName(inner, entry.isDirectory);
  return listed;
}

ScanResult StartScan(const char* pattern, FolderSearch** search) {
  switch (StartFolderSearch(pattern, search)) {
    case SearchStart::kStarted:
      return ScanResult::kComplete;
    case SearchStart::kNothing:
      *search = nullptr;
      return ScanResult::kComplete;
    case SearchStart::kFailed:
      break;
  }
  *search = nullptr;
  return ScanResult::kNoAccess;
}

namespace {

ScanResult EndCollecting(FolderSearch* search, ScanResult result) {
  EndFolderSearch(search);
  return result;
}

}  // namespace

ScanResult CollectShots(ShotRecord* records, long capacity, StampsInUse* inUse, LinkedNames* linked, long* filled) {
  *filled = 0;
  *inUse = StampsInUse{CurrentRunStamp(), 0};
  FolderSearch* search = nullptr;
  const ScanResult started = StartScan(kShotSearchPattern, &search);
  if (search == nullptr) return started;
  FolderEntry entry;
  ListingStep step;
  while ((step = NextFolderEntry(search, &entry)) == ListingStep::kEntry) {
    const Listed listed = Classify(entry);
    if (listed.stranded) MarkStampInUse(inUse, listed.stamp);
    if (!listed.shot) continue;
    FILETIME writeTime;
    bool empty = false;
    const EntryTime time = FolderEntryTime(search, &writeTime, &empty);
    if (time == EntryTime::kVanished) continue;
    // A screenshot whose time is unknown has no place in the order: leaving
    // it out would give its number to another file.
    if (time == EntryTime::kFailed) return EndCollecting(search, ScanResult::kBroken);
    if (*filled == capacity) return EndCollecting(search, ScanResult::kOverflow);
    FileIdentity identity;
    if (FolderEntryLinked(search, &identity)) linked->Add(entry.name, identity);
    ShotRecord& record = records[(*filled)++];
    std::memcpy(record.name, listed.name, kShotNameLength + 1);
    record.writeTime = writeTime;
    record.stranded = listed.stranded;
    record.empty = empty;
    SetStrandedStamp(record, listed.stamp);
  }
  return EndCollecting(search, step == ListingStep::kEnd ? ScanResult::kComplete : ScanResult::kBroken);
}

}  // namespace shotrenum
