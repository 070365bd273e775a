// The main program's requests that run inside the shell: the dump of the tray's buttons
// into the shared table (by message, by remote request, before each forward), the
// destruction of the icons it made, and moving a button by visible place or toolbar index.
#include <gtest/gtest.h>

#include <string>

#include "hooklib/tray_buttons.h"
#include "tests/hooklib/hooked_tray.h"

namespace qly_hook_test {

using namespace qly;  // the shared records and the code under test
namespace {

using notify_wire::kAdd;
using notify_wire::kModify;

class TrayRequests : public HookedTray {
  protected:
    // Hides icon `uid` in the tray, as its owner would.
    void Hide(uint32_t uid) {
        notify_wire::NotifyFields f = qly_test::Fields(kModify, FakeOwner(uid), uid);
        f.flags = notify_wire::kFlagState;
        f.state = f.state_mask = notify_wire::kStateHidden;
        ASSERT_EQ(qly_test::SendNotify(Tray(), FakeOwner(uid),
                                       notify_wire::BuildPayload(f, notify_wire::kSizeFull))
                      .result,
                  1);
    }
    void SetVersion(uint32_t uid, uint32_t version) {
        notify_wire::NotifyFields f =
            qly_test::Fields(notify_wire::kSetVersion, FakeOwner(uid), uid);
        f.timeout_or_version = version;
        ASSERT_EQ(qly_test::SendNotify(Tray(), FakeOwner(uid),
                                       notify_wire::BuildPayload(f, notify_wire::kSizeFull))
                      .result,
                  1);
    }
    // Moves icon `uid` with code 6 or 7; the hook's result.
    LRESULT Move(uint32_t uid, int32_t target, bool raw) {
        g_qly_move_hwnd = reinterpret_cast<uintptr_t>(FakeOwner(uid));
        g_qly_move_uid = uid;
        return HookRequest(raw ? qly::kHookMoveRaw : qly::kHookMoveVisible,
                           static_cast<LPARAM>(static_cast<uint32_t>(target)));
    }
    void ExpectTableMatchesTray(bool icons, bool tips) {
        const qly_test::TrayState state = m_host->State();
        ASSERT_EQ(g_qly_data_count, state.buttons.size());
        for (size_t i = 0; i < state.buttons.size(); ++i) {
            SCOPED_TRACE(i);
            const qly_test::TrayButton& b = state.buttons[i];
            const PeekRecord& r = g_qly_data_peek[i];
            EXPECT_EQ(r.state & qly::kButtonStateHidden, b.hidden ? qly::kButtonStateHidden : 0);
            EXPECT_EQ(static_cast<uint32_t>(uint64_t{r.owner_window}),
                      static_cast<uint32_t>(b.owner));
            EXPECT_EQ(uint32_t{r.uid}, b.uid);
            EXPECT_EQ(uint32_t{r.callback_message}, b.callback);
            EXPECT_EQ(uint32_t{r.tray_data_word}, b.flags);
            EXPECT_EQ(uint32_t{r.icon_version}, b.version);
            EXPECT_EQ(uint64_t{r.icon} != 0, icons);
            EXPECT_EQ(std::string(r.tip), tips ? b.tip : std::string());
        }
    }
};

TEST_F(TrayRequests, DumpByMessageCopiesEveryButtonWithIconAndTip) {
    Intercept();
    AddIcons(1, 5);
    Hide(2);
    SetVersion(4, 3);
    EXPECT_EQ(HookRequest(qly::kHookDump), 0);
    ASSERT_EQ(g_qly_data_count, 5u);
    ExpectTableMatchesTray(true, true);
    EXPECT_EQ(std::string(g_qly_data_peek[0].tip), "icon 1");
    EXPECT_EQ(g_qly_data_peek[3].icon_version, 3u);

    // The icons made for the dump are destroyed on request.
    EXPECT_EQ(HookRequest(qly::kHookFreeDumpIcons), 0);
    for (uint32_t i = 0; i < g_qly_data_count; ++i)
        EXPECT_EQ(uint64_t{g_qly_data_peek[i].icon}, 0u);
}

TEST_F(TrayRequests, DumpByRemoteRequestAlsoTakesIconsAndTips) {
    Intercept(L"--layout=pager1");
    AddIcons(1, 3);
    ASSERT_TRUE(RemoteRequest(qly::kCbtOpDump, Tray()));
    ASSERT_EQ(g_qly_data_count, 3u);
    ExpectTableMatchesTray(true, true);
    ASSERT_TRUE(RemoteRequest(qly::kCbtOpFreeDumpIcons, Tray()));
    EXPECT_EQ(g_qly_data_count, 3u);
    for (uint32_t i = 0; i < 3; ++i)
        EXPECT_EQ(uint64_t{g_qly_data_peek[i].icon}, 0u);
}

TEST_F(TrayRequests, DumpBeforeEachForwardShowsTheTrayAsTheRequestFindsIt) {
    Intercept();
    AddIcons(1, 2);
    g_flag_dump_always = 1;  // without icons and tips, as compiled in
    g_flag_reverse_tray = 2;
    ASSERT_EQ(Notify(kAdd, 3, notify_wire::kFlagTip, "icon 3").result, 1);
    // The dump was made before the forward: two buttons, no icons, no tips.
    ASSERT_EQ(g_qly_data_count, 2u);
    EXPECT_EQ(g_qly_data_peek[1].uid, 2u);
    EXPECT_EQ(uint64_t{g_qly_data_peek[1].icon}, 0u);
    EXPECT_EQ(g_qly_data_peek[1].tip[0], '\0');

    // With icons: they exist during the forward and are destroyed after it.
    g_flag_dump_always_no_icon = 0;
    g_flag_dump_always_no_text = 0;
    ASSERT_EQ(Notify(kAdd, 4, notify_wire::kFlagTip, "icon 4").result, 1);
    ASSERT_EQ(g_qly_data_count, 3u);
    EXPECT_EQ(std::string(g_qly_data_peek[2].tip), "icon 3");
    for (uint32_t i = 0; i < 3; ++i)
        EXPECT_EQ(uint64_t{g_qly_data_peek[i].icon}, 0u);
}

// Only the place of a new icon in the sorted order is taken from the dump: in the other
// orders, and for every request but an add, the forward goes without one, and the request
// reaches the tray all the same.
TEST_F(TrayRequests, ForwardDumpsOnlyWhenTheAnswerCanUseIt) {
    Intercept();
    AddIcons(1, 2);
    g_flag_dump_always = 1;
    const struct {
        uint32_t order;
        uint32_t command;
        bool dumps;
    } cases[] = {
        {0, kAdd, false},    {1, kAdd, false},    {2, kAdd, true},
        {0, kModify, false}, {2, kModify, false}, {2, notify_wire::kDelete, false},
    };
    uint32_t uid = 10;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "order " << c.order << ", command " << c.command);
        g_flag_reverse_tray = c.order;
        g_qly_data_count = 0xDEAD;  // a dump writes the count
        const uint32_t target = c.command == kAdd ? ++uid : uid;
        const size_t forwards = m_rx.ForwardCount();
        ASSERT_EQ(Notify(c.command, target, notify_wire::kFlagTip, "icon").result, 1);
        EXPECT_EQ(m_rx.ForwardCount(), forwards + 1) << "the request was not forwarded";
        EXPECT_EQ(g_qly_data_count != 0xDEAD, c.dumps);
        const bool shown = m_host->State().Find(FakeOwner(target), target) != nullptr;
        EXPECT_EQ(shown, c.command != notify_wire::kDelete) << "the tray did not get the request";
    }
}

