// One hotkey control of the settings page together with its "Win key" check box, set from
// and read back as a stored Hotkey (RegisterHotKey's modifiers and virtual key). The
// wrapper borrows both windows (the dialog owns them); the box may be absent, and then the
// Win key is neither shown nor read.
#pragma once

#include <windows.h>

#include "app/ui/controls/hotkey_modifiers.h"

namespace qly {

class HotkeyControl {
  public:
    explicit HotkeyControl(HWND control, HWND win_box = nullptr) noexcept
        : m_control(control), m_win_box(win_box) {}
    HWND Handle() const noexcept { return m_control; }

    void Set(const Hotkey& hotkey);
    // A control that holds no key reads back as virtual key 0.
    Hotkey Get() const;

  private:
    HWND m_control;
    HWND m_win_box;
};

}  // namespace qly
