// Per-process (not shared) state of the library and the routines that the hook procedure,
// the tray's subclass procedure and the library entry share. Only meaningful inside the
// process that owns the tray window, except g_this_module.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "hooklib/process_start_time.h"

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


// The tray's own procedure, and the forward of one notify request (WM_COPYDATA, dwData 1)
// to the main program with its answer carried out.
LRESULT CallTrayProcedure(HWND tray, UINT msg, WPARAM wparam, LPARAM lparam);
LRESULT ForwardNotifyRequest(HWND tray, WPARAM wparam, LPARAM lparam);

// The shadow of the icons the main program keeps from the tray (tray thread only).
// A request of the program's own that passed unforwarded (an add shows an icon again, a
// delete takes one away and carries its last complete request).
void ShadowOwnRequest(WPARAM sender, const void* request, size_t size);
// A forwarded request and whether the program swallowed it.
void ShadowAnsweredRequest(WPARAM sender, const void* request, size_t size, bool swallowed);
// A request whose forward found the program gone: the shadow takes it in, then goes back.
void ShadowUnansweredRequest(WPARAM sender, const void* request, size_t size);
// Whether the program's receiver window exists and belongs to the process it names.
bool MainProgramListens();
// Gives every kept icon back, oldest first: to the tray, or, when a program listens (a new
// run), as forwards it rules on. Kept icons whose owner has gone are dropped.
LRESULT ReturnShadow(HWND tray);
// Watches the program's process from a thread of its own once the tray is held, and again
// whenever another process has taken the receiver over; cheap when nothing changed.
void WatchMainProgram(HWND tray);
// The tray is let go or the program ends in order: no watching, nothing kept.
void ForgetShadow();

}  // namespace qly
