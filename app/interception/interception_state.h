// The program's one icon registry and recent-deletion set, and the lock that serialises
// them. CopyDataThread holds the lock for each whole request; the main thread holds it for
// each walk, change or rule decision (the rule list and cache are guarded by it too, so
// LoadSettings and SaveSettings run under it once interception has started). Nothing
// sends to another process while holding it: a replay copies what it needs, lets go, then
// sends, because the tray may be waiting for our receiver at that very moment.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <mutex>

#include "app/interception/recent_deletions.h"
#include "app/interception/tray_registry.h"
#include "app/settings/rules_lock.h"

namespace qly {

using InterceptionGuard = RulesGuard;
ModelLock& InterceptionLock();

// Both are created on first use; the text layout follows g_flag_WinNT at that moment.
TrayRegistry& Registry();
RecentDeletions& RecentDels();

// The window that hears the registry's change notices and the hook's notices (the main
// window; a test's host window until the main program exists).
void SetMainWindow(HWND window);
HWND MainWindow();

// Registry listeners, called on the main thread. The argument is the stored item a request
// changed, or null: the item the notice names (PackIconIdentity) as the registry holds it
// when the listeners run, null when it is gone by then.
using RegistryListener = std::function<void(const TrayItem*)>;
int AddRegistryListener(RegistryListener listener);
void RemoveRegistryListener(int id);
// Calls every listener in order; returns how many were called, 0 once shutting down.
size_t NotifyListeners(uint64_t changed_identity);
void SetShuttingDown(bool shutting_down);

// From the moment the icons are given back at exit, every forwarded request passes to the
// tray as it is: the rules no longer hide anything, and nothing more is registered.
void SetPassEverything(bool pass);
bool PassEverything();

// After a fault on a guarded thread abandoned frames that held the interception lock,
// the guard lets it go (installed with the receiver).
void InstallLockReleaseAfterFault();

// The names the rest of the program uses. Callers hold InterceptionLock().
TrayItem* find_qly(uint64_t hwnd, uint32_t uid, size_t* position = nullptr);
int InsertRecentDel(const TrayItem* item);
bool IsRecentDel(const TrayItem* item);

}  // namespace qly
