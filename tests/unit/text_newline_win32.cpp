#include "text_newline.h"

namespace shotrenum::testing {

const char kTextNewline[] = "\r\n";

}  // namespace shotrenum::testing
