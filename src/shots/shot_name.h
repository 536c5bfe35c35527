#pragma once

namespace shotrenum {

// Whether a listed entry (or the name inside a temporary name) is a
// screenshot: not a directory, and "G", seven decimal digits, ".pcx", the
// letters in any case: exactly twelve bytes. The whole rule is here; the
// listing only makes a rough cut.
bool IsShotName(const char* name, bool isDirectory);

}  // namespace shotrenum
