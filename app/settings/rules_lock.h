// The one lock of the program's shared model: the rule list, the cache of applied rules
// and the icon registry. It lives with the rules because the rules are the lowest layer
// that needs it; the interception side takes the same lock for its registry, so a request
// on the receiver thread and a change on the main thread never see each other half done.
// Recursive: a rule decision made under the lock may look up more rules.
#pragma once

#include <mutex>

namespace qly {

using RulesGuard = std::lock_guard<std::recursive_mutex>;
std::recursive_mutex& RulesLock();

}  // namespace qly
