// notifyclient.exe as the owner of test icons; see icon_owners.h.
#include "tests/support/icon_owners.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace qly_test {

namespace {

std::wstring Wide(const std::string& s) {
    return std::wstring(s.begin(), s.end());
}

}  // namespace

std::string UniqueTempPath(const std::string& stem) {
    char dir[MAX_PATH] = {};
    GetTempPathA(sizeof dir, dir);
    static int serial = 0;
    return std::string(dir) + stem + "_" + std::to_string(GetCurrentProcessId()) + "_" +
           std::to_string(GetTickCount()) + "_" + std::to_string(++serial);
}

IconOwners::IconOwners(const std::vector<std::string>& names, const std::string& script) {
    const std::string stem = UniqueTempPath("owners");
    m_log = stem + ".log";
    const std::string script_path = stem + ".txt";
    DeleteFileA(m_log.c_str());
    {
        std::ofstream out(script_path, std::ios::binary);
        for (const std::string& n : names)
            out << "window " << n << "\n";
        out << script << "stay\n";
    }
    m_process = ChildProcess(L"notifyclient.exe", Quote(L"--log=" + Wide(m_log)) + L" " +
                                                      Quote(L"--script=" + Wide(script_path)));
    for (int i = 0; i < 250 && m_windows.size() < names.size(); ++i) {
        Sleep(20);
        m_windows.clear();
        std::istringstream in(Log());
        std::string line;
        while (std::getline(in, line)) {
            char name[64] = {};
            unsigned long long h = 0;
            if (std::sscanf(line.c_str(), "window %63s hwnd=0x%llx", name, &h) == 2)
                m_windows.emplace_back(name, reinterpret_cast<HWND>(static_cast<uintptr_t>(h)));
        }
    }
}

HWND IconOwners::Window(const std::string& name) const {
    for (const auto& [n, h] : m_windows)
        if (n == name)
            return h;
    return nullptr;
}

std::string IconOwners::Log() const {
    std::ifstream in(m_log, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool IconOwners::WaitForNote(const std::string& text, DWORD timeout_ms) const {
    for (DWORD waited = 0;; waited += 50) {
        if (Log().find("note " + text) != std::string::npos)
            return true;
        if (waited >= timeout_ms)
            return false;
        Sleep(50);
    }
}

}  // namespace qly_test
