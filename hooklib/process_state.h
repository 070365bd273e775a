// Per-process (not shared) state of the library and the routines that the hook procedure,
// the tray's subclass procedure and the library entry share. Only meaningful inside the
// process that owns the tray window, except g_this_module.
#pragma once

#include <windows.h>

#include <cstdint>

namespace qly {

// This library's module in the current process.
extern HMODULE g_this_module;

// Takes over the tray window: stores it as g_shell_tray_hwnd, takes a reference to this
// very module (so the library stays once the hook is gone), replaces the tray's procedure
// and, when that worked, marks the tray acquired and posts notice 0 to the receiver. Without
// the reference the tray is left alone. True when subclassed.
bool SubclassTrayWindow(HWND tray);

// Gives the tray window its own procedure back and posts notice 1. Decided by this
// process's own hold on the window, never by the shared cell, which another process may
// have cleared. 1 when it did (or the window is gone), 0 when this process holds nothing
// or cannot take its procedure out (another one was put in front of it since).
int ReleaseTrayWindow();

// Whether this process holds the tray window's previous procedure, and which window that
// is (null when none).
bool HoldsTrayWindow();
HWND HeldTrayWindow();

// The toolbar dump into g_qly_data_peek, and the destruction of the icons it made.
void DumpTrayToolbars(bool icons, bool tips);
void DestroyDumpedIcons();

// The button move of codes 6 (visible) and 7 (raw); the result of TB_MOVEBUTTON, or 0.
LRESULT MoveTrayButton(uint64_t owner, uint32_t uid, int32_t target, bool raw);

// Posts a hook notice to the main program's receiver window.
void PostHookNotice(WPARAM code);

// The creation time of a process as one number, or 0 when it cannot be read.
uint64_t ProcessStartTime(HANDLE process);

}  // namespace qly
