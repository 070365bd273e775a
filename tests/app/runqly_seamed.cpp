// runqly_seamed.exe: the delayed launcher with the Alt key's state from the environment
// (QLY_TEST_ALT_DOWN=1: held), since nobody presses a key in an unattended run.
#include <windows.h>

#include "launcher/launcher.h"

namespace {

bool AltDown() {
    char value[4] = {};
    return GetEnvironmentVariableA("QLY_TEST_ALT_DOWN", value, sizeof value) > 0 && value[0] == '1';
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    qly::LauncherSeams seams;
    seams.alt_down = AltDown;
    return qly::RunLauncher(seams);
}
