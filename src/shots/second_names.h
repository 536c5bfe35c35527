// A link-and-unlink rename killed between its two steps leaves a file under
// two names: the one it had (or got) and a temporary one. Such a file takes
// part in a run once, at the first of them.
#pragma once

#include "shots/shot_record.h"

namespace shotrenum {

// Removes every temporary name in records[0..n) (in capture order) that is a
// second name of a screenshot of the set at its own name, and drops its
// record. Returns how many records remain, still in capture order.
long DropSecondNames(ShotRecord* records, long n);

}  // namespace shotrenum
