// What the interception costs each notify request, measured in one run under the same
// load, with 30 icons in each tray:
//   (a) NIM_MODIFY requests to a tray that is not taken over;
//   (b) the same requests to a tray taken over by the hook, with a receiver that answers
//       "pass" at once, in the default configuration (tray order "Default tray order",
//       the extra check on): the path every request of every program takes;
//   (c) a bare WM_COPYDATA round trip of the forwarded record's size between two
//       processes, the floor of any forward;
//   (d) a bare relay: the same request going to a stand-in shell window in a second
//       process, which sends it on to an echo window in a third process and answers when
//       the echo did, with none of our code on the way: the floor of a forward's road;
//   (e) an NIM_ADD of an icon the tray already holds, forwarded, in the sorted order
//       without the extra check, and (e') the same with it: the toolbar dump before the
//       forward is the only difference.
// Figures, each a ratio of medians taken in one round; every round times each kind the
// same number of times, in a new random order for each cycle of kinds, and each request
// finds the road idle (1 ms after the last one): a request to a tray leaves the tray work
// to do after its answer, and whatever came next would pay for it. Each figure is the
// median of its rounds:
//   forward overhead on one processor (b - a) / c, aim at most 1.3;
//   forward overhead spread over the processors against the relay's own extra hop
//   (b - a) / (d - c), aim at most 1.3;
//   the dump before a forward of a 30-icon tray (e' - e) / c, aim at most 0.5.
// On one processor the times are the work each path does. Spread, a virtual machine adds
// the wake-up of an idle processor to hand-overs between processes; the relay pays it as
// the forward does, which is why the spread figure compares with the relay.
//
// Run under Wine (the prefix path must be absolute), e.g.
//   scripts/wine_run.sh $PWD/build/win64/wineprefix build/win64/bin/hook_forward_bench.exe [N]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_figures.h"
#include "hooklib/forward_record.h"
#include "hooklib/hook_protocol.h"
#include "hooklib/qlydll.h"
#include "tests/hooklib/hook_harness.h"
#include "tests/support/child_process.h"
#include "tests/support/tray_host.h"
#include "tests/support/tray_wire.h"

namespace {

using qly_bench::Median;

constexpr wchar_t kEchoClass[] = L"QlyBenchEcho";
constexpr wchar_t kRelayClass[] = L"QlyBenchRelay";
constexpr uint32_t kTrayIcons = 30;
constexpr uint32_t kSortedOrder = 2;

int g_echo_count = 0;
HWND g_relay_target = nullptr;

LRESULT CALLBACK EchoProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_COPYDATA) {
        ++g_echo_count;
        return 1;
    }
    if (msg == WM_CLOSE) {
        PostQuitMessage(g_echo_count);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

// The stand-in shell of the relay: it copies the request into a record of the forward's
// size and sends it on as the hook does (SMTO_BLOCK), then answers.
LRESULT CALLBACK RelayProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_COPYDATA && lp != 0) {
        const auto* in = reinterpret_cast<const COPYDATASTRUCT*>(lp);
        alignas(8) static uint8_t record[qly::kMaxForwardRecord];
        const size_t size =
            std::min<size_t>(in->cbData + qly::kTrayItemForwardGrowth, sizeof record);
        std::memset(record, 0, qly::kTrayItemForwardGrowth);
        std::memcpy(record + qly::kTrayItemForwardGrowth, in->lpData,
                    size - qly::kTrayItemForwardGrowth);
        COPYDATASTRUCT out;
        out.dwData = qly::ForwardTag;
        out.cbData = static_cast<DWORD>(size);
        out.lpData = record;
        DWORD_PTR answer = 0;
        SendMessageTimeoutA(g_relay_target, WM_COPYDATA, reinterpret_cast<WPARAM>(hwnd),
                            reinterpret_cast<LPARAM>(&out), SMTO_BLOCK, qly::kForwardTimeoutMs,
                            &answer);
        return 1;
    }
    if (msg == WM_CLOSE) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

