#pragma once

#include <cstdint>

#include "shots/shot_record.h"

namespace shotrenum {

// Builds the temporary name a file holds between the two phases.
void TempName(char (&out)[64], std::int64_t runStamp, const char* name);

// Renames every file of the sorted set to its target: first each to its own
// temporary name, then each temporary name to its target. Logs every rename,
// shows progress and reports failures at the end. n >= 1 and every target
// written.
void RenumberShots(const ShotRecord* records, long n);

}  // namespace shotrenum
