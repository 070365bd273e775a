// The hook library's public face: the variables of its shared section "MYSDATA" and its
// six exported functions, under the names the main program and the shell-side code both
// use. The main program reads and writes these cells directly; there is no accessor layer.
// Window handles and pointers are 64 bits wide, flags and ids 32 bits.
#pragma once

#include <cstdint>

#include "hooklib/peek_record.h"

#if !defined(_WIN32)
#define QLYDLL_API
#elif defined(QLYDLL_BUILDING)
#define QLYDLL_API __declspec(dllexport)
#else
#define QLYDLL_API __declspec(dllimport)
#endif

namespace qly {
struct TrayItem;
}  // namespace qly

extern "C" {

// Shared section, in the order of the section's layout.
QLYDLL_API extern uint32_t g_qly_data_count;
QLYDLL_API extern uint32_t WM_USER_QLY_HOOK_MSG;
QLYDLL_API extern uint64_t g_hwnd_tray_toolbar;
QLYDLL_API extern uint64_t g_shell_tray_hwnd;
QLYDLL_API extern uint64_t g_hhook_cbt;
QLYDLL_API extern uint32_t g_flag_tray_aquired;
QLYDLL_API extern uint32_t g_flag_dump_always_no_icon;
QLYDLL_API extern uint32_t g_qly_move_uid;
QLYDLL_API extern uint32_t g_cbt_not_from_create;
QLYDLL_API extern uint32_t g_flag_WinNT;
QLYDLL_API extern uint64_t g_hwnd_tray_toolbar2;
QLYDLL_API extern uint64_t g_hwnd_qly_cbt;
QLYDLL_API extern uint32_t g_flag_dump_always_no_text;
QLYDLL_API extern uint32_t g_flag_dump_always;
QLYDLL_API extern uint32_t g_hwnd_qly_cbt_op;
QLYDLL_API extern uint32_t g_flag_late_intercept;
QLYDLL_API extern uint32_t g_flag_WinVista;
QLYDLL_API extern uint32_t g_flag_win_xp;
QLYDLL_API extern uint32_t g_flag_high_priority;
QLYDLL_API extern uint32_t WM_USER_TASKBAR_CREATED;
QLYDLL_API extern uint64_t g_qly_move_hwnd;
QLYDLL_API extern uint64_t g_special_tray_op;
QLYDLL_API extern uint32_t g_flag_reverse_tray;
QLYDLL_API extern char g_path_file_qly[260];
// How many of the dump's records came from the first toolbar, the one moves reach; the
// second toolbar's follow them.
QLYDLL_API extern uint32_t g_qly_data_count_first;
QLYDLL_API extern qly::PeekRecord g_qly_data_peek[qly::kPeekRecordCount];

// Functions. All report failure by result and never throw.
QLYDLL_API int __stdcall InstallHooks(uint64_t receiver_window,
                                      uint32_t guard1,
                                      uint32_t guard2,
                                      uint32_t guard3);
QLYDLL_API void __stdcall UninstallHooks();
QLYDLL_API int __stdcall FindSpecialWindows();
QLYDLL_API uint64_t __stdcall SpecialCopyIcon(uint64_t icon);
QLYDLL_API uint32_t __stdcall QlyGetVer(const qly::TrayItem* item);
QLYDLL_API int64_t __stdcall CBT_HOOK_PROC(int code, uint64_t wparam, int64_t lparam);
// Shows again, without the focus, every window the main program recorded as taken to the
// tray that still exists hidden in its recorded process, and deletes every record. Returns
// how many windows it showed.
QLYDLL_API int __stdcall RestoreMinimizedWindowRecords();

}  // extern "C"

// The fixed guard values InstallHooks insists on.
constexpr uint32_t kInstallGuard1 = 4;
constexpr uint32_t kInstallGuard2 = 0;
constexpr uint32_t kInstallGuard3 = 135;
