// A soak of Quillory against trayhost: owner processes add, modify and delete icons and die
// at random for the given number of minutes. Every minute the traffic pauses long enough
// for the purge of dead owners, and the soak checks that every live icon is in the tray
// exactly once, or absent from it when its rule hides it, and in Quillory's registry
// exactly once (read by a replay of the registry to a window of ours), with nothing of a
// dead owner left; it prints Quillory's and trayhost's private bytes, handle and GDI counts
// and the registry's size. It fails when an icon is lost or doubled, a request is refused,
// or a counter keeps growing: the highest value of the run's second half above the highest
// of its first half (after the first minute) by more than a quarter and a margin.
// Not part of the suite; run by scripts/soak.sh MINUTES.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "bench/process_counters.h"
#include "hooklib/hook_protocol.h"
#include "hooklib/qlydll.h"
#include "hooklib/tray_item.h"
#include "tests/hooklib/hook_harness.h"
#include "tests/support/child_process.h"
#include "tests/support/tray_host.h"
#include "tests/support/tray_wire.h"

namespace {

constexpr wchar_t kOwnerClass[] = L"QlySoakOwner";
constexpr wchar_t kReplayClass[] = L"QlySoakReplay";
constexpr char kKeyPath[] = "Software\\KARNOVELDAHUS\\QUILLORY";
constexpr int kOwnerSlots = 6;
constexpr uint32_t kUidsPerOwner = 8;
// This icon of every owner is kept from the tray by its rule (shown in the menu only).
constexpr uint32_t kHiddenUid = 3;
constexpr int kOpsPerSecond = 25;

using Icon = std::pair<uint64_t, uint32_t>;  // owner window, uid

// ---- the owner: one window that lives until its process is ended ----

int RunOwner() {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kOwnerClass;
    RegisterClassExW(&wc);
    CreateWindowExW(0, kOwnerClass, L"owner", WS_OVERLAPPEDWINDOW, 0, 0, 0, 0, nullptr, nullptr,
                    wc.hInstance, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
    return 0;
}

// ---- the registry read back: Quillory replays every icon it holds to this window ----

class ReplayReader {
  public:
    ReplayReader() {
        m_thread = std::thread([this] { Loop(); });
        while (m_window == nullptr)
            Sleep(5);
    }
    ~ReplayReader() {
        PostMessageW(m_window, WM_CLOSE, 0, 0);
        m_thread.join();
    }
    // Asks the main window for a replay and collects until nothing came for a second.
    std::vector<Icon> Read(HWND main) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_icons.clear();
            m_last = GetTickCount();
        }
        PostMessageA(main, WM_USER_QLY_HOOK_MSG, qly::kHookReplayTo,
                     reinterpret_cast<LPARAM>(m_window));
        for (;;) {
            Sleep(200);
            std::lock_guard<std::mutex> lock(m_mutex);
            if (GetTickCount() - m_last > 1000)
                return m_icons;
        }
    }

  private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        auto* self = reinterpret_cast<ReplayReader*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (msg == WM_COPYDATA && self && lp) {
            const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lp);
            if (cds->dwData == qly::ForwardTag && cds->cbData >= sizeof(qly::TrayItem)) {
                qly::TrayItem item;
                std::memcpy(&item, cds->lpData, sizeof item);
                std::lock_guard<std::mutex> lock(self->m_mutex);
                self->m_icons.emplace_back(item.hwnd, item.uid);
                self->m_last = GetTickCount();
            }
            return 1;
        }
        if (msg == WM_CLOSE) {
            DestroyWindow(hwnd);
            PostQuitMessage(0);
            return 0;
        }
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    void Loop() {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kReplayClass;
        RegisterClassExW(&wc);
        HWND w = CreateWindowExW(0, kReplayClass, L"", WS_OVERLAPPEDWINDOW, 0, 0, 0, 0, nullptr,
                                 nullptr, wc.hInstance, nullptr);
        SetWindowLongPtrW(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        m_window = w;
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0)
            DispatchMessageW(&msg);
    }

    std::thread m_thread;
    HWND m_window = nullptr;
    std::mutex m_mutex;
    std::vector<Icon> m_icons;
    DWORD m_last = 0;
};

