// Shortcut file names; see shell_link_name.h.
#include "app/autostart/shell_link_name.h"

namespace qly {

namespace {

bool EndsWithNoCase(std::string_view text, std::string_view tail) {
    if (text.size() < tail.size())
        return false;
    text.remove_prefix(text.size() - tail.size());
    for (size_t i = 0; i < tail.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != tail[i])
            return false;
    }
    return true;
}

}  // namespace

std::string ShellLinkSavePath(std::string_view link_path) {
    if (link_path.size() >= 4 && link_path[link_path.size() - 4] == '.')
        return std::string(link_path);
    return std::string(link_path) + ".LNK";
}

std::string ShellLinkSavedPath(std::string_view save_path, std::string_view target) {
    std::string saved(save_path);
    // Windows keeps the settings of an MS-DOS program in a .pif file instead of a .lnk.
    if ((EndsWithNoCase(target, ".pif") || EndsWithNoCase(target, ".com")) && saved.size() >= 4)
        saved.replace(saved.size() - 4, 4, ".pif");
    return saved;
}

}  // namespace qly
