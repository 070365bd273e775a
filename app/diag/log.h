// The optional log file "QUILLORY.LOG" in the program folder. Off unless FlagLog is
// non-zero; its bit of value 2 adds the detail lines. Every run appends (no rotation),
// each line is one WriteFile of the whole line, and nothing is written while it is closed.
// Callable from any thread; lines of different threads never mix.
#pragma once

#include <cstdint>
#include <string>

namespace qly {

// program_folder ends with a backslash; flag_log is the FlagLog setting (0 = off).
// Opens or creates the file, moves to its end and writes the run's start line.
bool OpenLog(const std::string& program_folder, uint32_t flag_log);
void CloseLog();
bool LogEnabled();
bool LogDetailEnabled();
// The FlagLog value the log was opened with (0 while closed), for writers whose lines
// depend on further bits.
uint32_t LogFlags();
void LogLine(const char* format, ...);
void LogDetail(const char* format, ...);

}  // namespace qly
