#pragma once

namespace shotrenum {

// Whether an entry the screenshot search returned is a screenshot: not a
// directory, exactly twelve bytes, and seven decimal digits after the first
// character. The "G" and ".pcx" come from the search pattern.
bool IsShotName(const char* name, bool isDirectory);

// Whether the name inside a temporary name makes the entry a stranded
// screenshot: the same rule, with the "G" and ".pcx" (any case) checked here,
// as the search pattern may have matched another part of the long name.
bool IsStrandedShotName(const char* name, bool isDirectory);

}  // namespace shotrenum
