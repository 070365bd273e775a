// Replays and own icons; see special_tray_ops.h.
#include "app/interception/special_tray_ops.h"

#include <shellapi.h>

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "app/base/scope_exit.h"
#include "app/base/unique_handle.h"
#include "app/diag/log.h"
#include "app/interception/copy_data_handler.h"
#include "app/interception/interception_state.h"
#include "app/interception/tray_record.h"
#include "app/settings/rule_engine.h"
#include "app/settings/settings_store.h"
#include "hooklib/handle_cast.h"
#include "hooklib/hook_protocol.h"
#include "hooklib/qlydll.h"
#include "hooklib/shell_names.h"

namespace qly {

namespace {

using Bytes = std::vector<uint8_t>;

const TrayItem* AsItem(const Bytes& b) {
    return reinterpret_cast<const TrayItem*>(b.data());
}

Bytes CopyOf(const TrayItem* item) {
    const uint8_t* b = reinterpret_cast<const uint8_t*>(item);
    return Bytes(b, b + item->total_size);
}

struct OwnIcon {
    HWND window = nullptr;
    std::string tip;
    uint64_t icon = 0;
    bool icon_is_handle = false;
};
OwnIcon g_own;

// Arguments of a TrayAdd that did not reach the registry, owned by its retry thread.
struct TrayAddRetry {
    HWND window = nullptr;
    UINT uid = 0;
    std::string tip;
    bool has_tip = false;
    uint64_t icon = 0;
    DWORD command = 0;
    UINT callback_message = 0;
    UINT reserved = 0;
    bool icon_is_handle = false;
};

// At most one retry waits per icon: a later TrayAdd that misses too only brings the
// waiting retry up to date, so that it adds what the program asked for last.
std::mutex g_retry_lock;
std::map<std::pair<HWND, UINT>, TrayAddRetry> g_retries;

DWORD WINAPI TrayAddRetryThread(LPVOID parameter) {
    const std::pair<HWND, UINT> key = *static_cast<std::pair<HWND, UINT>*>(parameter);
    delete static_cast<std::pair<HWND, UINT>*>(parameter);
    for (int i = 0; i < 100 && FindWindowA(kShellTrayClass, nullptr) == nullptr; ++i)
        Sleep(200);
    TrayAddRetry r;
    {
        std::lock_guard<std::mutex> hold(g_retry_lock);
        auto it = g_retries.find(key);
        if (it == g_retries.end())
            return 0;
        r = std::move(it->second);
        g_retries.erase(it);
    }
    NotifyIconCall(r.window, r.uid, r.has_tip ? r.tip.c_str() : nullptr, r.icon, r.command,
                   r.callback_message, r.reserved, r.icon_is_handle);
    return 0;
}

}  // namespace

const AnsiCodePage& SystemCodePage() {
    static const AnsiCodePage cp{
        [](const char16_t* units, size_t count) {
            char out[8];
            BOOL lossy = FALSE;
            const int n = WideCharToMultiByte(
                CP_ACP, WC_NO_BEST_FIT_CHARS, reinterpret_cast<const wchar_t*>(units),
                static_cast<int>(count), out, sizeof out, nullptr, &lossy);
            return n <= 0 || lossy ? std::string() : std::string(out, static_cast<size_t>(n));
        },
        [](uint8_t byte) { return IsDBCSLeadByte(byte) != FALSE; }};
    return cp;
}

void SendStoredToTray(const TrayItem* item,
                      uint32_t command,
                      bool pass_through,
                      UINT flags,
                      UINT timeout_ms) {
    const Bytes request = ShellRequestOf(item, command);
    if (request.empty())
        return;
    COPYDATASTRUCT cds;
    cds.dwData = item->copy_data_kind;
    cds.cbData = static_cast<DWORD>(request.size());
    cds.lpData = const_cast<uint8_t*>(request.data());
    // With the mark naming the owner, the hook lets this request by unforwarded.
    ScopedMark<uint64_t> mark(g_special_tray_op, pass_through ? item->hwnd : 0, 0);
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(AsWindow(g_shell_tray_hwnd), WM_COPYDATA,
                        static_cast<WPARAM>(item->sender_window), reinterpret_cast<LPARAM>(&cds),
                        flags, timeout_ms, &ignored);
}

size_t PurgeDeadItems(bool remove) {
    std::vector<Bytes> dead;
    size_t walked = 0;
    // Each owner is asked once a pass, however many icons it has: the pass holds the lock
    // the forwards wait for, and under Wine every question about another program's window
    // is a trip to the server.
    std::map<uint64_t, bool> alive;
    {
        InterceptionGuard lock(InterceptionLock());
        for (TrayItem* item : Registry().Items()) {
            ++walked;
            if (!remove)
                continue;
            if (item->hwnd != 0) {
                const auto [known, fresh] = alive.try_emplace(item->hwnd, false);
                if (fresh)
                    known->second = IsWindow(AsWindow(item->hwnd)) != FALSE;
                if (known->second)
                    continue;
            }
            dead.push_back(CopyOf(item));
            Registry().Remove(item);
        }
    }
    for (const Bytes& b : dead)
        SendStoredToTray(AsItem(b), kNimDelete, true, SMTO_BLOCK, kPurgeTimeoutMs);
    return walked;
}

size_t PurgeRecentDeletions() {
    InterceptionGuard lock(InterceptionLock());
    return RecentDels().Purge();
}

void SetOwnIcon(HWND window, const std::string& tip, uint64_t icon, bool icon_is_handle) {
    g_own = OwnIcon{window, tip, icon, icon_is_handle};
}

size_t ReplayAllToTray(bool own_only) {
    TrayAdd(g_own.window, 0, g_own.tip.c_str(), g_own.icon, NIM_ADD, kOwnCallbackMessage, 0,
            g_own.icon_is_handle);
    if (own_only)
        return 1;
    std::vector<Bytes> all;
    {
        InterceptionGuard lock(InterceptionLock());
        all = Registry().Snapshot();
    }
    // Through interception: the hook forwards each one and the rules decide again.
    for (const Bytes& b : all)
        SendStoredToTray(AsItem(b), kNimAdd, false, SMTO_NORMAL, kReplayTimeoutMs);
    return 1 + all.size();
}

size_t ReleaseAllItems() {
    std::vector<Bytes> hidden;
    size_t walked = 0;
    {
        InterceptionGuard lock(InterceptionLock());
        // From here on the receiver passes every request: an icon added or changed while
        // the hidden ones go back must not be swallowed for good.
        SetPassEverything(true);
        for (TrayItem* item : Registry().Items()) {
            ++walked;
            uint32_t flags = 0, validity = 0;
            LookupRule(item->hwnd, item->uid, &flags, &validity, nullptr);
            if (!ShownInTray(flags, g_settings.default_flags))
                hidden.push_back(CopyOf(item));
        }
        // The icons copied above now belong to the copies: forget the records without
        // destroying them, the tray is about to show them.
        for (TrayItem* item : Registry().Items()) {
            bool handed_on = false;
            for (Bytes& b : hidden)
                if (reinterpret_cast<TrayItem*>(b.data())->hwnd == item->hwnd &&
                    reinterpret_cast<TrayItem*>(b.data())->uid == item->uid)
                    handed_on = true;
            if (handed_on)
                item->hicon = 0;
        }
        Registry().Clear();
    }
    for (const Bytes& b : hidden) {
        const TrayItem* item = AsItem(b);
        if (item->item_flags & kTrayItemMerged) {
            // Assembled from several requests or from the dump: there is no request of the
            // owner to replay, so a fresh one is made from what we know.
            const std::vector<char> tip = TipText(item, Registry().Layout(), 63, &SystemCodePage());
            ScopedMark<uint64_t> mark(g_special_tray_op, item->hwnd, 0);
            NotifyIconCall(AsWindow(item->hwnd), item->uid, tip.data(), item->hicon, NIM_ADD,
                           item->callback_message, 0, true);
        } else {
            SendStoredToTray(item, kNimAdd, true, SMTO_NORMAL, kReplayTimeoutMs);
        }
        if (item->hicon)
            DestroyIcon(AsIcon(item->hicon));
    }
    return walked;
}

size_t ReplayToWindow(HWND target) {
    std::vector<Bytes> all;
    {
        InterceptionGuard lock(InterceptionLock());
        all = Registry().Snapshot();
    }
    for (const Bytes& b : all) {
        Bytes forward = ForwardOf(AsItem(b), kNimAdd);
        COPYDATASTRUCT cds;
        cds.dwData = ForwardTag;
        cds.cbData = static_cast<DWORD>(forward.size());
        cds.lpData = forward.data();
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA(target, WM_COPYDATA, static_cast<WPARAM>(g_shell_tray_hwnd),
                            reinterpret_cast<LPARAM>(&cds), SMTO_BLOCK, kForwardTimeoutMs,
                            &ignored);
    }
    return all.size();
}

BOOL NotifyIconCall(HWND window,
                    UINT uid,
                    const char* tip,
                    uint64_t icon,
                    DWORD command,
                    UINT callback_message,
                    UINT /*reserved*/,
                    bool icon_is_handle) {
    NOTIFYICONDATAA data;
    std::memset(&data, 0, sizeof data);
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = window;
    data.uID = uid;
    data.uCallbackMessage = callback_message;
    data.uFlags = NIF_MESSAGE;
    if (icon != 0) {
        data.uFlags |= NIF_ICON;
        data.hIcon = icon_is_handle
                         ? reinterpret_cast<HICON>(static_cast<uintptr_t>(icon))
                         : static_cast<HICON>(LoadImageA(
                               GetModuleHandleA(nullptr), MAKEINTRESOURCEA(icon & 0xFFFF),
                               IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
    }
    if (tip) {
        data.uFlags |= NIF_TIP;
        // The first version of the structure holds 63 characters and the terminator.
        std::strncpy(data.szTip, tip, 63);
        data.szTip[63] = '\0';
    }
    return Shell_NotifyIconA(command, &data);
}

BOOL NotifyIconDelete(HWND window, UINT uid) {
    NOTIFYICONDATAA data;
    std::memset(&data, 0, sizeof data);
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = window;
    data.uID = uid;
    return Shell_NotifyIconA(NIM_DELETE, &data);
}

BOOL TrayAdd(HWND window,
             UINT uid,
             const char* tip,
             uint64_t icon,
             DWORD command,
             UINT callback_message,
             UINT reserved,
             bool icon_is_handle) {
    const BOOL result =
        NotifyIconCall(window, uid, tip, icon, command, callback_message, reserved, icon_is_handle);
    const TrayItem* found = nullptr;
    {
        InterceptionGuard lock(InterceptionLock());
        found = find_qly(AsNumber(window), uid);
    }
    if (LogEnabled())
        LogLine("TrayAdd returned %01d and find_qly returned %08x\n", result,
                static_cast<unsigned>(reinterpret_cast<uintptr_t>(found)));
    if (found == nullptr) {
        TrayAddRetry retry;
        retry.window = window;
        retry.uid = uid;
        retry.has_tip = tip != nullptr;
        retry.tip = tip ? tip : "";
        retry.icon = icon;
        retry.icon_is_handle = icon_is_handle;
        if (icon != 0 && !icon_is_handle) {
            retry.icon =
                AsNumber(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(icon & 0xFFFF),
                                    IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
            retry.icon_is_handle = true;
        }
        retry.command = command;
        retry.callback_message = callback_message;
        retry.reserved = reserved;
        const std::pair<HWND, UINT> key(window, uid);
        std::lock_guard<std::mutex> hold(g_retry_lock);
        const bool waiting = g_retries.count(key) != 0;
        g_retries[key] = std::move(retry);
        if (!waiting) {
            auto* parameter = new std::pair<HWND, UINT>(key);
            UniqueKernelHandle thread(CreateThread(nullptr, 4096, TrayAddRetryThread, parameter,
                                                   STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
            if (!thread) {
                delete parameter;
                g_retries.erase(key);
            }
        }
    }
    return result;
}

}  // namespace qly
