// trayhost's control window "TrayHostControl": the text commands by which tests and the
// demo read the tray's state, click buttons, restart the tray window and ask about loaded
// modules, without reaching into the process (protocol in README.md).
#pragma once

#include <windows.h>

#include <string>

#include "tools/trayhost/tray_window.h"

namespace trayhost {

constexpr ULONG_PTR kControlKind = 0x54484354;  // "THCT"

// Counts a hardware fault seen anywhere in trayhost (answered by the command `faults`).
void NoteFault();

class ControlWindow {
  public:
    ControlWindow(TrayWindow& tray, HMODULE preload);
    ~ControlWindow();
    bool Create();

    // Runs one command; the result is what the sender of WM_COPYDATA gets back.
    LRESULT Run(const std::string& command);

  private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

    TrayWindow& m_tray;
    HMODULE m_preload;
    HWND m_hwnd = nullptr;
};

}  // namespace trayhost