TEST_F(TrayRequests, DumpReadsTheSecondToolbarAfterTheFirst) {
    Intercept(std::wstring(L"--layout=pager2 ") + qly_test::kAppendNewButtons);
    AddIcons(1, 3);
    const uint64_t icons = g_hwnd_tray_toolbar;
    const uint64_t system_area = g_hwnd_tray_toolbar2;
    ASSERT_NE(system_area, 0u);
    // The stand-in shell keeps no buttons in its "System Control Area": the dump of both
    // toolbars is the dump of the icon toolbar.
    EXPECT_EQ(HookRequest(qly::kHookDump), 0);
    EXPECT_EQ(g_qly_data_count, 3u);
    // Named the other way round, the icons are found in the second toolbar.
    g_hwnd_tray_toolbar = system_area;
    g_hwnd_tray_toolbar2 = icons;
    EXPECT_EQ(HookRequest(qly::kHookDump), 0);
    ASSERT_EQ(g_qly_data_count, 3u);
    EXPECT_EQ(g_qly_data_peek[2].uid, 3u);
    EXPECT_EQ(std::string(g_qly_data_peek[0].tip), "icon 1");
    // One toolbar named twice is read once.
    g_hwnd_tray_toolbar = icons;
    EXPECT_EQ(HookRequest(qly::kHookDump), 0);
    EXPECT_EQ(g_qly_data_count, 3u);
    EXPECT_EQ(HookRequest(qly::kHookFreeDumpIcons), 0);
}

