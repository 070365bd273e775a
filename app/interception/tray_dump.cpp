// DoDump; see tray_dump.h.
#include "app/interception/tray_dump.h"

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "app/base/scope_exit.h"
#include "app/diag/log.h"
#include "app/interception/interception_state.h"
#include "app/interception/special_tray_ops.h"
#include "app/interception/tray_dump_record.h"
#include "app/interception/tray_sort.h"
#include "app/settings/rule_engine.h"
#include "hooklib/handle_cast.h"
#include "hooklib/hook_protocol.h"
#include "hooklib/qlydll.h"

namespace qly {

namespace {

// The dumped tip (8-bit, ANSI code page) as UTF-16 for the record's tip field.
std::u16string WideTip(const PeekRecord& entry) {
    const int length = static_cast<int>(strnlen(entry.tip, sizeof entry.tip));
    if (length == 0)
        return {};
    wchar_t wide[sizeof entry.tip + 1] = {};
    const int n =
        MultiByteToWideChar(CP_ACP, 0, entry.tip, length, wide, static_cast<int>(sizeof entry.tip));
    std::u16string out;
    for (int i = 0; i < n; ++i)
        out.push_back(static_cast<char16_t>(wide[i]));
    return out;
}

// Removes a button from the real tray by the request Shell_NotifyIcon would send, marked
// so that the hook (should it already sit in the tray) lets it by unforwarded.
void DeleteFromTray(uint64_t owner, uint32_t uid) {
    const std::vector<uint8_t> record = ShellDeleteRecord(owner, uid);
    SendStoredToTray(reinterpret_cast<const TrayItem*>(record.data()), kNimDelete, true,
                     SMTO_NORMAL, kPurgeTimeoutMs);
}

using Request = std::vector<uint8_t>;

// Takes an adopted icon out of the real tray by a delete that carries its whole stored
// request: the shell keeps that as what to give back, should the program end without
// giving the icon back itself.
void HideFromTray(const Request& stored) {
    SendStoredToTray(reinterpret_cast<const TrayItem*>(stored.data()), kNimDelete, true,
                     SMTO_NORMAL, kPurgeTimeoutMs);
}

// An icon the registry knows only from a modify (sent while nobody held the tray) lacks
// what the tray shows of it: the dumped button's callback, icon and tip complete it, so
// that whatever gives it back later hands the tray an icon that answers clicks.
void CompleteFromDump(TrayItem* item, const TrayItem* dumped, TextLayout layout) {
    if ((item->uflags & kNifMessage) == 0 && dumped->callback_message != 0) {
        item->callback_message = dumped->callback_message;
        item->uflags |= kNifMessage;
    }
    if ((item->uflags & kNifIcon) == 0 && item->hicon == 0 && dumped->hicon != 0) {
        item->hicon = SpecialCopyIcon(dumped->hicon);
        if (item->hicon != 0)
            item->uflags |= kNifIcon;
    }
    if ((item->uflags & kNifTip) == 0) {
        const TailLayout& l = LayoutOf(layout);
        CopyTextField(item, dumped, l.tip, l.tip_chars, l.char_size);
        item->uflags |= kNifTip;
    }
}

// Adopts one dumped button; true when the registry gained an item. A button its rule keeps
// from the tray leaves it, and its stored request is added to `hidden`.
bool AdoptButton(const PeekRecord& entry, TextLayout layout, std::vector<Request>* hidden) {
    const bool alive = entry.owner_window != 0 && IsWindow(AsWindow(entry.owner_window));
    if (!alive) {
        DeleteFromTray(entry.owner_window, entry.uid);
        return false;
    }
    const std::vector<uint8_t> record = AssembleDumpedItem(entry, WideTip(entry), true, layout);
    bool shown = true;
    bool added = false;
    Request stored;
    {
        InterceptionGuard lock(InterceptionLock());
        TrayItem* item = find_qly(entry.owner_window, entry.uid);
        if (item == nullptr) {
            item = Registry().Insert(reinterpret_cast<const TrayItem*>(record.data()));
            added = item != nullptr;
        } else {
            CompleteFromDump(item, reinterpret_cast<const TrayItem*>(record.data()), layout);
        }
        uint32_t flags = 0;
        uint32_t validity = 0;
        EffectiveVisibility(entry.owner_window, entry.uid, &flags, &validity, item, nullptr);
        shown = (flags & kShownInTray) != 0;
        if (!shown && item != nullptr) {
            const uint8_t* b = reinterpret_cast<const uint8_t*>(item);
            stored.assign(b, b + item->total_size);
        }
    }
    if (!shown) {
        if (stored.empty()) {
            DeleteFromTray(entry.owner_window, entry.uid);
        } else {
            HideFromTray(stored);
            hidden->push_back(std::move(stored));
        }
    }
    return added;
}

}  // namespace

bool RemoteTrayRequest(uint32_t op, bool reset_count) {
    HWND tray = AsWindow(g_shell_tray_hwnd);
    if (tray == nullptr)
        return false;
    if (reset_count)
        g_qly_data_count = 0;
    // The hook in the shell acts on the next CBT event of the tray window while both marks
    // name it; they fall back whatever becomes of the send.
    ScopedMark<uint64_t> window_mark(g_hwnd_qly_cbt, g_shell_tray_hwnd, static_cast<uint64_t>(-1));
    ScopedMark<uint32_t> op_mark(g_hwnd_qly_cbt_op, op, 0);
    DWORD_PTR ignored = 0;
    const LRESULT sent =
        SendMessageTimeoutA(tray, WM_SYSCOMMAND, SC_TASKLIST, reinterpret_cast<LPARAM>(tray),
                            SMTO_NORMAL, kRemoteCbtTimeoutMs, &ignored);
    return sent != 0;
}

void DoDump() {
    if (FindSpecialWindows() == 0 || g_hhook_cbt == 0)
        return;
    size_t adopted = 0;
    // Deletes made before the hook sits in the tray pass the shell's shadow by.
    const bool hook_in_tray = g_flag_tray_aquired != 0;
    std::vector<Request> hidden;
    {
        RequestedDumpScope scope;
        std::vector<PeekRecord> dump;
        if (RemoteTrayRequest(kCbtOpDump, true))
            dump = CopyOfDump();
        if (LogEnabled())
            LogLine("DoDump returned g_qly_data_count = %08x\n",
                    static_cast<uint32_t>(dump.size()));
        TextLayout layout;
        {
            InterceptionGuard lock(InterceptionLock());
            layout = Registry().Layout();
        }
        for (const PeekRecord& entry : dump) {
            if (LogDetailEnabled())
                LogDetail("%s", DumpedButtonLine(entry).c_str());
            if (AdoptButton(entry, layout, &hidden))
                ++adopted;
        }
        // The registry holds its own icon copies now; the shell's copies go.
        RemoteTrayRequest(kCbtOpFreeDumpIcons, false);
        // The deletions changed the toolbar: plan over a fresh dump.
        dump.clear();
        if (RemoteTrayRequest(kCbtOpDump, true))
            dump = CopyOfDump();
        PlanTraySort(dump);
        RemoteTrayRequest(kCbtOpFreeDumpIcons, false);
    }
    RemoteTrayRequest(kCbtOpSubclass, true);
    // The icons hidden before the hook sat in the tray are told to the shell's shadow now,
    // by the same deletes again; the tray has nothing left to delete.
    if (!hook_in_tray && g_flag_tray_aquired != 0)
        for (const Request& stored : hidden)
            HideFromTray(stored);
    if (adopted > 0 && MainWindow() != nullptr)
        PostMessageA(MainWindow(), WM_USER_QLY_HOOK_MSG, kHookRegistryChanged, 0);
    DoSort2();
}

}  // namespace qly
