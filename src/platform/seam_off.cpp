#include "platform/seam.h"

namespace shotrenum::seam {

bool RenameFails() { return false; }
bool NoReplaceUnsupported() { return false; }
bool SearchStarts(int) { return true; }
long EntryRepeats() { return 1; }

}  // namespace shotrenum::seam
