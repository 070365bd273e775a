// The help entry point; see help.h. Every request is written to the log with what came of
// it, so that a help that did not open is visible to whoever looks.
#include "app/ui/help.h"

#include <htmlhelp.h>

#include <string>

#include "app/diag/log.h"
#include "app/lang/language.h"
#include "app/ui/program_state.h"
#include "resources/resource.h"

namespace qly {

namespace {

HtmlHelpFunction g_replacement = nullptr;
const char* g_viewer_module = kHelpViewerModule;
HMODULE g_viewer = nullptr;
HtmlHelpFunction g_viewer_entry = nullptr;

// The viewer is loaded on the first request and kept; a request after a failed load tries
// again, so a viewer installed meanwhile is found. It is taken from the system folder only,
// never from the program's folder or the current one, where anybody could put a file of
// that name.
HtmlHelpFunction Viewer() {
    if (g_replacement != nullptr)
        return g_replacement;
    if (g_viewer_entry == nullptr) {
        if (g_viewer == nullptr) {
            char system[MAX_PATH] = {};
            const UINT length = GetSystemDirectoryA(system, MAX_PATH);
            if (length > 0 && length < MAX_PATH) {
                const std::string path = std::string(system) + "\\" + g_viewer_module;
                g_viewer = LoadLibraryA(path.c_str());
            }
        }
        if (g_viewer != nullptr) {
            g_viewer_entry = reinterpret_cast<HtmlHelpFunction>(
                reinterpret_cast<void*>(GetProcAddress(g_viewer, "HtmlHelpA")));
        }
    }
    return g_viewer_entry;
}

bool FileExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string UiString(UINT id) {
    char text[1024] = {};
    LoadUiString(App().instance, id, text, sizeof text);
    return text;
}

void TellProblem(HWND owner, HelpProblem problem) {
    const std::string& file = App().help_file;
    std::string text;
    switch (problem) {
        case HelpProblem::kNone:
            return;
        case HelpProblem::kViewerMissing:
            text = NameMissingFile(UiString(IDS_HELP_MISSING), g_viewer_module);
            break;
        case HelpProblem::kFileMissing:
            text = NameMissingFile(UiString(IDS_HELP_MISSING), file);
            break;
        case HelpProblem::kNotOpened:
            text = NameMissingFile(UiString(IDS_HELP_NOT_OPENED), file);
            break;
    }
    if (LogEnabled())
        LogLine("Help not shown: %s\n", text.c_str());
    MessageBoxA(owner, text.c_str(), UiString(IDS_APP_NAME).c_str(),
                MB_OK | MB_ICONEXCLAMATION | MB_SETFOREGROUND);
}

// Opens the help window at `topic` ("page.htm#anchor"; empty: the help's first topic). A
// topic is addressed by its name inside the file ("file::/topic") rather than through a
// context map in the file: the compiler the build has (chmcmd) writes map entries that name
// the build machine's folders, which no viewer resolves. A topic that does not open leaves
// the help at its first topic rather than closed.
void OpenHelp(HWND owner, const std::string& topic, const char* what) {
    const std::string& file = App().help_file;
    HtmlHelpFunction viewer = Viewer();
    const bool exists = FileExists(file);
    HWND shown = nullptr;
    if (viewer != nullptr && exists) {
        const std::string at = topic.empty() ? file : file + "::/" + topic;
        shown = viewer(owner, at.c_str(), HH_DISPLAY_TOPIC, 0);
        if (shown == nullptr && !topic.empty())
            shown = viewer(owner, file.c_str(), HH_DISPLAY_TOPIC, 0);
    }
    if (LogEnabled())
        LogLine("Help asked for %s: %s\n", what, shown ? "shown" : "not shown");
    TellProblem(owner, DiagnoseHelp(viewer != nullptr, exists, shown != nullptr));
}

}  // namespace

void OpenHelpQuickStart(HWND owner) {
    OpenHelp(owner ? owner : App().main, kQuickStartTopic, "the Quick Start");
}

void OpenHelpContext(HWND owner, unsigned context) {
    char what[32];
    wsprintfA(what, "topic %u", context);
    OpenHelp(owner, HelpTopicFor(context), what);
}

bool OpenHelpPopup(HWND control, unsigned context) {
    const unsigned id = HelpPopupStringId(context);
    HtmlHelpFunction viewer = Viewer();
    if (id == 0 || viewer == nullptr)
        return false;
    const std::string text = UiString(id);
    if (text.empty())
        return false;
    RECT r{};
    if (control == nullptr || !GetWindowRect(control, &r)) {
        POINT cursor{};
        GetCursorPos(&cursor);
        r = {cursor.x, cursor.y, cursor.x, cursor.y};
    }
    const HelpPoint at = PopupAnchor(r.left, r.top, r.right, r.bottom);
    HH_POPUP popup{};
    popup.cbStruct = sizeof popup;
    popup.pszText = text.c_str();
    popup.pt = {at.x, at.y};
    popup.clrForeground = static_cast<COLORREF>(-1);
    popup.clrBackground = static_cast<COLORREF>(-1);
    popup.rcMargins = {-1, -1, -1, -1};
    const bool shown = viewer(control, nullptr, HH_DISPLAY_TEXT_POPUP,
                              reinterpret_cast<DWORD_PTR>(&popup)) != nullptr;
    if (LogEnabled())
        LogLine("Help asked for pop-up %u: %s\n", context, shown ? "shown" : "not shown");
    return shown;
}

void ShowControlHelp(HWND page,
                     const HELPINFO* info,
                     const HelpContextEntry* table,
                     size_t count,
                     unsigned page_context) {
    if (info != nullptr && info->iContextType == HELPINFO_WINDOW) {
        for (size_t i = 0; i < count; ++i) {
            if (table[i].control == info->iCtrlId) {
                // Without a pop-up the help opens at the control's own place in the topic.
                if (!OpenHelpPopup(static_cast<HWND>(info->hItemHandle), table[i].context))
                    OpenHelpContext(page, table[i].context);
                return;
            }
        }
    }
    OpenHelpContext(page, page_context);
}

void CloseHelp() {
    if (g_replacement == nullptr && g_viewer_entry != nullptr)
        g_viewer_entry(nullptr, nullptr, HH_CLOSE_ALL, 0);
    if (g_viewer != nullptr)
        FreeLibrary(g_viewer);
    g_viewer = nullptr;
    g_viewer_entry = nullptr;
}

HtmlHelpFunction SetHtmlHelpFunction(HtmlHelpFunction function) {
    HtmlHelpFunction previous = g_replacement;
    g_replacement = function;
    return previous;
}

const char* SetHelpViewerModule(const char* module) {
    const char* previous = g_viewer_module;
    CloseHelp();
    g_viewer_module = module != nullptr ? module : kHelpViewerModule;
    return previous;
}

}  // namespace qly
