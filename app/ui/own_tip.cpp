// The own icon's tip: the rights lines learnt from the system at run time (the calls may be
// missing on older systems, and their absence only shortens the tip), assembled with the
// menu hotkey and handed to the tray; the replays keep the same tip.
#include <windows.h>
#include <shellapi.h>

#include <optional>
#include <string>

#include "app/interception/special_tray_ops.h"
#include "app/lang/language.h"
#include "app/ui/hotkeys.h"
#include "app/ui/own_icon.h"
#include "app/ui/own_tip_text.h"
#include "app/ui/program_state.h"
#include "app/base/program_names.h"
#include "resources/resource.h"

namespace qly {

namespace {

std::string UiString(UINT id) {
    char text[256] = {};
    LoadUiString(App().instance, id, text, sizeof text);
    return text;
}

std::optional<std::string> AdminLine() {
    using IsUserAnAdminFunction = BOOL(WINAPI*)();
    HMODULE shell = GetModuleHandleA("SHELL32.DLL");
    if (shell == nullptr)
        shell = LoadLibraryA("SHELL32.DLL");
    if (shell == nullptr)
        return std::nullopt;
    const auto is_admin = reinterpret_cast<IsUserAnAdminFunction>(
        reinterpret_cast<void*>(GetProcAddress(shell, "IsUserAnAdmin")));
    if (is_admin == nullptr)
        return std::nullopt;
    return UiString(is_admin() ? IDS_ADMIN_ON : IDS_ADMIN_OFF);
}

std::optional<std::string> ElevationLine() {
    using GetTokenInformationFunction =
        BOOL(WINAPI*)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD, PDWORD);
    HMODULE advapi = GetModuleHandleA("ADVAPI32.DLL");
    if (advapi == nullptr)
        return std::nullopt;
    const auto get_info = reinterpret_cast<GetTokenInformationFunction>(
        reinterpret_cast<void*>(GetProcAddress(advapi, "GetTokenInformation")));
    HANDLE token = nullptr;
    if (get_info == nullptr || !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return std::nullopt;
    DWORD type = 0;
    DWORD size = 0;
    const BOOL ok = get_info(token, TokenElevationType, &type, sizeof type, &size);
    CloseHandle(token);
    // Only the three types the string table names; anything else says nothing true.
    if (!ok || type < 1 || type > 3)
        return std::nullopt;
    return UiString(IDS_ADMIN_OFF + type);
}

}  // namespace

void RefreshOwnTip(HWND main_window) {
    ProgramState& app = App();
    if (main_window == nullptr)
        return;
    const std::optional<std::string> admin = AdminLine();
    const std::optional<std::string> elevation = ElevationLine();
    std::optional<std::string_view> admin_view;
    std::optional<std::string_view> elevation_view;
    if (admin)
        admin_view = *admin;
    if (elevation)
        elevation_view = *elevation;
    app.own_tip =
        AssembleOwnTip(UiString(IDS_APP_NAME), HotkeyText(kHotkeyMenu), admin_view, elevation_view);
    SetOwnIcon(main_window, app.own_tip, app.own_icon, false);
    NotifyIconCall(main_window, 0, app.own_tip.c_str(), app.own_icon, NIM_MODIFY,
                   kOwnCallbackMessage, 0, false);
}

}  // namespace qly
