// The protocol between the hook inside the shell and the main program: the codes carried in
// wParam of WM_USER_QLY_HOOK_MSG, the tag of a forwarded request and the main program's
// answer to it. Shared by both deliverables. Plain C++, no windows.h.
#pragma once

#include <cstdint>

namespace qly {

// wParam of WM_USER_QLY_HOOK_MSG.
enum TrayHookCode : uint64_t {
    kHookNoticeAcquired = 0,   // hook -> receiver (posted): the tray window was subclassed
    kHookNoticeReleased = 1,   // hook -> receiver (posted): the tray window was let go
    kHookRelease = 2,          // main -> tray: release the tray window and leave the shell
    kHookRegistryChanged = 4,  // receiver -> main window (posted)
    kHookReplayTo = 5,         // anyone -> main window: replay every icon to lParam
    kHookMoveVisible = 6,  // main -> tray: move (g_qly_move_hwnd, g_qly_move_uid) by visible place
    kHookMoveRaw = 7,      // main -> tray: the same to a raw toolbar index
    kHookDump = 8,         // main -> tray: dump the toolbar with icons and tips
    kHookFreeDumpIcons = 9,  // main -> tray: destroy the icons of the last dump
    // Inside the shell (posted): the main program's process has ended; the tray gets back
    // what the program kept from it, or a new run of the program gets it as forwards.
    kHookReturnShadow = 10,
};

// Remote requests carried by WM_SYSCOMMAND SC_TASKLIST to the tray window (g_hwnd_qly_cbt_op).
enum RemoteCbtOp : uint32_t {
    kCbtOpDump = 1,
    kCbtOpFreeDumpIcons = 2,
    kCbtOpSubclass = 3,
};

// dwData of a forwarded request: "QLYD" with Q in the most significant byte.
constexpr uint32_t ForwardTag = 0x514C5944;

// The main program's answer to a forward (HookReply): 0 swallow, 1 pass,
// 2 + k pass and move a new button to toolbar index k, 0xFFFFFFFF pass and move it to the
// far end (the front, or the end where the shell inserts new buttons at the front).
constexpr uint64_t kHookReplySwallow = 0;
constexpr uint64_t kHookReplyPass = 1;
constexpr uint64_t kHookReplyMoveBase = 2;
constexpr uint64_t kHookReplyFarEnd = 0xFFFFFFFF;

// Time-outs of the protocol's sends, in milliseconds.
constexpr uint32_t kForwardTimeoutMs = 15000;
constexpr uint32_t kReleaseTimeoutMs = 5000;
constexpr uint32_t kRemoteCbtTimeoutMs = 5000;
constexpr uint32_t kTrayRequestTimeoutMs = 1000;
// Delay between the release and the library leaving the shell.
constexpr uint32_t kUnloadDelayMs = 500;

}  // namespace qly