// ---- the soak ----

struct Owner {
    std::unique_ptr<qly_test::ChildProcess> process;
    HWND window = nullptr;
    std::set<uint32_t> icons;
};

void WriteSoakSettings() {
    RegDeleteTreeA(HKEY_CURRENT_USER, kKeyPath);
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != 0)
        return;
    HKEY rules = nullptr;
    if (RegCreateKeyExA(key, "RULES", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &rules, nullptr) ==
        0) {
        char name[64];
        std::snprintf(name, sizeof name, "%08xsoak.exe", kHiddenUid);
        const DWORD menu_only = 0x2;
        RegSetValueExA(rules, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&menu_only),
                       sizeof menu_only);
        RegCloseKey(rules);
    }
    RegCloseKey(key);
}

HWND WaitForWindowOf(const wchar_t* cls, DWORD pid, DWORD timeout_ms) {
    for (DWORD waited = 0; waited < timeout_ms; waited += 20) {
        if (HWND w = qly_test::FindWindowOfProcess(cls, pid))
            return w;
        Sleep(20);
    }
    return nullptr;
}

HWND WaitForDialogOf(DWORD pid, DWORD timeout_ms) {
    struct Search {
        DWORD pid;
        HWND found;
    } s{pid, nullptr};
    for (DWORD waited = 0; waited < timeout_ms; waited += 50) {
        EnumWindows(
            [](HWND w, LPARAM p) -> BOOL {
                auto* search = reinterpret_cast<Search*>(p);
                DWORD owner = 0;
                GetWindowThreadProcessId(w, &owner);
                char cls[32] = {}, title[32] = {};
                GetClassNameA(w, cls, sizeof cls);
                GetWindowTextA(w, title, sizeof title);
                if (owner == search->pid && lstrcmpA(cls, "#32770") == 0 &&
                    lstrcmpA(title, "Quillory") == 0) {
                    search->found = w;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&s));
        if (s.found)
            return s.found;
        Sleep(50);
    }
    return nullptr;
}

std::vector<uint8_t> Request(uint32_t command, HWND owner, uint32_t uid, const std::string& tip) {
    notify_wire::NotifyFields f = qly_test::Fields(command, owner, uid);
    if (command != notify_wire::kDelete) {
        f.flags = notify_wire::kFlagMessage | notify_wire::kFlagTip;
        f.callback_message = 0x8000 + uid;
        f.tip = notify_wire::Utf8ToUtf16(tip);
    }
    return notify_wire::BuildPayload(f, notify_wire::kSizeFull);
}

struct Row {
    qly_bench::ProcessCounters quillory, tray;
    size_t registry = 0;
};

// Whether a counter kept growing: the second half's highest value above the first half's
// highest (the first minute left out as the warm-up) by more than a quarter and `margin`.
bool KeepsGrowing(const std::vector<double>& v, double margin) {
    if (v.size() < 4)
        return false;
    const size_t mid = 1 + (v.size() - 1) / 2;
    const double first = *std::max_element(v.begin() + 1, v.begin() + mid);
    const double second = *std::max_element(v.begin() + mid, v.end());
    return second > first * 1.25 + margin;
}

int RunSoak(int minutes) {
    qly_hook_test::ResetSharedSection();
    WriteSoakSettings();
    qly_test::ChildProcess quillory(L"quillory.exe", L"");
    if (!quillory.Started() || !WaitForWindowOf(L"CopyDataWnd", quillory.Id(), 15000)) {
        std::printf("soak: Quillory did not start\n");
        return 1;
    }
    HWND main = WaitForDialogOf(quillory.Id(), 15000);
    Sleep(1300);  // InstallHooks holds on for a second before it returns
    qly_test::TrayHost tray;
    for (int i = 0; i < 200 && !g_flag_tray_aquired; ++i)
        Sleep(50);
    if (!main || !tray.Started() || !g_flag_tray_aquired) {
        std::printf("soak: the tray was not taken over\n");
        return 1;
    }
    ReplayReader replay;
    std::mt19937 rng(GetTickCount());
    auto pick = [&](uint32_t n) { return std::uniform_int_distribution<uint32_t>(0, n - 1)(rng); };
    Owner owners[kOwnerSlots];
    std::set<uint64_t> dead;  // windows of owners that died
    size_t ops = 0, deaths = 0, refused = 0, faults = 0;
    std::vector<Row> rows;

    std::printf(
        "soak: %d minutes, %d owner slots of %u icons each, about %d requests a second; "
        "icon %u of each owner is kept from the tray by its rule\n",
        minutes, kOwnerSlots, kUidsPerOwner, kOpsPerSecond, kHiddenUid);
    std::printf("%4s %7s %6s %5s %5s %5s | %9s %6s %5s | %9s %6s %5s | %s\n", "min", "ops",
                "deaths", "live", "reg", "tray", "Q priv KB", "Q hnd", "Q gdi", "T priv KB",
                "T hnd", "T gdi", "faults");
    std::fflush(stdout);
    for (int minute = 1; minute <= minutes; ++minute) {
        // A minute less the pause for the purge and the check.
        const DWORD until = GetTickCount() + 52000;
        while (static_cast<LONG>(until - GetTickCount()) > 0) {
            Sleep(1000 / kOpsPerSecond);
            Owner& o = owners[pick(kOwnerSlots)];
            ++ops;
            if (!o.process) {
                o.process = std::make_unique<qly_test::ChildProcess>(L"soak.exe", L"--owner");
                o.window = WaitForWindowOf(kOwnerClass, o.process->Id(), 10000);
                o.icons.clear();
                if (!o.window) {
                    std::printf("soak: an owner did not start\n");
                    ++faults;
                    o.process.reset();
                }
                continue;
            }
            const uint32_t r = pick(100);
            if (r < 2) {  // dies, icons and all
                TerminateProcess(o.process->Handle(), 1);
                o.process->Wait(5000);
                dead.insert(reinterpret_cast<uintptr_t>(o.window));
                o.process.reset();
                o.window = nullptr;
                o.icons.clear();
                ++deaths;
                continue;
            }
            const uint32_t uid = 1 + pick(kUidsPerOwner);
            const bool present = o.icons.count(uid) != 0;
            uint32_t command;
            if (!present)
                command = notify_wire::kAdd;
            else if (r < 60)
                command = notify_wire::kModify;
            else
                command = notify_wire::kDelete;
            const qly_test::WireResult result = qly_test::SendNotify(
                tray.Tray(), o.window,
                Request(command, o.window, uid,
                        "icon " + std::to_string(uid) + " #" + std::to_string(ops)));
            if (!result.delivered || result.result != 1) {
                ++refused;
                std::printf("soak: %s of icon %u was refused\n",
                            command == notify_wire::kAdd      ? "an add"
                            : command == notify_wire::kModify ? "a modify"
                                                              : "a delete",
                            uid);
            } else if (command == notify_wire::kDelete) {
                o.icons.erase(uid);
            } else {
                o.icons.insert(uid);
            }
        }
        Sleep(5000);  // the purge of dead owners runs every two seconds

        // What must hold: every live icon once in the registry, in the tray unless its rule
        // hides it, and nothing of a dead owner in either.
        std::map<Icon, int> want_registry, want_tray;
        for (const Owner& o : owners)
            if (o.process)
                for (uint32_t uid : o.icons) {
                    const Icon icon{reinterpret_cast<uintptr_t>(o.window), uid};
                    want_registry[icon] = 1;
                    if (uid != kHiddenUid)
                        want_tray[icon] = 1;
                }
        std::set<uint64_t> ours;
        for (const Owner& o : owners)
            if (o.process)
                ours.insert(reinterpret_cast<uintptr_t>(o.window));
        auto compare = [&](const char* where, const std::vector<Icon>& seen,
                           const std::map<Icon, int>& want) {
            std::map<Icon, int> count;
            for (const Icon& i : seen)
                if (ours.count(i.first) || dead.count(i.first))
                    ++count[i];
            for (const auto& [icon, n] : want)
                if (count[icon] != n) {
                    std::printf("soak: icon %u of owner %llx is %d times in the %s\n", icon.second,
                                static_cast<unsigned long long>(icon.first), count[icon], where);
                    ++faults;
                }
            for (const auto& [icon, n] : count)
                if (n > 0 && want.count(icon) == 0) {
                    std::printf("soak: icon %u of %s owner %llx is still in the %s\n", icon.second,
                                ours.count(icon.first) ? "live" : "dead",
                                static_cast<unsigned long long>(icon.first), where);
                    ++faults;
                }
        };
        const std::vector<Icon> registry = replay.Read(main);
        compare("registry", registry, want_registry);
        std::vector<Icon> shown;
        for (const qly_test::TrayButton& b : tray.State().buttons)
            shown.emplace_back(b.owner, b.uid);
        compare("tray", shown, want_tray);

        Row row;
        row.quillory = qly_bench::ReadCounters(quillory.Handle());
        row.tray = qly_bench::ReadCounters(tray.Process().Handle());
        row.registry = registry.size();
        rows.push_back(row);
        std::printf("%4d %7zu %6zu %5zu %5zu %5zu | %9llu %6lu %5lu | %9llu %6lu %5lu | %zu\n",
                    minute, ops, deaths, want_registry.size(), registry.size(), shown.size(),
                    static_cast<unsigned long long>(row.quillory.private_bytes / 1024),
                    row.quillory.handles, row.quillory.gdi_objects,
                    static_cast<unsigned long long>(row.tray.private_bytes / 1024),
                    row.tray.handles, row.tray.gdi_objects, faults + refused);
        std::fflush(stdout);
        if (!quillory.Running()) {
            std::printf("soak: Quillory has ended\n");
            ++faults;
            break;
        }
    }

    auto series = [&](auto get) {
        std::vector<double> v;
        for (const Row& r : rows)
            v.push_back(static_cast<double>(get(r)));
        return v;
    };
    struct Check {
        const char* what;
        std::vector<double> values;
        double margin;
    } checks[] = {
        {"Quillory's private bytes", series([](const Row& r) { return r.quillory.private_bytes; }),
         1 << 20},
        {"Quillory's handles", series([](const Row& r) { return r.quillory.handles; }), 20},
        {"Quillory's GDI objects", series([](const Row& r) { return r.quillory.gdi_objects; }), 20},
        {"trayhost's private bytes", series([](const Row& r) { return r.tray.private_bytes; }),
         1 << 20},
        {"trayhost's handles", series([](const Row& r) { return r.tray.handles; }), 20},
        {"trayhost's GDI objects", series([](const Row& r) { return r.tray.gdi_objects; }), 20},
        {"the registry's size", series([](const Row& r) { return r.registry; }), 10},
    };
    size_t growing = 0;
    for (const Check& c : checks)
        if (KeepsGrowing(c.values, c.margin)) {
            std::printf("soak: %s keeps growing\n", c.what);
            ++growing;
        }

    // Quillory ends by its own command and gives the tray back.
    PostMessageA(main, WM_COMMAND, 40001, 0);
    const bool ended = quillory.Wait(15000);
    for (Owner& o : owners)
        if (o.process)
            o.process->End(0);
    tray.Quit();
    RegDeleteTreeA(HKEY_CURRENT_USER, kKeyPath);
    const bool clean = faults == 0 && refused == 0 && growing == 0 && ended;
    std::printf(
        "soak: %zu requests, %zu owners died, %zu faults, %zu refused, %zu counters "
        "growing, Quillory %s: %s\n",
        ops, deaths, faults, refused, growing, ended ? "ended" : "did not end",
        clean ? "clean" : "FAILED");
    return clean ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--owner") == 0)
        return RunOwner();
    const int minutes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    return RunSoak(minutes);
}
