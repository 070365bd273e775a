// quillory_command.exe: sends a running Quillory one command of its main window, as setup
// does to end it before an update, for scripts that drive the program from outside.
//   quillory_command.exe COMMAND    e.g. 40001 exit, 1004 settings, 1005 about
// Exit code 0 when a running Quillory got the command, 1 when none runs, 2 on bad usage.
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    char* end = nullptr;
    const unsigned long command = std::strtoul(argv[1], &end, 10);
    if (end == argv[1] || *end != 0 || command > 0xFFFF)
        return 2;
    HWND main = FindWindowA("#32770", "Quillory");
    if (main == nullptr)
        return 1;
    return PostMessageA(main, WM_COMMAND, command, 0) ? 0 : 1;
}
