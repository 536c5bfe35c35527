#include "run/run_renumber.h"

#include <cstdlib>
#include <vector>

#include "journal/folder.h"
#include "journal/recovery.h"
#include "platform/platform.h"
#include "rename/preview.h"
#include "rename/renumber.h"
#include "say.h"
#include "shots/order.h"
#include "shots/scan.h"
#include "shots/temp_name.h"
#include "texts.h"

namespace shotrenum {

namespace {

// Ends a run that ordered no set: 0, as the report tells why.
int EndWith(const char* message, ShotRecord* records, RunOutcome reason, RunReport* report) {
  Say("%s\n", message);
  std::free(records);
  report->outcome = reason;
  return 0;
}

// Drops the records of what kills left half done; a run also removes them
// from the folder. Keeps `keys` beside the records.
long DropArtifacts(ShotRecord* records, long n, std::vector<std::uint32_t>& keys,
                   const std::vector<Artifact>& artifacts, RunMode mode) {
  std::vector<bool> dropped(static_cast<std::size_t>(n));
  for (const Artifact& artifact : artifacts) {
    const ShotRecord& r = records[artifact.record];
    if (mode == RunMode::kRenumber) {
      char extra[kTempNameRoom];
      if (r.stranded) {
        TempName(extra, StrandedStamp(r), r.name);
      } else {
        std::snprintf(extra, sizeof extra, "%s", r.name);
      }
      // One that cannot be removed stays where it is, out of the set: its
      // name holds no screenshot.
      RemoveArtifact(extra, artifact.kept, r.empty);
    }
    dropped[static_cast<std::size_t>(artifact.record)] = true;
  }
  long kept = 0;
  for (long i = 0; i < n; ++i) {
    if (dropped[static_cast<std::size_t>(i)]) continue;
    records[kept] = records[i];
    keys[static_cast<std::size_t>(kept)] = keys[static_cast<std::size_t>(i)];
    ++kept;
  }
  keys.resize(static_cast<std::size_t>(kept));
  return kept;
}

// The run itself, once it has the folder to itself.
int RenumberFolder(RunMode mode, RunReport* report) {
  long counted = 0;
  switch (CountShots(&counted)) {
    case ScanResult::kBroken:
      return EndWith(texts::kListingBroken, nullptr, RunOutcome::kFailed, report);
    case ScanResult::kNoAccess:
      return EndWith(texts::kNotFound, nullptr, RunOutcome::kFailed, report);
    case ScanResult::kComplete:
    case ScanResult::kOverflow:
      break;
  }
  if (counted == 0) return EndWith(texts::kNotFound, nullptr, RunOutcome::kNothing, report);
  if (counted > kMaxShots) return EndWith(texts::kTooManyShots, nullptr, RunOutcome::kFailed, report);

  auto* records = static_cast<ShotRecord*>(std::calloc(static_cast<std::size_t>(counted), sizeof(ShotRecord)));
  if (records == nullptr) return EndWith(texts::kOutOfMemory, nullptr, RunOutcome::kFailed, report);

  // Only the records the second pass filled take part: files that vanished
  // between the passes leave no empty record behind.
  StampsInUse inUse{};
  long n = 0;
  switch (CollectShots(records, counted, &inUse, &n)) {
    case ScanResult::kOverflow:
      return EndWith(texts::kFolderChanged, records, RunOutcome::kFailed, report);
    case ScanResult::kBroken:
      return EndWith(texts::kListingBroken, records, RunOutcome::kFailed, report);
    case ScanResult::kNoAccess:
      return EndWith(texts::kNotFound, records, RunOutcome::kFailed, report);
    case ScanResult::kComplete:
      break;
  }
  if (n == 0) return EndWith(texts::kNotFound, records, RunOutcome::kNothing, report);

  // After an interruption the logs tell the order, and what a kill left half
  // done is no screenshot.
  std::vector<std::uint32_t> keys;
  std::vector<Artifact> artifacts;
  FolderShelf shelf(mode == RunMode::kRenumber);
  FolderIdentity identity;
  RecoverOrder(shelf, &identity, records, n, &keys, &artifacts);
  if (!artifacts.empty()) n = DropArtifacts(records, n, keys, artifacts, mode);
  if (keys.empty()) {
    SortShots(records, n);
  } else if (!SortShotsBy(records, n, keys.data())) {
    return EndWith(texts::kOutOfMemory, records, RunOutcome::kFailed, report);
  }
  if (n == 0) return EndWith(texts::kNotFound, records, RunOutcome::kNothing, report);
  report->outcome = RunOutcome::kDone;
  if (CheckOrder(records, n)) {
    Say("%s\n", texts::kInOrder);
  } else if (mode == RunMode::kPreview) {
    report->wouldRename = PreviewRenames(records, n);
    if (report->wouldRename < 0) report->outcome = RunOutcome::kFailed;
  } else {
    const MoveTally tally = RenumberShots(records, n, inUse, report->resultLog);
    report->renamed = tally.renamed;
    report->held = tally.held;
    // A log written again after another program changed it is whole, but
    // the user is told, and the run is not reported done.
    if (tally.failures > 0 || tally.logChanged) report->outcome = RunOutcome::kFailed;
  }
  std::free(records);
  return 1;
}

}  // namespace

int RunRenumber(RunMode mode, RunReport* report) {
  RunReport ignored;
  if (report == nullptr) report = &ignored;
  // Where the file system cannot lock, the run goes on unguarded.
  if (LockFolder() == FolderLock::kBusy) {
    Say("%s\n", texts::kAnotherRun);
    report->outcome = RunOutcome::kFailed;
    return 0;
  }
  const int result = RenumberFolder(mode, report);
  UnlockFolder();
  return result;
}

}  // namespace shotrenum
