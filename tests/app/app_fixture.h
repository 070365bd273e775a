// What the tests of the main program share: the settings they give it, quillory.exe (or
// its seamed twin) as a child process with its main window, owners of icons made by
// notifyclient, and the windows the user would see (message boxes, notices).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/icon_owners.h"
#include "tests/support/tray_host.h"

namespace qly_app_test {

constexpr char kKeyPath[] = "Software\\KARNOVELDAHUS\\QUILLORY";
// Hides notifyclient's icon 5 from the tray (menu only); icon 6 follows the default.
constexpr char kHideFiveRule[] = "00000005notifyclient.exe";

// Replaces the per-user settings with exactly these values and rules (name -> flags).
void WriteSettings(const std::map<std::string, uint32_t>& values,
                   const std::map<std::string, uint32_t>& rules = {});
void DeleteSettings();
bool SettingsKeyExists();
// A DWORD of the settings key, or `missing`.
uint32_t ReadSetting(const char* name, uint32_t missing = 0xDEADBEEF);

// A top-level window of process `pid` with this class and title, or null.
HWND FindProcessWindow(DWORD pid, const char* cls, const char* title);
// The text of a message box (its static control).
std::string MessageBoxText(HWND box);
// Waits until the window exists (or, with `gone`, until none exists any more).
HWND WaitForProcessWindow(DWORD pid, const char* cls, const char* title, DWORD timeout_ms);
bool WaitUntilGone(DWORD pid, const char* cls, const char* title, DWORD timeout_ms);
// A message box of the process with this caption and text; the main window has the
// caption "Quillory" too, so the caption alone does not find a box of that caption.
HWND WaitForBoxSaying(DWORD pid, const char* caption, const std::string& text, DWORD timeout_ms);

// quillory.exe (or quillory_seamed.exe) started by the test.
class Quillory {
  public:
    explicit Quillory(const std::wstring& args = L"", bool seamed = false);
    bool Started() const { return m_process.Started(); }
    DWORD Id() const { return m_process.Id(); }
    // Its main window, once its receiver exists and the hook is installed.
    HWND WaitUntilHooked(DWORD timeout_ms = 10000);
    HWND Main() const { return m_main; }
    bool Exit(DWORD timeout_ms = 15000);
    // Ends it at once by its handle, as the task manager does: no shutdown runs.
    bool Kill();
    bool Wait(DWORD ms) const { return m_process.Wait(ms); }
    DWORD ExitCode() const { return m_process.ExitCode(); }

  private:
    qly_test::ChildProcess m_process;
    HWND m_main = nullptr;
};

// notifyclient.exe with owner windows; `script` runs once they exist.
using Owners = qly_test::IconOwners;

// The program folder's log file.
std::string LogFilePath();
std::string ReadFile(const std::string& path);

// Waits until trayhost shows (owner, uid), or until it does not with `present` false.
bool WaitForIcon(const qly_test::TrayHost& tray,
                 HWND owner,
                 uint32_t uid,
                 bool present,
                 DWORD timeout_ms = 10000);

// Waits until the shared section says the tray is taken over.
bool WaitForTakeover(DWORD timeout_ms = 10000);

// The program registered for a protocol ("http", "mailto"), replaced by `command` for the
// test and given back afterwards.
class ProtocolHandler {
  public:
    ProtocolHandler(const std::string& protocol, const std::string& command);
    ~ProtocolHandler();
    ProtocolHandler(const ProtocolHandler&) = delete;
    ProtocolHandler& operator=(const ProtocolHandler&) = delete;

  private:
    void Set(const std::string& value);
    std::string m_key;
    std::string m_protocol;
    std::string m_old;
    bool m_had = false;
    bool m_created_protocol = false;
};

// Each test starts from a clean shared section and without a log file.
class App : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
};

}  // namespace qly_app_test
