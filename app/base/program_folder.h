// The folder part of a program path: everything up to and including the last backslash or
// slash. Plain C++, so the rule is the same in the main program and in the delayed
// launcher and is tested natively; the caller names the code page's lead bytes, because
// the trail byte of a double-byte character may look like a backslash.
#pragma once

#include <string>
#include <string_view>

namespace qly {

using LeadByteTest = bool (*)(unsigned char byte);

// Without a separator the folder is empty (the file is taken from the current folder).
inline std::string ProgramFolderOf(std::string_view path, LeadByteTest is_lead_byte = nullptr) {
    size_t cut = 0;
    for (size_t i = 0; i < path.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(path[i]);
        if (is_lead_byte != nullptr && is_lead_byte(c)) {
            ++i;  // the trail byte is part of the character, never a separator
            continue;
        }
        if (c == '\\' || c == '/')
            cut = i + 1;
    }
    return std::string(path.substr(0, cut));
}

}  // namespace qly
