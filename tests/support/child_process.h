// ChildProcess: a program started from the test's own bin folder (the folder of the test
// executable), owned by handle. The destructor waits briefly and then ends it by its
// handle, so a failing test leaves no process behind; and every child sits in a job that
// ends with the test process, so neither does a test that dies.
#pragma once

#include <windows.h>

#include <string>

namespace qly_test {

// The folder of the running test executable, with a trailing backslash.
std::wstring BinDir();

class ChildProcess {
  public:
    ChildProcess() = default;
    // Starts BinDir() + program with the command-line arguments `args` (already quoted);
    // with `stdout_file`, the program's standard output goes to that file (created anew).
    ChildProcess(const std::wstring& program,
                 const std::wstring& args,
                 const std::wstring& stdout_file = std::wstring());
    ~ChildProcess();
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return m_process != nullptr; }
    DWORD Id() const { return m_id; }
    HANDLE Handle() const { return m_process; }
    bool Running() const;
    // Waits up to `ms` for the process to end; true when it has ended.
    bool Wait(DWORD ms) const;
    // Exit code, or STILL_ACTIVE.
    DWORD ExitCode() const;
    // Waits up to `grace_ms`, then TerminateProcess; closes the handle.
    void End(DWORD grace_ms = 500);

  private:
    HANDLE m_process = nullptr;
    DWORD m_id = 0;
};

// Quotes one argument for a Windows command line.
std::wstring Quote(const std::wstring& arg);

}  // namespace qly_test
