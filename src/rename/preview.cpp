#include "rename/preview.h"

#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "say.h"
#include "shots/temp_name.h"
#include "texts.h"

namespace shotrenum {

long PreviewRenames(const ShotRecord* records, long n) {
  bool written = true;
  long moving = 0;
  for (long i = 0; i < n && written; ++i) {
    const ShotRecord& record = records[i];
    // A screenshot an earlier run left at a temporary name moves from there.
    char temp[kTempNameRoom];
    const char* from = record.name;
    if (record.stranded) {
      TempName(temp, StrandedStamp(record), record.name);
      from = temp;
    } else if (std::strcmp(record.name, record.target) == 0) {
      continue;
    }
    written = std::fprintf(stdout, "%s -> %s\n", from, record.target) > 0;
    ++moving;
  }
  // Through the stream's buffer: a hundred thousand lines cost no more than
  // the listing did. Whether they all arrived is known once it is flushed.
  written = std::fflush(stdout) == 0 && written && std::ferror(stdout) == 0;
  Say("%s", written ? texts::kPreviewDone : texts::kPreviewUnwritten);
  return written ? moving : -1;
}

}  // namespace shotrenum
