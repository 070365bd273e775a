// Runs a clean-up when the scope ends, on every road out of it (return, exception), unless
// dismissed. For the clean-ups that are not a handle: a mark set around a send, a flag
// that must fall back, a half-built record.
#pragma once

#include <utility>

namespace qly {

template <typename Function>
class ScopeExit {
  public:
    explicit ScopeExit(Function function) noexcept : m_function(std::move(function)) {}
    ~ScopeExit() {
        if (m_active)
            m_function();
    }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;
    void Dismiss() noexcept { m_active = false; }

  private:
    Function m_function;
    bool m_active = true;
};

// Sets `cell` to `value` for the lifetime of the guard and to `idle` after it, whatever
// road leaves the scope: for the shared marks that tell the hook which request is our own,
// which must never stay set past the send they mark.
template <typename Cell>
class ScopedMark {
  public:
    ScopedMark(Cell& cell, Cell value, Cell idle) noexcept : m_cell(cell), m_idle(idle) {
        m_cell = value;
    }
    ~ScopedMark() { m_cell = m_idle; }
    ScopedMark(const ScopedMark&) = delete;
    ScopedMark& operator=(const ScopedMark&) = delete;

  private:
    Cell& m_cell;
    Cell m_idle;
};

}  // namespace qly
