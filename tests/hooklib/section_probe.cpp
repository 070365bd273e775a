// Second process for the shared-section tests. Without arguments: loads the library,
// checks the cells the test wrote, writes one of its own, and reports what it read in its
// exit code. With `install RECEIVER` (hex): installs the hook for that receiver window and
// stays until the test ends it, as a main program that is killed later.
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "hooklib/hook_protocol.h"
#include "hooklib/qlydll.h"

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "install") == 0) {
        const uint64_t receiver = std::strtoull(argv[2], nullptr, 16);
        if (InstallHooks(receiver, kInstallGuard1, kInstallGuard2, kInstallGuard3) != 1)
            return 2;
        Sleep(INFINITE);
        return 0;
    }
    if (std::strcmp(g_path_file_qly, "C:\\Quillory\\QUILLORY.EXE") != 0)
        return 1;
    g_flag_high_priority = 0xB0B0;
    return static_cast<int>(g_flag_reverse_tray + 1);
}
