// Minimize-to-tray: a window taken off the screen and the taskbar, with a tray icon of its
// own owned by the main window, and brought back when that icon is clicked or at exit.
// The icon the tray shows is Quillory's own copy, so the other program may change or
// destroy its icons meanwhile; the copy goes with the tray entry.
#include <windows.h>

#include <shellapi.h>

#include <string>

#include "app/base/program_names.h"
#include "app/base/unique_handle.h"
#include "app/diag/log.h"
#include "app/interception/special_tray_ops.h"
#include "app/ui/hotkeys.h"
#include "app/ui/program_state.h"
#include "hooklib/handle_cast.h"
#include "hooklib/minimized_record.h"
#include "hooklib/process_start_time.h"

namespace qly {

namespace {

// A window that does not answer a ping in this time is not taken to the tray.
constexpr UINT kPingTimeoutMs = 3000;
constexpr UINT kIconQueryTimeoutMs = 500;
// The tray keeps 63 characters of a tip and the terminator.
constexpr int kTitleMax = 260;

MinimizedWindowSet g_minimized;

uintptr_t Key(HWND window) {
    return reinterpret_cast<uintptr_t>(window);
}

bool Answers(HWND window) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_BLOCK | SMTO_ABORTIFHUNG,
                               kPingTimeoutMs, &result) != 0;
}

HWND TopLevel(HWND window) {
    // A bounded climb: a cycle of owners (which a hostile program can build) must not hang
    // the main thread.
    for (int depth = 0; window && depth < 64; ++depth) {
        HWND up = GetParent(window);
        if (!up)
            up = GetWindow(window, GW_OWNER);
        if (!up)
            break;
        window = up;
    }
    return window;
}

HICON QueryIcon(HWND window, UINT message, WPARAM wparam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, message, wparam, 0, SMTO_ABORTIFHUNG, kIconQueryTimeoutMs,
                             &result))
        return nullptr;
    return reinterpret_cast<HICON>(result);
}

// The window's icon as the title bar shows it, copied into an icon Quillory owns; null when
// the window has none or it cannot be copied (then the default icon stands for it).
HICON CopyWindowIcon(HWND window) {
    HICON icon = QueryIcon(window, WM_GETICON, ICON_SMALL);
    if (!icon)
        icon = reinterpret_cast<HICON>(GetClassLongPtrA(window, GCLP_HICONSM));
    if (!icon)
        icon = reinterpret_cast<HICON>(GetClassLongPtrA(window, GCLP_HICON));
    if (!icon)
        icon = QueryIcon(window, WM_QUERYDRAGICON, 0);
    return icon ? CopyIcon(icon) : nullptr;
}

void DestroyIconCopy(uintptr_t icon) {
    DestroyIcon(reinterpret_cast<HICON>(icon));
}

static_assert(sizeof(kMinimizedWindowsKeyPath) > sizeof(kSettingsKeyPath) &&
                  kMinimizedWindowsKeyPath[sizeof(kSettingsKeyPath) - 1] == '\\',
              "the records live under the settings key");

uint64_t StartTimeOf(DWORD process_id) {
    UniqueKernelHandle process(
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id));
    return process ? ProcessStartTime(process.get()) : 0;
}

// While a window is in the tray, a record of it in the registry lets the library in the
// shell, or the next start, show it again should Quillory die before it can.
void Record(HWND window, const WINDOWPLACEMENT& placement, const char* title) {
    MinimizedWindowRecord r;
    GetWindowThreadProcessId(window, reinterpret_cast<DWORD*>(&r.process_id));
    r.process_start = StartTimeOf(r.process_id);
    r.window = AsNumber(window);
    r.placement_flags = placement.flags;
    r.show_command = placement.showCmd;
    r.min_position[0] = placement.ptMinPosition.x;
    r.min_position[1] = placement.ptMinPosition.y;
    r.max_position[0] = placement.ptMaxPosition.x;
    r.max_position[1] = placement.ptMaxPosition.y;
    r.normal_rect[0] = placement.rcNormalPosition.left;
    r.normal_rect[1] = placement.rcNormalPosition.top;
    r.normal_rect[2] = placement.rcNormalPosition.right;
    r.normal_rect[3] = placement.rcNormalPosition.bottom;
    lstrcpynA(r.title, title, sizeof r.title);
    HKEY raw = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kMinimizedWindowsKeyPath, 0, nullptr, 0, KEY_SET_VALUE,
                        nullptr, &raw, nullptr) != ERROR_SUCCESS) {
        if (LogEnabled())
            LogLine("The record of window %p could not be written\n", window);
        return;
    }
    UniqueKey key(raw);
    char name[17];
    MinimizedRecordName(r.window, name);
    RegSetValueExA(key.get(), name, 0, REG_BINARY, reinterpret_cast<const BYTE*>(&r), sizeof r);
}

