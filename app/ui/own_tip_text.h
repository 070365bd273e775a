// The own icon's tip as text: the program's name, the menu hotkey's text and the lines about
// the process's rights, cut to what the first-version notify-icon record can carry. Plain
// C++: the Win32 side supplies the hotkey text and the rights lines it could learn.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qly {

// The tip field of the first-version notify-icon record holds 64 bytes with its terminator.
constexpr size_t kOwnTipMax = 63;

// name + hotkey, then for each rights line that is known a line break and the line; at most
// kOwnTipMax characters.
std::string AssembleOwnTip(std::string_view name,
                           std::string_view hotkey_text,
                           std::optional<std::string_view> admin_line,
                           std::optional<std::string_view> elevation_line);

}  // namespace qly
