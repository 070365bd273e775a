// The help's numbers and names, in one place: the context number and topic of each settings
// page, every page's table of controls and their pop-up contexts, the file, its Quick Start
// topic and the module that shows it. A context opens its page's topic, a control's context
// at the control's place in it (the anchor "c" + number). The build checks the help's
// sources against these tables, so a context without its topic stops the build. Plain C++:
// the decisions around them (which topic a context opens, which text a pop-up shows, where
// it appears, what the user is told when the help cannot open) are tested natively.
#pragma once

#include <string>
#include <vector>

#include "resources/resource.h"

namespace qly {

// A control of a page and the context of its pop-up; controls that share a topic repeat it.
struct HelpContextEntry {
    int control;
    unsigned context;
};

// The page topics, opened by the sheet's Help button and by controls without a pop-up.
constexpr unsigned kHelpTrayPrograms = 1000;
constexpr unsigned kHelpUserInterface = 1100;
constexpr unsigned kHelpAdvanced = 1200;
constexpr unsigned kHelpAutostart = 1300;

constexpr HelpContextEntry kTrayProgramsHelp[] = {
    {IDC_TP_LIST, 1001},
    {IDC_TP_TOOLTIP, 1002},
    {IDC_TP_PROCESS, 1002},
    {IDC_TP_WINDOW, 1002},
    {IDC_TP_TRAY_VISIBLE, 1003},
    {IDC_TP_TRAY_VISIBLE_LABEL, 1003},
    {IDC_TP_MENU_VISIBLE, 1004},
    {IDC_TP_MENU_VISIBLE_LABEL, 1004},
    {IDC_TP_SPECIAL_POSITION, 1005},
    {IDC_TP_POSITION_DOWN, 1006},
    {IDC_TP_POSITION_UP, 1007},
    {IDC_TP_ALL_ICONS, 1008},
    {IDC_TP_DELETE, 1009},
};

constexpr HelpContextEntry kUserInterfaceHelp[] = {
    {IDC_UI_LANGUAGE, 1101},      {IDC_UI_CREDIT, 1101},           {IDC_UI_MENU_KEY, 1102},
    {IDC_UI_MENU_KEY_WIN, 1102},  {IDC_UI_SETTINGS_KEY, 1102},     {IDC_UI_SETTINGS_KEY_WIN, 1102},
    {IDC_UI_MINIMIZE_KEY, 1102},  {IDC_UI_MINIMIZE_KEY_WIN, 1102}, {IDC_UI_USE_MINIMIZE, 1102},
    {IDC_UI_EXIT, 1103},          {IDC_UI_ADD_TRAY_ICON, 1104},    {IDC_UI_PASSWORD, 1105},
    {IDC_UI_MENU_PASSWORD, 1106}, {IDC_UI_HOVER_MENU, 1107},       {IDC_UI_NO_SOUNDS, 1108},
    {IDC_UI_MENU_ORDER, 1109},    {IDC_UI_NORMAL_PRIORITY, 1110},
};

constexpr HelpContextEntry kAdvancedHelp[] = {
    {IDC_ADV_DEFAULT_TRAY, 1201},
    {IDC_ADV_DEFAULT_MENU, 1201},
    {IDC_ADV_NOTIFY, 1202},
    {IDC_ADV_AUTOSTART_ALL, 1203},
    {IDC_ADV_AUTOSTART_OTHERS, 1204},
    {IDC_ADV_AUTOSTART_NONE, 1205},
    {IDC_ADV_DELAY, 1206},
    {IDC_ADV_DELAY_LABEL, 1206},
    {IDC_ADV_NEW_USERS, 1207},
    {IDC_ADV_AUTO_TRAY, 1208},
    {IDC_ADV_ORDER, 1209},
    {IDC_ADV_ORDER_LABEL, 1209},
    {IDC_ADV_DUMP_ALWAYS, 1210},
    {IDC_ADV_STARTUP_CHECK, 1211},
    {IDC_ADV_INTERCEPT, 1212},
    {IDC_ADV_INTERCEPT_LABEL, 1212},
};

constexpr HelpContextEntry kAutostartHelp[] = {
    {IDC_AS_TREE, 1301},        {IDC_AS_NAME_LABEL, 1302},    {IDC_AS_NAME, 1302},
    {IDC_AS_VALUE_LABEL, 1303}, {IDC_AS_VALUE, 1303},         {IDC_AS_PROCESS_LABEL, 1304},
    {IDC_AS_PROCESS, 1304},     {IDC_AS_PROCESS_ID, 1304},    {IDC_AS_WINDOW_LABEL, 1305},
    {IDC_AS_WINDOW, 1305},      {IDC_AS_WINDOW_HANDLE, 1305}, {IDC_AS_TRAY_ID_LABEL, 1306},
    {IDC_AS_TRAY_ID, 1306},     {IDC_AS_ICON_LABEL, 1307},    {IDC_AS_ICON, 1307},
    {IDC_AS_ENABLED, 1308},     {IDC_AS_WEB_INFO, 1309},
};

// Each page's topic in the help file.
struct HelpPageTopic {
    unsigned context;
    const char* topic;
};
constexpr HelpPageTopic kHelpPageTopics[] = {
    {kHelpTrayPrograms, "page_tray_programs.htm"},
    {kHelpUserInterface, "page_user_interface.htm"},
    {kHelpAdvanced, "page_advanced.htm"},
    {kHelpAutostart, "page_autostart.htm"},
};

// The help file under the program folder, the topic of the Help command, and the system's
// HTML Help viewer, loaded when help is first asked for.
constexpr char kHelpFile[] = "DOC\\Quillory.chm";
constexpr char kQuickStartTopic[] = "quick_start.htm";
constexpr char kHelpViewerModule[] = "hhctrl.ocx";

// The place in the help file that `context` opens: the page's topic for a page context,
// the topic with the control's anchor for a control's context ("page_advanced.htm#c1207"),
// empty for a number nobody uses.
std::string HelpTopicFor(unsigned context);

// The string-table id of the short text a control's pop-up shows, or 0 when `context` is no
// pop-up context of any page (a page topic, or a number nobody uses). The pop-up texts sit
// in the string table under their own context number, so language files translate them
// like every other message.
unsigned HelpPopupStringId(unsigned context);

// Every context number the program asks the help for, each once, ascending: the four
// pages and their pop-ups.
std::vector<unsigned> AllHelpContexts();

// Where a pop-up appears for a control with this screen rectangle: its top centre just
// under the control, as the viewer places a pop-up by the top centre.
struct HelpPoint {
    long x;
    long y;
};
HelpPoint PopupAnchor(long left, long top, long right, long bottom);

// Why help could not be shown, in the order the viewer needs things.
enum class HelpProblem { kNone, kViewerMissing, kFileMissing, kNotOpened };
HelpProblem DiagnoseHelp(bool viewer_loaded, bool file_exists, bool opened);

// The message's text: the template (translatable, it names the file with "%s") with the
// file's name in place of its first "%s". Any other '%' stays as it is, so a translation
// cannot make the message read beyond its text.
std::string NameMissingFile(const std::string& text_template, const std::string& file);

}  // namespace qly
