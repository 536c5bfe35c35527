// Temporary names: what a screenshot bears between the two phases of a run,
// "_tmp_<run stamp>_<name>". A run that is killed or blocked leaves some
// screenshots at such names; the next run finds them by these names.
#pragma once

#include <cstdint>

#include "shots/shot_record.h"

namespace shotrenum {

// Room for any temporary name of a screenshot, with its terminator.
inline constexpr int kTempNameRoom = 64;

// Builds the temporary name of `name` for a run with the given stamp.
void TempName(char (&out)[kTempNameRoom], std::int64_t runStamp, const char* name);

// Reads the run stamp a temporary name bears: "_tmp_", the decimal digits of
// a stamp (as a run writes them: no sign, no leading zero, at most the largest
// signed 64-bit count), "_". Returns the rest of the name, or nullptr when
// `name` is no temporary name.
const char* ReadTempStamp(const char* name, std::int64_t* runStamp);

// The seconds near now that temporary names present already bear: a run
// must not take one of them as its stamp.
struct StampsInUse {
  std::int64_t from;      // the first second watched: when the folder was read
  std::uint64_t seconds;  // bit i: second from + i is borne
};

void MarkStampInUse(StampsInUse* inUse, std::int64_t runStamp);
bool IsStampInUse(const StampsInUse& inUse, std::int64_t runStamp);

}  // namespace shotrenum
