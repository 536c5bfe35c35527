// How a line ends in a file written in text mode on this OS.
#pragma once

namespace shotrenum::testing {

extern const char kTextNewline[];

}  // namespace shotrenum::testing
