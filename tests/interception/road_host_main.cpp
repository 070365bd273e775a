// road_host.exe: the road of a notification as a program of its own, for runs by hand and
// for the test that the program's start and exit behave. It loads the settings and rules
// from the per-user key, starts CopyDataThread and the stand-in main window, installs the
// hook and waits; once the tray is taken over it adds its own icon, replays the registry
// and removes the hook, as the main program does. When its main window is closed it gives
// the hidden icons back to the tray, asks the hook to let the tray go, and ends.
//   road_host.exe [--log=FLAGLOG]
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "app/diag/log.h"
#include "app/interception/interception_state.h"
#include "app/interception/special_tray_ops.h"
#include "hooklib/hook_protocol.h"
#include "hooklib/qlydll.h"
#include "tests/interception/road_host.h"

int main(int argc, char** argv) {
    uint32_t flag_log = 0;
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--log=", 6) == 0)
            flag_log = static_cast<uint32_t>(std::strtoul(argv[i] + 6, nullptr, 0));
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder(path);
    folder.resize(folder.find_last_of('\\') + 1);
    if (flag_log)
        qly::OpenLog(folder, flag_log);

    WM_USER_QLY_HOOK_MSG = RegisterWindowMessageA("QUILLORY_WM_USER_QLY_HOOK_MSG");
    WM_USER_TASKBAR_CREATED = RegisterWindowMessageA("TaskbarCreated");
    qly_road::RoadHost host(true);
    if (!host.Ready())
        return 1;
    qly::SetOwnIcon(host.MainWindow(), "Quillory", 0, false);
    size_t acquired = 0;
    while (IsWindow(host.MainWindow())) {
        if (host.Notices(qly::kHookNoticeAcquired) > acquired) {
            acquired = host.Notices(qly::kHookNoticeAcquired);
            FindSpecialWindows();
            qly::ReplayAllToTray(false);
            UninstallHooks();
        }
        Sleep(50);
    }
    qly::SetShuttingDown(true);
    qly::ReleaseAllItems();
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(reinterpret_cast<HWND>(static_cast<uintptr_t>(g_shell_tray_hwnd)),
                        WM_USER_QLY_HOOK_MSG, qly::kHookRelease, 0, SMTO_NORMAL,
                        qly::kReleaseTimeoutMs, &ignored);
    UninstallHooks();
    qly::CloseLog();
    return 0;
}
