// quillory.exe: the program's entry. Everything it does is the start routine's.
#include <windows.h>

#include "app/ui/start_up.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int) {
    return qly::QuilloryMain(instance, command_line, qly::StartSeams());
}
