// The rule engine: how every icon is shown (real tray, our menu) and where it stands in the
// order, decided from the user's rules, the cache of rules applied to live icons, and the
// DefaultFlags setting; creating or changing the rule of a live icon; and re-applying the
// default when the user changes it. Changes of tray visibility are replayed to the real
// tray at once. Callers hold the interception lock for lookups (the receiver asks from
// its own thread); SetRule and ApplyDefaultTrayChange take it themselves and send after
// letting it go.
#pragma once

#include <cstdint>
#include <string>

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

// What the engine needs from the platform, replaceable so tests can give windows any
// owner, name and process, and watch what reaches the tray.
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
    // Replays a stored icon to the real tray with `command`, passing interception by.
    virtual void SendToTray(const TrayItem* item, uint32_t command) = 0;
};
// Null puts the platform's own environment back.
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
