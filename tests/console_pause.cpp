// The Windows build's pause at the console, for the end-to-end tests: says on
// standard output whether the window closes when the program ends, pauses at
// the console with the tool's prompt, then says "done".
#include <cstdio>

#include "platform/platform.h"
#include "texts.h"

int main() {
  std::printf("closes=%d\n", shotrenum::WindowClosesAtExit() ? 1 : 0);
  shotrenum::PauseAtConsole(shotrenum::texts::kPausePrompt);
  std::puts("done");
  return 0;
}
