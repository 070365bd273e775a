// The main program's test fixture; see app_fixture.h.
#include "tests/app/app_fixture.h"

#include <fstream>
#include <sstream>

#include "hooklib/qlydll.h"
#include "tests/hooklib/hook_harness.h"

namespace qly_app_test {

namespace {

struct Search {
    DWORD pid;
    const char* cls;
    const char* title;
    HWND found;
};

BOOL CALLBACK Match(HWND window, LPARAM param) {
    Search* s = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != s->pid)
        return TRUE;
    char cls[64] = {};
    char title[256] = {};
    GetClassNameA(window, cls, sizeof cls);
    GetWindowTextA(window, title, sizeof title);
    if ((s->cls == nullptr || lstrcmpA(cls, s->cls) == 0) &&
        (s->title == nullptr || lstrcmpA(title, s->title) == 0)) {
        s->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

void DeleteSettings() {
    RegDeleteTreeA(HKEY_CURRENT_USER, kKeyPath);
}

void WriteSettings(const std::map<std::string, uint32_t>& values,
                   const std::map<std::string, uint32_t>& rules) {
    DeleteSettings();
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != 0)
        return;
    for (const auto& [name, value] : values)
        RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                       sizeof value);
    HKEY sub = nullptr;
    if (RegCreateKeyExA(key, "RULES", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr) == 0) {
        for (const auto& [name, flags] : rules)
            RegSetValueExA(sub, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&flags),
                           sizeof flags);
        RegCloseKey(sub);
    }
    RegCloseKey(key);
}

bool SettingsKeyExists() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kKeyPath, 0, KEY_READ, &key) != 0)
        return false;
    RegCloseKey(key);
    return true;
}

uint32_t ReadSetting(const char* name, uint32_t missing) {
    uint32_t value = missing;
    DWORD size = sizeof value;
    if (RegGetValueA(HKEY_CURRENT_USER, kKeyPath, name, RRF_RT_REG_DWORD, nullptr, &value, &size) !=
        0)
        return missing;
    return value;
}

HWND FindProcessWindow(DWORD pid, const char* cls, const char* title) {
    Search s{pid, cls, title, nullptr};
    EnumWindows(Match, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

HWND WaitForProcessWindow(DWORD pid, const char* cls, const char* title, DWORD timeout_ms) {
    for (DWORD waited = 0;; waited += 25) {
        if (HWND w = FindProcessWindow(pid, cls, title))
            return w;
        if (waited >= timeout_ms)
            return nullptr;
        Sleep(25);
    }
}

bool WaitUntilGone(DWORD pid, const char* cls, const char* title, DWORD timeout_ms) {
    for (DWORD waited = 0;; waited += 25) {
        if (FindProcessWindow(pid, cls, title) == nullptr)
            return true;
        if (waited >= timeout_ms)
            return false;
        Sleep(25);
    }
}

HWND WaitForBoxSaying(DWORD pid, const char* caption, const std::string& text, DWORD timeout_ms) {
    struct BoxSearch {
        DWORD pid;
        const char* caption;
        const std::string* text;
        HWND found;
    };
    for (DWORD waited = 0; waited <= timeout_ms; waited += 50) {
        BoxSearch search = {pid, caption, &text, nullptr};
        EnumWindows(
            [](HWND w, LPARAM p) -> BOOL {
                auto* s = reinterpret_cast<BoxSearch*>(p);
                DWORD owner = 0;
                GetWindowThreadProcessId(w, &owner);
                char title[128] = {};
                GetWindowTextA(w, title, sizeof title);
                if (owner == s->pid && lstrcmpA(title, s->caption) == 0 &&
                    MessageBoxText(w) == *s->text) {
                    s->found = w;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        if (search.found)
            return search.found;
        Sleep(50);
    }
    return nullptr;
}

std::string MessageBoxText(HWND box) {
    char text[1024] = {};
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    return text;
}

Quillory::Quillory(const std::wstring& args, bool seamed)
    : m_process(seamed ? L"quillory_seamed.exe" : L"quillory.exe", args) {}

HWND Quillory::WaitUntilHooked(DWORD timeout_ms) {
    if (!WaitForProcessWindow(Id(), "CopyDataWnd", nullptr, timeout_ms))
        return nullptr;
    m_main = WaitForProcessWindow(Id(), "#32770", "Quillory", timeout_ms);
    // InstallHooks holds on for a second before it returns.
    Sleep(1300);
    return m_main;
}

bool Quillory::Exit(DWORD timeout_ms) {
    if (m_main == nullptr)
        m_main = FindProcessWindow(Id(), "#32770", "Quillory");
    PostMessageA(m_main, WM_COMMAND, 40001, 0);
    return m_process.Wait(timeout_ms);
}

bool Quillory::Kill() {
    TerminateProcess(m_process.Handle(), 1);
    return m_process.Wait(10000);
}

std::string LogFilePath() {
    const std::wstring dir = qly_test::BinDir();
    return std::string(dir.begin(), dir.end()) + "QUILLORY.LOG";
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool WaitForTakeover(DWORD timeout_ms) {
    for (DWORD waited = 0;; waited += 25) {
        if (g_flag_tray_aquired != 0)
            return true;
        if (waited >= timeout_ms)
            return false;
        Sleep(25);
    }
}

ProtocolHandler::ProtocolHandler(const std::string& protocol, const std::string& command)
    : m_key(protocol + "\\shell\\open\\command") {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, m_key.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
        char old[1024] = {};
        DWORD size = sizeof old - 1;
        m_had = RegQueryValueExA(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(old),
                                 &size) == ERROR_SUCCESS;
        m_old = old;
        RegCloseKey(key);
    }
    m_created_protocol = !m_had && RegOpenKeyExA(HKEY_CLASSES_ROOT, protocol.c_str(), 0, KEY_READ,
                                                 &key) != ERROR_SUCCESS;
    if (!m_created_protocol && !m_had)
        RegCloseKey(key);
    m_protocol = protocol;
    Set(command);
}

ProtocolHandler::~ProtocolHandler() {
    if (m_had)
        Set(m_old);
    else if (m_created_protocol)
        RegDeleteTreeA(HKEY_CLASSES_ROOT, m_protocol.c_str());
    else
        RegDeleteTreeA(HKEY_CLASSES_ROOT, (m_protocol + "\\shell\\open").c_str());
}

void ProtocolHandler::Set(const std::string& value) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, m_key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
}

void App::SetUp() {
    qly_hook_test::ResetSharedSection();
    DeleteFileA(LogFilePath().c_str());
    SetEnvironmentVariableA("QLY_TEST_CTRL_DOWN", nullptr);
    SetEnvironmentVariableA("QLY_TEST_WATCHDOG", nullptr);
    SetEnvironmentVariableA("QLY_TEST_EXIT_WINDOWS", nullptr);
    SetEnvironmentVariableA("QLY_TEST_SHUTDOWN_THROW", nullptr);
    SetEnvironmentVariableA("QLY_TEST_AUTOSTART_WAITS", nullptr);
    SetEnvironmentVariableA("QLY_TEST_COMMAND_LINES", nullptr);
}

void App::TearDown() {
    DeleteSettings();
}

bool WaitForIcon(const qly_test::TrayHost& tray,
                 HWND owner,
                 uint32_t uid,
                 bool present,
                 DWORD timeout_ms) {
    return tray.WaitForState(
        [&](const qly_test::TrayState& st) { return (st.Find(owner, uid) != nullptr) == present; },
        timeout_ms);
}

}  // namespace qly_app_test
