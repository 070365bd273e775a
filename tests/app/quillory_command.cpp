// quillory_command.exe: drives a running Quillory from outside, for scripts (the demo, the
// screenshots) as a user or setup would: a command of its main window, as setup sends to end
// it before an update; a hotkey; a right click on its own tray icon; a key to its open tray
// menu.
//   quillory_command.exe COMMAND              e.g. 40001 exit, 1004 settings, 1005 about
//   quillory_command.exe hotkey ID [TITLE]    the hotkey ID (0 menu, 1 settings, 2 minimize)
//                                             as if pressed, with the top-level window
//                                             titled TITLE in the foreground first
//   quillory_command.exe menu                 the own icon's right-button release: opens
//                                             the tray menu
//   quillory_command.exe menu-open            asks only whether the tray menu is on screen
//   quillory_command.exe menu-key VK          one key down to the open tray menu (40 down,
//                                             38 up, 13 Enter, 27 Escape)
//   quillory_command.exe press CAPTION ID     presses button ID of the dialog or message box
//                                             whose caption starts with CAPTION (setup's)
//   quillory_command.exe settings-page N      shows page N (0 first) of the open settings
// Exit code 0 when a running Quillory got the command, 1 when none runs (or the window
// TITLE does not exist, or no menu or settings sheet is open), 2 on bad usage.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <commctrl.h>
#include <prsht.h>

#include <cstdlib>
#include <cstring>

namespace {

constexpr UINT kOwnCallbackMessage = 3024;

bool Number(const char* text, unsigned long max, unsigned long* value) {
    char* end = nullptr;
    *value = std::strtoul(text, &end, 10);
    return end != text && *end == 0 && *value <= max;
}

bool BringToFront(const char* title) {
    HWND window = FindWindowA(nullptr, title);
    if (window == nullptr)
        return false;
    for (int i = 0; i < 50 && GetForegroundWindow() != window; ++i) {
        SetForegroundWindow(window);
        Sleep(20);
    }
    return GetForegroundWindow() == window;
}

// The menu window ("#32768") of Quillory's process that is on screen.
HWND MenuOf(HWND main) {
    DWORD quillory = 0;
    GetWindowThreadProcessId(main, &quillory);
    for (HWND w = FindWindowExA(nullptr, nullptr, "#32768", nullptr); w;
         w = FindWindowExA(nullptr, w, "#32768", nullptr)) {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid == quillory && IsWindowVisible(w))
            return w;
    }
    return nullptr;
}

// Quillory's settings sheet: a dialog of its process with a tab control, whatever language
// its caption is in.
HWND SheetOf(HWND main) {
    DWORD quillory = 0;
    GetWindowThreadProcessId(main, &quillory);
    for (HWND w = FindWindowExA(nullptr, nullptr, "#32770", nullptr); w;
         w = FindWindowExA(nullptr, w, "#32770", nullptr)) {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid == quillory && w != main && FindWindowExA(w, nullptr, WC_TABCONTROLA, nullptr))
            return w;
    }
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    HWND main = FindWindowA("#32770", "Quillory");
    unsigned long number = 0;
    if (std::strcmp(argv[1], "menu") == 0) {
        if (argc != 2)
            return 2;
        return main && PostMessageA(main, kOwnCallbackMessage, 0, WM_RBUTTONUP) ? 0 : 1;
    }
    if (std::strcmp(argv[1], "menu-open") == 0) {
        if (argc != 2)
            return 2;
        return main && MenuOf(main) ? 0 : 1;
    }
    if (std::strcmp(argv[1], "menu-key") == 0) {
        if (argc != 3 || !Number(argv[2], 0xFF, &number))
            return 2;
        HWND menu = main ? MenuOf(main) : nullptr;
        return menu && PostMessageA(menu, WM_KEYDOWN, number, 0) ? 0 : 1;
    }
    if (std::strcmp(argv[1], "press") == 0) {
        if (argc != 4 || !Number(argv[3], 0xFFFF, &number))
            return 2;
        const size_t length = std::strlen(argv[2]);
        for (HWND w = FindWindowExA(nullptr, nullptr, "#32770", nullptr); w;
             w = FindWindowExA(nullptr, w, "#32770", nullptr)) {
            char caption[256] = "";
            GetWindowTextA(w, caption, sizeof caption);
            if (std::strncmp(caption, argv[2], length) == 0 && IsWindowVisible(w))
                return PostMessageA(
                           w, WM_COMMAND, MAKEWPARAM(number, BN_CLICKED),
                           reinterpret_cast<LPARAM>(GetDlgItem(w, static_cast<int>(number))))
                           ? 0
                           : 1;
        }
        return 1;
    }
    if (std::strcmp(argv[1], "settings-page") == 0) {
        if (argc != 3 || !Number(argv[2], 3, &number))
            return 2;
        HWND sheet = main ? SheetOf(main) : nullptr;
        return sheet && SendMessageA(sheet, PSM_SETCURSEL, number, 0) ? 0 : 1;
    }
    const bool hotkey = argc >= 3 && std::strcmp(argv[1], "hotkey") == 0;
    if (!hotkey && argc != 2)
        return 2;
    if (hotkey && argc > 4)
        return 2;
    if (!Number(argv[hotkey ? 2 : 1], 0xFFFF, &number))
        return 2;
    if (main == nullptr)
        return 1;
    if (!hotkey)
        return PostMessageA(main, WM_COMMAND, number, 0) ? 0 : 1;
    if (argc == 4 && !BringToFront(argv[3]))
        return 1;
    return PostMessageA(main, WM_HOTKEY, number, 0) ? 0 : 1;
}
