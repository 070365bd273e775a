// The texts of the log file; see log_text.h.
#include "app/diag/log_text.h"

#include <cstdio>

namespace qly {

std::string LogFilePath(const std::string& program_folder) {
    std::string path = program_folder;
    if (!path.empty() && path.back() != '\\' && path.back() != '/') {
        path += '\\';
    }
    return path + kLogFileName;
}

std::string AsctimeText(const CivilTime& time) {
    static const char kDays[7][4] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char kMonths[12][4] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    // Out-of-range fields (a corrupt clock) give "???" rather than a read past the tables.
    const char* day = (time.weekday >= 0 && time.weekday < 7) ? kDays[time.weekday] : "???";
    const char* month = (time.month >= 1 && time.month <= 12) ? kMonths[time.month - 1] : "???";
    char text[64];
    std::snprintf(text, sizeof text, "%.3s %.3s%3d %.2d:%.2d:%.2d %d\n", day, month, time.day,
                  time.hour, time.minute, time.second, time.year);
    return text;
}

std::string LogStartLine(const CivilTime& local_time) {
    // asctime's text brings its own newline and the line adds one more, so a run's first
    // line is followed by a blank line.
    return "\n\nQUILLORY started at " + AsctimeText(local_time) + "\n";
}

std::size_t FormatLogLine(char* out, std::size_t capacity, const char* format, va_list args) {
    if (capacity == 0) {
        return 0;
    }
    const int wanted = std::vsnprintf(out, capacity, format, args);
    if (wanted < 0) {
        out[0] = '\0';
        return 0;
    }
    if (static_cast<std::size_t>(wanted) < capacity) {
        return static_cast<std::size_t>(wanted);
    }
    const std::size_t length = capacity - 1;
    if (length > 0) {
        out[length - 1] = '\n';
    }
    return length;
}

}  // namespace qly
