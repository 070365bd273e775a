// The lock of the shared model; see rules_lock.h.
#include "app/settings/rules_lock.h"

namespace qly {

namespace {
thread_local int t_depth = 0;
}  // namespace

void ModelLock::lock() {
    m_mutex.lock();
    ++t_depth;
}

bool ModelLock::try_lock() {
    if (!m_mutex.try_lock())
        return false;
    ++t_depth;
    return true;
}

void ModelLock::unlock() {
    --t_depth;
    m_mutex.unlock();
}

int ModelLock::HeldByThisThread() const {
    return t_depth;
}

void ModelLock::ReleaseDownTo(int depth) {
    while (t_depth > depth && t_depth > 0)
        unlock();
}

ModelLock& RulesLock() {
    static ModelLock lock;
    return lock;
}

}  // namespace qly