// The echo answers on a thread at the receiver's priority; the relay runs at the normal
// priority of the shell's tray thread.
int RunWindow(const wchar_t* cls, WNDPROC proc, int priority) {
    SetThreadPriority(GetCurrentThread(), priority);
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = cls;
    RegisterClassExW(&wc);
    CreateWindowExW(0, cls, L"", WS_OVERLAPPEDWINDOW, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance,
                    nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
    return static_cast<int>(msg.wParam);
}

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

HWND Owner() {
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(0x7101));
}

std::vector<uint8_t> Payload(uint32_t command, uint32_t uid, const char16_t* tip) {
    notify_wire::NotifyFields f = qly_test::Fields(command, Owner(), uid);
    f.flags = notify_wire::kFlagTip;
    if (command == notify_wire::kAdd) {
        f.flags |= notify_wire::kFlagMessage;
        f.callback_message = 0x8001;
    }
    f.tip = tip;
    return notify_wire::BuildPayload(f, notify_wire::kSizeFull);
}

// The requests: modifies with alternating tips so that the tray has work to do, and the
// add of an icon the tray holds already (the tray refuses it; the road up to there is
// that of every add).
struct Requests {
    std::vector<uint8_t> tip_a = Payload(notify_wire::kModify, 1, u"bench A");
    std::vector<uint8_t> tip_b = Payload(notify_wire::kModify, 1, u"bench B");
    std::vector<uint8_t> add_again = Payload(notify_wire::kAdd, 1, u"bench");
};

// Seconds for one request; negative when it failed (not delivered, or, with `must_succeed`,
// not accepted).
double TimeNotify(HWND tray, const std::vector<uint8_t>& payload, bool must_succeed) {
    const double start = Now();
    const qly_test::WireResult r = qly_test::SendNotify(tray, Owner(), payload);
    const double t = Now() - start;
    return r.delivered && (!must_succeed || r.result == 1) ? t : -1;
}

double TimeCopyData(HWND target, const std::vector<uint8_t>& payload) {
    const double start = Now();
    const qly_test::WireResult r = qly_test::SendCopyData(
        target, nullptr, qly::ForwardTag, payload.data(), static_cast<DWORD>(payload.size()));
    const double t = Now() - start;
    return r.delivered ? t : -1;
}

bool AddIcons(HWND tray) {
    for (uint32_t uid = 1; uid <= kTrayIcons; ++uid)
        if (qly_test::SendNotify(tray, Owner(), Payload(notify_wire::kAdd, uid, u"bench")).result !=
            1)
            return false;
    return true;
}

HWND WaitForTray(const qly_test::TrayHost& host) {
    host.WaitForState([](const qly_test::TrayState& s) { return s.toolbar != nullptr; });
    return host.Tray();
}

HWND WaitForWindow(const wchar_t* cls, DWORD pid) {
    HWND w = nullptr;
    for (int i = 0; i < 500 && !w; ++i) {
        w = qly_test::FindWindowOfProcess(cls, pid);
        if (!w)
            Sleep(20);
    }
    return w;
}

enum Kind { kPlain, kForward, kAddPlain, kAddDump, kBare, kRelay, kKinds };

const char* const kRowNames[kKinds] = {
    "(a) NIM_MODIFY, tray not taken over",        "(b) NIM_MODIFY, taken over, default path",
    "(e) NIM_ADD again, sorted, no extra check",  "(e') the same with the extra check (dump)",
    "(c) bare WM_COPYDATA round trip, same size", "(d) bare relay through a third process",
};

struct Samples {
    std::vector<double> t[kKinds];
};

struct Figures {
    std::vector<double> overhead_bare, overhead_relay, dump;
};

