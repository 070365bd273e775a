// quillory_command.exe: drives a running Quillory from outside, for scripts (the demo, the
// screenshots) as a user or setup would: a command of its main window, as setup sends to end
// it before an update; a right click on its own tray icon; a key to its open tray menu.
//   quillory_command.exe COMMAND       e.g. 40001 exit, 1004 settings, 1005 about
//   quillory_command.exe menu          the own icon's right-button release: opens the menu
//   quillory_command.exe menu-open     asks only whether the tray menu is on screen
//   quillory_command.exe menu-key VK   one key down to the open tray menu (40 down, 38 up,
//                                      13 Enter, 27 Escape)
// Exit code 0 when it was delivered, 1 when no Quillory (or no open menu) is there, 2 on
// bad usage.
#include <windows.h>

#include <cstdlib>
#include <cstring>

namespace {

constexpr UINT kOwnCallbackMessage = 3024;

bool Number(const char* text, unsigned long max, unsigned long* value) {
    char* end = nullptr;
    *value = std::strtoul(text, &end, 10);
    return end != text && *end == 0 && *value <= max;
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

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3)
        return 2;
    HWND main = FindWindowA("#32770", "Quillory");
    unsigned long value = 0;
    if (std::strcmp(argv[1], "menu") == 0 && argc == 2) {
        if (main == nullptr)
            return 1;
        return PostMessageA(main, kOwnCallbackMessage, 0, WM_RBUTTONUP) ? 0 : 1;
    }
    if (std::strcmp(argv[1], "menu-open") == 0 && argc == 2)
        return main && MenuOf(main) ? 0 : 1;
    if (std::strcmp(argv[1], "menu-key") == 0 && argc == 3) {
        if (!Number(argv[2], 0xFF, &value))
            return 2;
        HWND menu = main ? MenuOf(main) : nullptr;
        if (menu == nullptr)
            return 1;
        return PostMessageA(menu, WM_KEYDOWN, value, 0) ? 0 : 1;
    }
    if (argc != 2 || !Number(argv[1], 0xFFFF, &value))
        return 2;
    if (main == nullptr)
        return 1;
    return PostMessageA(main, WM_COMMAND, value, 0) ? 0 : 1;
}
