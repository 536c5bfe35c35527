// The two passes over the current directory: one counts the screenshots, the
// other fills the records the driver allocated for them. Screenshots that an
// earlier run left at temporary names count beside the others.
#pragma once

#include "shots/shot_record.h"
#include "shots/temp_name.h"

namespace shotrenum {

// Either pass returns this when the listing broke off partway: what it saw is
// not the whole folder.
inline constexpr long kListingBroken = -2;

// The number of screenshots in the current directory; 0 when the search finds
// nothing or cannot start, kListingBroken when the listing fails partway.
long CountShots();

// CollectShots returns this when the directory holds more screenshots than
// `capacity`: screenshots appeared after they were counted.
inline constexpr long kCollectOverflow = -1;

// Fills records[0..] with the name and last-write time of each screenshot, in
// listing order, and returns how many it filled (0 when the search finds
// nothing or cannot start, kListingBroken when the listing fails partway).
// Entries that vanished since the listing are skipped. Never writes beyond
// `capacity` records; on more screenshots than that it returns
// kCollectOverflow. Notes in `inUse` the run stamps near now that temporary
// names bear, a folder's at such a name included.
long CollectShots(ShotRecord* records, long capacity, StampsInUse* inUse);

}  // namespace shotrenum
