// The tray's toolbar read from inside the shell: buttons by TB_GETBUTTON, the shell's
// per-button data through each button's dwData, icons from the toolbar's image list and
// tips from the button text, converted to the 8-bit code page within the record's bounds.
// dwData and the text are read only where the memory is readable and large enough; a
// button whose data is not counts as a button without data.
// The reads go straight to the toolbar class's own procedure when the toolbar belongs to
// this thread: they change nothing, and every procedure that subclasses the toolbar in
// front of it (the shell's own, through the common controls' subclassing) is then spared a
// message per button. Under Wine each of those costs a trip to the server for the
// subclass's window property, which made a dump cost more than the forward it precedes.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include "hooklib/readable_memory.h"
#include "hooklib/tray_buttons.h"

namespace qly {

class ShellToolbar final : public TrayButtonSource {
  public:
    explicit ShellToolbar(HWND toolbar);

    int Count() override;
    bool Read(int index, TrayButton* button) override;
    uint64_t MakeIcon(const TrayButton& button) override;
    void ReadTip(const TrayButton& button, char* tip, size_t capacity) override;

    HWND Handle() const { return m_toolbar; }

  private:
    // A read-only toolbar message, to the class's procedure when we may call it.
    LRESULT Query(UINT msg, WPARAM wparam, LPARAM lparam);

    HWND m_toolbar;
    WNDPROC m_class_proc = nullptr;
    HIMAGELIST m_images = nullptr;
    bool m_images_known = false;
    ReadableMemory m_readable;
};

}  // namespace qly
