// Which program owns a window, and what rights the user has. The platform functions are
// looked up once at start (InitProcessApi on NT systems, InitToolhelpApi elsewhere), so a
// system without them loses only these answers. Lookups fill the caller's buffer within
// its size (always terminated) and leave it empty when they fail, for instance for a
// process of another user that cannot be opened.
#pragma once

#include <windows.h>

#include <cstddef>

namespace qly {

// Loads PSAPI (or "DLL\PSAPI.DLL"), VDMDBG, IsUserAnAdmin and GetTokenInformation and
// enables SeDebugPrivilege when the token allows it. True when both PSAPI functions exist.
bool InitProcessApi();
// For systems without NT: true when all seven tool-help functions were found.
bool InitToolhelpApi();

// The full path of the process's main module; for a 16-bit task inside NTVDM.EXE the
// task's own file, chosen by the thread id.
bool GetProcessImagePath(DWORD process_id, DWORD thread_id, char* buffer, size_t size);
// process_id and thread_id may be nullptr; both are filled when the window exists.
bool GetWindowProgramPath(HWND window,
                          char* buffer,
                          size_t size,
                          DWORD* process_id,
                          DWORD* thread_id);
// The file-name part of GetWindowProgramPath, e.g. "NOTEPAD.EXE".
bool GetWindowProgramName(HWND window,
                          char* buffer,
                          size_t size,
                          DWORD* process_id,
                          DWORD* thread_id);

// IsUserAnAdmin's answer (1 or 0), or -1 when the system does not have it.
int IsUserAdmin();
// The elevation type of this process's token (default, full or limited).
bool GetElevationType(TOKEN_ELEVATION_TYPE* type);
// ExitWindowsEx after enabling the shutdown privilege, which a restart needs.
BOOL ExitWindowsWithPrivilege(UINT flags, DWORD reason);

}  // namespace qly
