// Test seams: every fault a test can inject, and the one point in the code
// each stands for. The code asks Injected() at that point and, on true, acts
// as if the OS had failed there. The shipped tool links seam_off.cpp, where
// nothing is ever injected; the test build links seam_env.cpp, which decides
// from SHOTRENUM_SEAM_* environment variables and keeps all the counting.
#pragma once

namespace shotrenum::seam {

enum class Fault {
  kSearchStart,     // a directory search cannot start (no access)
  kListingRead,     // the next read of a started listing fails (an I/O error)
  kEntryRepeated,   // the entry just listed is listed once more (stands for
                    // a folder far larger than a test can make)
  kRename,          // a rename fails and touches nothing
  kNoReplace,       // the file system cannot rename without replacing, so the
                    // link-and-unlink fallback runs
  kKilledAfterLink, // the process is killed between the fallback's link
                    // and its unlink, leaving the file with both names
  kFallbackUnlink,  // the fallback's unlink of the old name fails
  kLogWrite,        // a write to a log (or to standard output standing in
                    // for one) fails and nothing of it arrives
  kClockSkips,      // a wait for the next second ends at once, as if the
                    // clock had jumped there (spares a test the real wait)
};

// Whether the fault strikes at this occurrence of its point.
bool Injected(Fault fault);

}  // namespace shotrenum::seam
