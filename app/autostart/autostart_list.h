// The autostart places of this machine and this user as the AutoStart Programs page shows
// them: the entries of the last enumeration over the real registry and file system, the
// switches, the program an entry starts, and the two addresses of its web lookup. Runs on
// the settings dialog's thread only.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "app/autostart/autostart_sources.h"

namespace qly {

// The registry and file system of this session. A registry value is moved through the
// UTF-16 interface, so its data keeps every byte whatever the 8-bit code page can say.
AutostartPlaces& SystemAutostartPlaces();

// Reads every place again; the entries of the previous enumeration are destroyed.
void EnumerateAutostart();
// The entries of the last enumeration, in listing order; their addresses stay valid until
// the next EnumerateAutostart.
const std::vector<std::unique_ptr<AutostartEntry>>& AutostartEntries();

// The entry's own icon (a group's shared icon, a Startup file's icon), or null.
inline HICON EntryIcon(const AutostartEntry& entry) {
    return reinterpret_cast<HICON>(entry.icon());
}
bool SetAutostartEnabled(AutostartEntry& entry, bool enable);
// The raw command, or the program found for it along the search path.
std::string AutostartExecutablePath(AutostartEntry& entry, bool raw);

// True when `path` is a folder already, else whether it could be created.
bool EnsureDirectory(const char* path);
// ExtractProgramPath over this file system: a part exists when GetFileAttributesA finds it
// after its environment variables are expanded (at most MAX_PATH characters).
bool ExtractProgramPath(const std::string& command, std::string* path);
// True when the path, environment variables expanded, names a file or folder.
bool AutostartPathExists(const std::string& path);
// The path with its environment variables expanded (at most MAX_PATH characters), or empty.
std::string ExpandAutostartPath(const std::string& path);

// The web lookup's two addresses, to be opened in this order: the program's file name,
// then the entry's name. The host comes from the setting WebLookupHost.
std::vector<std::string> WebLookupAddresses(AutostartEntry& entry);

}  // namespace qly
