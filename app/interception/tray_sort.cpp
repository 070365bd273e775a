// DoSort2, Sort now and the move list; see tray_sort.h.
#include "app/interception/tray_sort.h"

#include "app/diag/log.h"
#include "app/interception/interception_state.h"
#include "app/settings/rule_engine.h"
#include "hooklib/hook_protocol.h"
#include "hooklib/qlydll.h"

namespace qly {

namespace {

// Lives from one plan to the DoSort2 that follows it; main thread only.
std::vector<MoveRecord> g_moves;

HWND TrayWindow() {
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(g_shell_tray_hwnd));
}

bool IsShownInTray(TrayItem* item) {
    uint32_t flags = 0;
    uint32_t validity = 0;
    EffectiveVisibility(item->hwnd, item->uid, &flags, &validity, item, nullptr);
    return (flags & kShownInTray) != 0;
}

}  // namespace

RequestedDumpScope::RequestedDumpScope() : m_saved(g_flag_dump_always) {
    g_flag_dump_always = 0;
}

RequestedDumpScope::~RequestedDumpScope() {
    g_flag_dump_always = m_saved;
}

std::vector<PeekRecord> CopyOfDump() {
    const uint32_t count = g_qly_data_count;
    const size_t n = count < kPeekRecordCount ? count : kPeekRecordCount;
    return std::vector<PeekRecord>(g_qly_data_peek, g_qly_data_peek + n);
}

bool SendTrayRequest(uint64_t code, LPARAM lparam) {
    HWND tray = TrayWindow();
    if (tray == nullptr)
        return false;
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutA(tray, WM_USER_QLY_HOOK_MSG, static_cast<WPARAM>(code), lparam,
                               SMTO_NORMAL, kTrayRequestTimeoutMs, &ignored) != 0;
}

size_t PlanTraySort(const std::vector<PeekRecord>& dump) {
    // The dump was just made on our request, and no forward dumps again before the plan.
    const uint32_t first_toolbar = g_qly_data_count_first;
    DumpSortPlan plan;
    {
        InterceptionGuard lock(InterceptionLock());
        plan = PlanSortOfDump(dump.data(), static_cast<uint32_t>(dump.size()), first_toolbar,
                              [](uint64_t hwnd, uint32_t uid, uint32_t* flags) {
                                  TrayItem* item = find_qly(hwnd, uid);
                                  if (item == nullptr)
                                      return false;
                                  uint32_t validity = 0;
                                  LookupRule(hwnd, uid, flags, &validity, item);
                                  return true;
                              });
    }
    // The table filling up is the sign that the tray may hold more buttons than it shows.
    if (dump.size() >= kPeekRecordCount && LogEnabled())
        LogLine("Sort: the tray dump is full (%d buttons); buttons beyond it keep their places\n",
                static_cast<int>(kPeekRecordCount));
    g_moves = std::move(plan.moves);
    return g_moves.size();
}

const std::vector<MoveRecord>& PlannedMoves() {
    return g_moves;
}

int DoSort2() {
    int moved = 0;
    bool registry_changed = false;
    for (const MoveRecord& m : g_moves) {
        {
            InterceptionGuard lock(InterceptionLock());
            TrayItem* a = find_qly(m.move_hwnd, m.move_uid);
            TrayItem* b = find_qly(m.before_hwnd, m.before_uid);
            if (a != nullptr && b != nullptr) {
                FollowMoveInRegistry(Registry(), a, b, IsShownInTray);
                registry_changed = true;
            }
        }
        // Sent even when the registry lost the icons meanwhile: the hook ignores a move of a
        // button it cannot find.
        g_qly_move_hwnd = m.move_hwnd;
        g_qly_move_uid = m.move_uid;
        SendTrayRequest(kHookMoveRaw, static_cast<LPARAM>(m.target));
        ++moved;
    }
    g_moves.clear();
    if (LogEnabled())
        LogLine("DoSort2 moved %04d items\n", moved);
    if (registry_changed && MainWindow() != nullptr)
        PostMessageA(MainWindow(), WM_USER_QLY_HOOK_MSG, kHookRegistryChanged, 0);
    return 1;
}

void SortNow() {
    {
        RequestedDumpScope scope;
        // A dump that does not happen must not leave an older table to be planned over.
        g_qly_data_count = 0;
        std::vector<PeekRecord> dump;
        if (SendTrayRequest(kHookDump, 0))
            dump = CopyOfDump();
        PlanTraySort(dump);
        SendTrayRequest(kHookFreeDumpIcons, 0);
    }
    DoSort2();
}

}  // namespace qly
