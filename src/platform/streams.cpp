// Writing through the C runtime's streams, the same on every OS.
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "platform/seam.h"

namespace shotrenum {

bool WriteFlushed(std::FILE* file, std::initializer_list<std::string_view> pieces) {
  if (seam::Injected(seam::Fault::kLogWrite)) return false;
  // A log row is a few short pieces, written three times per screenshot: one
  // call into the stream for all of them costs less than one call each.
  char joined[256];
  std::size_t length = 0;
  for (const std::string_view piece : pieces) length += piece.size();
  if (length <= sizeof joined) {
    char* end = joined;
    for (const std::string_view piece : pieces) end = std::copy(piece.begin(), piece.end(), end);
    std::fwrite(joined, 1, length, file);
  } else {
    for (const std::string_view piece : pieces) std::fwrite(piece.data(), 1, piece.size(), file);
  }
  // A failed write leaves the stream's error flag set, so every later write
  // to that stream reports a failure too.
  return std::fflush(file) == 0 && std::ferror(file) == 0;
}

void Say(const char* format, ...) {
  char buffer[512];
  va_list args;
  va_start(args, format);
  const int length = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  if (length < 0) return;
  if (static_cast<std::size_t>(length) < sizeof buffer) {
    WriteConsoleMessage(buffer, static_cast<std::size_t>(length));
    return;
  }
  std::string large(static_cast<std::size_t>(length) + 1, '\0');
  va_start(args, format);
  std::vsnprintf(large.data(), large.size(), format, args);
  va_end(args);
  WriteConsoleMessage(large.data(), static_cast<std::size_t>(length));
}

void SayAbout(const char* format, const char* argument) {
  const char* mark = std::strstr(format, "%s");
  if (mark == nullptr) {
    WriteConsoleMessage(format, std::strlen(format));
    return;
  }
  WriteConsoleMessage(format, static_cast<std::size_t>(mark - format));
  WriteConsoleArgument(argument, std::strlen(argument));
  WriteConsoleMessage(mark + 2, std::strlen(mark + 2));
}

}  // namespace shotrenum
