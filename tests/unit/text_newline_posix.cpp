#include "text_newline.h"

namespace shotrenum::testing {

const char kTextNewline[] = "\n";

}  // namespace shotrenum::testing
