// The shared section "MYSDATA": one copy of these cells for every process on the desktop
// that has the library loaded (the main program, the shell, and any process the CBT hook
// reached). Each cell needs an initializer, or the compiler would put it in .bss and the
// section would not be shared. The section resets only when the last process unloads us.
#include "hooklib/qlydll.h"
#include "hooklib/shared_state.h"

#define QLY_SHARED __attribute__((section("MYSDATA"), shared))

extern "C" {
QLYDLL_API uint32_t g_qly_data_count QLY_SHARED = 0;
QLYDLL_API uint32_t WM_USER_QLY_HOOK_MSG QLY_SHARED = 0xCC00;
QLYDLL_API uint64_t g_hwnd_tray_toolbar QLY_SHARED = 0;
QLYDLL_API uint64_t g_shell_tray_hwnd QLY_SHARED = 0;
QLYDLL_API uint64_t g_hhook_cbt QLY_SHARED = 0;
QLYDLL_API uint32_t g_flag_tray_aquired QLY_SHARED = 0;
QLYDLL_API uint32_t g_flag_dump_always_no_icon QLY_SHARED = 1;
QLYDLL_API uint32_t g_qly_move_uid QLY_SHARED = 0;
QLYDLL_API uint32_t g_cbt_not_from_create QLY_SHARED = 0;
QLYDLL_API uint32_t g_flag_WinNT QLY_SHARED = 1;
QLYDLL_API uint64_t g_hwnd_tray_toolbar2 QLY_SHARED = 0;
QLYDLL_API uint64_t g_hwnd_qly_cbt QLY_SHARED = 0;
QLYDLL_API uint32_t g_flag_dump_always_no_text QLY_SHARED = 1;
QLYDLL_API uint32_t g_flag_dump_always QLY_SHARED = 1;
QLYDLL_API uint32_t g_hwnd_qly_cbt_op QLY_SHARED = 0;
QLYDLL_API uint32_t g_flag_late_intercept QLY_SHARED = 0;
QLYDLL_API uint32_t g_flag_WinVista QLY_SHARED = 0;
QLYDLL_API uint32_t g_flag_win_xp QLY_SHARED = 0;
QLYDLL_API uint32_t g_flag_high_priority QLY_SHARED = 1;
QLYDLL_API uint32_t WM_USER_TASKBAR_CREATED QLY_SHARED = 0xCC10;
QLYDLL_API uint64_t g_qly_move_hwnd QLY_SHARED = 0;
QLYDLL_API uint64_t g_special_tray_op QLY_SHARED = 0;
QLYDLL_API uint32_t g_flag_reverse_tray QLY_SHARED = 0;
QLYDLL_API char g_path_file_qly[260] QLY_SHARED = {};
QLYDLL_API uint32_t g_qly_data_count_first QLY_SHARED = 0;
QLYDLL_API qly::PeekRecord g_qly_data_peek[qly::kPeekRecordCount] QLY_SHARED = {};
}  // extern "C"

// Not exported: only the library's own code reads them, in whichever process it runs.
namespace qly {
uint64_t g_receiver_hwnd QLY_SHARED = 0;
uint32_t g_receiver_process_id QLY_SHARED = 0;
uint64_t g_receiver_process_start QLY_SHARED = 0;
uint32_t g_hook_process_id QLY_SHARED = 0;
uint64_t g_hook_process_start QLY_SHARED = 0;
}  // namespace qly
