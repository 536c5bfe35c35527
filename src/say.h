// Messages to the user: the fixed texts (texts.h), formatted and shown on
// standard error.
#pragma once

namespace shotrenum {

// printf-style; the format and the arguments are Shift_JIS, as the texts are.
void Say(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// A message whose one "%s" is an argument as the user gave it: the text
// around it is Shift_JIS, the argument is written as it came.
void SayAbout(const char* format, const char* argument);

}  // namespace shotrenum
