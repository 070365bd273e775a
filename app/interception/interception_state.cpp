// The program's registry, recent deletions, listeners and their lock; see
// interception_state.h.
#include "app/interception/interception_state.h"

#include <atomic>
#include <map>
#include <memory>

#include "app/diag/thread_guard.h"
#include "app/settings/rules_lock.h"
#include "hooklib/handle_cast.h"
#include "hooklib/qlydll.h"

namespace qly {

namespace {

class ShellIcons : public IconOps {
  public:
    // Another program's icon may not be copyable (it vanished, or the platform keeps icon
    // handles per process); the item then simply has no icon.
    uint64_t Copy(uint64_t icon) override { return SpecialCopyIcon(icon); }
    void Destroy(uint64_t icon) override { DestroyIcon(AsIcon(icon)); }
};

HWND g_main_window = nullptr;
bool g_shutting_down = false;
std::atomic<bool> g_pass_everything{false};
std::map<int, RegistryListener> g_listeners;
int g_next_listener = 1;

}  // namespace

ModelLock& InterceptionLock() {
    return RulesLock();
}

void SetPassEverything(bool pass) {
    g_pass_everything = pass;
}

bool PassEverything() {
    return g_pass_everything;
}

void InstallLockReleaseAfterFault() {
    SetGuardCleanup(
        GuardCleanup{[] { return static_cast<intptr_t>(RulesLock().HeldByThisThread()); },
                     [](intptr_t depth) { RulesLock().ReleaseDownTo(static_cast<int>(depth)); }});
}

TrayRegistry& Registry() {
    static ShellIcons icons;
    static TrayRegistry registry(icons, g_flag_WinNT ? TextLayout::kWide : TextLayout::kAnsi);
    return registry;
}

RecentDeletions& RecentDels() {
    static RecentDeletions recent([] { return static_cast<uint32_t>(GetTickCount()); });
    return recent;
}

void SetMainWindow(HWND window) {
    g_main_window = window;
}
HWND MainWindow() {
    return g_main_window;
}

int AddRegistryListener(RegistryListener listener) {
    InterceptionGuard lock(InterceptionLock());
    g_listeners.emplace(g_next_listener, std::move(listener));
    return g_next_listener++;
}

void RemoveRegistryListener(int id) {
    InterceptionGuard lock(InterceptionLock());
    g_listeners.erase(id);
}

void SetShuttingDown(bool shutting_down) {
    g_shutting_down = shutting_down;
}

size_t NotifyListeners(uint64_t changed_identity) {
    if (g_shutting_down)
        return 0;
    // Listeners read the registry (and the changed item) while it cannot change under
    // them; they only redraw our own windows, so holding the lock is short.
    InterceptionGuard lock(InterceptionLock());
    uint64_t hwnd = 0;
    uint32_t uid = 0;
    const TrayItem* changed =
        UnpackIconIdentity(changed_identity, &hwnd, &uid) ? Registry().Find(hwnd, uid) : nullptr;
    size_t called = 0;
    // A copy: a listener may remove itself.
    const std::map<int, RegistryListener> listeners = g_listeners;
    for (const auto& [id, listener] : listeners) {
        ++called;
        try {
            listener(changed);
        } catch (...) {
            // One broken listener must not keep the others from refreshing.
        }
    }
    return called;
}

TrayItem* find_qly(uint64_t hwnd, uint32_t uid, size_t* position) {
    return Registry().Find(hwnd, uid, position);
}

int InsertRecentDel(const TrayItem* item) {
    return RecentDels().Insert(item->hwnd, item->uid);
}

bool IsRecentDel(const TrayItem* item) {
    return RecentDels().IsRecent(item->hwnd, item->uid);
}

}  // namespace qly
