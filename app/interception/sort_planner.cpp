// The sort planner; see sort_planner.h.
#include "app/interception/sort_planner.h"

#include <algorithm>

namespace qly {

namespace {

constexpr int32_t kStateHidden = 0x08;

// The first pair (i, j), j < i, in which button i must precede button j; false when the
// order is already right.
bool FirstViolation(const std::vector<SortEntry>& entries, size_t* source, size_t* target) {
    for (size_t i = 1; i < entries.size(); ++i) {
        const SortEntry& a = entries[i];
        if (!a.takes_part || a.key == 0)
            continue;
        for (size_t j = 0; j < i; ++j) {
            const SortEntry& b = entries[j];
            if (!b.takes_part)
                continue;
            if (b.key == 0 || b.key > a.key) {
                *source = i;
                *target = j;
                return true;
            }
        }
    }
    return false;
}

}  // namespace

std::vector<SortEntry> SortEntriesOf(const PeekRecord* dump,
                                     uint32_t count,
                                     const RuleFlagsOf& flags_of) {
    std::vector<SortEntry> out;
    if (dump == nullptr)
        return out;
    const size_t n = std::min<size_t>(count, kPeekRecordCount);
    out.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        SortEntry e;
        e.hwnd = dump[i].owner_window;
        e.uid = dump[i].uid;
        // A record the hook was still filling (-1) counts as hidden: it never moves.
        const bool hidden = dump[i].state < 0 || (dump[i].state & kStateHidden) != 0;
        uint32_t flags = 0;
        if (!hidden && flags_of(e.hwnd, e.uid, &flags)) {
            e.takes_part = true;
            e.key = OrderKey(flags);
        }
        out.push_back(e);
    }
    return out;
}

std::vector<MoveRecord> PlanSort(std::vector<SortEntry>& entries) {
    std::vector<MoveRecord> moves;
    size_t i = 0;
    size_t j = 0;
    // Each move extends the sorted front by one button, so entries.size() moves is the
    // most there can be; the bound only guards against a broken invariant.
    while (moves.size() <= entries.size() && FirstViolation(entries, &i, &j)) {
        MoveRecord m;
        m.source = static_cast<uint32_t>(i);
        m.target = static_cast<uint32_t>(j);
        m.move_hwnd = entries[i].hwnd;
        m.move_uid = entries[i].uid;
        m.before_hwnd = entries[j].hwnd;
        m.before_uid = entries[j].uid;
        moves.push_back(m);
        // As TB_MOVEBUTTON does it: take button i out, put it in at j.
        std::rotate(entries.begin() + static_cast<std::ptrdiff_t>(j),
                    entries.begin() + static_cast<std::ptrdiff_t>(i),
                    entries.begin() + static_cast<std::ptrdiff_t>(i) + 1);
    }
    return moves;
}

DumpSortPlan PlanSortOfDump(const PeekRecord* dump,
                            uint32_t count,
                            uint32_t first_toolbar,
                            const RuleFlagsOf& flags_of) {
    DumpSortPlan plan;
    std::vector<SortEntry> entries =
        SortEntriesOf(dump, MovableRecords(count, first_toolbar), flags_of);
    plan.seen = entries.size();
    plan.table_full = count >= kPeekRecordCount;
    if (entries.size() >= 2)
        plan.moves = PlanSort(entries);
    return plan;
}

void FollowMoveInRegistry(TrayRegistry& registry,
                          TrayItem* moving,
                          TrayItem* before,
                          const std::function<bool(TrayItem*)>& shown_in_tray) {
    if (moving == nullptr || before == nullptr || moving == before)
        return;
    std::vector<TrayItem*> items = registry.Items();
    items.erase(std::remove(items.begin(), items.end(), moving), items.end());
    auto at = std::find(items.begin(), items.end(), before);
    if (at == items.end())
        return;
    // Icons the tray does not show sit between visible ones in the registry; the moved icon
    // goes in front of them so that it follows the visible icon it follows in the tray.
    while (at != items.begin() && !shown_in_tray(*(at - 1)))
        --at;
    registry.MoveBefore(moving, *at);
}

}  // namespace qly
