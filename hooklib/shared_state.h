// Cells of the shared section that only the library itself uses: the main program's
// receiver window, the library's own path (for its second load inside the shell), and the
// process that installed g_hhook_cbt (id and start time), so that a hook whose process has
// ended is known as gone.
#pragma once

#include <cstdint>

extern uint64_t g_receiver_hwnd;
extern char g_library_path[260];
extern uint32_t g_hook_process_id;
extern uint64_t g_hook_process_start;