int RunBench(int n, int rounds) {
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
    qly_hook_test::ResetSharedSection();

    // The helpers exist before the hook, so that it never reaches them.
    qly_test::ChildProcess echo_process(L"hook_forward_bench.exe", L"--echo");
    HWND echo = WaitForWindow(kEchoClass, echo_process.Id());
    qly_test::ChildProcess relay_process(
        L"hook_forward_bench.exe",
        L"--relay " + std::to_wstring(reinterpret_cast<uintptr_t>(echo)));
    HWND relay = WaitForWindow(kRelayClass, relay_process.Id());
    // Two stand-in shells side by side: one whose tray exists before the hook and stays
    // its own, one whose tray the hook takes over at its creation.
    qly_test::TrayHost plain_host(L"--layout=pager1");
    HWND plain_tray = WaitForTray(plain_host);
    qly_hook_test::HookReceiver receiver;
    receiver.SetRecording(false);
    if (!echo || !relay || !plain_tray || !qly_hook_test::InstallHooksFor(receiver)) {
        std::fprintf(stderr, "could not start the echo, the relay, trayhost or the hook\n");
        return 1;
    }
    qly_test::TrayHost hooked_host(L"--layout=pager1");
    HWND hooked_tray = WaitForTray(hooked_host);
    if (!hooked_tray || !receiver.WaitForNotice(qly::kHookNoticeAcquired) ||
        FindSpecialWindows() < 2 || g_shell_tray_hwnd != reinterpret_cast<uintptr_t>(hooked_tray)) {
        std::fprintf(stderr, "the second tray was not taken over\n");
        return 1;
    }
    UninstallHooks();  // as the main program does once the tray is taken over
    if (!AddIcons(plain_tray) || !AddIcons(hooked_tray)) {
        std::fprintf(stderr, "could not add the icons\n");
        return 1;
    }

    DWORD_PTR process_mask = 0, system_mask = 0;
    GetProcessAffinityMask(GetCurrentProcess(), &process_mask, &system_mask);
    HANDLE processes[] = {GetCurrentProcess(), echo_process.Handle(), relay_process.Handle(),
                          plain_host.Process().Handle(), hooked_host.Process().Handle()};
    const Requests requests;
    const std::vector<uint8_t> bare_payload(requests.tip_a.size() + qly::kTrayItemForwardGrowth,
                                            0x5A);
    const int per_round = std::max(10, n / rounds);
    const int warm_up = per_round / 10 + 10;
    std::printf(
        "hook forward benchmark: %d rounds of %d requests of each kind, interleaved; "
        "%u icons in each tray\n",
        rounds, per_round, kTrayIcons);
    std::printf("  (c) carries %zu bytes, the forwarded record of a full-size request\n",
                bare_payload.size());

    // The default configuration: extra check on, default tray order.
    g_flag_dump_always = 1;
    g_flag_reverse_tray = 0;
    std::mt19937 rng(20261209);
    Samples all[2];
    Figures figures[2];
    for (int round = -1; round < rounds; ++round) {  // round -1 warms up
        for (const bool one_processor : {true, false}) {
            for (HANDLE process : processes)
                SetProcessAffinityMask(
                    process, one_processor ? (process_mask & (~process_mask + 1)) : process_mask);
            Samples s;
            const int count = round < 0 ? warm_up : per_round;
            for (int i = 0; i < count; ++i) {
                const std::vector<uint8_t>& payload = (i & 1) ? requests.tip_b : requests.tip_a;
                double t[kKinds];
                // A new order for every cycle, so that no kind always follows the same other
                // one.
                int order[kKinds];
                for (int k = 0; k < kKinds; ++k)
                    order[k] = k;
                std::shuffle(order, order + kKinds, rng);
                for (int k = 0; k < kKinds; ++k) {
                    // Each request finds the road idle, as a notification on a desktop does.
                    Sleep(1);
                    switch (order[k]) {
                        case kPlain:
                            t[kPlain] = TimeNotify(plain_tray, payload, true);
                            break;
                        case kForward:
                            t[kForward] = TimeNotify(hooked_tray, payload, true);
                            break;
                        case kAddPlain:
                            g_flag_reverse_tray = kSortedOrder;
                            g_flag_dump_always = 0;
                            t[kAddPlain] = TimeNotify(hooked_tray, requests.add_again, false);
                            g_flag_dump_always = 1;
                            g_flag_reverse_tray = 0;
                            break;
                        case kAddDump:
                            g_flag_reverse_tray = kSortedOrder;
                            t[kAddDump] = TimeNotify(hooked_tray, requests.add_again, false);
                            g_flag_reverse_tray = 0;
                            break;
                        case kBare:
                            t[kBare] = TimeCopyData(echo, bare_payload);
                            break;
                        default:
                            t[kRelay] = TimeCopyData(relay, payload);
                            break;
                    }
                }
                for (int k = 0; k < kKinds; ++k)
                    if (t[k] < 0) {
                        std::fprintf(stderr, "a request of kind %d failed in round %d\n", k, round);
                        return 1;
                    }
                for (int k = 0; k < kKinds; ++k)
                    s.t[k].push_back(t[k]);
            }
            if (round < 0)
                continue;
            const int m = one_processor ? 0 : 1;
            double med[kKinds];
            for (int k = 0; k < kKinds; ++k) {
                med[k] = Median(s.t[k]);
                all[m].t[k].insert(all[m].t[k].end(), s.t[k].begin(), s.t[k].end());
            }
            const double overhead = med[kForward] - med[kPlain];
            figures[m].overhead_bare.push_back(overhead / med[kBare]);
            figures[m].overhead_relay.push_back(overhead / (med[kRelay] - med[kBare]));
            figures[m].dump.push_back((med[kAddDump] - med[kAddPlain]) / med[kBare]);
        }
    }

    for (int m = 0; m < 2; ++m) {
        std::printf("\n%s  median of all requests\n",
                    m == 0 ? "all on one processor      " : "spread over the processors");
        for (int k = 0; k < kKinds; ++k)
            std::printf("  %-44s %8.1f us\n", kRowNames[k], Median(all[m].t[k]) * 1e6);
        std::printf("  round ratios (median, lowest .. highest):\n");
        auto line = [](const char* what, const std::vector<double>& v) {
            std::printf("    %-40s %6.2f  (%.2f .. %.2f)\n", what, Median(v),
                        *std::min_element(v.begin(), v.end()),
                        *std::max_element(v.begin(), v.end()));
        };
        line("forward overhead (b - a) / c", figures[m].overhead_bare);
        line("forward overhead (b - a) / (d - c)", figures[m].overhead_relay);
        line("dump before a forward (e' - e) / c", figures[m].dump);
    }
    std::printf("\n");
    using qly_bench::Aim;
    qly_bench::PrintSummary("forward overhead, one processor, (b - a) / c",
                            figures[0].overhead_bare, Aim::AtMost, 1.3);
    qly_bench::PrintSummary("forward overhead, spread, against the relay (b - a) / (d - c)",
                            figures[1].overhead_relay, Aim::AtMost, 1.3);
    qly_bench::PrintSummary("dump of a 30-icon tray before a forward, one processor, (e' - e) / c",
                            figures[0].dump, Aim::AtMost, 0.5);

    const size_t forwards = receiver.ForwardCount();
    SendMessageTimeoutW(relay, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, 2000, nullptr);
    SendMessageTimeoutW(echo, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, 2000, nullptr);
    relay_process.Wait(2000);
    echo_process.Wait(2000);
    const DWORD echoed = echo_process.ExitCode();
    hooked_host.Quit();
    plain_host.Quit();
    const size_t cycles = static_cast<size_t>(rounds) * per_round * 2 + warm_up * 2;
    std::printf(
        "forwards received: %zu (expected %zu); round trips and relays answered: %lu "
        "(expected %zu)\n",
        forwards, kTrayIcons + 3 * cycles, static_cast<unsigned long>(echoed), 2 * cycles);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--echo") == 0)
        return RunWindow(kEchoClass, EchoProc, THREAD_PRIORITY_TIME_CRITICAL);
    if (argc > 2 && std::strcmp(argv[1], "--relay") == 0) {
        g_relay_target =
            reinterpret_cast<HWND>(static_cast<uintptr_t>(std::strtoull(argv[2], nullptr, 10)));
        return RunWindow(kRelayClass, RelayProc, THREAD_PRIORITY_NORMAL);
    }
    const int n = argc > 1 ? std::max(10, std::atoi(argv[1])) : 2000;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 9;
    return RunBench(n, rounds);
}
