// What the receiver costs as icons accumulate, and how fast the whole road runs, measured
// in one run:
//   (a) the receiver's answer to one NIM_MODIFY (rules, registry, answer) with 10, 100 and
//       1,000 registered icons, requests spread over all of them; prints the best of five
//       interleaved rounds per request and the ratio 1,000 : 10 (aim: at most 1.3, the answer must
//       not grow with the number of icons);
//   (b) a storm of NIM_MODIFY requests to trayhost without interception and then through
//       the road (trayhost -> hook -> receiver -> registry and rules -> trayhost); prints
//       requests per second of both and their ratio.
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

}  // namespace

int main(int argc, char** argv) {
    const int n = argc > 1 ? std::atoi(argv[1]) : 20000;
    qly_hook_test::ResetSharedSection();
    qly_road::WriteSettings(qly_road::RoadSettings());
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);

    // (a) The receiver alone.
    g_shell_tray_hwnd = kBenchTray;
    const uint32_t sizes[] = {10, 100, 1000};
    // Rounds interleave the sizes and each size keeps its best round, so a burst of load
    // from other programs on the machine does not decide the ratio.
    double per[3] = {1e9, 1e9, 1e9};
    HandlerTime(sizes[0], n);  // warm-up
    for (int round = 0; round < 5; ++round)
        for (int i = 0; i < 3; ++i) {
            const double t = HandlerTime(sizes[i], n);
            per[i] = t < per[i] ? t : per[i];
        }
    for (int i = 0; i < 3; ++i)
        std::printf("receiver, %4u icons: %8.2f us per request\n", sizes[i], per[i] * 1e6);
    std::printf("ratio 1000 : 10 = %.2f (aim: at most 1.3)\n", per[2] / per[0]);

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

    // (b) The whole road. First the tray alone, then the same tray recreated under the hook.
    const int storm = n / 10 > 200 ? n / 10 : 200;
    auto tray = std::make_unique<qly_test::TrayHost>();
    if (!tray->Started()) {
        std::printf("trayhost did not start\n");
        return 1;
    }
    HWND owner =
        CreateWindowExA(0, "STATIC", "owner", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    for (uint32_t uid = 1; uid <= 20; ++uid) {
        notify_wire::NotifyFields f = qly_test::Fields(qly::kNimAdd, owner, uid);
        f.flags = notify_wire::kFlagTip;
        qly_test::SendNotify(tray->Tray(), owner,
                             notify_wire::BuildPayload(f, notify_wire::kSizeFull));
    }
    const double bare = StormRate(*tray, owner, storm);

    qly_road::RoadHost host(false);
    if (!host.Ready() || !tray->Recreate() ||
        !host.WaitForNotice(qly::kHookNoticeAcquired, 1, 10000)) {
        std::printf("the road could not be set up\n");
        return 1;
    }
    for (uint32_t uid = 1; uid <= 20; ++uid) {
        notify_wire::NotifyFields f = qly_test::Fields(qly::kNimAdd, owner, uid);
        f.flags = notify_wire::kFlagTip;
        qly_test::SendNotify(tray->Tray(), owner,
                             notify_wire::BuildPayload(f, notify_wire::kSizeFull));
    }
    const double road = StormRate(*tray, owner, storm);
    std::printf(
        "modify storm, %d requests: tray alone %.0f/s, through the road %.0f/s (ratio %.2f)\n",
        storm, bare, road, bare / road);
    UninstallHooks();
    tray.reset();
    DestroyWindow(owner);
    return 0;
}
