// Cells of the shared section that only the library itself uses: the main program's
// receiver window and the library's own path (for its second load inside the shell).
#pragma once

#include <cstdint>

extern uint64_t g_receiver_hwnd;
extern char g_library_path[260];
