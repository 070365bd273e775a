// notifyclient: a program with tray icons, for tests and the demo. It makes owner windows,
// sends notify requests in the shell's wire format (or through Shell_NotifyIcon), and logs
// every result and every callback message its windows receive, one flushed line each.
// Script syntax in README.md.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "tools/notifyclient/notify_wire.h"
#include "tools/notifyclient/script.h"

namespace {

namespace nw = notify_wire;
using notifyclient::Statement;

constexpr wchar_t kOwnerClass[] = L"NotifyClientOwner";

FILE* g_log = nullptr;
UINT g_taskbar_created = 0;
bool g_readd = false;
bool g_use_api = false;
std::map<std::string, HWND> g_windows;
// The last add of each icon, for `readd on`: (window name, uid) -> statement.
std::map<std::pair<std::string, uint32_t>, Statement> g_added;
std::vector<Statement> g_pending_readd;

void Log(const char* fmt, ...) {
    if (!g_log)
        return;
    va_list ap;
    va_start(ap, fmt);
    std::vfprintf(g_log, fmt, ap);
    va_end(ap);
    std::fputc('\n', g_log);
    std::fflush(g_log);
}

std::string NameOf(HWND hwnd) {
    for (const auto& [name, h] : g_windows) {
        if (h == hwnd)
            return name;
    }
    return "?";
}

LRESULT CALLBACK OwnerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == g_taskbar_created && g_taskbar_created) {
        Log("taskbarcreated %s", NameOf(hwnd).c_str());
        if (g_readd) {
            for (const auto& [key, st] : g_added) {
                if (key.first == NameOf(hwnd))
                    g_pending_readd.push_back(st);
            }
        }
        return 0;
    }
    if (msg >= WM_USER) {
        Log("callback %s hwnd=0x%llx msg=0x%x wparam=0x%llx lparam=0x%llx", NameOf(hwnd).c_str(),
            static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(hwnd)), msg,
            static_cast<unsigned long long>(wp), static_cast<unsigned long long>(lp));
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

HWND WindowNamed(const std::string& name) {
    auto it = g_windows.find(name);
    if (it != g_windows.end())
        return it->second;
    // Top-level, hidden: it receives the "TaskbarCreated" broadcast like a real program.
    HWND h = CreateWindowExW(WS_EX_TOOLWINDOW, kOwnerClass, L"notifyclient owner", WS_POPUP, 0, 0,
                             10, 10, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    g_windows[name] = h;
    Log("window %s hwnd=0x%llx", name.c_str(),
        static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(h)));
    return h;
}

bool Number(const std::string& s, uint32_t* v) {
    if (s.empty())
        return false;
    char* end = nullptr;
    const unsigned long long n = std::strtoull(s.c_str(), &end, 0);
    if (!end || *end != '\0' || n > 0xFFFFFFFFull)
        return false;
    *v = static_cast<uint32_t>(n);
    return true;
}

// Pumps messages for `ms` milliseconds (INFINITE: until WM_QUIT), or until `file` exists.
bool Pump(DWORD ms, const std::string& file = std::string()) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT)
                return false;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (!file.empty() && GetFileAttributesA(file.c_str()) != INVALID_FILE_ATTRIBUTES)
            return true;
        const DWORD elapsed = GetTickCount() - start;
        if (ms != INFINITE && elapsed >= ms)
            return true;
        const DWORD wait = ms == INFINITE ? 50 : (ms - elapsed < 50 ? ms - elapsed : 50);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, wait, QS_ALLINPUT);
    }
}

HICON OwnIcon() {
    static HICON icon = nullptr;
    if (!icon) {
        uint32_t px[16 * 16];
        for (int i = 0; i < 256; ++i)
            px[i] = 0xFF000000u | ((i % 16 < 8) ? 0xE04020u : 0x2040E0u);
        uint8_t mask[32] = {};
        icon = CreateIcon(nullptr, 16, 16, 1, 32, mask, reinterpret_cast<const BYTE*>(px));
    }
    return icon;
}

