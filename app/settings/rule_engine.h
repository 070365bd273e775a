// The rule engine: how every icon is shown (real tray, our menu) and where it stands in the
// order, decided from the user's rules, the cache of rules applied to live icons, and the
// DefaultFlags setting; creating or changing the rule of a live icon; and re-applying the
// default when the user changes it. Changes of tray visibility are replayed to the real
// tray at once. Every entry takes RulesLock() itself (the receiver asks from its own
// thread); SetRule and ApplyDefaultTrayChange send only after letting it go.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/settings/rule_cache.h"
#include "hooklib/tray_item.h"

namespace qly {

// Result codes of LookupRule.
constexpr int kRuleDecided = 1;     // by the cache, a rule or the defaults
constexpr int kRuleOwnProcess = 2;  // an icon of our own process without a rule
constexpr int kRuleUnnamed = 3;     // the owner process could not be named
// Validity word.
constexpr uint32_t kRuleValid = 3;
// Our own main icon without a rule: tray and menu, special position 1.
constexpr uint32_t kOwnMainIconFlags = 0x103;

// What the engine needs from outside: the facts of the platform about a window (owner
// process, program name, icon copies), and the icons the interception side keeps (copies
// of their stored requests, and a way to send such a request to the real tray). The
// engine never reaches into the interception side itself; the interception side installs
// an environment that knows its registry when it starts. Tests give windows any owner,
// name and process, and watch what reaches the tray.
class RuleEnvironment {
  public:
    virtual ~RuleEnvironment() = default;
    // Process and thread of a window (0, 0 when it does not exist).
    virtual void ThreadProcess(uint64_t window, uint32_t* process_id, uint32_t* thread_id) = 0;
    // Executable base name of the window's process, at most kExeNameMax characters;
    // empty when it cannot be determined.
    virtual std::string ProcessName(uint64_t window) = 0;
    virtual uint32_t OwnProcessId() = 0;
    // A private copy of an icon, or 0.
    virtual uint64_t CopyIcon(uint64_t icon) = 0;
    // Byte copies of the stored requests of every registered icon that `wanted` accepts,
    // in registry order. Called with RulesLock() held.
    virtual std::vector<std::vector<uint8_t>> StoredRequests(
        const std::function<bool(const TrayItem&)>& wanted) = 0;
    // Replays a stored request to the real tray with `command`, passing interception by.
    // Called after RulesLock() was let go: the tray may be waiting for our receiver.
    virtual void SendToTray(const TrayItem* item, uint32_t command) = 0;
};

// The platform's facts about windows, with no icons of its own: the environment until the
// interception side installs one that knows its registry.
class PlatformRuleEnvironment : public RuleEnvironment {
  public:
    void ThreadProcess(uint64_t window, uint32_t* process_id, uint32_t* thread_id) override;
    std::string ProcessName(uint64_t window) override;
    uint32_t OwnProcessId() override;
    uint64_t CopyIcon(uint64_t icon) override;
    std::vector<std::vector<uint8_t>> StoredRequests(
        const std::function<bool(const TrayItem&)>& wanted) override;
    void SendToTray(const TrayItem* item, uint32_t command) override;
};

// The environment the engine returns to when a test lets go of its own (null: the
// platform's without icons).
void InstallDefaultRuleEnvironment(RuleEnvironment* environment);
// Replaces the environment for a while; null puts the default back.
void SetRuleEnvironment(RuleEnvironment* environment);

RuleCache& TheRuleCache();
// Makes the settings store's save forget cached copies of the rules it drops.
void ConnectRuleCacheToSettings();

int LookupRule(uint64_t window,
               uint32_t icon_id,
               uint32_t* flags,
               uint32_t* validity,
               TrayItem* item);
// As LookupRule, with the visibility resolved: bit 0x1 tray, bit 0x2 menu.
int EffectiveVisibility(uint64_t window,
                        uint32_t icon_id,
                        uint32_t* flags,
                        uint32_t* validity,
                        TrayItem* item,
                        uint32_t* position);
// 1 when done, 0 when the window's process cannot be named.
int SetRule(uint64_t window, uint32_t icon_id, uint32_t flags, TrayItem* item);
// Before DefaultFlags' tray bit changes from `old_tray_bit`: removes or re-adds every
// registered icon whose tray visibility follows the default.
void ApplyDefaultTrayChange(uint32_t old_tray_bit);

}  // namespace qly
