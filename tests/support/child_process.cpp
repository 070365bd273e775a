// ChildProcess. Only handles of our own children are touched; nothing is ended by name.
#include "tests/support/child_process.h"

#include <utility>
#include <vector>

namespace qly_test {
namespace {

// Every child goes into one job of this process that ends its processes when the job's
// last handle closes, which the system does when this process ends: a test that dies
// without running its destructors still leaves nothing behind.
HANDLE KillOnCloseJob() {
    static HANDLE job = [] {
        HANDLE j = CreateJobObjectW(nullptr, nullptr);
        if (j) {
            JOBOBJECT_EXTENDED_LIMIT_INFORMATION info = {};
            info.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
            SetInformationJobObject(j, JobObjectExtendedLimitInformation, &info, sizeof(info));
        }
        return j;
    }();
    return job;
}

}  // namespace

std::wstring BinDir() {
    wchar_t path[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p(path, n);
    const size_t slash = p.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : p.substr(0, slash + 1);
}

std::wstring Quote(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos)
        return arg;
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"')
            out.append(backslashes * 2 + 1, L'\\');
        else
            out.append(backslashes, L'\\');
        backslashes = 0;
        out.push_back(c);
    }
    out.append(backslashes * 2, L'\\');
    out.push_back(L'"');
    return out;
}

ChildProcess::ChildProcess(const std::wstring& program,
                           const std::wstring& args,
                           const std::wstring& stdout_file) {
    const std::wstring exe = BinDir() + program;
    std::wstring line = Quote(exe);
    if (!args.empty())
        line += L" " + args;
    std::vector<wchar_t> buf(line.begin(), line.end());
    buf.push_back(L'\0');
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    HANDLE out = INVALID_HANDLE_VALUE;
    if (!stdout_file.empty()) {
        SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
        out = CreateFileW(stdout_file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                          &sa, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (out == INVALID_HANDLE_VALUE)
            return;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        si.hStdOutput = out;
        si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    }
    PROCESS_INFORMATION pi = {};
    if (CreateProcessW(exe.c_str(), buf.data(), nullptr, nullptr, out != INVALID_HANDLE_VALUE,
                       CREATE_NO_WINDOW | CREATE_SUSPENDED, nullptr, BinDir().c_str(), &si, &pi)) {
        if (HANDLE job = KillOnCloseJob())
            AssignProcessToJobObject(job, pi.hProcess);
        ResumeThread(pi.hThread);
        CloseHandle(pi.hThread);
        m_process = pi.hProcess;
        m_id = pi.dwProcessId;
    }
    if (out != INVALID_HANDLE_VALUE)
        CloseHandle(out);
}

ChildProcess::~ChildProcess() {
    End();
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : m_process(std::exchange(other.m_process, nullptr)), m_id(std::exchange(other.m_id, 0)) {}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    if (this != &other) {
        End();
        m_process = std::exchange(other.m_process, nullptr);
        m_id = std::exchange(other.m_id, 0);
    }
    return *this;
}

bool ChildProcess::Running() const {
    return m_process && WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT;
}

bool ChildProcess::Wait(DWORD ms) const {
    return !m_process || WaitForSingleObject(m_process, ms) == WAIT_OBJECT_0;
}

DWORD ChildProcess::ExitCode() const {
    DWORD code = STILL_ACTIVE;
    if (m_process)
        GetExitCodeProcess(m_process, &code);
    return code;
}

void ChildProcess::End(DWORD grace_ms) {
    if (!m_process)
        return;
    if (WaitForSingleObject(m_process, grace_ms) != WAIT_OBJECT_0) {
        TerminateProcess(m_process, 255);
        WaitForSingleObject(m_process, 5000);
    }
    CloseHandle(m_process);
    m_process = nullptr;
}

}  // namespace qly_test
