// The class names of the shell's notification area, as the shell registers them. The hook
// library finds the tray by them and the main program waits for it by them; both read
// them from here so a name is never spelled twice.
#pragma once

namespace qly {

inline constexpr char kShellTrayClass[] = "Shell_TrayWnd";
inline constexpr char kTrayNotifyClass[] = "TrayNotifyWnd";
inline constexpr char kSysPagerClass[] = "SysPager";
inline constexpr char kToolbarClass[] = "ToolbarWindow32";

}  // namespace qly
