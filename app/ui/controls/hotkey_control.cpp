// The hotkey control messages behind the stored hotkey form.
#include "app/ui/controls/hotkey_control.h"

#include <commctrl.h>

namespace qly {

static_assert(kModAlt == MOD_ALT && kModControl == MOD_CONTROL && kModShift == MOD_SHIFT &&
              kModWin == MOD_WIN);
static_assert(kHotkeyFlagShift == HOTKEYF_SHIFT && kHotkeyFlagControl == HOTKEYF_CONTROL &&
              kHotkeyFlagAlt == HOTKEYF_ALT && kHotkeyFlagExtended == HOTKEYF_EXT);

void HotkeyControl::Set(const Hotkey& hotkey) {
    const HotkeyControlState state = ToControlState(hotkey);
    SendMessageA(m_control, HKM_SETHOTKEY, MAKEWORD(state.key, state.flags), 0);
    if (m_win_box != nullptr)
        SendMessageA(m_win_box, BM_SETCHECK, state.win ? BST_CHECKED : BST_UNCHECKED, 0);
}

Hotkey HotkeyControl::Get() const {
    const WORD value = LOWORD(SendMessageA(m_control, HKM_GETHOTKEY, 0, 0));
    HotkeyControlState state;
    state.key = LOBYTE(value);
    state.flags = HIBYTE(value);
    state.win = m_win_box != nullptr && SendMessageA(m_win_box, BM_GETCHECK, 0, 0) == BST_CHECKED;
    return FromControlState(state);
}

}  // namespace qly
