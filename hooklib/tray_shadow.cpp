// Inside the shell: the shadow of the icons the main program keeps from the tray, fed by
// the tray thread from every request it sees, and the thread that waits for the program's
// process. When the program ends without giving the icons back (killed, crashed), the
// thread posts to the tray window, and the tray thread gives every kept icon back itself,
// or hands them to a new run of the program as forwards. Everything here but the waiting
// thread runs on the tray thread, so the shadow needs no lock.
#include <windows.h>

#include <cstring>
#include <new>

#include "hooklib/forward_record.h"
#include "hooklib/handle_cast.h"
#include "hooklib/hook_protocol.h"
#include "hooklib/process_state.h"
#include "hooklib/qlydll.h"
#include "hooklib/shadow_store.h"
#include "hooklib/shared_state.h"
#include "hooklib/tray_item.h"
#include "hooklib/window_records.h"

namespace qly {
namespace {

void DestroyIconCopy(uint64_t icon) {
    DestroyIcon(AsIcon(icon));
}

// Made on first use and never destroyed: nothing of it may run from the loader's detach
// of a shell that is ending. The release empties it.
alignas(ShadowStore) unsigned char g_shadow_memory[sizeof(ShadowStore)];
ShadowStore* g_shadow = nullptr;

ShadowStore& Shadow() {
    if (g_shadow == nullptr)
        g_shadow = new (g_shadow_memory) ShadowStore(DestroyIconCopy);
    return *g_shadow;
}

// The process being watched (as the shared cells named it) and the event that ends the
// watching thread; the thread holds its own handles.
uint32_t g_watched_id = 0;
uint64_t g_watched_start = 0;
HANDLE g_watch_stop = nullptr;

struct WatchOrder {
    HANDLE process;
    HANDLE stop;
    HWND tray;
    HMODULE module;  // keeps the library loaded while the thread runs
};

uint32_t RequestU32(const void* request, size_t size, size_t offset) {
    return ShellRequestU32(request, size, offset);
}

// The shell's own copy of a request's icon: the owner may destroy its handle as soon as
// the call returns, and a copy the main program made dies with the program.
uint64_t CopyRequestIcon(const void* request, size_t size) {
    if ((RequestU32(request, size, kShellRequestFlags) & kNifIcon) == 0)
        return 0;
    const uint32_t handle = RequestU32(request, size, kShellRequestIcon);
    if (handle == 0)
        return 0;
    return AsNumber(CopyIcon(AsIcon(handle)));
}

DWORD WINAPI WaitForMainProgram(LPVOID parameter) {
    const WatchOrder order = *static_cast<WatchOrder*>(parameter);
    HeapFree(GetProcessHeap(), 0, parameter);
    HANDLE both[2] = {order.stop, order.process};
    if (WaitForMultipleObjects(2, both, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
        PostMessageA(order.tray, WM_USER_QLY_HOOK_MSG, kHookReturnShadow, 0);
        // The windows it took to the tray come back too. This thread, not the tray's: a
        // window whose program hangs must not stop the tray.
        RestoreRecordedWindows();
    }
    CloseHandle(order.process);
    CloseHandle(order.stop);
    FreeLibraryAndExitThread(order.module, 0);
}

void StopWatching() {
    if (g_watch_stop != nullptr) {
        SetEvent(g_watch_stop);
        CloseHandle(g_watch_stop);
        g_watch_stop = nullptr;
    }
    g_watched_id = 0;
    g_watched_start = 0;
}

// Starts the thread that waits for `process` (its handle goes to the thread). False when
// it could not be started; the shadow then goes back at the first request that finds the
// program gone.
bool StartWatching(HANDLE process, HWND tray) {
    HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread_stop = nullptr;
    HMODULE module = nullptr;
    auto* order = static_cast<WatchOrder*>(HeapAlloc(GetProcessHeap(), 0, sizeof(WatchOrder)));
    const bool prepared =
        stop != nullptr && order != nullptr &&
        DuplicateHandle(GetCurrentProcess(), stop, GetCurrentProcess(), &thread_stop, 0, FALSE,
                        DUPLICATE_SAME_ACCESS) &&
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                           reinterpret_cast<LPCWSTR>(reinterpret_cast<void*>(WaitForMainProgram)),
                           &module);
    HANDLE thread = nullptr;
    if (prepared) {
        *order = WatchOrder{process, thread_stop, tray, module};
        thread = CreateThread(nullptr, 4096, WaitForMainProgram, order,
                              STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    }
    if (thread == nullptr) {
        if (module != nullptr)
            FreeLibrary(module);  // the tray's own reference still holds the code
        if (thread_stop != nullptr)
            CloseHandle(thread_stop);
        if (stop != nullptr)
            CloseHandle(stop);
        if (order != nullptr)
            HeapFree(GetProcessHeap(), 0, order);
        CloseHandle(process);
        return false;
    }
    CloseHandle(thread);
    g_watch_stop = stop;
    return true;
}

// Hands one request to the tray, through the program when one listens (it rules on it
// again), else straight to the tray's own procedure, under the same guard as a forward.
void Deliver(HWND tray, uint64_t sender, uint8_t* request, size_t size) {
    COPYDATASTRUCT cds;
    cds.dwData = kShellNotifyCopyDataKind;
    cds.cbData = static_cast<DWORD>(size);
    cds.lpData = request;
    if (MainProgramListens())
        ForwardNotifyRequest(tray, static_cast<WPARAM>(sender), reinterpret_cast<LPARAM>(&cds));
    else
        CallTrayProcedure(tray, WM_COPYDATA, static_cast<WPARAM>(sender),
                          reinterpret_cast<LPARAM>(&cds));
}

void ReturnEntry(HWND tray, const ShadowEntry& entry) {
    // It came from other processes: checked again as any request is; and an icon whose
    // owner has gone since is not brought back.
    if (entry.size > kMaxNotifyRequest || !IsWindow(AsWindow(entry.owner)))
        return;
    alignas(8) uint8_t request[kMaxNotifyRequest];
    MakeGiveBackRequest(entry, request);
    if (!IsForwardableNotifyRequest(kShellNotifyCopyDataKind, request, entry.size))
        return;
    Deliver(tray, entry.sender, request, entry.size);
    if (entry.version != 0 && entry.size >= kShellRequestVersion + sizeof(uint32_t)) {
        const uint32_t command = kNimSetVersion;
        std::memcpy(request + kShellRequestCommand, &command, sizeof command);
        std::memcpy(request + kShellRequestVersion, &entry.version, sizeof entry.version);
        Deliver(tray, entry.sender, request, entry.size);
    }
}

}  // namespace

void ShadowOwnRequest(WPARAM sender, const void* request, size_t size) {
    const uint32_t owner = RequestU32(request, size, kShellRequestOwner);
    const uint32_t uid = RequestU32(request, size, kShellRequestUid);
    if (!MainProgramListens()) {
        // A mark left behind by a program that died in the middle of a replay: the request
        // is the owner's own, and the tray gets it.
        Shadow().Forget(owner, uid);
        return;
    }
    switch (RequestU32(request, size, kShellRequestCommand)) {
        case kNimAdd:
            Shadow().Forget(owner, uid);
            break;
        case kNimDelete:
            // The program takes away an icon it keeps from now on (a rule, the takeover of
            // a running tray). A bare delete leaves what was kept; the delete of an owner
            // that has gone (the purge of dead icons) keeps nothing.
            if (IsWindow(AsWindow(owner)))
                Shadow().Keep(request, size, static_cast<uint64_t>(sender),
                              CopyRequestIcon(request, size));
            else
                Shadow().Forget(owner, uid);
            break;
        default:
            break;
    }
}

void ShadowAnsweredRequest(WPARAM sender, const void* request, size_t size, bool swallowed) {
    const uint32_t owner = RequestU32(request, size, kShellRequestOwner);
    const uint32_t uid = RequestU32(request, size, kShellRequestUid);
    const uint32_t command = RequestU32(request, size, kShellRequestCommand);
    if (command == kNimDelete) {
        Shadow().Forget(owner, uid);  // its owner took it away: nothing to give back
        return;
    }
    if (command != kNimAdd && command != kNimModify && command != kNimSetVersion)
        return;
    if (!swallowed) {
        Shadow().Forget(owner, uid);  // passed on: the tray has it now
        return;
    }
    if (command == kNimAdd)
        Shadow().Keep(request, size, static_cast<uint64_t>(sender), CopyRequestIcon(request, size));
    else if (command == kNimModify && Shadow().Contains(owner, uid))
        Shadow().Update(request, size, CopyRequestIcon(request, size));
    else if (command == kNimSetVersion)
        Shadow().SetVersion(owner, uid, RequestU32(request, size, kShellRequestVersion));
}

void ShadowUnansweredRequest(WPARAM, const void* request, size_t size) {
    const uint32_t owner = RequestU32(request, size, kShellRequestOwner);
    const uint32_t uid = RequestU32(request, size, kShellRequestUid);
    switch (RequestU32(request, size, kShellRequestCommand)) {
        case kNimAdd:     // it reaches the tray itself
        case kNimDelete:  // gone for good
            Shadow().Forget(owner, uid);
            break;
        case kNimModify:
            if (Shadow().Contains(owner, uid))
                Shadow().Update(request, size, CopyRequestIcon(request, size));
            break;
        case kNimSetVersion:
            Shadow().SetVersion(owner, uid, RequestU32(request, size, kShellRequestVersion));
            break;
        default:
            break;
    }
}

bool MainProgramListens() {
    HWND receiver = AsWindow(g_receiver_hwnd);
    if (receiver == nullptr || !IsWindow(receiver))
        return false;
    DWORD process = 0;
    GetWindowThreadProcessId(receiver, &process);
    return g_receiver_process_id == 0 || process == g_receiver_process_id;
}

LRESULT ReturnShadow(HWND tray) {
    if (g_shadow == nullptr || g_shadow->Count() == 0)
        return 0;
    // Out of the store before the first call into the tray: whatever the tray does, a
    // fault there costs what is left of these, never a shadow half taken apart.
    ShadowEntry* entry = Shadow().TakeAll();
    while (entry != nullptr) {
        ShadowEntry* next = entry->newer;
        ReturnEntry(tray, *entry);
        Shadow().Free(entry);
        entry = next;
    }
    return 0;
}

void WatchMainProgram(HWND tray) {
    const uint32_t id = g_receiver_process_id;
    const uint64_t start = g_receiver_process_start;
    if (id == g_watched_id && start == g_watched_start)
        return;
    StopWatching();
    g_watched_id = id;
    g_watched_start = start;
    if (id == 0)
        return;
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
    bool gone = process == nullptr && GetLastError() != ERROR_ACCESS_DENIED;
    if (process != nullptr && start != 0) {
        // Ids are handed out again: a process with this id that started later is not it.
        const uint64_t started = ProcessStartTime(process);
        gone = started != 0 && started != start;
    }
    if (gone || Shadow().Count() > 0) {
        // Gone already, or a new run took the receiver over while icons of the earlier one
        // are still kept: either way they go back now (to the new run as forwards).
        PostMessageA(tray, WM_USER_QLY_HOOK_MSG, kHookReturnShadow, 0);
    }
    if (process == nullptr)
        return;
    if (gone) {
        CloseHandle(process);
        return;
    }
    StartWatching(process, tray);
}

void ForgetShadow() {
    StopWatching();
    if (g_shadow != nullptr)
        g_shadow->Clear();
}

}  // namespace qly
