// RunLauncher; see launcher.h.
#include "launcher/launcher.h"

#include <string>

#include "app/base/program_names.h"
#include "launcher/launcher_command.h"

namespace qly {

namespace {

constexpr DWORD kStepMs = 200;
constexpr DWORD kInputIdleMs = 4000;
constexpr DWORD kFinalPauseMs = 500;

bool AltDown() {
    return GetAsyncKeyState(VK_MENU) < 0;
}

bool IsLeadByte(unsigned char byte) {
    return IsDBCSLeadByte(byte) != FALSE;
}

DWORD ReadDelay() {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return 0;
    DWORD delay = 0;
    DWORD size = sizeof delay;
    DWORD type = 0;
    const LONG rc = RegQueryValueExA(key, "DelayRunQly", nullptr, &type,
                                     reinterpret_cast<BYTE*>(&delay), &size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS && size == sizeof delay ? delay : 0;
}

void PumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// The user's desktop is still busy starting everything else; holding Alt says "now".
void WaitForDelay(DWORD delay_ms, bool (*alt_down)()) {
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= delay_ms)
            return;
        PumpMessages();
        if (alt_down())
            return;
        const DWORD left = delay_ms - elapsed;
        Sleep(left < kStepMs ? left : kStepMs);
    }
}

}  // namespace

int RunLauncher(const LauncherSeams& seams) {
    char own[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameA(nullptr, own, sizeof own);
    std::string command = LauncherCommandLine(std::string(own, n < sizeof own ? n : 0), IsLeadByte);
    // A running main program needs no delay: it only writes the RunOnce value again.
    if (FindWindowA(kMainWindowClass, kMainWindowCaption) == nullptr) {
        const DWORD delay = ReadDelay();
        if (delay != 0)
            WaitForDelay(delay, seams.alt_down ? seams.alt_down : AltDown);
    }
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                       &pi)) {
        WaitForInputIdle(pi.hProcess, kInputIdleMs);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        Sleep(kFinalPauseMs);
    }
    return 0;
}

}  // namespace qly
