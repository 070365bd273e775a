// trayhost: a stand-in for the Windows shell's notification area, for tests and the demo.
// Start-up order matters: the control window first, the tray window only once the message
// loop runs, so that a desktop-wide CBT hook is already mapped here and sees its creation.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <cstring>
#include <string>

#include "tools/trayhost/control_window.h"
#include "tools/trayhost/tray_window.h"

namespace {

constexpr UINT kCreateTray = WM_APP + 10;

// Wine, like 64-bit Windows, swallows an access violation inside a window procedure that
// another process reached with SendMessage. Hardware faults are counted before that
// happens, so a test can ask (`faults`) whether a request made trayhost fault.
LONG CALLBACK CountFault(EXCEPTION_POINTERS* info) {
    switch (info->ExceptionRecord->ExceptionCode) {
        case EXCEPTION_ACCESS_VIOLATION:
        case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
        case EXCEPTION_DATATYPE_MISALIGNMENT:
        case EXCEPTION_ILLEGAL_INSTRUCTION:
        case EXCEPTION_IN_PAGE_ERROR:
        case EXCEPTION_INT_DIVIDE_BY_ZERO:
        case EXCEPTION_PRIV_INSTRUCTION:
        case EXCEPTION_STACK_OVERFLOW:
            trayhost::NoteFault();
            break;
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

bool NewButtonsGoToTheFront() {
    using GetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW*);
    OSVERSIONINFOW v = {};
    v.dwOSVersionInfoSize = sizeof v;
    // RtlGetVersion tells the truth whatever the program's manifest says.
    auto get_version = reinterpret_cast<GetVersionFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
    if (get_version == nullptr || get_version(&v) != 0)
        return true;
    return v.dwPlatformId == VER_PLATFORM_WIN32_NT &&
           (v.dwMajorVersion > 5 || (v.dwMajorVersion == 5 && v.dwMinorVersion >= 1));
}

// The command line is read as UTF-16: a DLL to preload may sit in a folder whose name the
// 8-bit code page cannot spell.
bool ParseOptions(int argc, wchar_t** argv, trayhost::Options* options) {
    for (int i = 1; i < argc; ++i) {
        const std::wstring a = argv[i];
        if (a == L"--layout=pager2")
            options->layout = trayhost::Layout::kPager2;
        else if (a == L"--layout=pager1")
            options->layout = trayhost::Layout::kPager1;
        else if (a == L"--layout=flat")
            options->layout = trayhost::Layout::kFlat;
        else if (a == L"--xp")
            options->xp = true;
        else if (a == L"--append-new-buttons")
            options->xp = false;
        else if (a == L"--no-balloon")
            options->balloon = false;
        else if (a == L"--no-tray")
            options->start_tray = false;
        else if (a == L"--foreign-toolbar")
            options->foreign_toolbar = true;
        else if (a.compare(0, 15, L"--system-icons=") == 0 && a.size() == 16 && a[15] >= L'0' &&
                 a[15] <= L'8')
            options->system_icons = a[15] - L'0';
        else if (a.compare(0, 10, L"--preload=") == 0 && a.size() > 10)
            options->preload = a.substr(10);
        else
            return false;
    }
    return true;
}

int Run() {
    trayhost::Options options;
    // The shell of NT 5.1 and later puts a new button at the front; older shells appended
    // it. trayhost does what the shell of the Windows version it runs on does, unless told.
    options.xp = NewButtonsGoToTheFront();
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr)
        return 2;
    const bool parsed = ParseOptions(argc, argv, &options);
    LocalFree(argv);
    if (!parsed)
        return 2;
    AddVectoredExceptionHandler(1, CountFault);
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_BAR_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);

    // Loaded before any window exists: a hook library that is already loaded here is not
    // loaded again by the hook, so its count of references is ours to drop.
    HMODULE preload = options.preload.empty() ? nullptr : LoadLibraryW(options.preload.c_str());
    if (!options.preload.empty() && !preload)
        return 3;

    trayhost::TrayWindow tray(options);
    trayhost::ControlWindow control(tray, preload);
    if (!control.Create())
        return 4;
    if (options.start_tray)
        PostThreadMessageA(GetCurrentThreadId(), kCreateTray, 0, 0);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.hwnd == nullptr && msg.message == kCreateTray) {
            tray.Create();
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}

}  // namespace

int main() {
    try {
        return Run();
    } catch (...) {
        return 1;
    }
}
