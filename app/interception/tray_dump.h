// Taking over a tray that already shows icons: DoDump reads the toolbar through the hook,
// adopts every button into the registry as an assembled item, removes from the tray the
// buttons whose rule hides them and those whose owner is gone, sorts, and has the hook
// subclass the tray window. Main thread only.
#pragma once

#include <cstdint>

namespace qly {

// Nothing happens without a tray window or without the CBT hook (which carries the
// remote requests into the shell).
void DoDump();

// One remote request (dump 1, free the dump's icons 2, subclass 3) through the system
// command that the hook intercepts inside the shell; `reset_count` empties the dump count
// first. False when the send failed or timed out.
bool RemoteTrayRequest(uint32_t op, bool reset_count);

}  // namespace qly
