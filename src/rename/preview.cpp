#include "rename/preview.h"

#include <cstdio>
#include <cstring>

#include "say.h"
#include "texts.h"

namespace shotrenum {

long PreviewMoves(const MoveList& moves, const PreviewWarnings& warnings) {
  bool written = true;
  long moving = 0;
  char fromRoom[64];
  char toRoom[64];
  const long n = moves.Count();
  for (long i = 0; i < n && written; ++i) {
    const MoveStep step = moves.At(i, fromRoom, toRoom);
    if (step.stays || std::strcmp(step.from, step.to) == 0) continue;
    written = std::fprintf(stdout, "%s -> %s\n", step.from, step.to) > 0;
    ++moving;
  }
  // Through the stream's buffer: a hundred thousand lines cost no more than
  // the listing did. Whether they all arrived is known once it is flushed.
  written = std::fflush(stdout) == 0 && written && std::ferror(stdout) == 0;
  for (const InTheWay& entry : warnings.inTheWay) {
    Say(texts::kPreviewInTheWay, moves.At(entry.position, fromRoom, toRoom).from, entry.name.c_str());
  }
  if (warnings.left > 0) Say(texts::kPreviewLeft, warnings.left);
  if (warnings.folderDenied) Say("%s", texts::kPreviewNoWrite);
  Say("%s", written ? texts::kPreviewDone : texts::kPreviewUnwritten);
  return written ? moving : -1;
}

}  // namespace shotrenum
