// The record of a window that the main program took to the tray, kept in the registry while
// the window is hidden, so that whoever outlives the program (the library in the shell, or
// the program's next start) can show the window again if the program dies. Both deliverables
// read and write it; the registry is another process's input, so a record is checked before
// it is used. Plain C++.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qly {

// Per user, under the settings key; one REG_BINARY value per window, named by the window's
// handle in 16 hex digits.
inline constexpr char kMinimizedWindowsKeyPath[] =
    "Software\\KARNOVELDAHUS\\QUILLORY\\MinimizedWindows";

inline constexpr uint32_t kMinimizedRecordMagic = 0x31574D51;  // "QMW1"
inline constexpr size_t kMinimizedTitleSize = 64;

struct MinimizedWindowRecord {
    uint32_t magic = kMinimizedRecordMagic;
    uint32_t process_id = 0;       // the window's process, with its start time below: a
    uint64_t process_start = 0;    // handle reused by another process is not that window
    uint64_t window = 0;
    // The placement before it was hidden (WINDOWPLACEMENT's fields).
    uint32_t placement_flags = 0;
    uint32_t show_command = 0;
    int32_t min_position[2] = {};
    int32_t max_position[2] = {};
    int32_t normal_rect[4] = {};   // left, top, right, bottom
    char title[kMinimizedTitleSize] = {};  // for the log; always terminated
};
static_assert(sizeof(MinimizedWindowRecord) == 128, "record crosses processes");
static_assert(offsetof(MinimizedWindowRecord, process_id) == 4, "record crosses processes");
static_assert(offsetof(MinimizedWindowRecord, process_start) == 8, "record crosses processes");
static_assert(offsetof(MinimizedWindowRecord, window) == 16, "record crosses processes");
static_assert(offsetof(MinimizedWindowRecord, placement_flags) == 24, "record crosses processes");
static_assert(offsetof(MinimizedWindowRecord, show_command) == 28, "record crosses processes");
static_assert(offsetof(MinimizedWindowRecord, min_position) == 32, "record crosses processes");
static_assert(offsetof(MinimizedWindowRecord, max_position) == 40, "record crosses processes");
static_assert(offsetof(MinimizedWindowRecord, normal_rect) == 48, "record crosses processes");
static_assert(offsetof(MinimizedWindowRecord, title) == 64, "record crosses processes");

// The value name of a window's record.
void MinimizedRecordName(uint64_t window, char (&name)[17]);

// Reads a record from registry bytes: exactly one record's size, the magic, a window and a
// process, a show command the platform knows, an ordered rectangle, a terminated title.
// False (and *out untouched) for anything else.
bool DecodeMinimizedRecord(const void* bytes, size_t size, MinimizedWindowRecord* out);

// The show command that brings the window back where it was without taking the focus; with
// it the caller sets WPF_RESTORETOMAXIMIZED for a window that was maximised.
uint32_t RestoreShowCommand(const MinimizedWindowRecord& record);

}  // namespace qly
