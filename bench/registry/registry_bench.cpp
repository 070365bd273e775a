// What the receiver costs as icons accumulate, and how fast the whole road runs, measured
// in one run in interleaved rounds; each figure is the median of its round ratios:
//   (a) the receiver's answer to one NIM_MODIFY (rules, registry, answer) with 10, 100 and
//       1,000 registered icons, requests spread over all of them; the ratio 1,000 : 10 per
//       round (aim: at most 1.3, the answer must not grow with the number of icons);
//   (b) a storm of NIM_MODIFY requests to a tray without interception and to a tray taken
//       over by the road (trayhost -> hook -> receiver -> registry and rules -> trayhost),
//       a burst to each in turn; requests per second of both and the ratio road : alone per
//       round (aim: at least 0.7).
//
// Run under Wine from the build folder, e.g.
//   scripts/wine_run.sh build/win64/wineprefix build/win64/bin/registry_bench.exe [N]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "app/interception/copy_data_thread.h"
#include "app/interception/interception_state.h"
#include "bench/bench_figures.h"
#include "hooklib/forward_record.h"
#include "hooklib/hook_protocol.h"
#include "hooklib/qlydll.h"
#include "tests/hooklib/hook_harness.h"
#include "tests/interception/road_host.h"
#include "tests/support/tray_host.h"
#include "tests/support/tray_wire.h"

