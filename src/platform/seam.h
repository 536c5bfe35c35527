// Test seams of the platform layer. The shipped tool links seam_off.cpp, where
// every hook answers "no fault"; the test build links seam_env.cpp, where the
// hooks are set through SHOTRENUM_SEAM_* environment variables.
#pragma once

namespace shotrenum::seam {

// Called once per rename, before the OS is asked; true makes that rename fail
// without touching anything.
bool RenameFails();
// True makes the no-replace rename behave as if the file system did not
// support it, so the link-and-unlink fallback is used.
bool NoReplaceUnsupported();
// Called when a directory search starts (the first search is 1); may change
// the directory or make the search fail (returns false).
bool SearchStarts(int searchNumber);
// How many times each matching entry is delivered (1 normally), so a huge
// set can be simulated with a few files.
long EntryRepeats();

}  // namespace shotrenum::seam
