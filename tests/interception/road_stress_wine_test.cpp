// A storm on the road: several owner programs add, change and delete icons as fast as the
// tray takes them, while the main thread purges, replays to a listening window and walks
// the registry. No interleaving may corrupt the registry or lose an answer: afterwards the
// registry and the tray hold exactly the icons the owners left, and every walk on the way
// saw a consistent registry.
#include <atomic>
#include <set>
#include <sstream>

#include "app/interception/interception_state.h"
#include "app/interception/special_tray_ops.h"
#include "tests/interception/road_fixture.h"

namespace qly_road {
namespace {

constexpr int kOwnerPrograms = 3;
constexpr int kRounds = 25;

// Each round adds, changes and deletes icons 1..4 of both windows; icon 2 is hidden by its
// rule, so a quarter of the traffic is swallowed. At the end each window keeps one icon.
std::string StormScript() {
    std::ostringstream s;
    for (int round = 0; round < kRounds; ++round) {
        for (const char* w : {"w0", "w1"}) {
            for (int uid = 1; uid <= 4; ++uid)
                s << "add " << w << " " << uid << " tip=\"r" << round << "\" msg=0x8001\n";
            for (int uid = 1; uid <= 4; ++uid)
                s << "modify " << w << " " << uid << " tip=\"changed " << round << "\"\n";
            s << "modify " << w << " 3 size=v1 tip=\"other size\"\n";
            for (int uid = 1; uid <= 4; ++uid)
                s << "delete " << w << " " << uid << "\n";
        }
    }
    s << "add w0 100 tip=\"kept\" msg=0x8001\n";
    s << "add w1 101 tip=\"kept\" msg=0x8001\n";
    s << "log done\n";
    return s.str();
}

// Checks the registry's own consistency; returns a description of the first fault.
std::string RegistryFault() {
    qly::InterceptionGuard lock(qly::InterceptionLock());
    std::set<std::pair<uint64_t, uint32_t>> seen;
    const std::vector<qly::TrayItem*> items = qly::Registry().Items();
    if (items.size() != qly::Registry().Count())
        return "count differs from the list";
    for (const qly::TrayItem* item : items) {
        if (item->total_size < qly::kTrayItemFixedSize)
            return "record shorter than its fixed part";
        if (!seen.insert({item->hwnd, item->uid}).second)
            return "an icon is registered twice";
        if (qly::find_qly(item->hwnd, item->uid) != item)
            return "the index does not find the item";
    }
    return std::string();
}

TEST_F(Road, StormOfRequestsFromSeveralOwnersWhileTheMainThreadWorksLeavesAConsistentRegistry) {
    RoadSettings s;
    char rule[64];
    std::snprintf(rule, sizeof rule, "%08xnotifyclient.exe", 2);
    s.rules[rule] = 0x2;
    Start(s);
    std::atomic<int> listener_faults{0};
    std::atomic<int> listener_calls{0};
    // The main window's listeners walk the registry after every change notice.
    qly::AddRegistryListener([&](const qly::TrayItem*) {
        ++listener_calls;
        if (!RegistryFault().empty())
            ++listener_faults;
    });
    qly_hook_test::HookReceiver replay_target;

    std::vector<std::unique_ptr<ForeignOwners>> storm;
    for (int i = 0; i < kOwnerPrograms; ++i)
        storm.push_back(
            std::make_unique<ForeignOwners>(std::vector<std::string>{"w0", "w1"}, StormScript()));

    int walks = 0;
    bool done = false;
    std::string fault;
    for (int i = 0; i < 2000 && !done && fault.empty(); ++i) {
        qly::PurgeDeadItems(true);
        qly::PurgeRecentDeletions();
        if (i % 10 == 0)
            qly::ReplayToWindow(replay_target.Window());
        fault = RegistryFault();
        ++walks;
        done = true;
        for (const auto& owner : storm)
            done = done && owner->Log().find("note done") != std::string::npos;
        Sleep(5);
    }
    ASSERT_TRUE(done) << "the owners did not finish";
    EXPECT_EQ(fault, "") << "after " << walks << " walks";
    EXPECT_EQ(listener_faults.load(), 0);
    EXPECT_GT(listener_calls.load(), 0);

    std::set<Icon> expected;
    for (const auto& owner : storm) {
        expected.insert({owner->Window("w0"), 100});
        expected.insert({owner->Window("w1"), 101});
        // Every request of the owner got an answer from the tray.
        EXPECT_EQ(owner->Log().find("-> -2"), std::string::npos) << "a request went unanswered";
    }
    const std::vector<Icon> registered = Registered();
    EXPECT_EQ(std::set<Icon>(registered.begin(), registered.end()), expected);
    EXPECT_EQ(registered.size(), expected.size());
    const std::vector<Icon> tray = InTray();
    EXPECT_EQ(std::set<Icon>(tray.begin(), tray.end()), expected);
    EXPECT_EQ(tray.size(), expected.size());
}

}  // namespace
}  // namespace qly_road
