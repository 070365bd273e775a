// A program of its own that owns one visible top-level window titled by its command line,
// so the process lookups have a window of another process to name (and the demo one to
// take to the tray). Ends when the window closes.
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int) {
    WNDCLASSA window_class = {};
    window_class.lpfnWndProc = [](HWND window, UINT message, WPARAM wparam,
                                  LPARAM lparam) -> LRESULT {
        if (message == WM_DESTROY) {
            PostQuitMessage(0);
            return 0;
        }
        return DefWindowProcA(window, message, wparam, lparam);
    };
    window_class.hInstance = instance;
    window_class.lpszClassName = "QlyDiagWindowOwner";
    RegisterClassA(&window_class);
    // A title with blanks arrives quoted; the window is titled without the quotes.
    char title[260];
    lstrcpynA(title, command_line, sizeof title);
    const int length = lstrlenA(title);
    char* shown = title;
    if (length >= 2 && title[0] == '"' && title[length - 1] == '"') {
        title[length - 1] = 0;
        shown = title + 1;
    }
    HWND window = CreateWindowA("QlyDiagWindowOwner", shown, WS_OVERLAPPEDWINDOW, 0, 0,
                                200, 100, nullptr, nullptr, instance, nullptr);
    ShowWindow(window, SW_SHOW);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        DispatchMessageA(&msg);
    }
    return 0;
}
