// What Quillory costs at rest and in memory, measured in one run against trayhost:
//   - Quillory's private bytes and handle count with its own icon only, with 10 and with
//     1,000 icons of a live owner, and the cost of one icon more;
//   - the shell's extra private bytes while taken over: a trayhost that Quillory took over
//     at its creation against one beside it that it never touched, both given the same
//     icons;
//   - the wake-ups per minute of an idle Quillory with 1,000 icons: how often its threads
//     woke, seen in the kernel's counters of its Unix process (read through Wine's view of
//     /proc), with the context switches and processor time of that minute. Its own timers
//     with work are the purge of dead owners every 2 seconds and the refresh of its tip
//     every 25 seconds: 32.4 a minute; anything beyond that is to go.
// Under Wine the private bytes are the process's anonymous resident memory (see
// process_counters.h) and the GDI counts are not kept.
//
// Run under Wine from the build folder, e.g.
//   scripts/wine_run.sh $PWD/build/win64/wineprefix build/win64/bin/rest_bench.exe [SECONDS]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "bench/bench_figures.h"
#include "bench/process_counters.h"
#include "hooklib/qlydll.h"
#include "tests/hooklib/hook_harness.h"
#include "tests/support/child_process.h"
#include "tests/support/tray_host.h"
#include "tests/support/tray_wire.h"

