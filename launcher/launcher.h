// The delayed launcher's run: unless the main program is running already, wait the
// user's DelayRunQly (dispatching messages, cut short by holding Alt), then start the
// main program of the launcher's folder with "-r" and give it time to come up. It ends
// with 0 whether or not the start worked: nobody is there at log-on to read an error.
#pragma once

#include <windows.h>

namespace qly {

struct LauncherSeams {
    bool (*alt_down)() = nullptr;  // null: GetAsyncKeyState(VK_MENU)
};

int RunLauncher(const LauncherSeams& seams);

}  // namespace qly
