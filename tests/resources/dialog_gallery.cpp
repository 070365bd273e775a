// Shows one dialog or settings page of the program in a chosen language, at the top-left
// corner of the screen, for scripts/dialog_screenshots.sh to photograph. Prints the layout
// problems it measures to its standard output and ends by itself after a few seconds.
//   dialog_gallery.exe DIALOG_ID [LANGUAGE_FILE] [MILLISECONDS]
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/resources/dialog_layout.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: dialog_gallery DIALOG_ID [LANGUAGE_FILE] [MILLISECONDS]\n");
        return 2;
    }
    InitCommonControls();
    LoadLibraryA("RICHED32.DLL");
    int id = std::atoi(argv[1]);
    qly::test::UseLanguage(argc > 2 ? argv[2] : "");
    DWORD show_ms = argc > 3 ? static_cast<DWORD>(std::atoi(argv[3])) : 4000;

    HWND frame = nullptr;
    HWND dialog = qly::test::OpenTranslatedDialog(id, nullptr, &frame);
    if (dialog == nullptr) {
        std::fprintf(stderr, "dialog %d could not be created\n", id);
        return 1;
    }
    SetWindowPos(frame, HWND_TOPMOST, 8, 8, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    for (const std::string& problem : qly::test::LayoutProblems(dialog)) {
        std::printf("dialog %d: %s\n", id, problem.c_str());
    }
    std::fflush(stdout);
    DWORD end = GetTickCount() + show_ms;
    while (GetTickCount() < end) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!IsDialogMessageA(frame, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
        Sleep(20);
    }
    DestroyWindow(frame);
    qly::test::UseLanguage("");
    return 0;
}
