// The program's own autostart: the wished values applied with elevated rights, the RunOnce
// entry of the delayed launcher that every autostarted run writes again, and the forced
// entry before a log-off that the interception question asks for.
#pragma once

namespace qly {

// -V: applies the wished autostart values with elevated rights.
void ApplyDesiredAutostart();
// The RunOnce re-registration after a start at log-on.
void ReRegisterRunOnce();
// -C with DesiredRunOnce set: refresh the own autostart registration.
void RefreshOwnAutostart(bool elevate);
// The forced RunOnce entry before a log-off or restart that the interception question
// asked for; false when it could not be written (the log-off then does not happen).
bool InstallRunOnceForced();

}  // namespace qly