namespace {

constexpr uint64_t kBenchTray = 0x10010;

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

std::vector<uint8_t> Record(uint32_t command, uint32_t owner, uint32_t uid, const char* tip) {
    notify_wire::NotifyFields f;
    f.command = command;
    f.hwnd = owner;
    f.uid = uid;
    f.flags = notify_wire::kFlagMessage | notify_wire::kFlagTip;
    f.callback_message = 0x8001;
    f.tip = notify_wire::Utf8ToUtf16(tip);
    const std::vector<uint8_t> payload = notify_wire::BuildPayload(f, notify_wire::kSizeFull);
    std::vector<uint8_t> rec(qly::kMaxForwardRecord);
    rec.resize(qly::BuildForwardRecord(kBenchTray, 1, payload.data(), payload.size(), rec.data(),
                                       rec.size()));
    return rec;
}

LRESULT Answer(std::vector<uint8_t>& rec) {
    COPYDATASTRUCT cds;
    cds.dwData = qly::ForwardTag;
    cds.cbData = static_cast<DWORD>(rec.size());
    cds.lpData = rec.data();
    return qly::AnswerForward(static_cast<WPARAM>(kBenchTray), &cds);
}

// Seconds per request for `requests` modifies spread over `icons` registered icons. The
// owners are handles of no live window, so every request takes the same rule path.
double HandlerTime(uint32_t icons, int requests) {
    {
        qly::InterceptionGuard lock(qly::InterceptionLock());
        qly::Registry().Clear();
    }
    for (uint32_t i = 0; i < icons; ++i) {
        std::vector<uint8_t> add = Record(qly::kNimAdd, 0x50000 + (i % 7) * 4, i, "icon");
        Answer(add);
    }
    std::vector<std::vector<uint8_t>> mods;
    for (uint32_t i = 0; i < icons; ++i)
        mods.push_back(Record(qly::kNimModify, 0x50000 + (i % 7) * 4, i, "changed tip"));
    // Warm up, then measure.
    for (uint32_t i = 0; i < icons && i < 100; ++i)
        Answer(mods[i]);
    const double start = Now();
    for (int r = 0; r < requests; ++r)
        Answer(mods[static_cast<size_t>(r) % icons]);
    return (Now() - start) / requests;
}

double StormRate(const qly_test::TrayHost& tray, HWND owner, int requests) {
    HWND window = tray.Tray();
    std::vector<uint8_t> payload;
    const double start = Now();
    for (int r = 0; r < requests; ++r) {
        notify_wire::NotifyFields f = qly_test::Fields(qly::kNimModify, owner, 1 + r % 20);
        f.flags = notify_wire::kFlagTip;
        f.tip = (r & 1) ? u"odd" : u"even";
        qly_test::SendNotify(window, owner, notify_wire::BuildPayload(f, notify_wire::kSizeFull));
    }
    return requests / (Now() - start);
}

void AddStormIcons(const qly_test::TrayHost& tray, HWND owner) {
    for (uint32_t uid = 1; uid <= 20; ++uid) {
        notify_wire::NotifyFields f = qly_test::Fields(qly::kNimAdd, owner, uid);
        f.flags = notify_wire::kFlagTip;
        qly_test::SendNotify(tray.Tray(), owner,
                             notify_wire::BuildPayload(f, notify_wire::kSizeFull));
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int n = argc > 1 ? std::atoi(argv[1]) : 20000;
    const int rounds = 9;
    qly_hook_test::ResetSharedSection();
    qly_road::WriteSettings(qly_road::RoadSettings());
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);

    // (a) The receiver alone.
    g_shell_tray_hwnd = kBenchTray;
    const uint32_t sizes[] = {10, 100, 1000};
    const int per_round = n > 100 ? n : 100;
    std::vector<double> per[3];
    std::vector<double> flat;
    HandlerTime(sizes[0], per_round);  // warm-up
    for (int round = 0; round < rounds; ++round) {
        double t[3];
        for (int i = 0; i < 3; ++i) {
            // Alternate the order of the sizes from round to round.
            const int k = (round & 1) ? 2 - i : i;
            t[k] = HandlerTime(sizes[k], per_round);
            per[k].push_back(t[k]);
        }
        flat.push_back(t[2] / t[0]);
    }
    for (int i = 0; i < 3; ++i)
        std::printf("receiver, %4u icons: %8.2f us per request (median of %d rounds)\n", sizes[i],
                    qly_bench::Median(per[i]) * 1e6, rounds);

    // The same answer for an owner that is a live window, whose program the rules name.
    HWND live =
        CreateWindowExA(0, "STATIC", "live", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    {
        const uint32_t h = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(live));
        std::vector<uint8_t> add = Record(qly::kNimAdd, h, 1, "icon");
        Answer(add);
        std::vector<uint8_t> mod = Record(qly::kNimModify, h, 1, "changed tip");
        const int live_n = n / 10 > 100 ? n / 10 : 100;
        const double start = Now();
        for (int r = 0; r < live_n; ++r)
            Answer(mod);
        std::printf("receiver, live owner window: %8.2f us per request\n",
                    (Now() - start) / live_n * 1e6);
        DestroyWindow(live);
    }
    {
        qly::InterceptionGuard lock(qly::InterceptionLock());
        qly::Registry().Clear();
    }
    qly_hook_test::ResetSharedSection();

    // (b) The whole road: a tray that exists before the hook and stays its own, and one
    // that the road takes over at its creation, stormed in turn.
    const int storm = n / 40 > 100 ? n / 40 : 100;
    auto alone = std::make_unique<qly_test::TrayHost>();
    if (!alone->Started()) {
        std::printf("trayhost did not start\n");
        return 1;
    }
    HWND owner =
        CreateWindowExA(0, "STATIC", "owner", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    AddStormIcons(*alone, owner);
    auto host = std::make_unique<qly_road::RoadHost>(false);
    auto taken = std::make_unique<qly_test::TrayHost>();
    if (!host->Ready() || !taken->Started() ||
        !host->WaitForNotice(qly::kHookNoticeAcquired, 1, 10000)) {
        std::printf("the road could not be set up\n");
        return 1;
    }
    AddStormIcons(*taken, owner);
    StormRate(*alone, owner, storm / 4);  // warm-up
    StormRate(*taken, owner, storm / 4);
    std::vector<double> alone_rates, road_rates, storm_ratios;
    for (int round = 0; round < rounds; ++round) {
        double a, r;
        if (round & 1) {
            r = StormRate(*taken, owner, storm);
            a = StormRate(*alone, owner, storm);
        } else {
            a = StormRate(*alone, owner, storm);
            r = StormRate(*taken, owner, storm);
        }
        alone_rates.push_back(a);
        road_rates.push_back(r);
        storm_ratios.push_back(r / a);
    }
    std::printf(
        "modify storm, %d rounds of %d requests each way: tray alone %.0f/s, through the "
        "road %.0f/s (medians)\n",
        rounds, storm, qly_bench::Median(alone_rates), qly_bench::Median(road_rates));
    std::printf("\n");
    qly_bench::PrintSummary("receiver 1000 icons : 10 icons", flat, qly_bench::Aim::AtMost, 1.3);
    qly_bench::PrintSummary("modify storm, road : tray alone", storm_ratios,
                            qly_bench::Aim::AtLeast, 0.7);
    UninstallHooks();
    taken.reset();
    host.reset();
    alone.reset();
    DestroyWindow(owner);
    return 0;
}