struct Request {
    nw::NotifyFields fields;
    uint32_t size = nw::kSizeFull;
    bool has_size = false;
    bool null_data = false;
    bool has_sig = false;
    uint32_t sig = 0;
    bool has_cbsize = false;
    uint32_t cbsize = 0;
    bool has_kind = false;
    uint32_t kind = 1;
    HICON api_icon = nullptr;
};

// Fills a request from a statement's options; false with a message on a bad option.
bool BuildRequest(const Statement& st,
                  uint32_t command,
                  HWND owner,
                  uint32_t uid,
                  Request* r,
                  std::string* why) {
    nw::NotifyFields& f = r->fields;
    f.command = command;
    f.hwnd = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(owner));
    f.uid = uid;
    uint32_t flags = 0;
    for (const auto& [key, value] : st.options) {
        uint32_t n = 0;
        if (key == "tip") {
            f.tip = nw::Utf8ToUtf16(value);
            flags |= nw::kFlagTip;
        } else if (key == "info") {
            f.info = nw::Utf8ToUtf16(value);
            flags |= nw::kFlagInfo;
        } else if (key == "title") {
            f.info_title = nw::Utf8ToUtf16(value);
            flags |= nw::kFlagInfo;
        } else if (key == "icon") {
            HICON icon = nullptr;
            if (value == "own")
                icon = OwnIcon();
            else if (value == "app")
                icon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
            else if (value != "none" && Number(value, &n))
                icon = reinterpret_cast<HICON>(static_cast<uintptr_t>(n));
            else if (value != "none") {
                *why = "bad icon";
                return false;
            }
            r->api_icon = icon;
            f.icon = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(icon));
            if (value != "none")
                flags |= nw::kFlagIcon;
        } else if (key == "size") {
            if (!nw::ParseSizeName(value, &r->size)) {
                *why = "bad size";
                return false;
            }
            r->has_size = true;
        } else if (Number(value, &n)) {
            if (key == "msg") {
                f.callback_message = n;
                flags |= nw::kFlagMessage;
            } else if (key == "state") {
                f.state = n;
                flags |= nw::kFlagState;
            } else if (key == "mask") {
                f.state_mask = n;
                flags |= nw::kFlagState;
            } else if (key == "flags") {
                // Given flags replace the computed ones (applied below).
            } else if (key == "timeout") {
                f.timeout_or_version = n;
            } else if (key == "infoflags") {
                f.info_flags = n;
            } else if (key == "balloonicon") {
                f.balloon_icon = n;
            } else if (key == "sig") {
                r->has_sig = true;
                r->sig = n;
            } else if (key == "cbsize") {
                r->has_cbsize = true;
                r->cbsize = n;
            } else if (key == "kind") {
                r->has_kind = true;
                r->kind = n;
            } else {
                *why = "unknown option " + key;
                return false;
            }
        } else {
            *why = "bad value for " + key;
            return false;
        }
    }
    for (const std::string& word : st.args) {
        if (word == "hidden") {
            f.state |= nw::kStateHidden;
            f.state_mask |= nw::kStateHidden;
            flags |= nw::kFlagState;
        } else if (word == "shown") {
            f.state &= ~nw::kStateHidden;
            f.state_mask |= nw::kStateHidden;
            flags |= nw::kFlagState;
        } else if (word == "nulldata") {
            r->null_data = true;
        }
    }
    uint32_t given = 0;
    f.flags = st.options.count("flags") && Number(st.options.at("flags"), &given) ? given : flags;
    return true;
}

// Sends in the shell's format to the current tray window; returns the answer, -1 on no tray,
// -2 when the send failed or timed out.
long long SendWire(HWND owner, const Request& r) {
    HWND tray = FindWindowW(L"Shell_TrayWnd", nullptr);
    if (!tray)
        return -1;
    std::vector<uint8_t> payload = nw::BuildPayload(r.fields, r.size);
    if (r.has_sig)
        nw::PutU32(payload, nw::kOffSignature, r.sig);
    if (r.has_cbsize)
        nw::PutU32(payload, nw::kOffCbSize, r.cbsize);
    COPYDATASTRUCT cds = {};
    cds.dwData = r.has_kind ? r.kind : nw::kCopyDataKind;
    cds.cbData = static_cast<DWORD>(payload.size());
    cds.lpData = r.null_data ? nullptr : payload.data();
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(tray, WM_COPYDATA, reinterpret_cast<WPARAM>(owner),
                             reinterpret_cast<LPARAM>(&cds), SMTO_ABORTIFHUNG, 20000, &answer))
        return -2;
    return static_cast<long long>(answer);
}

