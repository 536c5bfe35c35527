// Exact order after an interruption. A run that was killed or blocked has
// already given some screenshots their targets while others still bear its
// temporary names; among equal write times the next run would order the
// first by their new names and the second by their old ones. The logs of the
// runs whose stamps the temporary names bear tell each moved screenshot's
// name before the run (back through a chain of interrupted runs), and that
// name orders it, as it did in the run that moved it.
#pragma once

#include "shots/shot_record.h"

namespace shotrenum {

// Writes into each record's `target` the name that orders it (its own name
// where no log tells otherwise). Reads no log when no record is stranded:
// targets stay empty then. Where a run's logs are gone or refused, its
// screenshots are ordered by the names they bear.
void RecoverOrderNames(ShotRecord* records, long n);

}  // namespace shotrenum
