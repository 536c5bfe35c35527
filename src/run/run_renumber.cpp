#include "run/run_renumber.h"

#include <cstdlib>

#include "platform/platform.h"
#include "rename/preview.h"
#include "rename/renumber.h"
#include "say.h"
#include "shots/order.h"
#include "shots/recovery.h"
#include "shots/scan.h"
#include "shots/second_names.h"
#include "texts.h"

namespace shotrenum {

namespace {

int EndWith(const char* message, ShotRecord* records) {
  Say("%s\n", message);
  std::free(records);
  return 0;
}

// The run itself, once it has the folder to itself.
int RenumberFolder(RunMode mode) {
  long counted = 0;
  if (CountShots(&counted) == ScanResult::kBroken) return EndWith(texts::kListingBroken, nullptr);
  if (counted == 0) return EndWith(texts::kNotFound, nullptr);
  if (counted > kMaxShots) return EndWith(texts::kTooManyShots, nullptr);

  auto* records = static_cast<ShotRecord*>(std::calloc(static_cast<std::size_t>(counted), sizeof(ShotRecord)));
  if (records == nullptr) return EndWith(texts::kOutOfMemory, nullptr);

  // Only the records the second pass filled take part: files that vanished
  // between the passes leave no empty record behind.
  StampsInUse inUse{};
  long n = 0;
  switch (CollectShots(records, counted, &inUse, &n)) {
    case ScanResult::kOverflow:
      return EndWith(texts::kFolderChanged, records);
    case ScanResult::kBroken:
      return EndWith(texts::kListingBroken, records);
    case ScanResult::kComplete:
      break;
  }
  if (n == 0) return EndWith(texts::kNotFound, records);

  RecoverOrderNames(records, n);
  SortShots(records, n);
  // A preview removes nothing, so a second name a killed link-and-unlink
  // rename left shows as a rename of its own.
  if (mode == RunMode::kRenumber) n = DropSecondNames(records, n);
  if (CheckOrder(records, n)) {
    Say("%s\n", texts::kInOrder);
  } else if (mode == RunMode::kPreview) {
    PreviewRenames(records, n);
  } else {
    RenumberShots(records, n, inUse);
  }
  std::free(records);
  return 1;
}

}  // namespace

int RunRenumber(RunMode mode) {
  // Where the file system cannot lock, the run goes on unguarded.
  if (LockFolder() == FolderLock::kBusy) {
    Say("%s\n", texts::kAnotherRun);
    return 0;
  }
  const int result = RenumberFolder(mode);
  UnlockFolder();
  return result;
}

}  // namespace shotrenum
