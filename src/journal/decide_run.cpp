#include "journal/decide_run.h"

#include <cstdio>
#include <vector>

#include "journal/recovery.h"
#include "shots/order.h"
#include "shots/temp_name.h"

namespace shotrenum {

namespace {

// Sets the records of what kills left half done aside as leftovers to
// remove; keeps `keys` beside the records. Returns how many records stay.
long SetLeftoversAside(ShotRecord* records, long n, std::vector<std::uint32_t>& keys,
                       const std::vector<Artifact>& artifacts, std::vector<Leftover>* leftovers) {
  std::vector<bool> aside(static_cast<std::size_t>(n));
  for (const Artifact& artifact : artifacts) {
    const ShotRecord& r = records[artifact.record];
    Leftover leftover{"", "", r.empty};
    if (r.stranded) {
      TempName(leftover.extra, StrandedStamp(r), r.name);
    } else {
      std::snprintf(leftover.extra, sizeof leftover.extra, "%s", r.name);
    }
    std::snprintf(leftover.kept, sizeof leftover.kept, "%s", artifact.kept);
    leftovers->push_back(leftover);
    aside[static_cast<std::size_t>(artifact.record)] = true;
  }
  long kept = 0;
  for (long i = 0; i < n; ++i) {
    if (aside[static_cast<std::size_t>(i)]) continue;
    records[kept] = records[i];
    keys[static_cast<std::size_t>(kept)] = keys[static_cast<std::size_t>(i)];
    ++kept;
  }
  keys.resize(static_cast<std::size_t>(kept));
  return kept;
}

}  // namespace

RunChoice DecideRun(LogShelf& shelf, const LinkedNames& linked, ShotRecord* records, long n, const StampsInUse& inUse) {
  RunChoice choice;
  choice.decision.inUse = inUse;
  // After an interruption the logs tell the order, and what a kill left half
  // done is no screenshot.
  std::vector<std::uint32_t> keys;
  std::vector<Artifact> artifacts;
  RecoverOrder(shelf, linked, records, n, &keys, &artifacts, &choice.decision.cuts);
  if (!artifacts.empty()) n = SetLeftoversAside(records, n, keys, artifacts, &choice.decision.leftovers);
  choice.n = n;
  if (keys.empty()) {
    SortShots(records, n);
  } else if (!SortShotsBy(records, n, keys.data())) {
    choice.verdict = RunVerdict::kOutOfMemory;
    return choice;
  }
  if (n == 0) {
    choice.verdict = RunVerdict::kNothing;
  } else {
    choice.verdict = CheckOrder(records, n) ? RunVerdict::kInOrder : RunVerdict::kRenumber;
  }
  return choice;
}

}  // namespace shotrenum
