// What the AutoStart Programs page shows and offers for the line the user selected: the
// entry's name, its command and the program it starts, whether that program runs now and
// owns a tray icon (process, window, tray id), the state of "AutoStart &Enabled" and
// whether it and the web lookup can be used; and where each line goes in the tree. Plain
// C++ over the entry and a lookup the page gives it, so every case is tested natively.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/autostart/autostart_sources.h"

namespace qly {

// A program found running with a tray icon, or known by a rule (then without a process and
// a window).
struct RunningFacts {
    uint32_t process_id = 0;
    uint64_t window = 0;  // the handle's value; 0 when no window owns the icon
    std::string window_text;
    uint32_t tray_id = 0;
};
// Whether anything knows the program at `program` (a path or a command); fills `facts`.
using RunningLookup = std::function<bool(const std::string& program, RunningFacts* facts)>;

// Texts as the page's fields show them.
struct AutostartDetails {
    std::string name;
    std::string value;    // the raw command
    std::string program;  // the program it starts, at most kDetailsProgramMax characters
    std::string process_id;
    std::string window_text;
    std::string window_handle;
    std::string tray_id;
    bool enabled = false;     // "AutoStart &Enabled" ticked
    bool can_toggle = false;  // the box and the web lookup can be used
};

constexpr size_t kDetailsProgramMax = 1023;
// Shown for a process or window that is not there.
inline constexpr char kNotAvailable[] = "N/A";

AutostartDetails DescribeAutostartEntry(AutostartEntry& entry,
                                        AutostartPlaces& places,
                                        const RunningLookup& lookup);

// For each entry in listing order, the index of the group header it goes under, or -1 for
// the top level (a header, or an item before any header).
std::vector<int> AutostartTreeParents(const std::vector<std::unique_ptr<AutostartEntry>>& entries);

}  // namespace qly
