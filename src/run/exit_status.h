// The tool's exit statuses: one meaning each.
#pragma once

namespace shotrenum {

enum class ExitStatus : int {
  kDone = 0,     // everything asked was done
  kNotDone = 1,  // something was not: a rename failed, a folder was busy or
                 // unreadable, an undo was refused or left a file
  kRefused = 2,  // the command line was refused: nothing was touched
};

// The worse of two statuses, for a command over several folders or logs.
inline ExitStatus Worse(ExitStatus a, ExitStatus b) { return static_cast<int>(a) >= static_cast<int>(b) ? a : b; }

}  // namespace shotrenum
