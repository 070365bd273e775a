// Cells of the shared section that only the library itself uses: the main program's
// receiver window and its process (id and start time), which the shell watches so that
// what the program kept from the tray goes back when it ends; and the process that
// installed g_hhook_cbt, so that a hook whose process has ended is known as gone.
#pragma once

#include <cstdint>

namespace qly {

extern uint64_t g_receiver_hwnd;
extern uint32_t g_receiver_process_id;
extern uint64_t g_receiver_process_start;
extern uint32_t g_hook_process_id;
extern uint64_t g_hook_process_start;

}  // namespace qly
