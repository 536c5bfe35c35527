// The two passes over the current directory, for tests that expect each to
// read the whole listing.
#pragma once

#include <gtest/gtest.h>

#include "journal/folder.h"
#include "shots/scan.h"

namespace shotrenum::testing {

inline StampsInUse inUse;
inline LinkedNames linked;  // what the last collecting pass found

inline long Count() {
  long count = -1;
  std::vector<ListedLog> logs;
  EXPECT_EQ(CountShotsListingLogs(&count, &logs), ScanResult::kComplete);
  return count;
}

inline long Collect(ShotRecord* records, long capacity) {
  long filled = -1;
  EXPECT_EQ(CollectShots(records, capacity, &inUse, &linked, &filled), ScanResult::kComplete);
  return filled;
}

}  // namespace shotrenum::testing
