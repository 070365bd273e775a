// Owner windows of icons, made by a notifyclient.exe of their own (a separate program, so
// that rules can name it): it opens one window per name, runs a script of notifyclient's
// statements once they exist, and stays until ended. Its log tells the windows' handles,
// the script's notes and the callbacks the windows received.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/support/child_process.h"

namespace qly_test {

class IconOwners {
  public:
    explicit IconOwners(const std::vector<std::string>& names,
                        const std::string& script = std::string());
    // The window made for `name`, or null.
    HWND Window(const std::string& name) const;
    // Waits until the script wrote "log TEXT".
    bool WaitForNote(const std::string& text, DWORD timeout_ms) const;
    std::string Log() const;
    void End() { m_process.End(0); }
    DWORD ProcessId() const { return m_process.Id(); }

  private:
    ChildProcess m_process;
    std::string m_log;
    std::vector<std::pair<std::string, HWND>> m_windows;
};

// A temporary file name (Windows path) unique to this run: Wine hands process ids out
// again, so the tick count and a serial number keep names apart.
std::string UniqueTempPath(const std::string& stem);

}  // namespace qly_test