namespace {

constexpr char kKeyPath[] = "Software\\KARNOVELDAHUS\\QUILLORY";
constexpr double kOwnWakeUpsPerMinute = 60.0 / 2 + 60.0 / 25;

HWND WaitForWindowOf(const wchar_t* cls, DWORD pid, DWORD timeout_ms) {
    for (DWORD waited = 0; waited < timeout_ms; waited += 20) {
        if (HWND w = qly_test::FindWindowOfProcess(cls, pid))
            return w;
        Sleep(20);
    }
    return nullptr;
}

bool AddIcons(HWND tray, HWND owner, uint32_t first, uint32_t last) {
    for (uint32_t uid = first; uid <= last; ++uid) {
        notify_wire::NotifyFields f = qly_test::Fields(notify_wire::kAdd, owner, uid);
        f.flags = notify_wire::kFlagMessage | notify_wire::kFlagTip;
        f.callback_message = 0x8001;
        f.tip = notify_wire::Utf8ToUtf16("resting icon " + std::to_string(uid));
        if (qly_test::SendNotify(tray, owner, notify_wire::BuildPayload(f, notify_wire::kSizeFull))
                .result != 1)
            return false;
    }
    return true;
}

std::string ReadWhole(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    for (char& c : text)
        if (c == '\0')
            c = '\n';
    return text;
}

// The Unix processes of this Wine prefix whose command line names this program file (Wine
// shows a process's Windows command line there), seen through the drive Wine maps to the
// Unix root.
std::vector<std::string> UnixProcessesOf(const std::string& windows_path) {
    char prefix[1024] = {};
    GetEnvironmentVariableA("WINEPREFIX", prefix, sizeof prefix);
    const std::string our_prefix = std::string("\nWINEPREFIX=") + prefix + "\n";
    std::vector<std::string> found;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA("Z:\\proc\\*", &entry);
    if (find == INVALID_HANDLE_VALUE)
        return found;
    do {
        const std::string name = entry.cFileName;
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const std::string dir = "Z:\\proc\\" + name + "\\";
        if (ReadWhole(dir + "cmdline").find(windows_path) == std::string::npos)
            continue;
        if (prefix[0] == '\0' ||
            ("\n" + ReadWhole(dir + "environ")).find(our_prefix) != std::string::npos)
            found.push_back(name);
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    return found;
}

// The voluntary context switches of every thread of Unix process `pid` so far; -1 when
// they cannot be read.
long long ContextSwitches(const std::string& pid) {
    long long total = 0;
    bool any = false;
    WIN32_FIND_DATAA entry;
    const std::string tasks = "Z:\\proc\\" + pid + "\\task\\";
    HANDLE find = FindFirstFileA((tasks + "*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return -1;
    do {
        const std::string tid = entry.cFileName;
        if (tid.empty() || tid[0] == '.')
            continue;
        std::ifstream status(tasks + tid + "\\status");
        std::string line;
        while (std::getline(status, line))
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0) {
                total += std::atoll(line.c_str() + 24);
                any = true;
            }
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    return any ? total : -1;
}

// The processor time of Unix process `pid` so far, in clock ticks (user and system).
long long ProcessorTicks(const std::string& pid) {
    std::string stat = ReadWhole("Z:\\proc\\" + pid + "\\stat");
    const size_t close = stat.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    long long ticks = 0;
    for (int i = 3; fields >> field; ++i)
        if (i == 14 || i == 15)
            ticks += std::atoll(field.c_str());
    return ticks;
}

struct IdleFigures {
    double wake_ups_per_minute = -1;
    double switches_per_minute = -1;
    double processor_ms_per_minute = -1;
};

// Watches the process for `seconds`. A thread that wakes blocks again on every trip to the
// Wine server, so the context switches count those trips too; a wake-up is therefore a
// burst of switches after at least 20 ms without any, as the kernel's counters show them
// when read every 2 ms.
IdleFigures WatchIdle(const std::string& pid, int seconds) {
    IdleFigures f;
    const long long first = ContextSwitches(pid);
    const long long first_ticks = ProcessorTicks(pid);
    if (first < 0 || first_ticks < 0)
        return f;
    long long last = first;
    long long bursts = 0;
    DWORD last_change = GetTickCount() - 1000;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < static_cast<DWORD>(seconds) * 1000) {
        Sleep(2);
        const long long now = ContextSwitches(pid);
        if (now > last) {
            if (GetTickCount() - last_change >= 20)
                ++bursts;
            last_change = GetTickCount();
            last = now;
        }
    }
    const double minutes = seconds / 60.0;
    f.wake_ups_per_minute = static_cast<double>(bursts) / minutes;
    f.switches_per_minute = static_cast<double>(last - first) / minutes;
    f.processor_ms_per_minute =
        static_cast<double>(ProcessorTicks(pid) - first_ticks) * 1000.0 / 100.0 / minutes;
    return f;
}

void PrintCounters(const char* what, const qly_bench::ProcessCounters& c) {
    std::printf("  %-40s %10.1f KB private, %5lu handles, %4lu GDI, %4lu USER\n", what,
                static_cast<double>(c.private_bytes) / 1024, c.handles, c.gdi_objects,
                c.user_objects);
}

}  // namespace

int main(int argc, char** argv) {
    const int idle_seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    qly_hook_test::ResetSharedSection();
    RegDeleteTreeA(HKEY_CURRENT_USER, kKeyPath);  // every setting at its default

    HWND owner =
        CreateWindowExA(0, "STATIC", "owner", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    qly_test::TrayHost untouched;  // exists before Quillory, which takes trays at creation
    qly_test::ChildProcess quillory(L"quillory.exe", L"");
    HWND main = nullptr;
    if (quillory.Started() && WaitForWindowOf(L"CopyDataWnd", quillory.Id(), 15000)) {
        for (int i = 0; i < 300 && !main; ++i) {
            main = FindWindowA("#32770", "Quillory");
            DWORD pid = 0;
            if (main)
                GetWindowThreadProcessId(main, &pid);
            if (pid != quillory.Id())
                main = nullptr;
            if (!main)
                Sleep(50);
        }
    }
    Sleep(1300);  // InstallHooks holds on for a second before it returns
    qly_test::TrayHost taken;
    for (int i = 0; i < 200 && !g_flag_tray_aquired; ++i)
        Sleep(50);
    if (!main || !untouched.Started() || !taken.Started() || !g_flag_tray_aquired) {
        std::printf("rest benchmark: Quillory or the trays did not come up\n");
        return 1;
    }
    Sleep(3000);
    const qly_bench::ProcessCounters q0 = qly_bench::ReadCounters(quillory.Handle());
    if (!AddIcons(untouched.Tray(), owner, 1, 10) || !AddIcons(taken.Tray(), owner, 1, 10)) {
        std::printf("rest benchmark: the icons were not added\n");
        return 1;
    }
    Sleep(3000);
    const qly_bench::ProcessCounters q10 = qly_bench::ReadCounters(quillory.Handle());
    const qly_bench::ProcessCounters u10 = qly_bench::ReadCounters(untouched.Process().Handle());
    const qly_bench::ProcessCounters t10 = qly_bench::ReadCounters(taken.Process().Handle());
    if (!AddIcons(untouched.Tray(), owner, 11, 1000) || !AddIcons(taken.Tray(), owner, 11, 1000)) {
        std::printf("rest benchmark: the icons were not added\n");
        return 1;
    }
    Sleep(5000);
    const qly_bench::ProcessCounters q1000 = qly_bench::ReadCounters(quillory.Handle());
    const qly_bench::ProcessCounters u1000 = qly_bench::ReadCounters(untouched.Process().Handle());
    const qly_bench::ProcessCounters t1000 = qly_bench::ReadCounters(taken.Process().Handle());

    std::printf("rest benchmark\n");
    PrintCounters("Quillory, its own icon only", q0);
    PrintCounters("Quillory, 10 icons", q10);
    PrintCounters("Quillory, 1000 icons", q1000);
    const double per_icon_bytes =
        (static_cast<double>(q1000.private_bytes) - static_cast<double>(q10.private_bytes)) / 990;
    const double per_icon_handles =
        (static_cast<double>(q1000.handles) - static_cast<double>(q10.handles)) / 990;
    std::printf("  one icon more: %.0f bytes, %.3f handles\n", per_icon_bytes, per_icon_handles);
    PrintCounters("trayhost untouched, 10 icons", u10);
    PrintCounters("trayhost taken over, 10 icons", t10);
    PrintCounters("trayhost untouched, 1000 icons", u1000);
    PrintCounters("trayhost taken over, 1000 icons", t1000);
    const double shell_extra_10 =
        static_cast<double>(t10.private_bytes) - static_cast<double>(u10.private_bytes);
    const double shell_extra_1000 =
        static_cast<double>(t1000.private_bytes) - static_cast<double>(u1000.private_bytes);

    // Idle: nothing sends a request; only Quillory's own timers may wake it.
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string program = path;
    program = program.substr(0, program.find_last_of('\\') + 1) + "quillory.exe";
    const std::vector<std::string> unix_pids = UnixProcessesOf(program);
    IdleFigures idle;
    if (unix_pids.size() == 1)
        idle = WatchIdle(unix_pids[0], idle_seconds);
    const double wake_ups = idle.wake_ups_per_minute;
    if (wake_ups >= 0)
        std::printf(
            "  idle Quillory with 1000 icons, over %d s: %.1f wake-ups a minute (its "
            "timers with work: %.1f), %.0f context switches and %.0f ms of processor "
            "time a minute\n",
            idle_seconds, wake_ups, kOwnWakeUpsPerMinute, idle.switches_per_minute,
            idle.processor_ms_per_minute);
    else
        std::printf("  idle wake-ups could not be counted (%zu processes matched %s)\n",
                    unix_pids.size(), program.c_str());

    std::printf("\n");
    std::printf(
        "summary: Quillory private bytes, 10 icons = %.0f KB, 1000 icons = %.0f KB, "
        "%.0f bytes per icon\n",
        static_cast<double>(q10.private_bytes) / 1024,
        static_cast<double>(q1000.private_bytes) / 1024, per_icon_bytes);
    std::printf("summary: Quillory handles, 10 icons = %lu, 1000 icons = %lu, %.3f per icon\n",
                q10.handles, q1000.handles, per_icon_handles);
    std::printf(
        "summary: shell's extra private bytes while taken over = %.0f KB (10 icons), "
        "%.0f KB (1000 icons)\n",
        shell_extra_10 / 1024, shell_extra_1000 / 1024);
    if (wake_ups >= 0)
        qly_bench::PrintSummary("idle Quillory wake-ups a minute", {wake_ups},
                                qly_bench::Aim::AtMost, kOwnWakeUpsPerMinute + 1);
    else
        std::printf("summary: idle Quillory wake-ups a minute = not measured\n");

    PostMessageA(main, WM_COMMAND, 40001, 0);
    quillory.Wait(15000);
    taken.Quit();
    untouched.Quit();
    DestroyWindow(owner);
    RegDeleteTreeA(HKEY_CURRENT_USER, kKeyPath);
    return 0;
}
