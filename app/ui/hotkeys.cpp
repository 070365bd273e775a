// The three global hotkeys: registration, what each does, the text the menu and the own tip
// show for them, and their replay with simulated key presses.
#include "app/ui/hotkeys.h"

#include "app/diag/log.h"
#include "app/settings/settings_store.h"
#include "app/ui/hotkey_text.h"
#include "app/ui/program_state.h"
#include "resources/resource.h"
#include "app/ui/tray_menu.h"

namespace qly {

namespace {

constexpr uint32_t kSoundMinimize = 0x4;

bool ValidId(int id) {
    return id >= kHotkeyMenu && id <= kHotkeyMinimize;
}

void Register(HWND main_window, int id) {
    const uint32_t key = g_settings.hot_key_vkey[id];
    if (key == 0)
        return;
    if (!RegisterHotKey(main_window, id, g_settings.hot_key_mod[id], key) && LogEnabled())
        LogLine("Hotkey %d (0x%x + 0x%x) is not registered: error %lu\n", id,
                g_settings.hot_key_mod[id], key, GetLastError());
}

}  // namespace

void RegisterHotkeys(HWND main_window) {
    Register(main_window, kHotkeyMenu);
    Register(main_window, kHotkeySettings);
    if (g_settings.use_minimize)
        Register(main_window, kHotkeyMinimize);
}

void UnregisterHotkeys(HWND main_window) {
    for (int id = kHotkeyMenu; id <= kHotkeyMinimize; ++id)
        UnregisterHotKey(main_window, id);
}

void HotkeyPressed(HWND main_window, WPARAM id) {
    switch (id) {
        case kHotkeyMenu:
            OpenTrayMenuFromHotkey(main_window);
            break;
        case kHotkeySettings:
            PostMessageA(main_window, WM_COMMAND, ID_CMD_SETTINGS, 0);
            break;
        case kHotkeyMinimize:
            // The hotkey may have been registered before the user turned the feature off.
            if (!g_settings.use_minimize)
                break;
            Sound(kSoundMinimize, 5000, 50);
            MinimizeToTray(main_window, GetForegroundWindow());
            break;
        default:
            break;
    }
}

std::string HotkeyText(int id) {
    std::string text;
    if (!ValidId(id))
        return text;
    const uint32_t key = g_settings.hot_key_vkey[id];
    char name[64] = {};
    if (key != 0) {
        const LONG scan = static_cast<LONG>(MapVirtualKeyA(key, 0) << 16);
        GetKeyNameTextA(scan, name, sizeof name);
    }
    AppendHotkeyText(text, g_settings.hot_key_mod[id], key, name, App().major >= 6);
    return text;
}

void ReplayHotkey(int id) {
    if (!ValidId(id))
        return;
    for (const KeyStroke& s :
         HotkeyReplayStrokes(g_settings.hot_key_mod[id], g_settings.hot_key_vkey[id]))
        keybd_event(s.virtual_key, 0, s.release ? KEYEVENTF_KEYUP : 0, 0);
}

}  // namespace qly