void ForgetRecord(HWND window) {
    HKEY raw = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kMinimizedWindowsKeyPath, 0, KEY_SET_VALUE, &raw) !=
        ERROR_SUCCESS)
        return;
    UniqueKey key(raw);
    char name[17];
    MinimizedRecordName(AsNumber(window), name);
    RegDeleteValueA(key.get(), name);
}

}  // namespace

bool MinimizeToTray(HWND main_window, HWND window) {
    window = TopLevel(window);
    if (!window || !IsWindow(window) || window == main_window)
        return false;
    if (GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW)
        return false;
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    if (!GetWindowPlacement(window, &placement) || placement.showCmd == SW_SHOWMINIMIZED)
        return false;
    if (g_minimized.Contains(Key(window)))
        return false;
    // A hung window is still minimised the usual way, but a window that cannot answer
    // could not be brought back from the tray either.
    const bool answers = Answers(window);
    ShowWindowAsync(window, SW_SHOWMINNOACTIVE);
    if (!answers) {
        if (LogEnabled())
            LogLine("Window %p does not answer: minimised, not taken to the tray\n", window);
        return false;
    }
    HICON copy = CopyWindowIcon(window);
    char title[kTitleMax] = {};
    GetWindowTextA(window, title, kTitleMax - 1);

    const UINT uid = g_minimized.Add(Key(window), reinterpret_cast<uintptr_t>(copy));
    Record(window, placement, title);
    ShowWindowAsync(window, SW_HIDE);
    HICON shown = copy ? copy : App().window_icon;
    TrayAdd(main_window, uid, title, AsNumber(shown), NIM_ADD, kOwnCallbackMessage, 0, true);
    return true;
}

bool RestoreFromTray(UINT uid) {
    const HWND window = reinterpret_cast<HWND>(g_minimized.WindowOf(uid));
    if (!window)
        return false;
    // The icon goes even when its window is gone: nothing else would remove it.
    NotifyIconDelete(App().main, uid);
    g_minimized.Erase(Key(window), DestroyIconCopy);
    ForgetRecord(window);
    if (!IsWindow(window))
        return true;
    Answers(window);
    ShowWindowAsync(window, SW_SHOW);
    Answers(window);
    ShowWindowAsync(window, SW_RESTORE);
    return true;
}

void MinimizedIconCallback(HWND, WPARAM uid, LPARAM mouse_message) {
    const UINT message = LOWORD(mouse_message);
    if (message == WM_LBUTTONUP || message == WM_RBUTTONUP)
        RestoreFromTray(static_cast<UINT>(uid));
}

void RestoreMinimizedWindows() {
    while (!g_minimized.Empty()) {
        const uintptr_t window = g_minimized.FirstWindow();
        if (!RestoreFromTray(g_minimized.UidOf(window))) {
            g_minimized.Erase(window, DestroyIconCopy);
            ForgetRecord(reinterpret_cast<HWND>(window));
        }
    }
    // An orderly exit leaves no record behind, not even of an earlier run's window.
    RegDeleteKeyA(HKEY_CURRENT_USER, kMinimizedWindowsKeyPath);
}

void ForgetClosedMinimizedWindows() {
    g_minimized.ForEachWindow([](uintptr_t window) {
        if (!IsWindow(reinterpret_cast<HWND>(window)))
            ForgetRecord(reinterpret_cast<HWND>(window));
    });
}

}  // namespace qly
