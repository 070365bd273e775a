// A program that crashes on purpose, so tests can watch the installed crash handler from
// outside: it records every box it would show in a file (one line per box: caption, style
// and text with newlines as "\n"), answers the dump question as told, and faults on a
// thread without a guard.
//   diag_crash_child <temp folder> <box file> yes|no [throw]
// With "throw" the thread throws a C++ error that nothing catches instead of faulting.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/diag/crash_dump.h"
#include "app/diag/message_box_seam.h"

namespace {

char g_box_file[MAX_PATH] = {};
bool g_answer_yes = false;

int WINAPI RecordBox(HWND, LPCSTR text, LPCSTR caption, UINT type) {
    std::string line = std::string(caption) + "|" + std::to_string(type) + "|";
    for (const char* c = text; *c != '\0'; ++c) {
        line += *c == '\n' ? std::string("\\n") : std::string(1, *c);
    }
    line += "\n";
    if (FILE* file = std::fopen(g_box_file, "ab")) {
        std::fwrite(line.data(), 1, line.size(), file);
        std::fclose(file);
    }
    if ((type & MB_TYPEMASK) == MB_YESNO) {
        return g_answer_yes ? IDYES : IDNO;
    }
    return IDOK;
}

volatile int* volatile g_nowhere = nullptr;

DWORD WINAPI FaultingThread(void*) {
    *g_nowhere = 1;
    return 0;
}

DWORD WINAPI ThrowingThread(void*) {
    throw 42;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        return 2;
    }
    SetEnvironmentVariableA("TMP", argv[1]);
    std::snprintf(g_box_file, sizeof g_box_file, "%s", argv[2]);
    g_answer_yes = std::strcmp(argv[3], "yes") == 0;
    qly::SetDiagMessageBox(&RecordBox);
    qly::InstallCrashHandler("Quillory");
    const bool cxx = argc > 4 && std::strcmp(argv[4], "throw") == 0;
    HANDLE thread =
        CreateThread(nullptr, 0, cxx ? &ThrowingThread : &FaultingThread, nullptr, 0, nullptr);
    WaitForSingleObject(thread, INFINITE);
    return 9;  // only reached when the crash did not end the program
}
