// The one owner of the logs' layout: their names and the pattern a listing
// finds them by, their title and header, and the text of a row. The writer
// (run_log) decides only where the bytes go, and the reader (log_reader)
// reads what this lays out.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace shotrenum {

enum class LogKind { kProcess, kResult };

// The log names: "VeltraskoAll_<digits>.csv" for the process log and
// "VeltraskoLog_<digits>.csv" for the result log, the digits being the
// command's local start time, "YYYYMMDDhhmmss". Everything else that knows
// a log's name asks here.

// What a folder's listing is searched with for its logs (a rough cut, matched
// without regard to case: ParseLogFileName decides).
inline constexpr char kLogSearchPattern[] = "Veltrasko*_*.csv";

// The digits and the kind of a log's file name; false for any other name.
bool ParseLogFileName(std::string_view name, char (&digits)[15], LogKind* kind);

// The digits of a run's log names: its local start time, "YYYYMMDDhhmmss".
// False when the year takes more than four digits, which no reader takes.
bool LogDigits(char (&out)[16], const CalendarTime& startTime);

// The file name of a log of the run that started at `startTime` (local time),
// or whose log names bear `digits`.
void LogFileName(char (&out)[64], LogKind kind, const CalendarTime& startTime);
void LogFileName(char (&out)[64], LogKind kind, const char* digits);

// Room FormatLogTime needs.
inline constexpr std::size_t kLogTimeRoom = 32;
// Writes the date and time columns "YYYY/MM/DD,hh:mm:ss:cc\n" (cc: hundredths
// of a second, rounded down) and returns their length.
std::size_t FormatLogTime(char (&out)[kLogTimeRoom], const CalendarTime& local);

// The bytes of a log's title and header lines, and of one row with the
// time columns of `local`, as the log is written ("\n" line ends).
std::string LogHeadText(LogKind kind, const char* undoneLog);
std::string LogRowText(bool ok, const char* before, const char* after, const CalendarTime& local);

// A row's verdict column: "OK," for a rename that succeeded, "NG," else.
std::string_view LogVerdict(bool ok);

}  // namespace shotrenum
