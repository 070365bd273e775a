// Replays of stored icons: to the real tray (purge of dead owners, replay of everything
// after the shell restarted, release of hidden icons at exit, rule changes) and to any
// window that asks with code 5; and the program's own icons (TrayAdd and the plain
// notify-icon calls). The tray gets the shell's own request back, handles narrowed to 32
// bits, so what it receives is what the owner sent but for the command (and the icon,
// which is our copy). Main thread; each takes the interception lock to copy what it
// sends and sends after letting it go.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "app/base/program_names.h"
#include "app/interception/tray_record.h"
#include "hooklib/tray_item.h"

namespace qly {

constexpr UINT kReplayTimeoutMs = 5000;

// The system's ANSI code page, in which Shell_NotifyIconA reads a tip and our menu draws it.
const AnsiCodePage& SystemCodePage();
constexpr UINT kPurgeTimeoutMs = 1000;

// Sends one stored icon to g_shell_tray_hwnd with `command`. With `pass_through` the hook
// lets it by unforwarded (g_special_tray_op names its owner for the time of the send).
void SendStoredToTray(const TrayItem* item,
                      uint32_t command,
                      bool pass_through,
                      UINT flags,
                      UINT timeout_ms);

// Icons whose owner window is gone: with `remove`, deleted from the tray and the registry.
// Returns how many items were walked.
size_t PurgeDeadItems(bool remove);
// Also drops recent deletions that are old enough; the purge timer runs both.
size_t PurgeRecentDeletions();

// What the program's own icon looks like, for the replays that re-add it.
void SetOwnIcon(HWND window, const std::string& tip, uint64_t icon, bool icon_is_handle);
// Re-adds our own icon, then (unless own_only) every registered icon through interception,
// so the rules decide afresh. Returns 1 + the number of icons replayed.
size_t ReplayAllToTray(bool own_only);
// At exit: gives every icon that the rules kept from the tray back to it, then empties the
// registry. Returns how many items were walked.
size_t ReleaseAllItems();
// Code 5: every registered icon to `target` as the hook would have forwarded it.
size_t ReplayToWindow(HWND target);

BOOL NotifyIconCall(HWND window,
                    UINT uid,
                    const char* tip,
                    uint64_t icon,
                    DWORD command,
                    UINT callback_message,
                    UINT reserved,
                    bool icon_is_handle);
BOOL NotifyIconDelete(HWND window, UINT uid);
// NotifyIconCall, and when the icon did not reach the registry (no tray, or not yet
// intercepted), one retry from a thread once a tray window exists (at most 20 s later).
BOOL TrayAdd(HWND window,
             UINT uid,
             const char* tip,
             uint64_t icon,
             DWORD command,
             UINT callback_message,
             UINT reserved,
             bool icon_is_handle);

}  // namespace qly
