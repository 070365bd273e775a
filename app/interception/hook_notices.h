// The notices of the hook and the receiver that concern the icon registry: "the registry
// changed" (the listeners refresh) and "replay every icon to this window" (code 5, from any
// program). The main window and any stand-in for it hand them here, so both react alike.
#pragma once

#include <windows.h>

namespace qly {

// True when `code` was a registry notice and has been acted on.
bool DispatchRegistryNotice(WPARAM code, LPARAM lparam);

}  // namespace qly
