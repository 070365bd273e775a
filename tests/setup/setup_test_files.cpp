// The setup tests' files and pending renames; see setup_test_files.h.
#include "tests/setup/setup_test_files.h"

#include <windows.h>

#include <vector>

namespace qly_setup_test {

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void Write(const std::string& path, const std::string& text) {
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(f);
}

std::string Read(const std::string& path) {
    HANDLE f = CreateFileA(path.c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return "<missing>";
    char buffer[256] = {};
    DWORD n = 0;
    ReadFile(f, buffer, sizeof(buffer) - 1, &n, nullptr);
    CloseHandle(f);
    return std::string(buffer, n);
}

std::string PendingRenames() {
    std::vector<wchar_t> data(65536);
    DWORD size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    if (RegGetValueW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager",
                     L"PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ, nullptr, data.data(),
                     &size) != ERROR_SUCCESS)
        return "";
    std::string out;
    for (DWORD i = 0; i < size / sizeof(wchar_t); ++i)
        out += data[i] == 0 ? '|' : static_cast<char>(data[i] < 128 ? data[i] : '?');
    return out;
}

}  // namespace qly_setup_test
