// The tool's entry point: one run over the current directory, then a pause so
// that a window opened by a double-click stays readable. Arguments are
// ignored and the exit status is always 0.
#include "platform/platform.h"
#include "run/run_renumber.h"
#include "texts.h"

int main() {
  shotrenum::PrepareStandardStreams();
  shotrenum::RunRenumber();
  shotrenum::PauseForKey(shotrenum::texts::kPausePrompt);
  return 0;
}
