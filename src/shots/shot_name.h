#pragma once

namespace shotrenum {

// Whether an entry the screenshot search returned is a screenshot: not a
// directory, exactly twelve bytes, and seven decimal digits after the first
// character. The "G" and ".pcx" come from the search pattern.
bool IsShotName(const char* name, bool isDirectory);

}  // namespace shotrenum
