#pragma once

namespace shotrenum {

// Takes back the run whose log bears `logName` in the current directory.
// Returns the exit status.
int RunUndo(const char* logName);

}  // namespace shotrenum
