// Cells of the shared section that only the library itself uses: the main program's
// receiver window and the process that installed g_hhook_cbt (id and start time), so that
// a hook whose process has ended is known as gone.
#pragma once

#include <cstdint>

namespace qly {

extern uint64_t g_receiver_hwnd;
extern uint32_t g_hook_process_id;
extern uint64_t g_hook_process_start;

}  // namespace qly
