// The rule record (IconRule) and the persisted list of rules (RuleList): which process and
// icon a rule is for, its flags word, and a copy of the icon last seen for it, owned by the
// rule. The settings store fills and writes the list; the rule engine decides with it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <list>

#include "app/base/unique_handle.h"
#include "app/settings/rule_flags.h"
#include "app/settings/rule_value.h"

namespace qly {

struct IconRule {
    uint64_t window = 0;      // owner window when created or last applied; 0 when loaded
    uint32_t process_id = 0;  // of that window at the time; never stored
    uint32_t thread_id = 0;   // of that window at the time; never stored
    char process_name[kProcessNameCapacity] = {};  // executable base name, any case
    uint32_t icon_id = 0;                          // the icon's uID, or ANY_ICON_ID
    uint32_t flags = 0;                            // RF_* bits and the special position
    UniqueIcon icon;                               // may be empty
};
static_assert(sizeof(IconRule::process_name) == 128, "process name field of 128 characters");

using RuleList = std::list<IconRule>;

}  // namespace qly
