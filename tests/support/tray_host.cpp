// TrayHost and the state-file parser.
#include "tests/support/tray_host.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace qly_test {
namespace {

constexpr ULONG_PTR kControlKind = 0x54484354;

struct FindData {
    const wchar_t* cls;
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindProc(HWND hwnd, LPARAM lp) {
    auto* d = reinterpret_cast<FindData*>(lp);
    wchar_t cls[64] = {};
    GetClassNameW(hwnd, cls, 64);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == d->pid && lstrcmpiW(cls, d->cls) == 0) {
        d->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// key=value words of one line; the value of "tip" runs to the end of the line.
bool Field(const std::string& line, const char* key, std::string* value) {
    const std::string k = std::string(" ") + key + "=";
    const size_t at = line.find(k);
    if (at == std::string::npos)
        return false;
    const size_t start = at + k.size();
    if (std::strcmp(key, "tip") == 0) {
        *value = line.substr(start);
        return true;
    }
    const size_t end = line.find(' ', start);
    *value = line.substr(start, end == std::string::npos ? std::string::npos : end - start);
    return true;
}

bool Number(const std::string& line, const char* key, unsigned long long* v) {
    std::string s;
    if (!Field(line, key, &s) || s.empty())
        return false;
    char* end = nullptr;
    *v = std::strtoull(s.c_str(), &end, 0);
    return end && *end == '\0';
}

HWND AsHwnd(unsigned long long v) {
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(v));
}

}  // namespace

std::wstring TrayButton::TipW() const {
    if (tip.empty())
        return std::wstring();
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, tip.data(), static_cast<int>(tip.size()), nullptr, 0);
    std::wstring w(n > 0 ? n : 0, L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_UTF8, 0, tip.data(), static_cast<int>(tip.size()), &w[0], n);
    return w;
}

std::vector<TrayButton> TrayState::Toolbar(int toolbar_number) const {
    std::vector<TrayButton> out;
    for (const auto& b : buttons) {
        if (b.toolbar == toolbar_number)
            out.push_back(b);
    }
    return out;
}

const TrayButton* TrayState::Find(HWND owner, uint32_t uid) const {
    for (const auto& b : buttons) {
        if (b.OwnerWindow() == owner && b.uid == uid)
            return &b;
    }
    return nullptr;
}

bool ParseTrayState(const std::string& text, TrayState* out) {
    *out = TrayState();
    std::istringstream in(text);
    std::string line;
    bool seen_tray = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        if (line == "tray none") {
            seen_tray = true;
            continue;
        }
        unsigned long long v = 0;
        if (line.compare(0, 5, "tray ") == 0) {
            seen_tray = true;
            out->tray = true;
            if (!Number(line, "hwnd", &v))
                return false;
            out->tray_window = AsHwnd(v);
            if (Number(line, "notify", &v))
                out->notify = AsHwnd(v);
            if (Number(line, "toolbar", &v))
                out->toolbar = AsHwnd(v);
            if (Number(line, "toolbar2", &v))
                out->toolbar2 = AsHwnd(v);
            if (Number(line, "tooltip", &v))
                out->tooltip = AsHwnd(v);
            Field(line, "layout", &out->layout);
            if (Number(line, "xp", &v))
                out->xp = v != 0;
            continue;
        }
        if (line.compare(0, 7, "button ") == 0) {
            TrayButton b;
            if (!Number(line, "index", &v))
                return false;
            b.index = static_cast<int>(v);
            if (!Number(line, "toolbar", &v))
                return false;
            b.toolbar = static_cast<int>(v);
            if (!Number(line, "owner", &v))
                return false;
            b.owner = v;
            if (!Number(line, "uid", &v))
                return false;
            b.uid = static_cast<uint32_t>(v);
            if (!Number(line, "hidden", &v))
                return false;
            b.hidden = v != 0;
            if (!Number(line, "callback", &v))
                return false;
            b.callback = static_cast<uint32_t>(v);
            if (!Number(line, "version", &v))
                return false;
            b.version = static_cast<uint32_t>(v);
            if (!Number(line, "flags", &v))
                return false;
            b.flags = static_cast<uint32_t>(v);
            if (!Field(line, "tip", &b.tip))
                return false;
            out->buttons.push_back(b);
            continue;
        }
        return false;
    }
    return seen_tray;
}

HWND FindWindowOfProcess(const wchar_t* cls, DWORD pid) {
    FindData d = {cls, pid, nullptr};
    EnumWindows(FindProc, reinterpret_cast<LPARAM>(&d));
    return d.found;
}

TrayHost::TrayHost(const std::wstring& switches, DWORD start_timeout_ms)
    : m_process(L"trayhost.exe", switches) {
    if (!m_process.Started())
        return;
    const bool want_tray = switches.find(L"--no-tray") == std::wstring::npos;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < start_timeout_ms && m_process.Running()) {
        if (!m_control)
            m_control = FindWindowOfProcess(L"TrayHostControl", m_process.Id());
        // The state command is answered on the thread that builds the tray, so a state
        // that shows the tray means the whole hierarchy exists.
        if (m_control && (!want_tray || (Tray() && State().tray))) {
            m_started = true;
            return;
        }
        Sleep(20);
    }
}

TrayHost::~TrayHost() {
    if (m_process.Running())
        Quit();
    m_process.End(0);
}

HWND TrayHost::Tray() const {
    return FindWindowOfProcess(L"Shell_TrayWnd", m_process.Id());
}

LRESULT TrayHost::Command(const std::string& text) const {
    if (!m_control)
        return 0;
    COPYDATASTRUCT cds = {};
    cds.dwData = kControlKind;
    cds.cbData = static_cast<DWORD>(text.size());
    cds.lpData = const_cast<char*>(text.data());
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(m_control, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds),
                             SMTO_ABORTIFHUNG, 10000, &result))
        return 0;
    return static_cast<LRESULT>(result);
}

TrayState TrayHost::State() const {
    TrayState state;
    static LONG counter = 0;
    char dir[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, dir);
    char path[MAX_PATH + 64];
    std::snprintf(path, sizeof(path), "%sqly_trayhost_state_%lu_%lu_%ld.txt", dir,
                  GetCurrentProcessId(), m_process.Id(), InterlockedIncrement(&counter));
    if (Command(std::string("state ") + path) != 1)
        return state;
    std::string text;
    if (FILE* f = std::fopen(path, "rb")) {
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof(buf), f)) > 0)
            text.append(buf, n);
        std::fclose(f);
    }
    DeleteFileA(path);
    ParseTrayState(text, &state);
    return state;
}

bool TrayHost::WaitForState(const std::function<bool(const TrayState&)>& done,
                            DWORD timeout_ms,
                            TrayState* last) const {
    const DWORD start = GetTickCount();
    for (;;) {
        TrayState s = State();
        const bool ok = done(s);
        if (last)
            *last = s;
        if (ok)
            return true;
        if (GetTickCount() - start >= timeout_ms)
            return false;
        Sleep(20);
    }
}

bool TrayHost::Click(int index, UINT mouse_message) const {
    return Command("click " + std::to_string(index) + " " + std::to_string(mouse_message)) == 1;
}

bool TrayHost::Quit() {
    if (!m_process.Running())
        return m_process.ExitCode() == 0;
    Command("quit");
    m_process.Wait(5000);
    return !m_process.Running() && m_process.ExitCode() == 0;
}

}  // namespace qly_test
