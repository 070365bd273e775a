// The library as the main program links it: its shared section really is one for every
// process, FindSpecialWindows finds the tray's windows in each layout the shell has used,
// QlyGetVer classifies records, SpecialCopyIcon copies icons.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "hooklib/tray_item.h"
#include "tests/hooklib/hooked_tray.h"
#include "tests/support/child_process.h"

namespace qly_hook_test {
namespace {

// The section header of `name` in a PE file, read by hand.
bool SectionFlags(const std::wstring& path, const char* name, uint32_t* flags) {
    std::ifstream in(path.c_str(), std::ios::binary);
    const std::vector<uint8_t> f((std::istreambuf_iterator<char>(in)),
                                 std::istreambuf_iterator<char>());
    auto u16 = [&](size_t at) { return static_cast<uint32_t>(f.at(at) | f.at(at + 1) << 8); };
    auto u32 = [&](size_t at) { return u16(at) | u16(at + 2) << 16; };
    if (f.size() < 0x40)
        return false;
    const size_t pe = u32(0x3C);
    const uint32_t sections = u16(pe + 6);
    const size_t first = pe + 24 + u16(pe + 20);
    for (uint32_t i = 0; i < sections; ++i) {
        const size_t at = first + 40 * i;
        char section_name[9] = {};
        std::memcpy(section_name, &f.at(at), 8);
        if (std::strcmp(section_name, name) == 0) {
            *flags = u32(at + 36);
            return true;
        }
    }
    return false;
}

TEST(SharedSection, IsMarkedSharedInTheBuiltLibrary) {
    uint32_t flags = 0;
    ASSERT_TRUE(SectionFlags(BinPath(L"QLYDLL.DLL"), "MYSDATA", &flags));
    EXPECT_NE(flags & IMAGE_SCN_MEM_SHARED, 0u);
    EXPECT_NE(flags & IMAGE_SCN_MEM_READ, 0u);
    EXPECT_NE(flags & IMAGE_SCN_MEM_WRITE, 0u);
}

TEST(SharedSection, ValueWrittenByOneProcessIsReadByAnother) {
    ResetSharedSection();
    g_flag_reverse_tray = 0x5A17;
    std::strcpy(g_path_file_qly, "C:\\Quillory\\QUILLORY.EXE");
    // The probe reads both cells, answers with its exit code and writes its own value.
    qly_test::ChildProcess probe(L"qly_section_probe.exe", L"");
    ASSERT_TRUE(probe.Started());
    ASSERT_TRUE(probe.Wait(20000));
    EXPECT_EQ(probe.ExitCode(), 0x5A17u + 1);
    EXPECT_EQ(g_flag_high_priority, 0xB0B0u);
}

class TrayWindows : public ::testing::Test {
  protected:
    void SetUp() override { ResetSharedSection(); }
};

TEST_F(TrayWindows, FoundInEveryLayoutOfTheStandInShell) {
    struct Case {
        const wchar_t* switches;
        int result;
        bool second_toolbar;
    };
    for (const Case& c :
         {Case{L"--layout=pager2", 3, true}, Case{L"--layout=pager1", 3, false},
          Case{L"--layout=flat", 3, false}, Case{L"--layout=pager2 --no-balloon", 2, true},
          Case{L"--layout=flat --no-balloon", 2, false}}) {
        SCOPED_TRACE(testing::Message()
                     << std::string(c.switches, c.switches + wcslen(c.switches)));
        ResetSharedSection();
        qly_test::TrayHost host(c.switches);
        ASSERT_TRUE(host.Started());
        const qly_test::TrayState state = host.State();
        EXPECT_EQ(FindSpecialWindows(), c.result);
        EXPECT_EQ(g_shell_tray_hwnd, reinterpret_cast<uintptr_t>(state.tray_window));
        EXPECT_EQ(g_hwnd_tray_toolbar, reinterpret_cast<uintptr_t>(state.toolbar));
        EXPECT_EQ(g_hwnd_tray_toolbar2,
                  c.second_toolbar ? reinterpret_cast<uintptr_t>(state.toolbar2) : 0u);
        EXPECT_NE(g_hwnd_tray_toolbar, 0u);
        ASSERT_TRUE(host.Quit());
    }
}

TEST_F(TrayWindows, NoTrayWindowIsZero) {
    qly_test::TrayHost host(L"--no-tray");
    ASSERT_TRUE(host.Started());
    EXPECT_EQ(FindSpecialWindows(), 0);
    EXPECT_EQ(g_shell_tray_hwnd, 0u);
    // The tray appears later: found then.
    ASSERT_TRUE(host.Create());
    EXPECT_EQ(FindSpecialWindows(), 3);
    // Gone again: a stored window that no longer exists is not reported.
    ASSERT_TRUE(host.Destroy());
    EXPECT_EQ(FindSpecialWindows(), 0);
}

// A tray window of our own for shapes the stand-in shell does not take.
struct OwnTray {
    HWND tray = nullptr;
    HWND notify = nullptr;
    OwnTray() {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "Shell_TrayWnd";
        RegisterClassA(&wc);
        wc.lpszClassName = "TrayNotifyWnd";
        RegisterClassA(&wc);
        wc.lpszClassName = "SysPager";
        RegisterClassA(&wc);
        tray = CreateWindowExA(0, "Shell_TrayWnd", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                               wc.hInstance, nullptr);
        notify = CreateWindowExA(0, "TrayNotifyWnd", "", WS_CHILD, 0, 0, 10, 10, tray, nullptr,
                                 wc.hInstance, nullptr);
    }
    ~OwnTray() { DestroyWindow(tray); }
    HWND Child(HWND parent, const char* cls, const char* title, DWORD style = WS_CHILD) const {
        return CreateWindowExA(0, cls, title, style, 0, 0, 10, 10, parent, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
    }
};

TEST_F(TrayWindows, ShapesOfTheNotificationWindow) {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    {
        OwnTray t;  // no icon toolbar at all
        EXPECT_EQ(FindSpecialWindows(), 1);
        EXPECT_EQ(g_hwnd_tray_toolbar, 0u);
        // A balloon tooltip among the tray's children counts one more.
        HWND tip = t.Child(t.tray, TOOLTIPS_CLASSA, nullptr, WS_CHILD | TTS_BALLOON);
        ASSERT_NE(tip, nullptr);
        EXPECT_EQ(FindSpecialWindows(), 2);
    }
    ResetSharedSection();
    {
        // Two pagers, the icons in the second one: that toolbar is found by its title.
        OwnTray t;
        HWND pager1 = t.Child(t.notify, "SysPager", "");
        HWND pager2 = t.Child(t.notify, "SysPager", "");
        t.Child(pager1, TOOLBARCLASSNAMEA, "Something Else");
        HWND icons = t.Child(pager2, TOOLBARCLASSNAMEA, "Notification Area");
        EXPECT_EQ(FindSpecialWindows(), 2);
        EXPECT_EQ(g_hwnd_tray_toolbar, reinterpret_cast<uintptr_t>(icons));
        EXPECT_EQ(g_hwnd_tray_toolbar2, 0u);
    }
    ResetSharedSection();
    {
        // One pager whose toolbar has another title: it is still the icon toolbar.
        OwnTray t;
        HWND pager = t.Child(t.notify, "SysPager", "");
        HWND icons = t.Child(pager, TOOLBARCLASSNAMEA, "");
        EXPECT_EQ(FindSpecialWindows(), 2);
        EXPECT_EQ(g_hwnd_tray_toolbar, reinterpret_cast<uintptr_t>(icons));
        // A tooltip without the balloon style does not count.
        t.Child(t.tray, TOOLTIPS_CLASSA, nullptr, WS_CHILD);
        EXPECT_EQ(FindSpecialWindows(), 2);
    }
}

TEST(IconVersion, ExportClassifiesRecords) {
    EXPECT_EQ(QlyGetVer(nullptr), 0xFFFFFFFFu);
    qly::TrayItem item{};
    item.cb_size = 968;
    EXPECT_EQ(QlyGetVer(&item), 13u);
    item.cb_size = 104;
    EXPECT_EQ(QlyGetVer(&item), 14u);
    item.icon_version = 4;
    EXPECT_EQ(QlyGetVer(&item), 4u);
}

TEST(IconCopy, CopiesAnIconAndNothingOfNone) {
    EXPECT_EQ(SpecialCopyIcon(0), 0u);
    uint8_t and_bits[32 * 32 / 8];
    uint8_t xor_bits[32 * 32 * 4];
    std::memset(and_bits, 0, sizeof and_bits);
    std::memset(xor_bits, 0x80, sizeof xor_bits);
    HICON icon = CreateIcon(nullptr, 32, 32, 1, 32, and_bits, xor_bits);
    ASSERT_NE(icon, nullptr);
    HICON copy = reinterpret_cast<HICON>(
        static_cast<uintptr_t>(SpecialCopyIcon(reinterpret_cast<uintptr_t>(icon))));
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, icon);
    // The copy stands on its own: it survives the original.
    DestroyIcon(icon);
    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(copy, &info));
    BITMAP bm = {};
    GetObjectA(info.hbmColor, sizeof bm, &bm);
    EXPECT_EQ(bm.bmWidth, 32);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(copy);
    // A handle that is no icon gives nothing.
    EXPECT_EQ(SpecialCopyIcon(0x12345678), 0u);
}

}  // namespace
}  // namespace qly_hook_test
