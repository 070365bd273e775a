// The Tray Programs page's decisions that need no window: which rows the icon list shows and
// in which order (live icons, then the stored rules whose program is not running), the row
// texts with their markers, the two visibility lists and the flag bits behind them, what
// the special-position controls do (target, swap partner, the one-place tray move, the
// re-sort), and which detail controls are enabled. Plain C++; tray_programs_page.cpp feeds
// it the registry, the rules and the settings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qly {

// Row texts are cut to this many characters.
constexpr size_t kRowTextMax = 259;
// The marker in front of a stored rule whose program is not running.
inline constexpr char kOfflineMarker[] = " ---X--- ";
// The marker in front of a live icon that is special (merged, hidden by its owner, or of a
// notify-data version the hook names); its third, fifth and seventh characters say which.
inline constexpr char kLiveMarker[] = " ------- ";
constexpr size_t kMarkerLength = 9;
// At most this many offline rules are listed (their row parameter is an index 0..4096).
constexpr size_t kMaxOfflineRows = 4097;

// What the list needs to know of one live icon of the registry.
struct LiveIconFacts {
    uint64_t hwnd = 0;
    uint32_t uid = 0;
    std::string process_name;  // the item's executable name (may be empty)
    std::string tip;           // 8-bit text
    uint32_t item_flags = 0;   // kTrayItemMerged | kTrayItemAnyIconRule
    bool hidden_by_owner = false;
    uint32_t hook_version = 0;  // what the hook library calls the item's version
    uint32_t position = 0;      // the rule's special position, 0 for none
};

// One stored rule, as the rule list holds it.
struct StoredRuleFacts {
    std::string process_name;
    uint32_t icon_id = 0;
    uint32_t flags = 0;
};

enum class RowKind { kLive, kOffline };

struct DisplayEntry {
    RowKind kind = RowKind::kLive;
    // kLive: index into the live icons; kOffline: index into TrayProgramsRows::offline.
    size_t source = 0;
    uint32_t position = 0;
    size_t sequence = 0;  // order of building: live icons first, then offline rules
    std::string text;
};

struct TrayProgramsRows {
    std::vector<DisplayEntry> rows;  // in list order
    // Indices into the stored rules of those left over after matching the live icons, in
    // rule-list order: the page's working list of offline rules.
    std::vector<size_t> offline;
};

// The text of a live icon's row: its tip, behind the marker when the icon is merged (item
// flags exactly 1: 'P'), hidden by its owner ('H') or has a non-zero hook version (its
// digit or letter); cut to kRowTextMax characters.
std::string LiveRowText(const LiveIconFacts& icon);
std::string OfflineRowText(const std::string& process_name);

// Builds the rows: every live icon in registry order, each taking out of the offline list
// the first stored rule of its program (case ignored) for its id or for any id; then the
// rules left over. Rows with a special position come first, ascending; ties and rows
// without one keep the order of building. Costs n log n, not live times rules.
TrayProgramsRows BuildTrayProgramsRows(const std::vector<LiveIconFacts>& live,
                                       const std::vector<StoredRuleFacts>& rules);

// The two visibility lists: index 0 "ALWAYS", 1 the Default entry, 2 "NEVER".
constexpr int kVisibleAlways = 0;
constexpr int kVisibleDefault = 1;
constexpr int kVisibleNever = 2;
int TrayIndexOfFlags(uint32_t flags);
int MenuIndexOfFlags(uint32_t flags);
uint32_t TrayBitsOfIndex(int index);
uint32_t MenuBitsOfIndex(int index);
// The rule word after a change of the lists: their bits, the special position kept.
uint32_t FlagsWithVisibility(uint32_t old_flags, int tray_index, int menu_index);

// The largest special position a rule word can carry (24 bits).
constexpr uint32_t kMaxSpecialPosition = 0xFFFFFF;

enum class PositionAction { kCheckOn, kCheckOff, kDown /* <<< */, kUp /* >>> */ };

// One list row as the position controls see it.
struct PositionRow {
    bool live = false;
    uint32_t flags = 0;  // the rule word (defaults not folded in)
    uint32_t position() const { return flags >> 8; }
};

struct PositionChange {
    uint32_t target = 0;     // the selected row's new position
    uint32_t new_flags = 0;  // its new rule word
    // The row that gives up the target position and takes the old one (only for the
    // arrows, only when the target is not 0); an offline partner keeps its position.
    std::optional<size_t> partner;
    bool partner_changes = false;
    uint32_t partner_new_flags = 0;
    // Ask the hook to move the selected icon's button one visible place: -1 towards the
    // front ("<<<"), -2 towards the end (">>>"); 0 for no move.
    int32_t move_code = 0;
    // The whole tray is sorted again (the check box, when some row had a position).
    bool resort = false;
};

// What pressing a position control on row `selected` of `rows` (list order) does, with
// `default_flags` deciding whether the icons show in the real tray.
PositionChange PlanPositionChange(const std::vector<PositionRow>& rows,
                                  size_t selected,
                                  PositionAction action,
                                  uint32_t default_flags);

// The state of every detail control for the selected row.
struct DetailState {
    int tray_index = kVisibleDefault;
    int menu_index = kVisibleDefault;
    bool tray_enabled = false;
    bool menu_enabled = false;
    bool any_icon_checked = false;
    uint32_t position = 0;
    bool position_checked = false;
    bool position_check_enabled = false;
    bool position_number_enabled = false;
    bool arrows_enabled = false;
    bool delete_enabled = false;
};

// `validity` is the rule lookup's word (3 for offline rules); `sorted_tray` whether the tray
// order is "Sort tray", the only order in which positions mean anything.
DetailState DetailsFor(uint32_t flags, uint32_t validity, bool any_icon, bool sorted_tray);

}  // namespace qly
