// Per-process (not shared) state of the library and the routines that the hook procedure,
// the tray's subclass procedure and the library entry share. Only meaningful inside the
// process that owns the tray window, except g_this_module.
#pragma once

#include <windows.h>

#include <cstdint>

// This library's module in the current process.
extern HMODULE g_this_module;

// Takes over the tray window: stores it as g_shell_tray_hwnd, replaces its procedure and,
// when that worked, marks the tray acquired, keeps the library loaded in this process and
// posts notice 0 to the receiver. True when subclassed.
bool SubclassTrayWindow(HWND tray);

// Gives the tray window its own procedure back and posts notice 1. 1 when it did, 0 when
// this process had not subclassed it.
int ReleaseTrayWindow();

// Whether this process holds the tray window's previous procedure.
bool HoldsTrayWindow();

// The toolbar dump into g_qly_data_peek, and the destruction of the icons it made.
void DumpTrayToolbars(bool icons, bool tips);
void DestroyDumpedIcons();

// The button move of codes 6 (visible) and 7 (raw); the result of TB_MOVEBUTTON, or 0.
LRESULT MoveTrayButton(uint64_t owner, uint32_t uid, int32_t target, bool raw);

// Posts a hook notice to the main program's receiver window.
void PostHookNotice(WPARAM code);
