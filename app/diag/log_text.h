// The texts of the log file "QUILLORY.LOG": its place in the program folder, the start
// line of a run, and the bounded formatting of one line. Pure text; the file itself is
// opened and written by log.cpp.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/diag/civil_time.h"

namespace qly {

inline constexpr char kLogFileName[] = "QUILLORY.LOG";
// Any non-zero FlagLog opens the log; this bit adds the per-request detail lines.
inline constexpr uint32_t kLogDetailBit = 2;
// Longest line the log writes; the detail lines with two 256-character names fit easily.
inline constexpr std::size_t kLogLineCapacity = 2048;

// The log file's full name for a program folder that ends with a backslash (one is
// added when it is missing, so a bare folder name cannot produce "C:\QlyQUILLORY.LOG").
std::string LogFilePath(const std::string& program_folder);

// The C library's asctime text ("Tue Dec  8 01:16:52 2026\n"), made here because asctime
// shares one static buffer between threads and depends on the runtime's range checks.
std::string AsctimeText(const CivilTime& time);

// "\n\nQUILLORY started at <asctime>\n": a run's first line, ending in two newlines
// (asctime's own and the line's).
std::string LogStartLine(const CivilTime& local_time);

// Formats one line into out (capacity > 0) and returns the number of characters to write,
// without terminator. A line that does not fit is cut and still ends in "\n", so the next
// line never continues it.
std::size_t FormatLogLine(char* out, std::size_t capacity, const char* format, va_list args);

}  // namespace qly
