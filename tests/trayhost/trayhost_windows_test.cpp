// The tray's windows as another program finds them: class names, titles and nesting of
// each layout, the balloon tooltip's style and owner, and a tray window that is topmost,
// Unicode and the one FindWindow returns.
#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include "tests/support/tray_host.h"
#include "tests/support/tray_wire.h"

using namespace qly_test;

TEST(TrayhostWindows, TwoPagersHoldTheNotificationAndSystemControlAreas) {
    TrayHost host;
    ASSERT_TRUE(host.Started());
    HWND tray = FindWindowW(L"Shell_TrayWnd", nullptr);
    ASSERT_EQ(tray, host.Tray());
    EXPECT_TRUE(IsWindowUnicode(tray));
    EXPECT_TRUE(GetWindowLongPtrW(tray, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_TRUE(IsWindowVisible(tray));
    HWND notify = FindWindowExW(tray, nullptr, L"TrayNotifyWnd", nullptr);
    ASSERT_NE(notify, nullptr);
    EXPECT_EQ(FindWindowExW(notify, nullptr, L"ToolbarWindow32", nullptr), nullptr);
    HWND pager1 = FindWindowExW(notify, nullptr, L"SysPager", nullptr);
    ASSERT_NE(pager1, nullptr);
    HWND pager2 = FindWindowExW(notify, pager1, L"SysPager", nullptr);
    ASSERT_NE(pager2, nullptr);
    HWND toolbar = FindWindowExW(pager1, nullptr, L"ToolbarWindow32", L"Notification Area");
    HWND toolbar2 = FindWindowExW(pager2, nullptr, L"ToolbarWindow32", L"System Control Area");
    ASSERT_NE(toolbar, nullptr);
    ASSERT_NE(toolbar2, nullptr);

    const TrayState s = host.State();
    EXPECT_EQ(s.layout, "pager2");
    EXPECT_EQ(s.tray_window, tray);
    EXPECT_EQ(s.notify, notify);
    EXPECT_EQ(s.toolbar, toolbar);
    EXPECT_EQ(s.toolbar2, toolbar2);
}

TEST(TrayhostWindows, OnePagerHoldsOnlyTheNotificationArea) {
    TrayHost host(L"--layout=pager1");
    ASSERT_TRUE(host.Started());
    HWND notify = FindWindowExW(host.Tray(), nullptr, L"TrayNotifyWnd", nullptr);
    HWND pager = FindWindowExW(notify, nullptr, L"SysPager", nullptr);
    ASSERT_NE(pager, nullptr);
    EXPECT_EQ(FindWindowExW(notify, pager, L"SysPager", nullptr), nullptr);
    HWND toolbar = FindWindowExW(pager, nullptr, L"ToolbarWindow32", L"Notification Area");
    ASSERT_NE(toolbar, nullptr);
    const TrayState s = host.State();
    EXPECT_EQ(s.layout, "pager1");
    EXPECT_EQ(s.toolbar, toolbar);
    EXPECT_EQ(s.toolbar2, nullptr);
}

TEST(TrayhostWindows, TheFlatLayoutHasTheToolbarDirectlyUnderTheNotificationWindow) {
    TrayHost host(L"--layout=flat");
    ASSERT_TRUE(host.Started());
    HWND notify = FindWindowExW(host.Tray(), nullptr, L"TrayNotifyWnd", nullptr);
    ASSERT_NE(notify, nullptr);
    EXPECT_EQ(FindWindowExW(notify, nullptr, L"SysPager", nullptr), nullptr);
    HWND toolbar = FindWindowExW(notify, nullptr, L"ToolbarWindow32", nullptr);
    ASSERT_NE(toolbar, nullptr);
    wchar_t title[64] = {};
    GetWindowTextW(toolbar, title, 64);
    EXPECT_STREQ(title, L"Notification Area");
    EXPECT_EQ(host.State().layout, "flat");
}

namespace {

struct Balloons {
    HWND owner;
    int count;
    HWND found;
};

BOOL CALLBACK CountBalloons(HWND hwnd, LPARAM lp) {
    auto* b = reinterpret_cast<Balloons*>(lp);
    wchar_t cls[64] = {};
    GetClassNameW(hwnd, cls, 64);
    if (lstrcmpiW(cls, TOOLTIPS_CLASSW) == 0 &&
        (GetWindowLongPtrW(hwnd, GWL_STYLE) & TTS_BALLOON) && GetParent(hwnd) == b->owner) {
        ++b->count;
        b->found = hwnd;
    }
    return TRUE;
}

}  // namespace

TEST(TrayhostWindows, TheBalloonTooltipIsATopLevelWindowOwnedByTheTray) {
    TrayHost host;
    ASSERT_TRUE(host.Started());
    Balloons b = {host.Tray(), 0, nullptr};
    EnumWindows(CountBalloons, reinterpret_cast<LPARAM>(&b));
    EXPECT_EQ(b.count, 1);
    EXPECT_EQ(GetWindow(b.found, GW_OWNER), host.Tray());
    EXPECT_EQ(host.State().tooltip, b.found);
}

TEST(TrayhostWindows, NoBalloonMeansNoBalloonTooltip) {
    TrayHost host(L"--no-balloon");
    ASSERT_TRUE(host.Started());
    Balloons b = {host.Tray(), 0, nullptr};
    EnumWindows(CountBalloons, reinterpret_cast<LPARAM>(&b));
    EXPECT_EQ(b.count, 0);
    EXPECT_EQ(host.State().tooltip, nullptr);
}

TEST(TrayhostWindows, ButtonsCarryTheirRecordTipAndImageInTheToolbar) {
    TrayHost host;
    ASSERT_TRUE(host.Started());
    HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                 nullptr, nullptr);
    notify_wire::NotifyFields f = Fields(notify_wire::kAdd, owner, 11);
    f.flags = notify_wire::kFlagTip | notify_wire::kFlagMessage;
    f.tip = u"record";
    f.callback_message = 0x8011;
    ASSERT_EQ(
        SendNotify(host.Tray(), owner, notify_wire::BuildPayload(f, notify_wire::kSizeFull)).result,
        TRUE);
    const TrayState s = host.State();
    // The toolbar's image list has an image for the button even though the owner's icon
    // could not be copied (none was given here).
    HIMAGELIST images =
        reinterpret_cast<HIMAGELIST>(SendMessageW(s.toolbar, TB_GETIMAGELIST, 0, 0));
    EXPECT_NE(images, nullptr);
    EXPECT_EQ(SendMessageW(s.toolbar, TB_BUTTONCOUNT, 0, 0), 1);
    DestroyWindow(owner);
}

TEST(TrayhostWindows, SystemIconsSitInTheSecondToolbarOutOfReachOfRequests) {
    TrayHost host(L"--system-icons=2");
    ASSERT_TRUE(host.Started());
    TrayState s = host.State();
    const std::vector<TrayButton> system = s.Toolbar(2);
    ASSERT_EQ(system.size(), 2u);
    EXPECT_EQ(system[0].OwnerWindow(), host.Tray());
    EXPECT_EQ(system[0].uid, 1u);
    EXPECT_EQ(system[1].uid, 2u);
    EXPECT_EQ(system[1].tip, "System icon 2");
    EXPECT_EQ(system[0].callback, 0u);
    EXPECT_TRUE(s.Toolbar(1).empty());

    // A delete in the tray window's name does not reach them; an add goes to the first toolbar.
    HWND tray = host.Tray();
    EXPECT_EQ(SendNotify(tray, tray,
                         notify_wire::BuildPayload(Fields(notify_wire::kDelete, tray, 1),
                                                   notify_wire::kSizeFull))
                  .result,
              FALSE);
    EXPECT_EQ(SendNotify(tray, tray,
                         notify_wire::BuildPayload(Fields(notify_wire::kAdd, tray, 1),
                                                   notify_wire::kSizeFull))
                  .result,
              TRUE);
    s = host.State();
    EXPECT_EQ(s.Toolbar(1).size(), 1u);
    EXPECT_EQ(s.Toolbar(2).size(), 2u);
    EXPECT_EQ(s.buttons.back().toolbar, 2);
}
