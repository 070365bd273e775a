// The lock of the shared model; see rules_lock.h.
#include "app/settings/rules_lock.h"

namespace qly {

std::recursive_mutex& RulesLock() {
    static std::recursive_mutex lock;
    return lock;
}

}  // namespace qly
