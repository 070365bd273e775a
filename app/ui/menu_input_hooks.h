// The input hooks that run while the tray menu is tracked: they tell a left from a right
// click and a double click on an entry, and let the context-menu key choose an entry as a
// right click. Thread hooks of the main thread, installed only around TrackPopupMenuEx.
// Their procedures are exported from quillory.exe under the names the system tools know.
#pragma once

#include <windows.h>

#include "app/ui/tray_menu_model.h"

namespace qly {

// Notes the double-click time and the primary button, resets the click flags and installs
// both hooks for the calling thread. False when one could not be installed (the menu still
// runs; the held keys alone then tell the kind of a choice).
bool InstallMenuInputHooks();
void RemoveMenuInputHooks();
bool MenuMouseHookInstalled();
MenuClickFlags NotedMenuClick();

extern "C" {
__declspec(dllexport) LRESULT CALLBACK KEY_HOOK_PROC(int code, WPARAM wparam, LPARAM lparam);
__declspec(dllexport) LRESULT CALLBACK MOUSE_HOOK_PROC(int code, WPARAM wparam, LPARAM lparam);
}

}  // namespace qly
