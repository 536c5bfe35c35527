// One screenshot of the current directory, as the whole tool keeps it.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace shotrenum {

// A screenshot name: "G", seven decimal digits, ".pcx" (any letter case).
inline constexpr int kShotNameLength = 12;

// Positions 0..9999999 have a twelve-byte target name; a larger set cannot be
// numbered and is refused before any file is touched.
inline constexpr long kMaxShots = 10000000;

struct ShotRecord {
  char name[kShotNameLength + 1];    // current name, as listed (of a stranded
                                     // screenshot: the name in its temporary name)
  char target[kShotNameLength + 1];  // name for its place in capture order
  bool stranded;                     // it bears the temporary name an earlier
                                     // run gave it: "_tmp_<stamp>_<name>"
  bool empty;                        // a file of no bytes
  FILETIME writeTime;                // last-write time, UTC
  // The stamp of that earlier run, in two halves (low first) like the time,
  // so that the record needs no 8-byte alignment.
  std::uint32_t strandedStamp[2];
};

// The records are nearly all of the tool's memory: a million screenshots
// take 44 MB of them.
static_assert(sizeof(ShotRecord) == 44);

inline std::int64_t StrandedStamp(const ShotRecord& record) {
  return static_cast<std::int64_t>(std::uint64_t{record.strandedStamp[1]} << 32 | record.strandedStamp[0]);
}

inline void SetStrandedStamp(ShotRecord& record, std::int64_t runStamp) {
  const auto bits = static_cast<std::uint64_t>(runStamp);
  record.strandedStamp[0] = static_cast<std::uint32_t>(bits);
  record.strandedStamp[1] = static_cast<std::uint32_t>(bits >> 32);
}

}  // namespace shotrenum