long long SendApi(HWND owner, const Request& r) {
    NOTIFYICONDATAW nid = {};
    switch (r.has_size ? r.size : nw::kSizeFull) {
        case nw::kSizeV1:
            nid.cbSize = NOTIFYICONDATAW_V1_SIZE;
            break;
        case nw::kSizeV2:
            nid.cbSize = NOTIFYICONDATAW_V2_SIZE;
            break;
        case nw::kSizeV3:
            nid.cbSize = NOTIFYICONDATAW_V3_SIZE;
            break;
        default:
            nid.cbSize = sizeof(nid);
    }
    const nw::NotifyFields& f = r.fields;
    nid.hWnd = owner;
    nid.uID = f.uid;
    nid.uFlags = f.flags;
    nid.uCallbackMessage = f.callback_message;
    nid.hIcon = r.api_icon;
    auto copy = [](wchar_t* dst, size_t cap, const std::u16string& s) {
        size_t i = 0;
        for (; i + 1 < cap && i < s.size(); ++i)
            dst[i] = static_cast<wchar_t>(s[i]);
        dst[i] = 0;
    };
    copy(nid.szTip, 128, f.tip);
    nid.dwState = f.state;
    nid.dwStateMask = f.state_mask;
    copy(nid.szInfo, 256, f.info);
    nid.uTimeout = f.timeout_or_version;
    copy(nid.szInfoTitle, 64, f.info_title);
    nid.dwInfoFlags = f.info_flags;
    return Shell_NotifyIconW(f.command, &nid) ? 1 : 0;
}

// One notify statement: VERB WINDOW UID [N] options.
bool RunNotify(const Statement& st, uint32_t command, std::string* why) {
    const size_t need = command == nw::kSetVersion ? 3 : 2;
    uint32_t uid = 0;
    if (st.args.size() < need || !Number(st.args[1], &uid)) {
        *why = "expected WINDOW UID" + std::string(command == nw::kSetVersion ? " VERSION" : "");
        return false;
    }
    HWND owner = WindowNamed(st.args[0]);
    Request r;
    Statement rest = st;
    rest.args.erase(rest.args.begin(), rest.args.begin() + static_cast<long>(need));
    if (!BuildRequest(rest, command, owner, uid, &r, why))
        return false;
    if (command == nw::kSetVersion && !Number(st.args[2], &r.fields.timeout_or_version)) {
        *why = "bad version";
        return false;
    }
    const long long result = g_use_api ? SendApi(owner, r) : SendWire(owner, r);
    Log("result %d %s %s %u -> %lld", st.line, st.verb.c_str(), st.args[0].c_str(), uid, result);
    if (command == nw::kAdd && result == 1)
        g_added[{st.args[0], uid}] = st;
    if (command == nw::kDelete && result == 1)
        g_added.erase({st.args[0], uid});
    return true;
}

// Re-adds the icons of windows that saw "TaskbarCreated", as programs do.
void RunPendingReadds() {
    std::vector<Statement> todo;
    todo.swap(g_pending_readd);
    for (const Statement& st : todo) {
        std::string why;
        RunNotify(st, nw::kAdd, &why);
    }
}

