// TrayHost: a trayhost.exe of the test's own, started with switches and driven through its
// control window (protocol in tools/trayhost/README.md). The constructor waits, bounded,
// until the control window (and, unless --no-tray, the tray window) exists; the destructor
// asks it to quit and ends it by handle if it does not. TrayState is the parsed state file.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/child_process.h"

namespace qly_test {

struct TrayButton {
    int index = 0;    // place in its toolbar
    int toolbar = 1;  // 1 "Notification Area", 2 "System Control Area"
    uint64_t owner = 0;
    uint32_t uid = 0;
    bool hidden = false;
    uint32_t callback = 0;
    uint32_t version = 0;
    uint32_t flags = 0;
    std::string tip;  // UTF-8
    std::wstring TipW() const;
    HWND OwnerWindow() const { return reinterpret_cast<HWND>(static_cast<uintptr_t>(owner)); }
};

struct TrayState {
    bool tray = false;  // false: "tray none"
    HWND tray_window = nullptr;
    HWND notify = nullptr;
    HWND toolbar = nullptr;
    HWND toolbar2 = nullptr;
    HWND tooltip = nullptr;
    std::string layout;
    bool xp = false;
    std::vector<TrayButton> buttons;  // toolbar 1 in order, then toolbar 2

    std::vector<TrayButton> Toolbar(int toolbar_number) const;
    // The button of (owner, uid), or null.
    const TrayButton* Find(HWND owner, uint32_t uid) const;
};

// Parses the text of a state file; false when a line is not understood.
bool ParseTrayState(const std::string& text, TrayState* out);

// trayhost puts a new button where the shell of the Windows version it runs on does: at
// the front from NT 5.1 on. A test whose expected button order counts on new buttons at the
// end, as shells before NT 5.1 put them, says so with this switch.
inline constexpr wchar_t kAppendNewButtons[] = L"--append-new-buttons";

class TrayHost {
  public:
    // `switches` as on trayhost's command line, e.g. L"--xp --layout=flat".
    explicit TrayHost(const std::wstring& switches = L"", DWORD start_timeout_ms = 15000);
    ~TrayHost();
    TrayHost(const TrayHost&) = delete;
    TrayHost& operator=(const TrayHost&) = delete;

    bool Started() const { return m_started; }
    DWORD ProcessId() const { return m_process.Id(); }
    ChildProcess& Process() { return m_process; }
    HWND Control() const { return m_control; }
    // The current tray window of this trayhost ("Shell_TrayWnd"), or null.
    HWND Tray() const;

    // Sends a control command; 0 also when trayhost does not answer.
    LRESULT Command(const std::string& text) const;
    TrayState State() const;
    // Polls State() until `done` holds or `timeout_ms` passed; returns the last state read.
    bool WaitForState(const std::function<bool(const TrayState&)>& done,
                      DWORD timeout_ms = 5000,
                      TrayState* last = nullptr) const;

    bool Click(int index, UINT mouse_message) const;
    bool Create() const { return Command("create") == 1; }
    bool Destroy() const { return Command("destroy") == 1; }
    bool Recreate() const { return Command("recreate") == 1; }
    bool HasModule(const std::string& name) const { return Command("module " + name) == 1; }
    // Waits until the shell no longer has the module loaded (it leaves after a delay).
    bool WaitUntilModuleGone(const std::string& name, DWORD timeout_ms = 5000) const {
        for (DWORD waited = 0;; waited += 50) {
            if (!HasModule(name))
                return true;
            if (waited >= timeout_ms)
                return false;
            Sleep(50);
        }
    }
    bool ReleasePreload() const { return Command("release-preload") == 1; }
    // Asks trayhost to quit and waits for its end; true when it ended with code 0.
    bool Quit();

  private:
    ChildProcess m_process;
    HWND m_control = nullptr;
    bool m_started = false;
};

// The top-level window of class `cls` that belongs to process `pid`, or null.
HWND FindWindowOfProcess(const wchar_t* cls, DWORD pid);

}  // namespace qly_test
