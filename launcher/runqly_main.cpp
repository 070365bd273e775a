// RUNQLY.EXE: the delayed launcher's entry.
#include <windows.h>

#include "launcher/launcher.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return qly::RunLauncher(qly::LauncherSeams{});
}
