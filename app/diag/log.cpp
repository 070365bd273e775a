// The log file; see log.h.
#include "app/diag/log.h"

#include <windows.h>

#include <cstdarg>

#include "app/base/unique_handle.h"
#include "app/diag/log_text.h"
#include "app/diag/system_time.h"

namespace qly {

namespace {

// The handle and flags change only at start and end of a run, but lines come from the
// main thread and the copy-data thread at once; the lock keeps a line's single WriteFile
// from racing another line for the same file position, and a close from a late writer.
SRWLOCK g_lock = SRWLOCK_INIT;
HANDLE g_file = nullptr;
uint32_t g_flags = 0;

qly::CivilTime LocalNow() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return qly::ToCivilTime(now);
}

// Caller holds the lock exclusively.
void WriteLocked(const char* text, DWORD length) {
    if (g_file == nullptr || length == 0) {
        return;
    }
    DWORD written = 0;
    WriteFile(g_file, text, length, &written, nullptr);
}

void WriteFormatted(bool detail, const char* format, va_list args) {
    char line[qly::kLogLineCapacity];
    // Formatting happens before taking the lock so a slow caller never holds up another.
    AcquireSRWLockShared(&g_lock);
    const bool wanted = g_file != nullptr && (!detail || (g_flags & qly::kLogDetailBit) != 0);
    ReleaseSRWLockShared(&g_lock);
    if (!wanted || format == nullptr) {
        return;
    }
    const std::size_t length = qly::FormatLogLine(line, sizeof line, format, args);
    AcquireSRWLockExclusive(&g_lock);
    if (!detail || (g_flags & qly::kLogDetailBit) != 0) {
        WriteLocked(line, static_cast<DWORD>(length));
    }
    ReleaseSRWLockExclusive(&g_lock);
}

}  // namespace

bool OpenLog(const std::string& program_folder, uint32_t flag_log) {
    CloseLog();
    if (flag_log == 0) {
        return false;
    }
    // A log that cannot be made (even for want of memory) simply stays off.
    std::string path;
    std::string start;
    try {
        path = qly::LogFilePath(program_folder);
        start = qly::LogStartLine(LocalNow());
    } catch (...) {
        return false;
    }
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    SetFilePointer(file, 0, nullptr, FILE_END);
    AcquireSRWLockExclusive(&g_lock);
    g_file = file;
    g_flags = flag_log;
    WriteLocked(start.data(), static_cast<DWORD>(start.size()));
    ReleaseSRWLockExclusive(&g_lock);
    return true;
}

void CloseLog() {
    AcquireSRWLockExclusive(&g_lock);
    qly::UniqueKernelHandle file(g_file);
    g_file = nullptr;
    g_flags = 0;
    ReleaseSRWLockExclusive(&g_lock);
}

bool LogEnabled() {
    AcquireSRWLockShared(&g_lock);
    const bool open = g_file != nullptr;
    ReleaseSRWLockShared(&g_lock);
    return open;
}

bool LogDetailEnabled() {
    return (LogFlags() & qly::kLogDetailBit) != 0;
}

uint32_t LogFlags() {
    AcquireSRWLockShared(&g_lock);
    const uint32_t flags = g_file != nullptr ? g_flags : 0;
    ReleaseSRWLockShared(&g_lock);
    return flags;
}

void LogLine(const char* format, ...) {
    va_list args;
    va_start(args, format);
    WriteFormatted(false, format, args);
    va_end(args);
}

void LogDetail(const char* format, ...) {
    va_list args;
    va_start(args, format);
    WriteFormatted(true, format, args);
    va_end(args);
}

}  // namespace qly
