// The flags word of an icon rule: where the icon shows, whether each place follows the
// user's default, and its special position in the tray and menu order. Plain constants so
// that every layer (stored rules, the rule engine, the pages) reads the word the same way.
#pragma once

#include <cstdint>

namespace qly {

constexpr uint32_t RF_TRAY_VISIBLE = 0x1;  // shown in the real tray (when RF_TRAY_DEFAULT is clear)
constexpr uint32_t RF_MENU_VISIBLE = 0x2;  // shown in our menu (when RF_MENU_DEFAULT is clear)
constexpr uint32_t RF_TRAY_DEFAULT = 0x4;  // tray visibility follows DefaultFlags bit 0x1
constexpr uint32_t RF_MENU_DEFAULT = 0x8;  // menu visibility follows DefaultFlags bit 0x2
constexpr unsigned kSpecialPositionShift = 8;

// Icon id of a rule that covers every icon of its process.
constexpr uint32_t ANY_ICON_ID = 0xFFFFFFFF;

// Both visibilities from the defaults and no position: such a rule says nothing, and the
// settings page deletes a rule by setting exactly this, so a save drops it.
constexpr uint32_t kRuleFlagsNoInformation = RF_TRAY_DEFAULT | RF_MENU_DEFAULT;

inline bool RuleCarriesNoInformation(uint32_t flags) {
    return flags >= 12 && flags <= 15;
}

inline uint32_t RuleSpecialPosition(uint32_t flags) {
    return flags >> kSpecialPositionShift;
}

// Effective visibility, the rule word with the defaults folded in: bit 0x1 shown in the
// real tray, bit 0x2 shown in our menu. A place that follows the default takes DefaultFlags'
// bit for it.
constexpr uint32_t kShownInTray = 0x1;
constexpr uint32_t kShownInMenu = 0x2;

inline uint32_t ResolveVisibility(uint32_t rule_flags, uint32_t default_flags) {
    const uint32_t tray =
        (rule_flags & RF_TRAY_DEFAULT) ? (default_flags & kShownInTray) : (rule_flags & RF_TRAY_VISIBLE);
    const uint32_t menu =
        (rule_flags & RF_MENU_DEFAULT) ? (default_flags & kShownInMenu) : (rule_flags & RF_MENU_VISIBLE);
    return tray | menu;
}
inline bool ShownInTray(uint32_t rule_flags, uint32_t default_flags) {
    return (ResolveVisibility(rule_flags, default_flags) & kShownInTray) != 0;
}
inline bool ShownInMenu(uint32_t rule_flags, uint32_t default_flags) {
    return (ResolveVisibility(rule_flags, default_flags) & kShownInMenu) != 0;
}

}  // namespace qly