TEST_F(TrayRequests, TrayWithMoreButtonsThanTheTableIsDumpedUpToItsEnd) {
    Intercept();
    AddIcons(1, 70);
    EXPECT_EQ(HookRequest(qly::kHookDump), 0);
    ASSERT_EQ(g_qly_data_count, qly::kPeekRecordCount);
    for (uint32_t i = 0; i < qly::kPeekRecordCount; ++i)
        ASSERT_EQ(g_qly_data_peek[i].uid, i + 1);
    EXPECT_EQ(std::string(g_qly_data_peek[63].tip), "icon 64");
    EXPECT_EQ(HookRequest(qly::kHookFreeDumpIcons), 0);
    // The tray is unharmed and still forwards.
    m_rx.Clear();
    ASSERT_EQ(Notify(kAdd, 71).result, 1);
    EXPECT_EQ(m_rx.Forwards().size(), 1u);
    EXPECT_EQ(Order().size(), 71u);
}

TEST_F(TrayRequests, LongTipIsCutToTheRecordAndTerminated) {
    Intercept();
    const std::string tip(120, 'w');
    ASSERT_EQ(Notify(kAdd, 1, notify_wire::kFlagTip, tip).result, 1);
    // A tip in a non-ASCII script still converts within bounds.
    ASSERT_EQ(Notify(kAdd, 2, notify_wire::kFlagTip, std::string(100, 'a') + "\xc3\xa9").result, 1);
    EXPECT_EQ(HookRequest(qly::kHookDump), 0);
    ASSERT_EQ(g_qly_data_count, 2u);
    EXPECT_EQ(std::string(g_qly_data_peek[0].tip), std::string(63, 'w'));
    EXPECT_EQ(std::string(g_qly_data_peek[1].tip), std::string(63, 'a'));
    EXPECT_EQ(HookRequest(qly::kHookFreeDumpIcons), 0);
}

TEST_F(TrayRequests, DumpWithoutAnIconToolbarDoesNothing) {
    Intercept();
    AddIcons(1, 2);
    g_qly_data_count = 17;
    g_hwnd_tray_toolbar = 0;
    EXPECT_EQ(HookRequest(qly::kHookDump), 0);
    EXPECT_EQ(g_qly_data_count, 17u);
    EXPECT_EQ(Move(1, 1, false), 0);
}

TEST_F(TrayRequests, MoveByVisiblePlaceCountsOnlyVisibleButtons) {
    Intercept();
    AddIcons(1, 5);
    Hide(3);  // the tray shows 1 2 4 5

    EXPECT_NE(Move(5, 1, false), 0);  // to the second visible place
    EXPECT_EQ(Order(), (std::vector<uint32_t>{1, 5, 2, 3, 4}));
    EXPECT_NE(Move(4, -1, false), 0);  // one visible place to the front, over hidden 3
    EXPECT_EQ(Order(), (std::vector<uint32_t>{1, 5, 4, 2, 3}));
    EXPECT_NE(Move(5, -2, false), 0);  // one visible place to the end
    EXPECT_EQ(Order(), (std::vector<uint32_t>{1, 4, 5, 2, 3}));

    // The first visible button moves onto itself; the last one does not move.
    EXPECT_NE(Move(1, -1, false), 0);
    EXPECT_EQ(Order(), (std::vector<uint32_t>{1, 4, 5, 2, 3}));
    EXPECT_EQ(Move(2, -2, false), 0);
    EXPECT_EQ(Order(), (std::vector<uint32_t>{1, 4, 5, 2, 3}));
    // A place past the visible buttons, a hidden button or an unknown icon: no move.
    EXPECT_EQ(Move(1, 4, false), 0);
    EXPECT_EQ(Move(3, 0, false), 0);
    EXPECT_EQ(Move(99, 0, false), 0);
    EXPECT_EQ(Order(), (std::vector<uint32_t>{1, 4, 5, 2, 3}));
}

TEST_F(TrayRequests, MoveByToolbarIndexCountsHiddenButtons) {
    Intercept();
    AddIcons(1, 4);
    Hide(2);
    EXPECT_NE(Move(4, 1, true), 0);
    EXPECT_EQ(Order(), (std::vector<uint32_t>{1, 4, 2, 3}));
    EXPECT_NE(Move(1, 3, true), 0);
    EXPECT_EQ(Order(), (std::vector<uint32_t>{4, 2, 3, 1}));
    EXPECT_EQ(Move(99, 0, true), 0);
    EXPECT_EQ(Order(), (std::vector<uint32_t>{4, 2, 3, 1}));
}

}  // namespace
}  // namespace qly_hook_test
