// The one lock of the program's shared model: the rule list, the cache of applied rules
// and the icon registry. It lives with the rules because the rules are the lowest layer
// that needs it; the interception side takes the same lock for its registry, so a request
// on the receiver thread and a change on the main thread never see each other half done.
// Recursive: a rule decision made under the lock may look up more rules. It counts how
// often each thread holds it, so that after a fault abandoned the frames that held it (no
// destructor ran there) the thread's guard can let it go, instead of every other thread
// waiting for it for good.
#pragma once

#include <mutex>

namespace qly {

class ModelLock {
  public:
    void lock();
    bool try_lock();
    void unlock();
    // How often the calling thread holds the lock now.
    int HeldByThisThread() const;
    // Lets the calling thread's hold go down to `depth` (what it held before the frames
    // that a fault abandoned).
    void ReleaseDownTo(int depth);

  private:
    std::recursive_mutex m_mutex;
};

using RulesGuard = std::lock_guard<ModelLock>;
ModelLock& RulesLock();

}  // namespace qly
