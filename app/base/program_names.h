// The names and numbers by which the program is known outside its own code: its settings
// key, the main window that a second instance, the delayed launcher and setup look for,
// the name of its crash dumps, the instance mutex, the own autostart's places and files,
// the registered hook message and the callback message of the icons the main window owns. Each is
// spelled here once; nothing else repeats them.
#pragma once

#include <cstdint>

namespace qly {

// Per-user settings (and the machine copy of the autostart values).
inline constexpr char kSettingsKeyPath[] = "Software\\KARNOVELDAHUS\\QUILLORY";

// The main window: a dialog, found by class and caption.
inline constexpr char kMainWindowClass[] = "#32770";
inline constexpr char kMainWindowCaption[] = "Quillory";

// Caption of the crash-dump offer and prefix of the dump files
// ("Quillory 2009-01-17 13_01_58.dmp").
inline constexpr char kCrashAppName[] = "Quillory";

// The main program and the delayed launcher live in one folder and find each other there.
inline constexpr char kProgramFileName[] = "QUILLORY.EXE";
inline constexpr char kLauncherFileName[] = "RUNQLY.EXE";

// The machine-wide RunOnce value that starts the launcher at the next log-on of any user.
inline constexpr char kRunOnceKeyPath[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
inline constexpr char kRunOnceValueName[] = "QUILLORY";

// The shortcut in the user's Startup folder that checks the autostart again at log-on.
inline constexpr char kStartupLinkName[] = "\\QUILLORY.LNK";
inline constexpr char kStartupLinkArguments[] = " -C";

inline constexpr char kInstanceMutexName[] = "QUILLORY MUTEX";
inline constexpr char kHookMessageName[] = "QUILLORY_WM_USER_QLY_HOOK_MSG";

// Callback message of every icon the main window owns: its own icon (uID 0) and the icons
// of windows minimised to the tray (uID 4096 and up).
inline constexpr uint32_t kOwnCallbackMessage = 3024;

// The maker's addresses, shown in the About box and opened from it and from "Tell a friend...".
inline constexpr char kMakerWebAddress[] = "http://www.karnoveldahus.example/quillory/";
inline constexpr char kMakerMailAddress[] = "quillory@karnoveldahus.example";
// The maker as Windows' list of installed programs names it.
inline constexpr char kMakerName[] = "KARNOVELDAHUS";

}  // namespace qly
