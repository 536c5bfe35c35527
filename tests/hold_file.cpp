// Holds a file open with no sharing, as an image viewer or a virus scanner
// may, so that the end-to-end tests can see what a run does meanwhile:
//   hold_file FILE MILLISECONDS
// Says "held" on standard output once the file is open, waits for a line (or
// the end) on standard input, then keeps the file MILLISECONDS more.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: hold_file FILE MILLISECONDS\n", stderr);
    return 2;
  }
  const HANDLE file = CreateFileA(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "hold_file: cannot open %s (error %lu)\n", argv[1], GetLastError());
    return 1;
  }
  std::puts("held");
  std::fflush(stdout);
  for (int c = std::getchar(); c != EOF && c != '\n'; c = std::getchar()) {
  }
  Sleep(std::strtoul(argv[2], nullptr, 10));
  CloseHandle(file);
  return 0;
}
