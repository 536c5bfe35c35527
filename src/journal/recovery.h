// Exact order after an interruption. A run that was killed or blocked has
// already given some screenshots their targets while others still bear its
// temporary names; among equal write times the next run would order the
// first by their new names and the second by their old ones. The logs of the
// commands since the oldest one whose temporary names the folder holds tell
// each screenshot's name before them (back through a chain of interrupted
// commands), and that name orders it, as it did in the run that moved it.
#pragma once

#include <cstdint>
#include <vector>

#include "journal/history.h"
#include "journal/tracks.h"
#include "shots/shot_record.h"

namespace shotrenum {

// What a kill left half done: a second name of a screenshot of the set, or
// an empty reservation; its record is no screenshot.
struct Artifact {
  long record;
  char kept[64];  // the name of the file it is a second name of
};

// For a set of which some screenshots stand at temporary names: the key
// each record is to be ordered by (SortShotsBy), and the artifacts. Reads
// no log when no record is stranded (keys stay empty). Where a command's
// logs are gone or cannot be read, its screenshots are ordered by the names
// they bear.
// `linked`: the listing's files of more than one name. `cuts` receives the
// NULs a killed command left in the logs read.
void RecoverOrder(LogShelf& shelf, const LinkedNames& linked, const ShotRecord* records, long n,
                  std::vector<std::uint32_t>* keys, std::vector<Artifact>* artifacts, std::vector<LogCut>* cuts);

}  // namespace shotrenum
