// The windows the main program took to the tray, shown again from their registry records
// when the program could not bring them back itself (see window_records.cpp).
#pragma once

namespace qly {

// Shows every recorded window that is still the recorded one, deletes every record, and
// returns how many it showed. Never blocks on a hung window.
int RestoreRecordedWindows();

}  // namespace qly
