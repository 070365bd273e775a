// A program of its own that owns one top-level window titled by its command line, so the
// process lookups have a window of another process to name. Ends when the window closes.
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
    CreateWindowA("QlyDiagWindowOwner", command_line, WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                  nullptr, instance, nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        DispatchMessageA(&msg);
    }
    return 0;
}
