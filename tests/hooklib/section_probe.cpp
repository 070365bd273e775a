// Second process for the shared-section test: loads the library, checks the cells the test
// wrote, writes one of its own, and reports what it read in its exit code.
#include <windows.h>

#include <cstring>

#include "hooklib/qlydll.h"

int main() {
    if (std::strcmp(g_path_file_qly, "C:\\Quillory\\QUILLORY.EXE") != 0)
        return 1;
    g_flag_high_priority = 0xB0B0;
    return static_cast<int>(g_flag_reverse_tray + 1);
}
