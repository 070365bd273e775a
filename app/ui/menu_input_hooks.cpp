// The tray menu's keyboard and mouse hooks; see menu_input_hooks.h. Nothing here throws:
// the procedures run inside the system's menu loop.
#include "app/ui/menu_input_hooks.h"

#include "app/base/unique_handle.h"

namespace qly {

namespace {

// The context-menu key repeats while held; one choice per second is what the user meant.
constexpr DWORD kAppsKeyRepeatMs = 1000;
constexpr DWORD kPollMs = 10;

struct HookState {
    UniqueHook key;
    UniqueHook mouse;
    MenuClickFlags flags;
    DWORD double_click_ms = 500;
    int primary_button = VK_LBUTTON;
    DWORD pressed_at = 0;
    bool apps_acted = false;
    DWORD apps_acted_at = 0;
};

HookState& State() {
    static HookState state;
    return state;
}

// After a release the system has not yet said whether a second press follows; the choice
// is made on this release, so the hook waits the double-click time for that press itself.
void WaitForSecondPress(HookState& s) {
    while (GetTickCount() - s.pressed_at < s.double_click_ms) {
        if (GetAsyncKeyState(s.primary_button) & 0x8000) {
            s.flags.double_click = true;
            return;
        }
        Sleep(kPollMs);
    }
}

}  // namespace

bool InstallMenuInputHooks() {
    HookState& s = State();
    s.double_click_ms = GetDoubleClickTime();
    s.primary_button = GetSystemMetrics(SM_SWAPBUTTON) ? VK_RBUTTON : VK_LBUTTON;
    s.flags = MenuClickFlags{};
    s.key.reset(SetWindowsHookExA(WH_KEYBOARD, KEY_HOOK_PROC, nullptr, GetCurrentThreadId()));
    s.mouse.reset(SetWindowsHookExA(WH_MOUSE, MOUSE_HOOK_PROC, nullptr, GetCurrentThreadId()));
    return s.key && s.mouse;
}

void RemoveMenuInputHooks() {
    State().key.reset();
    State().mouse.reset();
}

bool MenuMouseHookInstalled() {
    return static_cast<bool>(State().mouse);
}

MenuClickFlags NotedMenuClick() {
    return State().flags;
}

// Peeks that leave the message in the queue (HC_NOREMOVE) come round again when the menu
// takes the message: only the taking counts, or a release would wait twice.
LRESULT CALLBACK MOUSE_HOOK_PROC(int code, WPARAM wparam, LPARAM lparam) {
    if (code == HC_ACTION) {
        HookState& s = State();
        switch (wparam) {
            case WM_LBUTTONDOWN:
            case WM_NCLBUTTONDOWN:
                s.pressed_at = GetTickCount();
                break;
            case WM_LBUTTONUP:
            case WM_NCLBUTTONUP:
                s.flags.left_click = true;
                WaitForSecondPress(s);
                break;
            case WM_RBUTTONUP:
            case WM_NCRBUTTONUP:
                s.flags.left_click = false;
                break;
            default:
                break;
        }
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

LRESULT CALLBACK KEY_HOOK_PROC(int code, WPARAM wparam, LPARAM lparam) {
    const bool released = (static_cast<DWORD>(lparam) & 0x80000000u) != 0;
    if (code == HC_ACTION && wparam == VK_APPS && released) {
        HookState& s = State();
        const DWORD now = GetTickCount();
        if (!s.apps_acted || now - s.apps_acted_at > kAppsKeyRepeatMs) {
            // The menu chooses on Enter; the key that opens context menus elsewhere makes
            // the choice a right click.
            keybd_event(VK_RETURN, 0, 0, 0);
            keybd_event(VK_RETURN, 0, KEYEVENTF_KEYUP, 0);
            s.flags.left_click = false;
            s.apps_acted = true;
            s.apps_acted_at = now;
        }
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

}  // namespace qly
