#pragma once

#include "shots/shot_record.h"

namespace shotrenum {

// Shows on standard output the renames a run would make of the sorted set,
// one line per screenshot that would move ("G0000053.pcx -> G0000017.pcx"),
// then says on standard error that nothing was changed. Touches nothing.
// Returns how many would move, or -1 when standard output failed.
long PreviewRenames(const ShotRecord* records, long n);

}  // namespace shotrenum
