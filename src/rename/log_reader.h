// Reading the two logs back.
#pragma once

#include <cstdio>

namespace shotrenum {

// Whether the stream begins as a log of this tool: either log's title line,
// then the header line (Shift_JIS; lines end in CR LF or LF).
bool HasRunLogHead(std::FILE* file);

}  // namespace shotrenum
