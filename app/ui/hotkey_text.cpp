// The hotkey text that the menu's Settings entry and the own icon's tip show; see hotkeys.h.
#include "app/ui/hotkeys.h"

#include "app/ui/controls/hotkey_modifiers.h"
#include "hooklib/qlydll.h"

namespace qly {

void AppendHotkeyText(std::string& text, uint32_t modifiers, uint32_t virtual_key) {
    if (virtual_key == 0)
        return;
    // Shells before Vista drew tabs in menus and tips poorly; blanks line up there.
    text += g_flag_WinVista ? " " : "        ";
    if (modifiers & kModWin)
        text += "Win + ";
    if (modifiers & kModControl)
        text += "Ctrl + ";
    if (modifiers & kModAlt)
        text += "Alt + ";
    if (modifiers & kModShift)
        text += "Shift + ";
    char name[16] = {};
    const LONG scan = static_cast<LONG>(MapVirtualKeyA(virtual_key, 0) << 16);
    const int n = GetKeyNameTextA(scan, name, sizeof name);
    if (n > 0)
        text.append(name, static_cast<size_t>(n < 15 ? n : 15));
}

}  // namespace qly
