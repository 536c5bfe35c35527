// Entries that are no screenshot at the names a run gives: a rename never
// replaces anything, so the screenshot sent to such a name stays at its
// temporary name. A preview finds them before anything moves.
#pragma once

#include <string>
#include <vector>

#include "shots/scan.h"

namespace shotrenum {

// The position whose target name `name` is ("G0000017.pcx" is 17), letter
// case ignored when the file system ignores it; -1 when it is no target
// name.
long TargetPosition(const char* name, bool caseless);

// An entry that holds the target name of a screenshot of the set.
struct InTheWay {
  long position;     // whose target name it holds
  std::string name;  // as listed
};

// Lists the entries of the current directory that are no screenshot (a
// folder, a link to one) and hold the target name of one of `n` screenshots,
// in listing order.
ScanResult FindInTheWay(long n, bool caseless, std::vector<InTheWay>* found);

}  // namespace shotrenum
