// The road of one notification, end to end under Wine: an owner's request reaches trayhost
// through the hook, the receiver, the registry and the rules, and the program's replays go
// back to trayhost. What the user would see is what trayhost shows; what the menu would
// offer is what the registry holds.
#include <windows.h>

#include <shellapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <stdexcept>
#include <fstream>
#include <sstream>
#include <thread>

#include "app/diag/log.h"
#include "app/interception/copy_data_thread.h"
#include "app/interception/special_tray_ops.h"
#include "app/settings/rule_engine.h"
#include "app/interception/tray_record.h"
#include "app/settings/settings_store.h"
#include "hooklib/forward_record.h"
#include "hooklib/hook_protocol.h"
#include "tests/interception/forward_builder.h"
#include "tests/interception/road_fixture.h"

namespace qly_road {
namespace {

using notify_wire::kAdd;
using notify_wire::kDelete;
using notify_wire::kModify;

constexpr char kClient[] = "notifyclient.exe";

std::string RuleName(uint32_t id, const char* program = kClient) {
    char name[160];
    std::snprintf(name, sizeof name, "%08x%s", id, program);
    return name;
}

bool Contains(const std::vector<Icon>& icons, HWND owner, uint32_t uid) {
    for (const Icon& i : icons)
        if (i.owner == owner && i.uid == uid)
            return true;
    return false;
}

TEST_F(Road, IconHiddenByItsRuleNeverReachesTheTrayButStaysRegisteredUntilDeleted) {
    RoadSettings s;
    s.rules[RuleName(5)] = 0x2;  // menu only
    Start(s);
    ASSERT_TRUE(Notify(kAdd, A(), 5).delivered);
    ASSERT_TRUE(Notify(kAdd, A(), 6).delivered);
    EXPECT_FALSE(Contains(InTray(), A(), 5));
    EXPECT_TRUE(Contains(InTray(), A(), 6));
    EXPECT_TRUE(IsRegistered(A(), 5)) << "the menu must still be able to offer it";
    EXPECT_TRUE(IsRegistered(A(), 6));
    // The swallowed request still succeeds for its owner.
    EXPECT_EQ(Notify(kModify, A(), 5, "changed").result, 1);

    EXPECT_EQ(Notify(kDelete, A(), 5).result, 1);
    EXPECT_FALSE(IsRegistered(A(), 5));
    EXPECT_TRUE(Contains(InTray(), A(), 6));
    // The registry's change notices reach the main window.
    EXPECT_TRUE(m_host->WaitForNotice(qly::kHookRegistryChanged, 4, 5000));
}

TEST_F(Road, ListenersHearEveryChangeWithTheChangedIconEvenWhenOneOfThemFails) {
    Start();
    std::atomic<int> calls{0};
    std::atomic<const qly::TrayItem*> last{nullptr};
    qly::AddRegistryListener(
        [](const qly::TrayItem*) { throw std::runtime_error("broken listener"); });
    qly::AddRegistryListener([&](const qly::TrayItem* changed) {
        last = changed;
        ++calls;
    });
    ASSERT_EQ(Notify(kAdd, A(), 1, "one").result, 1);
    ASSERT_TRUE(m_host->WaitForNotice(qly::kHookRegistryChanged, 1, 5000));
    for (int i = 0; i < 100 && calls < 1; ++i)
        Sleep(20);
    EXPECT_EQ(calls.load(), 1) << "the second listener was not called";
    EXPECT_EQ(last.load(), nullptr) << "a new icon is no change of a stored one";

    ASSERT_EQ(Notify(kModify, A(), 1, "changed").result, 1);
    for (int i = 0; i < 100 && calls < 2; ++i)
        Sleep(20);
    qly::InterceptionGuard lock(qly::InterceptionLock());
    EXPECT_EQ(last.load(), qly::find_qly(reinterpret_cast<uintptr_t>(A()), 1))
        << "the changed icon is named";
}

// A notice names the icon it was posted for. When that icon is deleted and another is stored
// (as often as not in the freed record's memory) before the main thread reads the notice,
// the listeners hear of no icon; when the same icon is added again, they get it as it now is.
TEST(RegistryNotice, NamesTheIconSoADeletedOneIsNeverMistakenForItsSuccessor) {
    using qly_interception_test::Forward;
    using qly_interception_test::Request;
    qly::InterceptionGuard lock(qly::InterceptionLock());
    qly::Registry().Clear();
    const qly::TrayItem* heard = reinterpret_cast<const qly::TrayItem*>(1);
    const int id = qly::AddRegistryListener([&](const qly::TrayItem* changed) { heard = changed; });

    Request first;
    first.owner = 0x4400;
    first.uid = 7;
    Request second = first;
    second.owner = 0x5500;
    std::vector<uint8_t> a = Forward(first), b = Forward(second);
    qly::TrayItem* stored = qly::Registry().Insert(reinterpret_cast<qly::TrayItem*>(a.data()));
    ASSERT_NE(stored, nullptr);
    const uint64_t notice = qly::PackIconIdentity(stored->hwnd, stored->uid);
    qly::Registry().Remove(stored);
    const qly::TrayItem* successor =
        qly::Registry().Insert(reinterpret_cast<qly::TrayItem*>(b.data()));
    ASSERT_NE(successor, nullptr);
    qly::NotifyListeners(notice);
    EXPECT_EQ(heard, nullptr) << "the successor (at " << successor << ") was handed on";

    const qly::TrayItem* again = qly::Registry().Insert(reinterpret_cast<qly::TrayItem*>(a.data()));
    qly::NotifyListeners(notice);
    EXPECT_EQ(heard, again);
    qly::RemoveRegistryListener(id);
    qly::Registry().Clear();
}

size_t ThreadsOfThisProcess() {
    size_t count = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        count += entry.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(snapshot);
    return count;
}

// With no tray to reach, every TrayAdd of one icon misses; only one retry waits for the
// tray, however often the program asks.
TEST(TrayAddRetry, OneIconWaitsForTheTrayOnceHoweverOftenItIsAdded) {
    ASSERT_EQ(FindWindowA("Shell_TrayWnd", nullptr), nullptr);
    HWND owner =
        CreateWindowExA(0, "STATIC", "owner", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(owner, nullptr);
    qly::TrayAdd(owner, 0, "first", 0, NIM_ADD, 0x8000, 0, true);
    Sleep(100);
    const size_t one_retry = ThreadsOfThisProcess();
    for (int i = 0; i < 5; ++i)
        qly::TrayAdd(owner, 0, "again", 0, NIM_ADD, 0x8000, 0, true);
    Sleep(100);
    EXPECT_EQ(ThreadsOfThisProcess(), one_retry);
    DestroyWindow(owner);
}

TEST_F(Road, TwoIdsOfOneWindowAreTwoIconsAndADeadOwnerVanishesWithinAPurge) {
    Start();
    ASSERT_EQ(Notify(kAdd, A(), 1).result, 1);
    ASSERT_EQ(Notify(kAdd, A(), 2).result, 1);
    ASSERT_EQ(Notify(kAdd, B(), 1).result, 1);
    EXPECT_EQ(Registered().size(), 3u);
    EXPECT_EQ(InTray().size(), 3u);

    // The owner ends without deleting its icons.
    const HWND a = A();
    m_owners->End();
    const size_t purges = m_host->PurgeRuns();
    bool gone = false;
    for (int i = 0; i < 100 && !gone; ++i) {
        Sleep(50);
        gone = m_host->PurgeRuns() >= purges + 1 && Registered().empty() && InTray().empty();
    }
    EXPECT_TRUE(gone) << "registry " << Registered().size() << ", tray " << InTray().size();
    EXPECT_LE(m_host->PurgeRuns(), purges + 2) << "it took more than one purge period";
    EXPECT_FALSE(IsRegistered(a, 1));
}

TEST_F(Road, LateChangeAfterADeleteDoesNotBringTheIconBackUntilTwoSecondsPassed) {
    Start();
    ASSERT_EQ(Notify(kAdd, A(), 3).result, 1);
    ASSERT_EQ(Notify(kDelete, A(), 3).result, 1);
    Sleep(1000);
    Notify(kModify, A(), 3, "late");
    EXPECT_FALSE(IsRegistered(A(), 3));
    Sleep(1100);
    Notify(kModify, A(), 3, "wanted");
    EXPECT_TRUE(IsRegistered(A(), 3));
}

TEST_F(Road, ChangeOfAnotherSizeLeavesTheIconAsItWasButIsAnsweredByItsVisibility) {
    RoadSettings s;
    s.rules[RuleName(8)] = 0x2;
    Start(s);
    ASSERT_TRUE(Notify(kAdd, A(), 7, "seven").delivered);
    ASSERT_TRUE(Notify(kAdd, A(), 8, "eight").delivered);
    Notify(kModify, A(), 7, "other size", notify_wire::kFlagTip, notify_wire::kSizeV1);
    Notify(kModify, A(), 8, "other size", notify_wire::kFlagTip, notify_wire::kSizeV1);
    {
        qly::InterceptionGuard lock(qly::InterceptionLock());
        const qly::TrayItem* seven = qly::find_qly(reinterpret_cast<uintptr_t>(A()), 7);
        ASSERT_NE(seven, nullptr);
        EXPECT_STREQ(qly::TipText(seven, qly::TextLayout::kWide, 127).data(), "seven");
    }
    // Visible: passed on, so the tray shows the change; hidden: still swallowed.
    const qly_test::TrayState st = m_tray->State();
    ASSERT_NE(st.Find(A(), 7), nullptr);
    EXPECT_EQ(st.Find(A(), 7)->tip, "other size");
    EXPECT_EQ(st.Find(A(), 8), nullptr);
}

TEST_F(Road, ReversedOrderPutsEachNewVisibleIconAtTheFront) {
    RoadSettings s;
    s.reverse_tray = 1;
    Start(s);
    for (uint32_t uid = 1; uid <= 3; ++uid)
        ASSERT_EQ(Notify(kAdd, A(), uid).result, 1);
    EXPECT_EQ(TrayOrder(), (std::vector<uint32_t>{3, 2, 1}));
    Notify(kModify, A(), 1, "changed");
    EXPECT_EQ(TrayOrder(), (std::vector<uint32_t>{3, 2, 1})) << "a change moves nothing";
}

TEST_F(Road, SortedOrderPlacesEachIconByItsPositionUsingTheDumpOfTheTray) {
    RoadSettings s;
    s.reverse_tray = 2;
    s.dump_always = 1;
    s.rules[RuleName(1)] = 0x103;
    s.rules[RuleName(2)] = 0x303;
    s.rules[RuleName(3)] = 0x203;
    s.rules[RuleName(5)] = 0x203;
    Start(s);
    for (uint32_t uid = 1; uid <= 5; ++uid)
        ASSERT_EQ(Notify(kAdd, A(), uid).result, 1) << uid;
    EXPECT_EQ(TrayOrder(), (std::vector<uint32_t>{1, 3, 5, 2, 4}));
}

TEST_F(Road, IdsAboveTheProgramsRangeAndForeignMessagesChangeNothing) {
    Start();
    EXPECT_EQ(Notify(kAdd, A(), 0x80000001).result, 1);
    EXPECT_TRUE(Contains(InTray(), A(), 0x80000001)) << "passed on";
    EXPECT_FALSE(IsRegistered(A(), 0x80000001));

    // A record that looks like a forward but comes from another window, or with another
    // tag, is answered "pass" and ignored.
    notify_wire::NotifyFields f = Fields(kAdd, A(), 9);
    f.flags = notify_wire::kFlagTip;
    const std::vector<uint8_t> payload = notify_wire::BuildPayload(f, notify_wire::kSizeFull);
    std::vector<uint8_t> rec(payload.size() + qly::kTrayItemForwardGrowth);
    qly::BuildForwardRecord(reinterpret_cast<uintptr_t>(A()), 1, payload.data(), payload.size(),
                            rec.data(), rec.size());
    qly_test::WireResult r = qly_test::SendCopyData(m_host->Receiver(), A(), qly::ForwardTag,
                                                    rec.data(), static_cast<DWORD>(rec.size()));
    EXPECT_TRUE(r.delivered);
    EXPECT_EQ(r.result, 1);
    r = qly_test::SendCopyData(m_host->Receiver(), Tray(), 1, rec.data(),
                               static_cast<DWORD>(rec.size()));
    EXPECT_EQ(r.result, 1);
    r = qly_test::SendCopyData(m_host->Receiver(), Tray(), qly::ForwardTag, rec.data(), 100);
    EXPECT_EQ(r.result, 1);
    EXPECT_FALSE(IsRegistered(A(), 9));
}

TEST_F(Road, ReleaseAllGivesExactlyTheHiddenIconsBackAsTheOwnersSentThem) {
    RoadSettings s;
    s.rules[RuleName(5)] = 0x2;
    Start(s);
    notify_wire::NotifyFields f = Fields(kAdd, A(), 5);
    f.flags = notify_wire::kFlagMessage | notify_wire::kFlagTip | notify_wire::kFlagState;
    f.tip = u"hidden one";
    f.callback_message = 0x8123;
    f.state = notify_wire::kStateHidden;  // keep the owner's own state too
    f.state_mask = 0;
    ASSERT_TRUE(NotifyFields(f).delivered);
    ASSERT_EQ(Notify(kAdd, A(), 6, "shown").result, 1);
    ASSERT_FALSE(Contains(InTray(), A(), 5));

    EXPECT_EQ(qly::ReleaseAllItems(), 2u);
    EXPECT_TRUE(Registered().empty());
    const qly_test::TrayState st = m_tray->State();
    ASSERT_EQ(st.Toolbar(1).size(), 2u) << "the visible icon is not added twice";
    const qly_test::TrayButton* back = st.Find(A(), 5);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->tip, "hidden one");
    EXPECT_EQ(back->callback, 0x8123u);
    EXPECT_EQ(back->flags, f.flags) << "the owner's own flags";
    EXPECT_FALSE(back->hidden);

    // Until the tray is let go, nothing more is hidden or swallowed: an icon the rules
    // would hide, added now, and a change of a returned one both reach the tray.
    ASSERT_EQ(Notify(kAdd, B(), 5, "late").result, 1);
    ASSERT_EQ(Notify(kModify, A(), 5, "changed").result, 1);
    const qly_test::TrayState after = m_tray->State();
    EXPECT_NE(after.Find(B(), 5), nullptr) << "added while the icons went back, and lost";
    ASSERT_NE(after.Find(A(), 5), nullptr);
    EXPECT_EQ(after.Find(A(), 5)->tip, "changed");
}

TEST_F(Road, MergedIconHandedBackAtExitKeepsTheLettersOfItsTip) {
    RoadSettings s;
    s.rules[RuleName(5)] = 0x2;
    Start(s);
    ASSERT_TRUE(Notify(kAdd, A(), 5, "Grüße").delivered);
    {
        // Adopted from the tray or merged: handed back by a fresh 8-bit request.
        qly::InterceptionGuard lock(qly::InterceptionLock());
        qly::find_qly(reinterpret_cast<uintptr_t>(A()), 5)->item_flags |= qly::kTrayItemMerged;
    }
    EXPECT_EQ(qly::ReleaseAllItems(), 1u);
    const qly_test::TrayState st = m_tray->State();
    const qly_test::TrayButton* back = st.Find(A(), 5);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->tip, "Grüße");
}

TEST_F(Road, ReplayAllGoesThroughInterceptionAgainAndRegistersTheSameIcons) {
    RoadSettings s;
    s.rules[RuleName(5)] = 0x2;
    Start(s);
    qly::SetOwnIcon(m_host->MainWindow(), "Quillory", 0, false);
    ASSERT_TRUE(Notify(kAdd, A(), 5).delivered);
    ASSERT_TRUE(Notify(kAdd, B(), 6, "six").delivered);
    const std::vector<Icon> before = Registered();

    // The shell restarted: the new tray is empty and the registry replays into it.
    ASSERT_TRUE(m_tray->Recreate());
    ASSERT_TRUE(m_host->WaitForNotice(qly::kHookNoticeAcquired, 2, 10000));
    ASSERT_GE(FindSpecialWindows(), 2);
    EXPECT_EQ(qly::ReplayAllToTray(false), 3u);
    EXPECT_EQ(Registered(), before) << "each replay came back through the hook as the same icon";
    std::vector<Icon> tray = InTray();
    EXPECT_TRUE(Contains(tray, B(), 6));
    EXPECT_FALSE(Contains(tray, A(), 5)) << "the rule still hides it";
    EXPECT_TRUE(Contains(tray, m_host->MainWindow(), 0)) << "our own icon first";
}

TEST_F(Road, ReplayThatGoesBackThroughInterceptionArrivesAsTheSameRecord) {
    Start();
    uint32_t uid = 10;
    for (uint32_t size : {notify_wire::kSizeV1, notify_wire::kSizeV2, notify_wire::kSizeFull}) {
        ++uid;
        notify_wire::NotifyFields f = Fields(kAdd, A(), uid);
        f.flags = notify_wire::kFlagMessage | notify_wire::kFlagTip | notify_wire::kFlagInfo;
        f.tip = u"replayed tip";
        f.info = u"balloon text";
        f.info_title = u"title";
        f.info_flags = 1;
        f.timeout_or_version = 3000;
        ASSERT_EQ(NotifyFields(f, size).result, 1);
        std::vector<uint8_t> before;
        {
            qly::InterceptionGuard lock(qly::InterceptionLock());
            const qly::TrayItem* item = qly::find_qly(reinterpret_cast<uintptr_t>(A()), uid);
            ASSERT_NE(item, nullptr);
            const uint8_t* b = reinterpret_cast<const uint8_t*>(item);
            before.assign(b, b + item->total_size);
            qly::Registry().Remove(const_cast<qly::TrayItem*>(item));
        }
        // Replayed without passing interception by: the hook forwards what the tray got.
        qly::SendStoredToTray(reinterpret_cast<const qly::TrayItem*>(before.data()), qly::kNimAdd,
                              false, SMTO_NORMAL, qly::kReplayTimeoutMs);
        qly::InterceptionGuard lock(qly::InterceptionLock());
        const qly::TrayItem* again = qly::find_qly(reinterpret_cast<uintptr_t>(A()), uid);
        ASSERT_NE(again, nullptr) << size;
        const uint8_t* b = reinterpret_cast<const uint8_t*>(again);
        EXPECT_EQ(std::vector<uint8_t>(b, b + again->total_size), before) << "cbSize " << size;
    }
}

TEST_F(Road, ReplayAllWithAnEmptyRegistryAddsOnlyTheProgramsOwnIcon) {
    Start();
    qly::SetOwnIcon(m_host->MainWindow(), "Quillory", 0, false);
    EXPECT_EQ(qly::ReplayAllToTray(false), 1u);
    const std::vector<Icon> tray = InTray();
    ASSERT_EQ(tray.size(), 1u);
    EXPECT_EQ(tray[0].owner, m_host->MainWindow());
    EXPECT_EQ(tray[0].uid, 0u);
    const qly_test::TrayState st = m_tray->State();
    EXPECT_EQ(st.Find(m_host->MainWindow(), 0)->callback, qly::kOwnCallbackMessage);
    EXPECT_EQ(st.Find(m_host->MainWindow(), 0)->tip, "Quillory");
}

TEST_F(Road, ReplayToAWindowSendsEveryIconAsAForward) {
    Start();
    ASSERT_EQ(Notify(kAdd, A(), 1, "one").result, 1);
    ASSERT_EQ(Notify(kModify, A(), 2, "two").result, 1);
    ASSERT_EQ(Notify(kAdd, B(), 3, "three").result, 1);
    qly_hook_test::HookReceiver listener;
    PostMessageA(m_host->MainWindow(), WM_USER_QLY_HOOK_MSG, qly::kHookReplayTo,
                 reinterpret_cast<LPARAM>(listener.Window()));
    ASSERT_TRUE(listener.WaitForForwards(3, 5000));
    const std::vector<qly_hook_test::Received> got = listener.Forwards();
    ASSERT_EQ(got.size(), 3u);
    const uint32_t uids[] = {1, 2, 3};
    for (size_t i = 0; i < got.size(); ++i) {
        const qly_hook_test::Received& r = got[i];
        EXPECT_EQ(r.kind, qly::ForwardTag);
        EXPECT_EQ(r.sender, static_cast<WPARAM>(g_shell_tray_hwnd));
        EXPECT_EQ(r.U32(0), r.bytes.size()) << "total size";
        EXPECT_EQ(r.U32(4), 0u) << "item flags";
        EXPECT_EQ(r.U32(176), qly::kNimAdd) << "every icon as an add";
        EXPECT_EQ(r.U32(192), uids[i]);
        EXPECT_EQ(r.U32(164), 1u) << "the shell's copy-data kind";
        EXPECT_EQ(r.U64(156), reinterpret_cast<uintptr_t>(i < 2 ? A() : B()))
            << "the sender window";
        EXPECT_EQ(r.bytes[8], 0) << "no executable name travels";
    }
}

TEST_F(Road, ChangedRuleAddsOrRemovesTheIconInTheTrayOnce) {
    Start();
    ASSERT_EQ(Notify(kAdd, A(), 7).result, 1);
    ASSERT_EQ(Notify(kAdd, B(), 7).result, 1);
    ASSERT_EQ(InTray().size(), 2u);

    EXPECT_EQ(qly::SetRule(reinterpret_cast<uintptr_t>(A()), 7, 0x2, nullptr), 1);
    // Both windows belong to one program: the rule is for the program and the id.
    EXPECT_TRUE(InTray().empty());
    EXPECT_EQ(Registered().size(), 2u);
    // A new request of the icon is now swallowed.
    Notify(kModify, A(), 7, "still hidden");
    EXPECT_TRUE(InTray().empty());

    EXPECT_EQ(qly::SetRule(reinterpret_cast<uintptr_t>(A()), 7, 0x2, nullptr), 1);
    EXPECT_TRUE(InTray().empty());
    EXPECT_EQ(qly::SetRule(reinterpret_cast<uintptr_t>(A()), 7, 0x3, nullptr), 1);
    EXPECT_EQ(InTray().size(), 2u);
    EXPECT_EQ(m_tray->State().Find(A(), 7)->tip, "still hidden")
        << "the stored request, as changed";
}

TEST_F(Road, ChangedDefaultRemovesAndReAddsExactlyTheIconsThatFollowIt) {
    RoadSettings s;
    s.rules[RuleName(2)] = 0x3;    // always
    s.rules[RuleName(3)] = 0x106;  // tray from the default
    Start(s);
    for (uint32_t uid = 1; uid <= 3; ++uid)
        ASSERT_EQ(Notify(kAdd, A(), uid).result, 1);
    qly::ApplyDefaultTrayChange(1);
    qly::g_settings.default_flags = 2;
    EXPECT_EQ(TrayOrder(), (std::vector<uint32_t>{2}));
    qly::ApplyDefaultTrayChange(0);
    qly::g_settings.default_flags = 3;
    std::vector<uint32_t> order = TrayOrder();
    std::sort(order.begin(), order.end());
    EXPECT_EQ(order, (std::vector<uint32_t>{1, 2, 3}));
}

TEST_F(Road, MergedIconKeepsItsPlaceAndWhatTheSmallerRequestLacks) {
    Start();
    for (uint32_t uid = 1; uid <= 3; ++uid)
        ASSERT_EQ(Notify(kAdd, A(), uid, "tip " + std::to_string(uid)).result, 1);
    {
        // As an icon adopted from the tray's buttons is marked.
        qly::InterceptionGuard lock(qly::InterceptionLock());
        qly::find_qly(reinterpret_cast<uintptr_t>(A()), 2)->item_flags |= qly::kTrayItemMerged;
    }
    notify_wire::NotifyFields f = Fields(kModify, A(), 2);
    f.flags = notify_wire::kFlagState;
    f.callback_message = 0;
    ASSERT_TRUE(NotifyFields(f, notify_wire::kSizeV1).delivered);
    const std::vector<Icon> order = Registered();
    ASSERT_EQ(order.size(), 3u);
    EXPECT_EQ(order[1].uid, 2u) << "the merged icon stands where the old one stood";
    qly::InterceptionGuard lock(qly::InterceptionLock());
    const qly::TrayItem* merged = qly::find_qly(reinterpret_cast<uintptr_t>(A()), 2);
    EXPECT_EQ(merged->total_size,
              notify_wire::PayloadSize(notify_wire::kSizeV1) + qly::kTrayItemForwardGrowth);
    EXPECT_EQ(merged->callback_message, 0x8002u);
    EXPECT_STREQ(qly::TipText(merged, qly::TextLayout::kWide, 127).data(), "tip 2");
}

TEST_F(Road, OwnIconAddedBeforeAnyTrayExistsArrivesOnceTheTrayIsCreated) {
    WriteSettings(RoadSettings());
    m_host = std::make_unique<RoadHost>(false);
    ASSERT_TRUE(m_host->Ready());
    m_tray = std::make_unique<qly_test::TrayHost>(L"--no-tray");
    ASSERT_TRUE(m_tray->Started());
    EXPECT_FALSE(qly::TrayAdd(m_host->MainWindow(), 0, "Quillory", 0, NIM_ADD,
                              qly::kOwnCallbackMessage, 0, false));
    Sleep(500);
    ASSERT_TRUE(m_tray->Create());
    EXPECT_TRUE(m_tray->WaitForState(
        [&](const qly_test::TrayState& st) { return st.Find(m_host->MainWindow(), 0) != nullptr; },
        5000))
        << "the retry did not add the icon";
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// With the detailed log on, the receiver names each owner window by its text, which is a
// send to the window's thread. For a window of our own whose thread is about to wait for
// the interception lock, that send must not be made while the receiver holds the lock.
TEST_F(Road, DetailedLogOfAnIconOfOurOwnBusyThreadNeverDeadlocks) {
    Start();
    const std::string folder = TempFile("roadlog_own") + "\\";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    ASSERT_TRUE(qly::OpenLog(folder, 2));
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::atomic<HWND> own{nullptr};
    std::atomic<bool> locked{false};
    std::thread busy([&] {
        own = CreateWindowExA(0, "STATIC", "busy owner", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr,
                              nullptr);
        SetEvent(ready);
        // Busy without reading messages while the request arrives, then wants the lock.
        Sleep(500);
        for (int i = 0; i < 50 && !locked; ++i) {
            if (qly::InterceptionLock().try_lock()) {
                locked = true;
                qly::InterceptionLock().unlock();
            } else {
                Sleep(100);
            }
        }
        // Let a receiver still waiting for the window's text go on.
        for (int i = 0; i < 20; ++i) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageA(&msg);
            Sleep(50);
        }
        DestroyWindow(own);
    });
    WaitForSingleObject(ready, 5000);
    std::thread sender([&] { Notify(kAdd, own, 1, "own"); });
    busy.join();
    sender.join();
    CloseHandle(ready);
    qly::CloseLog();
    EXPECT_TRUE(locked) << "the receiver held the lock while it waited for the owner's thread";
    EXPECT_NE(ReadAll(folder + "QUILLORY.LOG").find("busy owner"), std::string::npos)
        << "the owner's text is still logged";
}

TEST_F(Road, LogShowsEachRequestAndWithBitFourTheRecentDeletions) {
    RoadSettings s;
    s.rules[RuleName(4)] = 0x502;
    Start(s);
    const std::string folder = TempFile("roadlog") + "\\";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    ASSERT_TRUE(qly::OpenLog(folder, 2));
    Notify(kAdd, A(), 4, "four");
    Notify(kDelete, A(), 4);
    Notify(kModify, A(), 4, "late");
    qly::SetOwnIcon(m_host->MainWindow(), "Quillory", 0, false);
    qly::TrayAdd(m_host->MainWindow(), 0, "Quillory", 0, NIM_ADD, qly::kOwnCallbackMessage, 0,
                 false);
    qly::CloseLog();
    std::string text = ReadAll(folder + "QUILLORY.LOG");
    char line[128];
    std::snprintf(
        line, sizeof line,
        "       0         2         3         5: 00000004 : 00000005 : %08x : 00000000 : %s - ",
        static_cast<unsigned>(reinterpret_cast<uintptr_t>(A())), kClient);
    EXPECT_NE(text.find(line), std::string::npos) << text;
    EXPECT_NE(text.find("NIM_MODIFY on inexistent stuff\n"), std::string::npos);
    EXPECT_EQ(text.find("InsertRecentDel\n"), std::string::npos) << "needs FlagLog 6";
    // Wine's Shell_NotifyIcon does not speak the shell's format, so our own icon is never
    // forwarded here and TrayAdd reports it missing.
    EXPECT_NE(text.find("TrayAdd returned 1 and find_qly returned 00000000\n"), std::string::npos)
        << text;

    ASSERT_TRUE(qly::OpenLog(folder, 6));
    Notify(kAdd, A(), 4, "four");
    Notify(kDelete, A(), 4);
    Notify(kModify, A(), 4, "late");
    qly::CloseLog();
    text = ReadAll(folder + "QUILLORY.LOG");
    EXPECT_NE(text.find("InsertRecentDel\n"), std::string::npos);
    EXPECT_NE(text.find("IsRecentDel\n"), std::string::npos);
}

}  // namespace
}  // namespace qly_road
