// The decision for one forwarded request: check that it is a forward of the current tray
// and a record we can read, ask the rules about the icon, bring the registry in step
// (add, change, merge, delete, set version, recent deletions) and compute the answer the
// hook acts on: swallow (0), pass (1), pass and move the new button (2 + index, or the
// far end 0xFFFFFFFF). Plain C++: the rules, the log and the dump table come in through
// HandlerEnv, so every case can be exercised without a tray.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "app/interception/recent_deletions.h"
#include "app/interception/tray_registry.h"
#include "app/settings/rule_flags.h"
#include "hooklib/peek_record.h"

namespace qly {

// The rule lookup's answer for one icon: the flags word before the defaults are resolved
// and the validity word (only logged here).
struct RuleAnswer {
    uint32_t flags = 0;
    uint32_t validity = 0;
};

// Where the handler's lines go. Flags() is the FlagLog value while the log is open, else 0.
class HandlerLog {
  public:
    virtual ~HandlerLog() = default;
    virtual uint32_t Flags() const = 0;
    virtual void Write(const std::string& line) = 0;
    // File name of the owner window's program, and its title or "CLASS:" + class name.
    virtual std::string OwnerProgram(uint64_t hwnd) = 0;
    virtual std::string OwnerText(uint64_t hwnd) = 0;
};

struct HandlerEnv {
    TrayRegistry& registry;
    RecentDeletions& recents;
    std::function<RuleAnswer(uint64_t hwnd, uint32_t uid, TrayItem* item)> lookup;
    uint32_t default_flags = 3;
    uint32_t reverse_tray = 0;  // 0 shell order, 1 reversed, 2 sorted
    bool dump_always = false;   // the hook dumped the toolbar before this forward
    bool win_xp = false;        // the shell puts new buttons at the front
    const PeekRecord* peek = nullptr;
    uint32_t peek_count = 0;
    uint32_t peek_first_toolbar = kPeekRecordCount;  // records of the first toolbar
    uint64_t shell_tray = 0;                         // the tray window a forward must come from
    HandlerLog* log = nullptr;
};

struct HandlerResult {
    uint32_t reply = 1;
    bool forwarded = false;             // a request of the current tray was decided
    const TrayItem* changed = nullptr;  // the stored item that was compared, as it now stands
};

HandlerResult HandleForward(HandlerEnv& env,
                            uint64_t sender,
                            uint64_t kind,
                            const void* data,
                            size_t size);

}  // namespace qly
