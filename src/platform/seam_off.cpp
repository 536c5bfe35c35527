#include "platform/seam.h"

namespace shotrenum::seam {

bool Injected(Fault) { return false; }

}  // namespace shotrenum::seam
