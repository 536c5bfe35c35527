// A log named on the command line is recognised, but its run cannot be taken
// back yet: the command is refused.
#include <string>

#include "platform/platform.h"
#include "rename/log_reader.h"
#include "run/run_undo.h"
#include "say.h"
#include "texts.h"

namespace shotrenum {

namespace {

// The next line of `file` with its line end (CR LF or LF) as "\n"; empty at
// the end of the file or past the room.
std::string NextLine(std::FILE* file) {
  char read[128];
  if (std::fgets(read, sizeof read, file) == nullptr) return std::string();
  std::string line(read);
  if (line.size() >= 2 && line[line.size() - 2] == '\r' && line.back() == '\n') line.erase(line.size() - 2, 1);
  return line;
}

}  // namespace

bool HasRunLogHead(std::FILE* file) {
  const std::string title = NextLine(file);
  if (title != texts::kProcessLogTitle && title != texts::kResultLogTitle) return false;
  return NextLine(file) == texts::kLogHeader;
}

int RunUndo(const char* logName) {
  SayAbout(texts::kUndoUnavailable, logName);
  return 2;
}

}  // namespace shotrenum
