// The details of a selected autostart line and the tree's shape; see autostart_details.h.
#include "app/autostart/autostart_details.h"

#include <cstdio>

namespace qly {

namespace {

std::string Hex8(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

}  // namespace

AutostartDetails DescribeAutostartEntry(AutostartEntry& entry,
                                        AutostartPlaces& places,
                                        const RunningLookup& lookup) {
    AutostartDetails d;
    d.name = entry.displayName();
    d.enabled = !entry.isDisabled();
    d.can_toggle = entry.canToggle();
    d.value = entry.executablePath(true, places);
    d.program = entry.executablePath(false, places);
    if (d.program.size() > kDetailsProgramMax)
        d.program.resize(kDetailsProgramMax);
    RunningFacts facts;
    // A group header starts no program, and an empty command names none.
    if (d.program.empty() || !lookup || !lookup(d.program, &facts))
        facts = RunningFacts();
    d.process_id = facts.process_id != 0 ? Hex8(facts.process_id) : kNotAvailable;
    // Window handles are 32-bit numbers even in a 64-bit process.
    d.window_handle = facts.window != 0 ? Hex8(static_cast<uint32_t>(facts.window)) : kNotAvailable;
    d.window_text = facts.window != 0 ? facts.window_text : std::string();
    d.tray_id = std::to_string(static_cast<int32_t>(facts.tray_id));
    return d;
}

std::vector<int> AutostartTreeParents(const std::vector<std::unique_ptr<AutostartEntry>>& entries) {
    std::vector<int> parents;
    parents.reserve(entries.size());
    int header = -1;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i]->isGroupHeader()) {
            header = static_cast<int>(i);
            parents.push_back(-1);
        } else {
            parents.push_back(header);
        }
    }
    return parents;
}

}  // namespace qly