// Runs the statements; returns the exit code.
int RunScript(const std::vector<Statement>& script) {
    for (const Statement& st : script) {
        RunPendingReadds();
        std::string why;
        bool ok = true;
        uint32_t n = 0;
        if (st.verb == "add")
            ok = RunNotify(st, nw::kAdd, &why);
        else if (st.verb == "modify")
            ok = RunNotify(st, nw::kModify, &why);
        else if (st.verb == "delete")
            ok = RunNotify(st, nw::kDelete, &why);
        else if (st.verb == "focus")
            ok = RunNotify(st, nw::kSetFocus, &why);
        else if (st.verb == "version")
            ok = RunNotify(st, nw::kSetVersion, &why);
        else if (st.verb == "window") {
            ok = !st.args.empty();
            if (ok)
                WindowNamed(st.args[0]);
        } else if (st.verb == "use" && st.args.size() == 1 &&
                   (st.args[0] == "wire" || st.args[0] == "api")) {
            g_use_api = st.args[0] == "api";
        } else if (st.verb == "readd" && st.args.size() == 1 &&
                   (st.args[0] == "on" || st.args[0] == "off")) {
            g_readd = st.args[0] == "on";
        } else if (st.verb == "sleep" && st.args.size() == 1 && Number(st.args[0], &n)) {
            if (!Pump(n))
                return 0;
        } else if (st.verb == "hang" && st.args.size() == 1 && Number(st.args[0], &n)) {
            // A program that stops answering: its windows get no message for this long.
            Sleep(n);
        } else if (st.verb == "wait-file" && !st.args.empty()) {
            uint32_t timeout = INFINITE;
            if (st.args.size() > 1 && !Number(st.args[1], &timeout))
                ok = false;
            else if (!Pump(timeout, st.args[0]))
                return 0;
            if (ok)
                Log("waited %d %s", st.line, st.args[0].c_str());
        } else if (st.verb == "log") {
            std::string text;
            for (const auto& a : st.args)
                text += (text.empty() ? "" : " ") + a;
            Log("note %s", text.c_str());
        } else if (st.verb == "stay") {
            // Until killed or the message loop ends; icons re-added on "TaskbarCreated" meanwhile.
            for (;;) {
                if (!Pump(100))
                    return 0;
                RunPendingReadds();
            }
        } else if (st.verb == "quit") {
            return 0;
        } else {
            ok = false;
            why = "unknown statement";
        }
        if (!ok)
            Log("error %d %s: %s", st.line, st.verb.c_str(),
                why.empty() ? "bad arguments" : why.c_str());
    }
    RunPendingReadds();
    return 0;
}

std::string ReadFile(const std::string& path, bool* ok) {
    std::string text;
    FILE* f = std::fopen(path.c_str(), "rb");
    *ok = f != nullptr;
    if (!f)
        return text;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof(buf), f)) > 0)
        text.append(buf, n);
    std::fclose(f);
    return text;
}

int Run(int argc, char** argv) {
    std::string log_path, script_path, inline_script;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a.compare(0, 6, "--log=") == 0)
            log_path = a.substr(6);
        else if (a.compare(0, 9, "--script=") == 0)
            script_path = a.substr(9);
        else if (a == "-e" && i + 1 < argc)
            inline_script += std::string(argv[++i]) + "\n";
        else
            return 2;
    }
    if (!log_path.empty())
        g_log = std::fopen(log_path.c_str(), "ab");
    Log("start pid=%lu", GetCurrentProcessId());

    std::vector<Statement> script;
    std::string error;
    if (!script_path.empty()) {
        bool ok = false;
        const std::string text = ReadFile(script_path, &ok);
        if (!ok) {
            Log("error 0 script: cannot read %s", script_path.c_str());
            return 3;
        }
        if (!notifyclient::ParseScript(text, 0, &script, &error)) {
            Log("error 0 script: %s", error.c_str());
            return 3;
        }
    }
    if (!inline_script.empty() && !notifyclient::ParseScript(inline_script, ';', &script, &error)) {
        Log("error 0 script: %s", error.c_str());
        return 3;
    }

    g_taskbar_created = RegisterWindowMessageW(L"TaskbarCreated");
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = OwnerProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kOwnerClass;
    RegisterClassExW(&wc);

    const int code = RunScript(script);
    Log("quit");
    for (const auto& [name, h] : g_windows)
        DestroyWindow(h);
    if (g_log)
        std::fclose(g_log);
    return code;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (...) {
        return 1;
    }
}
