// The bodies of the parts that are not built yet, in one place until each part replaces
// its own (the headers are already where the parts will live). A mode the user asked for
// by name (setup, removal) tells them in a notice that it is not available in
// this version; the rest write a log line and do nothing visible.
#include "app/diag/log.h"
#include "app/diag/modeless_message.h"
#include "app/setup/setup_modes.h"
#include "app/ui/not_available.h"
#include "app/ui/program_state.h"
#include "app/ui/tray_menu.h"

namespace qly {

namespace {

HWND g_notice = nullptr;

void Unavailable(const char* what) {
    if (LogEnabled())
        LogLine("Not available in this version: %s\n", what);
}

// A notice on a thread of its own, so neither the start routine nor the main window waits
// for anybody to read it; it closes itself after a few seconds.
void ShowNotAvailable(HWND main_window, const char* what) {
    Unavailable(what);
    char text[200];
    wsprintfA(text, "%s is not available in this version of Quillory.", what);
    CloseNotAvailableNotice(nullptr);
    g_notice = ShowModelessMessage(GetModuleHandleA(nullptr), text, "Quillory notice",
                                   kModelessDefaultFlags);
    if (main_window && g_notice)
        SetTimer(main_window, kTimerNotice, kNoticePeriodMs, nullptr);
}

// Modes that end the program show their notice until it is read or closed.
int NotAvailableMode(const char* what) {
    ShowNotAvailable(nullptr, what);
    for (int i = 0; i < static_cast<int>(kNoticePeriodMs / 100) && g_notice && IsWindow(g_notice);
         ++i)
        Sleep(100);
    CloseNotAvailableNotice(nullptr);
    return 0;
}

}  // namespace

int RunSetupMode(int, const char*) {
    return NotAvailableMode("Setup");
}

int RunUninstallMode(bool, bool, const char*) {
    return NotAvailableMode("Removal");
}

void CloseNotAvailableNotice(HWND main_window) {
    if (main_window)
        KillTimer(main_window, kTimerNotice);
    if (g_notice && IsWindow(g_notice))
        PostMessageA(g_notice, WM_CLOSE, 0, 0);
    g_notice = nullptr;
}

}  // namespace qly
