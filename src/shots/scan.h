// The pass over the current directory that fills the records the driver
// allocated for the screenshots it counted. Screenshots that an earlier run
// left at temporary names count beside the others.
#pragma once

#include "shots/linked_names.h"
#include "shots/shot_record.h"
#include "shots/temp_name.h"

namespace shotrenum {

// How a pass over the directory ended.
enum class ScanResult {
  kComplete,  // the whole listing was read (or the search found nothing)
  kNoAccess,  // the search could not start: no screenshot was seen
  kBroken,    // the listing broke off partway, or an entry it gave could not
              // be read: what the pass saw is not the whole folder
  kOverflow,  // (collecting only) more screenshots than there is room for:
              // some appeared after they were counted
};

// Fills records[0..] with the name and last-write time of each screenshot, in
// listing order, and sets *filled to how many it filled. Entries that
// vanished since the listing are skipped. Never writes beyond `capacity`
// records. Notes in `inUse` the run stamps near now that temporary names
// bear, a folder's at such a name included, and in `linked` the files of
// more than one name.
ScanResult CollectShots(ShotRecord* records, long capacity, StampsInUse* inUse, LinkedNames* linked, long* filled);

// What a directory search is started with: the rough cut of screenshot names
// and temporary names (both end in ".pcx").
inline constexpr char kShotSearchPattern[] = "*.pcx";

// What a listed entry is to the set.
struct Listed {
  bool shot;           // a screenshot, at its own name or a temporary one
  bool stranded;       // at a temporary name
  std::int64_t stamp;  // the stamp of that name
  const char* name;    // the screenshot's name (in the temporary one)
};

// Screenshots, and screenshots an earlier run left at temporary names: a
// non-directory entry named "_tmp_", a stamp, "_" and a screenshot name.
Listed Classify(const FolderEntry& entry);

// Starts a search of the current folder for `pattern`: kComplete with a
// search, or with none (nullptr) when nothing matches; kNoAccess when it
// cannot start.
ScanResult StartScan(const char* pattern, FolderSearch** search);

// Gives every entry of the screenshot search to `take`, to the listing's end.
template <typename Take>
ScanResult ReadListing(Take take) {
  FolderSearch* search = nullptr;
  const ScanResult started = StartScan(kShotSearchPattern, &search);
  if (search == nullptr) return started;
  FolderEntry entry;
  ListingStep step;
  while ((step = NextFolderEntry(search, &entry)) == ListingStep::kEntry) take(entry);
  EndFolderSearch(search);
  return step == ListingStep::kEnd ? ScanResult::kComplete : ScanResult::kBroken;
}

}  // namespace shotrenum
