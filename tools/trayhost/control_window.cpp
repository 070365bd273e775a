// The control commands. A command arrives as WM_COPYDATA (dwData "THCT") with its ASCII
// text, no terminator needed; the result is the LRESULT. `quit` answers first and ends the
// message loop afterwards, so its sender is not left waiting.
#include "tools/trayhost/control_window.h"

#include <cstdlib>

namespace trayhost {
namespace {

constexpr char kControlClass[] = "TrayHostControl";
constexpr UINT kQuitLater = WM_APP + 1;
constexpr size_t kMaxCommand = 4096;
volatile LONG g_faults = 0;

// Splits off the first word; the rest keeps its inner spaces (paths may have them).
std::string TakeWord(std::string& text) {
    const size_t start = text.find_first_not_of(' ');
    if (start == std::string::npos) {
        text.clear();
        return std::string();
    }
    const size_t end = text.find(' ', start);
    std::string word =
        text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    text = end == std::string::npos ? std::string() : text.substr(end + 1);
    return word;
}

bool ParseNumber(const std::string& s, long* value) {
    if (s.empty())
        return false;
    char* end = nullptr;
    *value = std::strtol(s.c_str(), &end, 0);
    return end && *end == '\0';
}

std::string Trim(const std::string& s) {
    const size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos)
        return std::string();
    const size_t b = s.find_last_not_of(" \t\r\n");
    return s.substr(a, b - a + 1);
}

}  // namespace

void NoteFault() {
    InterlockedIncrement(&g_faults);
}

ControlWindow::ControlWindow(TrayWindow& tray, HMODULE preload)
    : m_tray(tray), m_preload(preload) {}

ControlWindow::~ControlWindow() {
    if (m_hwnd)
        DestroyWindow(m_hwnd);
}

bool ControlWindow::Create() {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kControlClass;
    RegisterClassExA(&wc);
    // Top-level and hidden, so FindWindow finds it and nothing shows.
    m_hwnd = CreateWindowExA(WS_EX_TOOLWINDOW, kControlClass, "trayhost control", WS_POPUP, 0, 0, 0,
                             0, nullptr, nullptr, wc.hInstance, this);
    return m_hwnd != nullptr;
}

LRESULT ControlWindow::Run(const std::string& command_text) {
    std::string rest = command_text;
    const std::string verb = TakeWord(rest);
    rest = Trim(rest);
    if (verb == "state")
        return !rest.empty() && m_tray.WriteState(rest) ? 1 : 0;
    if (verb == "click") {
        long index = 0, message = 0;
        const std::string a = TakeWord(rest), b = TakeWord(rest);
        if (!ParseNumber(a, &index) || !ParseNumber(b, &message))
            return 0;
        return m_tray.Click(static_cast<int>(index), static_cast<UINT>(message)) ? 1 : 0;
    }
    if (verb == "create")
        return m_tray.Create() ? 1 : 0;
    if (verb == "destroy") {
        m_tray.Destroy();
        return 1;
    }
    if (verb == "recreate") {
        m_tray.Destroy();
        return m_tray.Create() ? 1 : 0;
    }
    if (verb == "module")
        return !rest.empty() && GetModuleHandleA(rest.c_str()) ? 1 : 0;
    if (verb == "release-preload") {
        if (!m_preload)
            return 0;
        FreeLibrary(m_preload);
        m_preload = nullptr;
        return 1;
    }
    if (verb == "faults")
        return g_faults;
    if (verb == "quit") {
        PostMessageA(m_hwnd, kQuitLater, 0, 0);
        return 1;
    }
    return 0;
}

LRESULT CALLBACK ControlWindow::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    try {
        if (msg == WM_NCCREATE) {
            auto* cs = reinterpret_cast<CREATESTRUCTA*>(lp);
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
        }
        auto* self = reinterpret_cast<ControlWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        switch (msg) {
            case WM_COPYDATA: {
                const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lp);
                if (!self || !cds || cds->dwData != kControlKind || !cds->lpData ||
                    cds->cbData == 0 || cds->cbData > kMaxCommand)
                    return 0;
                std::string text(static_cast<const char*>(cds->lpData), cds->cbData);
                const size_t nul = text.find('\0');
                if (nul != std::string::npos)
                    text.resize(nul);
                return self->Run(text);
            }
            case kQuitLater:
                if (self) {
                    self->m_tray.Destroy();
                    self->m_hwnd = nullptr;
                }
                DestroyWindow(hwnd);
                PostQuitMessage(0);
                return 0;
            case WM_CLOSE:
                return 0;
        }
    } catch (...) {
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

}  // namespace trayhost
