// quillory_command.exe: sends a running Quillory one command of its main window, as setup
// does to end it before an update, for scripts that drive the program from outside.
//   quillory_command.exe COMMAND              e.g. 40001 exit, 1004 settings, 1005 about
//   quillory_command.exe hotkey ID [TITLE]    the hotkey ID (0 menu, 1 settings, 2 minimize)
//                                             as if pressed, with the top-level window
//                                             titled TITLE in the foreground first
// Exit code 0 when a running Quillory got the command, 1 when none runs (or the window
// TITLE does not exist), 2 on bad usage.
#include <windows.h>

#include <cstdlib>
#include <cstring>

namespace {

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

}  // namespace

int main(int argc, char** argv) {
    const bool hotkey = argc >= 3 && std::strcmp(argv[1], "hotkey") == 0;
    if (!hotkey && argc != 2)
        return 2;
    if (hotkey && argc > 4)
        return 2;
    unsigned long number = 0;
    if (!Number(argv[hotkey ? 2 : 1], 0xFFFF, &number))
        return 2;
    HWND main = FindWindowA("#32770", "Quillory");
    if (main == nullptr)
        return 1;
    if (!hotkey)
        return PostMessageA(main, WM_COMMAND, number, 0) ? 0 : 1;
    if (argc == 4 && !BringToFront(argv[3]))
        return 1;
    return PostMessageA(main, WM_HOTKEY, number, 0) ? 0 : 1;
}
