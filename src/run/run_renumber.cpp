#include "run/run_renumber.h"

#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

#include "journal/decide_run.h"
#include "journal/folder.h"
#include "platform/platform.h"
#include "rename/executor.h"
#include "rename/folder_command.h"
#include "rename/preview.h"
#include "rename/renumber.h"
#include "say.h"
#include "shots/in_the_way.h"
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

// Ends a run that found no screenshot: the folder the user gave is named.
int EndNotFound(const char* givenFolder, ShotRecord* records, RunOutcome reason, RunReport* report) {
  if (givenFolder == nullptr) return EndWith(texts::kNotFound, records, reason, report);
  SayAbout(texts::kNotFoundIn, givenFolder);
  std::free(records);
  report->outcome = reason;
  return 0;
}

// What a run would do, and what would stop it: an entry that is no
// screenshot at a target name (the run never renames over it, and the file
// sent there waits at its temporary name), a folder that may not be written.
void PreviewRun(const ShotRecord* records, long n, RunReport* report) {
  PreviewWarnings warnings;
  if (FindInTheWay(n, NamesIgnoreCase(), &warnings.inTheWay) != ScanResult::kComplete) {
    Say("%s\n", texts::kListingBroken);
    report->outcome = RunOutcome::kFailed;
    return;
  }
  warnings.folderDenied = CanWriteFolder() == FolderWrite::kDenied;
  const long moving = PreviewMoves(RecordMoves(records, n), warnings);
  if (moving < 0 || warnings.Any()) report->outcome = RunOutcome::kFailed;
  if (moving >= 0) {
    report->wouldRename = warnings.folderDenied ? 0 : moving - static_cast<long>(warnings.inTheWay.size());
  }
}

// The run itself, once it has the folder to itself.
int RenumberFolder(RunMode mode, RunReport* report, const char* givenFolder) {
  long counted = 0;
  // The logs are listed on the way, for the decision, which reads them only
  // where screenshots stand at temporary names.
  std::vector<ListedLog> logs;
  switch (CountShotsListingLogs(&counted, &logs)) {
    case ScanResult::kBroken:
      return EndWith(texts::kListingBroken, nullptr, RunOutcome::kFailed, report);
    case ScanResult::kNoAccess:
      return EndNotFound(givenFolder, nullptr, RunOutcome::kFailed, report);
    case ScanResult::kComplete:
    case ScanResult::kOverflow:
      break;
  }
  if (counted == 0) return EndNotFound(givenFolder, nullptr, RunOutcome::kNothing, report);
  if (counted > kMaxShots) return EndWith(texts::kTooManyShots, nullptr, RunOutcome::kFailed, report);

  auto* records = static_cast<ShotRecord*>(std::calloc(static_cast<std::size_t>(counted), sizeof(ShotRecord)));
  if (records == nullptr) return EndWith(texts::kOutOfMemory, nullptr, RunOutcome::kFailed, report);

  // Only the records the second pass filled take part: files that vanished
  // between the passes leave no empty record behind.
  StampsInUse inUse{};
  long n = 0;
  LinkedNames linked;
  switch (CollectShots(records, counted, &inUse, &linked, &n)) {
    case ScanResult::kOverflow:
      return EndWith(texts::kFolderChanged, records, RunOutcome::kFailed, report);
    case ScanResult::kBroken:
      return EndWith(texts::kListingBroken, records, RunOutcome::kFailed, report);
    case ScanResult::kNoAccess:
      return EndNotFound(givenFolder, records, RunOutcome::kFailed, report);
    case ScanResult::kComplete:
      break;
  }
  if (n == 0) return EndNotFound(givenFolder, records, RunOutcome::kNothing, report);

  FolderShelf shelf(std::move(logs));
  RunChoice choice = DecideRun(shelf, linked, records, n, inUse);
  n = choice.n;
  if (choice.verdict == RunVerdict::kOutOfMemory) {
    return EndWith(texts::kOutOfMemory, records, RunOutcome::kFailed, report);
  }
  FolderCommand folder;
  // A preview carries nothing out; a run with nothing to move still cuts
  // the logs' NULs and removes what kills left.
  if (mode == RunMode::kRenumber && choice.verdict != RunVerdict::kRenumber) Execute(choice.decision, folder);
  if (choice.verdict == RunVerdict::kNothing) {
    return EndNotFound(givenFolder, records, RunOutcome::kNothing, report);
  }
  report->outcome = RunOutcome::kDone;
  if (choice.verdict == RunVerdict::kInOrder) {
    Say("%s\n", texts::kInOrder);
  } else if (mode == RunMode::kPreview) {
    PreviewRun(records, n, report);
  } else {
    const RecordMoves moves(records, n);
    choice.decision.moves = &moves;
    const MoveTally tally = Execute(choice.decision, folder).tally;
    const RunLog& result = folder.ResultLog();
    std::snprintf(report->resultLog, sizeof report->resultLog, "%s", result.fileCreated ? result.fileName : "");
    report->handled = tally.files;
    report->moved = tally.moved;
    report->renamed = tally.renamed;
    report->held = tally.held;
    report->causes = tally.causes;
    // A log written again after another program changed it is whole, but
    // the user is told, and the run is not reported done.
    if (tally.failures > 0 || tally.undurable || tally.logChanged) report->outcome = RunOutcome::kFailed;
  }
  std::free(records);
  return 1;
}

}  // namespace

int RunRenumber(RunMode mode, RunReport* report, const char* givenFolder) {
  RunReport ignored;
  if (report == nullptr) report = &ignored;
  // Where the file system cannot lock, the run goes on unguarded.
  if (LockFolder() == FolderLock::kBusy) {
    Say("%s\n", texts::kAnotherRun);
    report->outcome = RunOutcome::kFailed;
    return 0;
  }
  const int result = RenumberFolder(mode, report, givenFolder);
  UnlockFolder();
  return result;
}

}  // namespace shotrenum
