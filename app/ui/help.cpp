// The help entry point; see help.h. Until the program ships a help file that today's
// Windows can open, a request for a topic is written to the log, so that what would have
// opened stays visible to whoever looks.
#include "app/ui/help.h"

#include "app/diag/log.h"
#include "app/ui/program_state.h"

namespace qly {

void OpenHelpQuickStart(HWND owner) {
    WinHelpA(owner ? owner : App().main, App().help_file.c_str(), HELP_KEY,
             reinterpret_cast<ULONG_PTR>("Quick Start"));
}

void OpenHelpContext(HWND, unsigned context) {
    if (LogEnabled())
        LogLine("Help asked for topic %u\n", context);
}

bool OpenHelpPopup(HWND, unsigned context) {
    if (LogEnabled())
        LogLine("Help asked for pop-up %u\n", context);
    return true;
}

void ShowControlHelp(HWND page,
                     const HELPINFO* info,
                     const HelpContextEntry* table,
                     size_t count,
                     unsigned page_context) {
    if (info != nullptr && info->iContextType == HELPINFO_WINDOW) {
        for (size_t i = 0; i < count; ++i) {
            if (table[i].control == info->iCtrlId) {
                if (OpenHelpPopup(static_cast<HWND>(info->hItemHandle), table[i].context))
                    return;
                break;
            }
        }
    }
    OpenHelpContext(page, page_context);
}

}  // namespace qly
