#include "say.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/platform.h"

namespace shotrenum {

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
