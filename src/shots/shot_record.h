// One screenshot of the current directory, as the whole tool keeps it.
#pragma once

#include "platform/platform.h"

namespace shotrenum {

// A screenshot name: "G", seven decimal digits, ".pcx" (any letter case).
inline constexpr int kShotNameLength = 12;

// Positions 0..9999999 have a twelve-byte target name; a larger set cannot be
// numbered and is refused before any file is touched.
inline constexpr long kMaxShots = 10000000;

struct ShotRecord {
  char name[kShotNameLength + 1];    // current name, as listed
  char target[kShotNameLength + 1];  // name for its place in capture order
  FILETIME writeTime;                // last-write time, UTC
};

}  // namespace shotrenum
