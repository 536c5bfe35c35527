#pragma once

#include <vector>

#include "rename/mover.h"
#include "shots/in_the_way.h"

namespace shotrenum {

// What a preview found standing in the way of the command it shows.
struct PreviewWarnings {
  std::vector<InTheWay> inTheWay;  // entries at target names; `position` is the file's index in the moves
  bool folderDenied = false;       // the folder may not be written
  long left = 0;                   // files the command would leave where they are
  bool Any() const { return !inTheWay.empty() || folderDenied || left > 0; }
};

// Shows on standard output the renames a command would make, one line per
// file that would move ("G0000053.pcx -> G0000017.pcx"), then says on
// standard error what stands in the way, one line each, and that nothing was
// changed. Touches nothing. Returns how many would move, or -1 when standard
// output failed.
long PreviewMoves(const MoveList& moves, const PreviewWarnings& warnings);

}  // namespace shotrenum
