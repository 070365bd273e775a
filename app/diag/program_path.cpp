// Text work on program paths; see program_path.h.
#include "app/diag/program_path.h"

#include <cstring>

namespace qly {

std::string_view FileNamePart(std::string_view path) {
    const std::size_t cut = path.find_last_of("\\/");
    return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

bool IsNtvdmPath(std::string_view path) {
    static constexpr std::string_view kHost = "NTVDM.EXE";
    if (path.size() < kHost.size()) {
        return false;
    }
    const std::string_view tail = path.substr(path.size() - kHost.size());
    for (std::size_t i = 0; i < kHost.size(); ++i) {
        char c = tail[i];
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
        if (c != kHost[i]) {
            return false;
        }
    }
    return true;
}

bool CopyBounded(char* out, std::size_t size, std::string_view text) {
    if (size == 0) {
        return text.empty();
    }
    const std::size_t length = text.size() < size ? text.size() : size - 1;
    std::memcpy(out, text.data(), length);
    out[length] = '\0';
    return length == text.size();
}

}  // namespace qly
