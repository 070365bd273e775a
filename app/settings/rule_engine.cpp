// The rule engine; see rule_engine.h.
#include "app/settings/rule_engine.h"

#include <windows.h>

#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "app/diag/process_utils.h"
#include "app/settings/icon_rule.h"
#include "app/settings/rules_lock.h"
#include "app/settings/settings_store.h"
#include "hooklib/handle_cast.h"
#include "hooklib/qlydll.h"

namespace qly {

namespace {
// Owner windows whose program name is kept at once.
constexpr size_t kKnownNamesMax = 4096;
}  // namespace

void PlatformRuleEnvironment::ThreadProcess(uint64_t window,
                                            uint32_t* process_id,
                                            uint32_t* thread_id) {
    DWORD pid = 0;
    *thread_id = GetWindowThreadProcessId(AsWindow(window), &pid);
    *process_id = pid;
}

std::string PlatformRuleEnvironment::ProcessName(uint64_t window) {
    // Every request of an icon without a rule asks for its owner's program, and finding a
    // program's file costs far more than a request (under Wine milliseconds: the other
    // process's module list is read through the server). A name found is kept for the
    // window as long as the window belongs to the same thread of the same process.
    struct Known {
        DWORD process_id;
        DWORD thread_id;
        std::string name;
    };
    static std::mutex mutex;
    static std::map<uint64_t, Known> known;
    DWORD pid = 0;
    const DWORD tid = GetWindowThreadProcessId(AsWindow(window), &pid);
    {
        std::lock_guard<std::mutex> lock(mutex);
        const auto at = known.find(window);
        if (at != known.end() && tid != 0 && at->second.process_id == pid &&
            at->second.thread_id == tid)
            return at->second.name;
    }
    // A path of any length: the name is cut afterwards, never overflowing a buffer.
    char path[MAX_PATH + 1] = {};
    if (!GetWindowProgramPath(AsWindow(window), path, sizeof path, nullptr, nullptr))
        return std::string();
    std::string name = ExeNameOfPath(path);
    if (tid != 0 && !name.empty()) {
        std::lock_guard<std::mutex> lock(mutex);
        if (known.size() >= kKnownNamesMax)
            known.clear();  // windows come and go; the next requests fill it again
        known[window] = Known{pid, tid, name};
    }
    return name;
}

uint32_t PlatformRuleEnvironment::OwnProcessId() {
    return GetCurrentProcessId();
}

uint64_t PlatformRuleEnvironment::CopyIcon(uint64_t icon) {
    return SpecialCopyIcon(icon);
}

std::vector<std::vector<uint8_t>> PlatformRuleEnvironment::StoredRequests(
    const std::function<bool(const TrayItem&)>&) {
    return {};
}

void PlatformRuleEnvironment::SendToTray(const TrayItem*, uint32_t) {}

namespace {

PlatformRuleEnvironment g_platform;
RuleEnvironment* g_default_env = &g_platform;
RuleEnvironment* g_env = &g_platform;
RuleCache g_cache;

void CopyNameInto(TrayItem* item, const std::string& name) {
    if (item == nullptr || item->exe_name[0] != '\0')
        return;
    const size_t n = name.size() < kExeNameMax ? name.size() : kExeNameMax;
    std::memcpy(item->exe_name, name.data(), n);
    item->exe_name[n] = '\0';
}

IconRule* FirstRuleFor(const std::string& name, uint32_t icon_id) {
    for (IconRule& rule : g_rule_list)
        if (SameProcessName(name, rule.process_name) &&
            (rule.icon_id == icon_id || rule.icon_id == ANY_ICON_ID))
            return &rule;
    return nullptr;
}

CachedRule CacheCopy(const IconRule& rule) {
    CachedRule c;
    c.window = rule.window;
    c.process_id = rule.process_id;
    c.thread_id = rule.thread_id;
    c.process_name = rule.process_name;
    c.icon_id = rule.icon_id;
    c.flags = rule.flags;
    return c;
}

// Sends copies of stored requests once the lock is let go.
void SendCopies(const std::vector<std::vector<uint8_t>>& copies, uint32_t command) {
    for (const std::vector<uint8_t>& copy : copies)
        g_env->SendToTray(reinterpret_cast<const TrayItem*>(copy.data()), command);
}

}  // namespace

void InstallDefaultRuleEnvironment(RuleEnvironment* environment) {
    const bool was_default = g_env == g_default_env;
    g_default_env = environment ? environment : &g_platform;
    if (was_default)
        g_env = g_default_env;
}

void SetRuleEnvironment(RuleEnvironment* environment) {
    g_env = environment ? environment : g_default_env;
}

RuleCache& TheRuleCache() {
    return g_cache;
}

void ConnectRuleCacheToSettings() {
    SetRuleDroppedHandler([](const IconRule& rule) {
        RulesGuard lock(RulesLock());
        g_cache.EraseRule(rule.process_name, rule.icon_id);
    });
}

int LookupRule(uint64_t window,
               uint32_t icon_id,
               uint32_t* flags,
               uint32_t* validity,
               TrayItem* item) {
    RulesGuard lock(RulesLock());
    uint32_t pid = 0, tid = 0;
    g_env->ThreadProcess(window, &pid, &tid);

    if (const CachedRule* cached = g_cache.Find(window, icon_id)) {
        if (cached->process_id == pid && cached->thread_id == tid) {
            *flags = cached->flags;
            *validity = kRuleValid;
            CopyNameInto(item, cached->process_name);
            return kRuleDecided;
        }
        // The window handle now belongs to someone else: decide afresh.
        g_cache.Erase(window, icon_id);
    }

    const std::string name = g_env->ProcessName(window);
    if (name.empty()) {
        *flags = g_settings.default_flags | kRuleFlagsNoInformation;
        *validity = 0;
        return kRuleUnnamed;
    }
    CopyNameInto(item, name);

    IconRule* rule = FirstRuleFor(name, icon_id);
    if (rule == nullptr) {
        if (pid != g_env->OwnProcessId()) {
            *flags = g_settings.default_flags | kRuleFlagsNoInformation;
            *validity = kRuleValid;
            return kRuleDecided;
        }
        *flags = icon_id == 0 ? kOwnMainIconFlags : (RF_TRAY_VISIBLE | RF_MENU_VISIBLE);
        *validity = icon_id == 0 ? kRuleValid : 0;
        return kRuleOwnProcess;
    }

    CachedRule copy = CacheCopy(*rule);
    copy.process_id = pid;
    copy.thread_id = tid;
    if (item && item->hicon) {
        // Keep the last icon seen; a copy that fails (the owner's icon is gone, or not
        // readable from here) leaves the rule's old icon in place.
        const uint64_t fresh = g_env->CopyIcon(item->hicon);
        if (fresh)
            rule->icon.reset(AsIcon(fresh));
    }
    g_cache.InsertIfAbsent(copy.window, copy.icon_id, copy);
    if (item && rule->icon_id == ANY_ICON_ID)
        item->item_flags |= kTrayItemAnyIconRule;
    *flags = rule->flags;
    *validity = kRuleValid;
    return kRuleDecided;
}

int EffectiveVisibility(uint64_t window,
                        uint32_t icon_id,
                        uint32_t* flags,
                        uint32_t* validity,
                        TrayItem* item,
                        uint32_t* position) {
    const int result = LookupRule(window, icon_id, flags, validity, item);
    if (position)
        *position = RuleSpecialPosition(*flags);
    *flags = ResolveVisibility(*flags, g_settings.default_flags);
    return result;
}

int SetRule(uint64_t window, uint32_t icon_id, uint32_t flags, TrayItem* item) {
    std::vector<std::vector<uint8_t>> copies;
    uint32_t command = kNimAdd;
    {
        RulesGuard lock(RulesLock());
        g_cache.Erase(window, icon_id);
        const std::string name = g_env->ProcessName(window);
        if (name.empty())
            return 0;

        CachedRule record;
        record.window = window;
        g_env->ThreadProcess(window, &record.process_id, &record.thread_id);
        record.process_name = name;
        record.icon_id = icon_id;
        record.flags = flags;
        uint32_t old_flags = g_settings.default_flags;

        if (IconRule* rule = FirstRuleFor(name, icon_id)) {
            old_flags = rule->flags;
            rule->flags = flags;
            if (item)
                rule->icon_id = (item->item_flags & kTrayItemAnyIconRule) ? ANY_ICON_ID : icon_id;
        } else {
            IconRule added;
            added.window = window;
            added.process_id = record.process_id;
            added.thread_id = record.thread_id;
            std::memcpy(added.process_name, name.data(), name.size());
            added.icon_id = icon_id;
            added.flags = flags;
            if (item) {
                if (item->hicon)
                    added.icon.reset(AsIcon(g_env->CopyIcon(item->hicon)));
                if (item->item_flags & kTrayItemAnyIconRule)
                    added.icon_id = ANY_ICON_ID;
            }
            record.icon_id = added.icon_id;
            g_rule_list.push_back(std::move(added));
        }
        g_cache.InsertIfAbsent(window, record.icon_id, record);

        const bool was = ShownInTray(old_flags, g_settings.default_flags);
        if (was != ShownInTray(flags, g_settings.default_flags)) {
            command = was ? kNimDelete : kNimAdd;
            copies = g_env->StoredRequests([&](const TrayItem& stored) {
                return stored.uid == icon_id && SameProcessName(name, stored.exe_name);
            });
        }
    }
    SendCopies(copies, command);
    return 1;
}

void ApplyDefaultTrayChange(uint32_t old_tray_bit) {
    std::vector<std::vector<uint8_t>> copies;
    {
        RulesGuard lock(RulesLock());
        copies = g_env->StoredRequests([](const TrayItem& stored) {
            uint32_t flags = 0, validity = 0;
            LookupRule(stored.hwnd, stored.uid, &flags, &validity, nullptr);
            return (flags & RF_TRAY_DEFAULT) != 0;
        });
    }
    SendCopies(copies, old_tray_bit ? kNimDelete : kNimAdd);
}

}  // namespace qly
