// The small registry operations every part of the program uses for its own values (each
// returns the Win32 error code, 0 = success; a failed read leaves the caller's variable as
// it was), and the one-value reads and writes of the per-user settings key.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "app/base/program_names.h"
#include "app/base/unique_handle.h"

namespace qly {

// Opens `path` under `root` with full access; when that fails and `create` is non-zero,
// creates it.
LONG OpenSettingsKey(HKEY root, const char* path, HKEY* key, int create);

// Reads a 4-byte value of any type. A value of another size is a failure.
LONG ReadDword(HKEY key, const char* name, uint32_t* value);
LONG WriteDword(HKEY key, const char* name, uint32_t value);
LONG ReadRaw(HKEY key, const char* name, void* buffer, DWORD* size);
// Reads a string value of any length; a missing terminator is supplied and the text ends at
// the first zero. An empty or one-byte value is an empty string and success.
LONG ReadStringAlloc(HKEY key, const char* name, std::string* text);
LONG WriteString(HKEY key, const char* name, const char* text);

// One value of the settings key (kSettingsKeyPath) under `root`, for the values their
// owners read and write at the moment they need them (FlagLog, FlagLogOff, AutoRunQly, ...).
// A read does not create the key and leaves `value` as it was when it fails; a write
// creates the key when missing. Both give true on success.
bool ReadSettingDword(const char* name, uint32_t* value, HKEY root = HKEY_CURRENT_USER);
bool WriteSettingDword(const char* name, uint32_t value);

}  // namespace qly
