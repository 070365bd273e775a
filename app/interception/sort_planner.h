// The tray's sort, planned on a copy of the toolbar dump: which buttons to move, one at a
// time, so that icons with a special position stand before the others in ascending order,
// and how the registry follows each move so that its order matches what the tray shows.
// Plain C++: the rule lookups come in as a function, the shell is never touched here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "app/interception/tray_registry.h"
#include "app/settings/rule_flags.h"
#include "hooklib/peek_record.h"

namespace qly {

// One planned move: the button at dump index `source` goes to dump index `target`, in
// front of the icon that stood there.
struct MoveRecord {
    uint32_t source = 0;
    uint32_t target = 0;
    uint64_t move_hwnd = 0;
    uint32_t move_uid = 0;
    uint64_t before_hwnd = 0;
    uint32_t before_uid = 0;
};

// A dumped button as the planner sees it. Only visible, registered buttons take part; the
// others keep their slots and are only counted in the indices.
struct SortEntry {
    uint64_t hwnd = 0;
    uint32_t uid = 0;
    bool takes_part = false;
    uint32_t key = 0;  // special position; 0: none
};

// The rule flags of a registered icon; false when the registry holds no item for it.
using RuleFlagsOf = std::function<bool(uint64_t hwnd, uint32_t uid, uint32_t* flags)>;

// Order key of a rule flags word: its special position.
inline uint32_t OrderKey(uint32_t flags) {
    return RuleSpecialPosition(flags);
}

// Reads the first min(count, table size) dump records; each icon's rules are asked once.
std::vector<SortEntry> SortEntriesOf(const PeekRecord* dump,
                                     uint32_t count,
                                     const RuleFlagsOf& flags_of);

// Plans the moves and leaves `entries` in the planned order. Each move takes the first
// taking-part keyed button that stands behind a taking-part button with no key or a larger
// one, and puts it in front of the first such button: an insertion sort that keeps equal
// keys and unkeyed icons in their order and ends after at most one move per button.
std::vector<MoveRecord> PlanSort(std::vector<SortEntry>& entries);

// The dump records a move or a new icon's place may name. The hook's dump appends the
// buttons of a second toolbar (the "System Control Area") to those of the first, but its
// moves only reach the first; `first_toolbar` is how many records the hook took from the
// first toolbar. That count leaves out the buttons the dump skipped, as the records do, so
// the cut falls exactly between the two toolbars' records (a count of the toolbar's
// buttons would take in one record of the second toolbar for each button skipped).
inline uint32_t MovableRecords(uint32_t count, uint32_t first_toolbar) {
    uint32_t n = count < first_toolbar ? count : first_toolbar;
    return n < kPeekRecordCount ? n : static_cast<uint32_t>(kPeekRecordCount);
}

struct DumpSortPlan {
    std::vector<MoveRecord> moves;
    size_t seen = 0;          // dump records planned over
    bool table_full = false;  // the table was full: the tray may hold buttons not seen
};
// Plans over the first toolbar's records of a dump of `count` records (MovableRecords).
DumpSortPlan PlanSortOfDump(const PeekRecord* dump,
                            uint32_t count,
                            uint32_t first_toolbar,
                            const RuleFlagsOf& flags_of);

// Keeps the registry in step with one executed move: `moving` is put in front of
// `before`, or further forward across the items right in front of `before` that the tray
// does not show, so that it lands directly behind the visible icon it follows in the tray.
void FollowMoveInRegistry(TrayRegistry& registry,
                          TrayItem* moving,
                          TrayItem* before,
                          const std::function<bool(TrayItem*)>& shown_in_tray);

}  // namespace qly
