// The file names of shortcuts: the name a shortcut is saved under (".LNK" added unless the
// name already carries a three-letter extension), and the name Windows really gives it
// when the target is an MS-DOS program (".pif"). Plain C++, tested natively.
#pragma once

#include <string>
#include <string_view>

namespace qly {

// `link_path` with ".LNK" appended unless its fourth character from the end is a dot.
std::string ShellLinkSavePath(std::string_view link_path);

// The path the saved shortcut has on disk: for a target ending in ".pif" or ".com" (any
// case) the last four characters of `save_path` become ".pif"; otherwise `save_path`.
std::string ShellLinkSavedPath(std::string_view save_path, std::string_view target);

}  // namespace qly
