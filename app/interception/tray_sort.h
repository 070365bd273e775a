// Sorting the real tray by the icons' special positions: the move list planned over a
// dump of the toolbar, DoSort2 which carries it out button by button through the hook and
// keeps the registry's order in step, and "Sort now" for the Tray Programs page. Main
// thread only; the interception lock is never held while the shell is asked for anything.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "app/interception/sort_planner.h"
#include "hooklib/peek_record.h"

namespace qly {

// While it lives the hook makes no dump of its own before forwards, so a dump that the
// main thread asked for is not overwritten while it is read. Forwards meanwhile get the
// answer they get without a fresh dump (a new icon goes to the end); the flag comes back
// when the scope ends.
class RequestedDumpScope {
  public:
    RequestedDumpScope();
    ~RequestedDumpScope();
    RequestedDumpScope(const RequestedDumpScope&) = delete;
    RequestedDumpScope& operator=(const RequestedDumpScope&) = delete;

  private:
    uint32_t m_saved;
};

// A copy of the dump the hook last made (at most the table's records).
std::vector<PeekRecord> CopyOfDump();

// Plans the sort over a dump copy into the move list (replacing what it held). A full
// table means the tray may hold buttons beyond it: only what was seen is sorted, and the
// log says so. Returns the number of planned moves.
size_t PlanTraySort(const std::vector<PeekRecord>& dump);

// The moves waiting for DoSort2.
const std::vector<MoveRecord>& PlannedMoves();

// Carries out the move list: registry order first, then the button through the hook's
// raw move. Empties the list and logs "DoSort2 moved %04d items". Always 1.
int DoSort2();

// Dump by message, plan, free the dump's icons, DoSort2. For the Tray Programs page after
// a special position changed.
void SortNow();

// Synchronous requests to the tray window with the protocol's time-out; false when the
// send failed or timed out.
bool SendTrayRequest(uint64_t code, LPARAM lparam);

}  // namespace qly
