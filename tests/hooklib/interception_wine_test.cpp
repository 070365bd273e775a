// Taking over the tray window and letting it go: at the tray's creation or on the main
// program's remote request, the notices the main program hears, the release that gives the
// tray its own procedure back and takes the library out of the shell, and the tray's
// destruction.
#include <gtest/gtest.h>

#include "tests/hooklib/hooked_tray.h"
#include "tests/support/child_process.h"

namespace qly_hook_test {
namespace {

using notify_wire::kModify;

class Interception : public HookedTray {};

TEST_F(Interception, TrayIsTakenOverWhenTheShellCreatesIt) {
    Intercept();
    EXPECT_EQ(g_flag_tray_aquired, 1u);
    EXPECT_EQ(g_cbt_not_from_create, 0u);
    EXPECT_EQ(g_shell_tray_hwnd, reinterpret_cast<uintptr_t>(Tray()));

    // From now on the main program sees the shell's requests first.
    ASSERT_TRUE(Notify(kModify, 1).delivered);
    ASSERT_EQ(m_rx.Forwards().size(), 1u);
    EXPECT_EQ(m_rx.Forwards()[0].kind, qly::ForwardTag);

    // The takeover is announced once.
    Sleep(200);
    EXPECT_EQ(m_rx.NoticeCount(qly::kHookNoticeAcquired), 1u);
}

TEST_F(Interception, LateModeLeavesTheTrayAloneUntilTheRemoteRequest) {
    g_flag_late_intercept = 1;
    StartTray();
    HWND tray = Tray();
    ASSERT_NE(tray, nullptr);
    ASSERT_TRUE(Notify(kModify, 1).delivered);
    Sleep(200);
    EXPECT_TRUE(m_rx.Forwards().empty()) << "forwarded before the takeover";
    EXPECT_EQ(m_rx.NoticeCount(qly::kHookNoticeAcquired), 0u);
    EXPECT_EQ(g_flag_tray_aquired, 0u);
    EXPECT_EQ(g_shell_tray_hwnd, 0u);

    ASSERT_TRUE(RemoteRequest(qly::kCbtOpSubclass, tray));
    ASSERT_TRUE(m_rx.WaitForNotice(qly::kHookNoticeAcquired));
    EXPECT_EQ(g_flag_tray_aquired, 1u);
    EXPECT_EQ(g_cbt_not_from_create, 1u);
    EXPECT_EQ(g_shell_tray_hwnd, reinterpret_cast<uintptr_t>(tray));
    ASSERT_TRUE(Notify(kModify, 2).delivered);
    EXPECT_EQ(m_rx.Forwards().size(), 1u);

    // Asking again changes nothing: one takeover, one forward per request.
    ASSERT_TRUE(RemoteRequest(qly::kCbtOpSubclass, tray));
    ASSERT_TRUE(Notify(kModify, 3).delivered);
    Sleep(200);
    EXPECT_EQ(m_rx.NoticeCount(qly::kHookNoticeAcquired), 1u);
    EXPECT_EQ(m_rx.Forwards().size(), 2u);
}

TEST_F(Interception, SystemCommandNotAddressedByTheMainProgramIsNotARemoteRequest) {
    g_flag_late_intercept = 1;
    StartTray();
    HWND tray = Tray();
    // The request cells name another window: the tray is not taken over.
    g_hwnd_qly_cbt = reinterpret_cast<uintptr_t>(tray) + 4;
    g_hwnd_qly_cbt_op = qly::kCbtOpSubclass;
    DWORD_PTR result = 0;
    SendMessageTimeoutA(tray, WM_SYSCOMMAND, SC_TASKLIST | 0x0004, reinterpret_cast<LPARAM>(tray),
                        SMTO_NORMAL, 5000, &result);
    // After a request the main program leaves -1 behind: nothing is a remote request then.
    g_hwnd_qly_cbt = ~uint64_t{0};
    SendMessageTimeoutA(tray, WM_SYSCOMMAND, SC_TASKLIST, -1, SMTO_NORMAL, 5000, &result);
    g_hwnd_qly_cbt_op = 0;
    Sleep(200);
    EXPECT_EQ(g_flag_tray_aquired, 0u);
    EXPECT_EQ(m_rx.NoticeCount(qly::kHookNoticeAcquired), 0u);
}

TEST_F(Interception, ReleaseGivesTheTrayBackAndTheLibraryLeavesTheShell) {
    // trayhost loads the library itself before the hook reaches it, and frees that load
    // on request: Wine then counts the library's references as Windows does.
    Intercept(L"--preload=QLYDLL.DLL");
    UninstallHooks();  // as the main program does once the tray is taken over
    ASSERT_TRUE(m_host->ReleasePreload());
    EXPECT_TRUE(m_host->HasModule("QLYDLL.DLL")) << "the takeover keeps the library in the shell";

    EXPECT_EQ(HookRequest(qly::kHookRelease, 0, qly::kReleaseTimeoutMs), 0);
    ASSERT_TRUE(m_rx.WaitForNotice(qly::kHookNoticeReleased));
    EXPECT_EQ(g_flag_tray_aquired, 0u);
    EXPECT_EQ(g_shell_tray_hwnd, 0u);

    // The tray has its own procedure again: requests reach it without a forward.
    m_rx.Clear();
    ASSERT_TRUE(Notify(notify_wire::kAdd, 9).result);
    EXPECT_TRUE(m_rx.Forwards().empty());
    EXPECT_NE(m_host->State().Find(FakeOwner(9), 9), nullptr);

    EXPECT_TRUE(m_host->WaitUntilModuleGone("QLYDLL.DLL"))
        << "the library is still loaded in the shell";
    // The tray works on without the library.
    ASSERT_TRUE(Notify(notify_wire::kAdd, 10).result);
    EXPECT_TRUE(m_host->Quit());
}

TEST_F(Interception, ReleaseFollowsTheShellsOwnHoldWhenTheSharedCellIsAlreadyClear) {
    Intercept(L"--preload=QLYDLL.DLL");
    UninstallHooks();
    ASSERT_TRUE(m_host->ReleasePreload());
    // Another process (a main program that saw the tray vanish, or one that released it)
    // cleared the cell; this shell still holds the subclass.
    g_shell_tray_hwnd = 0;
    EXPECT_EQ(HookRequest(qly::kHookRelease, 0, qly::kReleaseTimeoutMs), 0);
    ASSERT_TRUE(m_rx.WaitForNotice(qly::kHookNoticeReleased)) << "the tray was not given back";
    EXPECT_TRUE(m_host->WaitUntilModuleGone("QLYDLL.DLL"));
    // The tray runs its own procedure, not the code that left.
    ASSERT_TRUE(Notify(notify_wire::kAdd, 9).result);
    EXPECT_NE(m_host->State().Find(FakeOwner(9), 9), nullptr);
    EXPECT_EQ(m_host->Command("faults"), 0);
    EXPECT_TRUE(m_host->Quit());
}

// A program folder whose name the 8-bit code page cannot spell: the library is loaded from
// there by the main program, so the hook brings it into the shell from there too. The
// takeover must keep it in the shell once the hook is gone all the same.
TEST_F(Interception, LibraryFromAFolderOutsideTheCodePageStaysInTheShell) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder =
        std::wstring(temp) + L"\u0422\u0440\u0435\u0439_" + std::to_wstring(GetCurrentProcessId());
    BOOL unmapped = FALSE;
    char narrow[MAX_PATH];
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, folder.c_str(), -1, narrow, sizeof narrow,
                        nullptr, &unmapped);
    ASSERT_TRUE(unmapped) << "code page " << GetACP() << " spells the folder's name";
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring library = folder + L"\\QLYDLL.DLL";
    ASSERT_TRUE(CopyFileW(BinPath(L"QLYDLL.DLL").c_str(), library.c_str(), FALSE));
    HMODULE copy = LoadLibraryW(library.c_str());
    ASSERT_NE(copy, nullptr);
    // That library's own cells and functions: its shared section is its file's.
    auto* message = reinterpret_cast<uint32_t*>(GetProcAddress(copy, "WM_USER_QLY_HOOK_MSG"));
    auto* priority = reinterpret_cast<uint32_t*>(GetProcAddress(copy, "g_flag_high_priority"));
    auto install = reinterpret_cast<decltype(&InstallHooks)>(
        reinterpret_cast<void*>(GetProcAddress(copy, "InstallHooks")));
    auto uninstall = reinterpret_cast<decltype(&UninstallHooks)>(
        reinterpret_cast<void*>(GetProcAddress(copy, "UninstallHooks")));
    ASSERT_TRUE(message && priority && install && uninstall);
    *message = WM_USER_QLY_HOOK_MSG;
    *priority = 0;

    ASSERT_EQ(install(m_rx.Handle(), kInstallGuard1, kInstallGuard2, kInstallGuard3), 1);
    m_host = std::make_unique<qly_test::TrayHost>(qly_test::Quote(L"--preload=" + library));
    ASSERT_TRUE(m_host->Started());
    ASSERT_TRUE(m_rx.WaitForNotice(qly::kHookNoticeAcquired)) << "tray not taken over";
    uninstall();
    // What Windows does when the hook goes: the shell drops the reference the hook held.
    ASSERT_TRUE(m_host->ReleasePreload());
    Sleep(200);
    EXPECT_TRUE(m_host->HasModule("QLYDLL.DLL")) << "the library left the shell with the hook";
    EXPECT_EQ(m_rx.NoticeCount(qly::kHookNoticeReleased), 0u);
    m_rx.Clear();
    ASSERT_TRUE(Notify(notify_wire::kAdd, 1).result);
    EXPECT_EQ(m_rx.Forwards().size(), 1u) << "the tray is no longer intercepted";

    // The release at exit still takes it out of the shell.
    EXPECT_EQ(HookRequest(qly::kHookRelease, 0, qly::kReleaseTimeoutMs), 0);
    EXPECT_TRUE(m_rx.WaitForNotice(qly::kHookNoticeReleased));
    EXPECT_TRUE(m_host->WaitUntilModuleGone("QLYDLL.DLL"));
    EXPECT_EQ(m_host->Command("faults"), 0);
    EXPECT_TRUE(m_host->Quit());
    m_host.reset();
    FreeLibrary(copy);
    DeleteFileW(library.c_str());
    RemoveDirectoryW(folder.c_str());
}

TEST_F(Interception, DestroyedTrayIsReleasedAndItsSuccessorTakenOver) {
    Intercept();
    ASSERT_TRUE(m_host->Destroy());
    ASSERT_TRUE(m_rx.WaitForNotice(qly::kHookNoticeReleased));
    EXPECT_EQ(g_flag_tray_aquired, 0u);
    EXPECT_EQ(g_shell_tray_hwnd, 0u);

    ASSERT_TRUE(m_host->Create());
    ASSERT_TRUE(m_rx.WaitForNotice(qly::kHookNoticeAcquired, 2));
    EXPECT_EQ(g_shell_tray_hwnd, reinterpret_cast<uintptr_t>(Tray()));
    ASSERT_TRUE(m_host->WaitForState([](const qly_test::TrayState& s) { return s.tray; }));
    ASSERT_EQ(FindSpecialWindows(), 3);
    m_rx.Clear();
    ASSERT_TRUE(Notify(kModify, 1).delivered);
    EXPECT_EQ(m_rx.Forwards().size(), 1u);
}

TEST_F(Interception, TrayDestroyedAfterTheHookWasRemovedIsReleasedToo) {
    Intercept();
    UninstallHooks();
    ASSERT_TRUE(m_host->Destroy());
    ASSERT_TRUE(m_rx.WaitForNotice(qly::kHookNoticeReleased));
    EXPECT_EQ(g_flag_tray_aquired, 0u);

    // A new tray of the same shell can be taken over by the remote request, once the main
    // program has installed the hook again.
    g_flag_late_intercept = 1;
    ASSERT_TRUE(InstallHooksFor(m_rx));
    ASSERT_TRUE(m_host->Create());
    EXPECT_EQ(m_rx.NoticeCount(qly::kHookNoticeAcquired), 1u);
    ASSERT_TRUE(RemoteRequest(qly::kCbtOpSubclass, Tray()));
    ASSERT_TRUE(m_rx.WaitForNotice(qly::kHookNoticeAcquired, 2));
    EXPECT_EQ(g_shell_tray_hwnd, reinterpret_cast<uintptr_t>(Tray()));
}

TEST_F(Interception, InstallHooksInsistsOnItsGuardValuesAndInstallsOnce) {
    EXPECT_EQ(InstallHooks(m_rx.Handle(), 4, 0, 136), 0);
    EXPECT_EQ(InstallHooks(m_rx.Handle(), 3, 0, 135), 0);
    EXPECT_EQ(InstallHooks(m_rx.Handle(), 4, 1, 135), 0);
    EXPECT_EQ(g_hhook_cbt, 0u);

    ASSERT_EQ(InstallHooks(m_rx.Handle(), 4, 0, 135), 1);
    const uint64_t hook = g_hhook_cbt;
    EXPECT_NE(hook, 0u);
    // A second installation keeps the live hook but the receiver it names: whoever
    // installs with the right guard values is the main program that listens now.
    HookReceiver other;
    EXPECT_EQ(InstallHooks(other.Handle(), 4, 0, 135), 1);
    EXPECT_EQ(g_hhook_cbt, hook);
    EXPECT_EQ(InstallHooks(m_rx.Handle(), 4, 0, 135), 1);
    EXPECT_EQ(g_hhook_cbt, hook);

    m_host = std::make_unique<qly_test::TrayHost>();
    ASSERT_TRUE(m_host->Started());
    ASSERT_TRUE(m_rx.WaitForNotice(qly::kHookNoticeAcquired));
    ASSERT_TRUE(Notify(kModify, 1).delivered);
    EXPECT_EQ(m_rx.Forwards().size(), 1u);
    EXPECT_TRUE(other.Forwards().empty());
    EXPECT_TRUE(other.Notices().empty());

    UninstallHooks();
    EXPECT_EQ(g_hhook_cbt, 0u);
    // The takeover outlives the hook.
    ASSERT_TRUE(Notify(kModify, 2).delivered);
    EXPECT_EQ(m_rx.Forwards().size(), 2u);
}

// A main program that was killed leaves its hook's handle in the shared section, but the
// system removed the hook with it. The next start must get a hook of its own, and the
// shell's subclass must forward to the new receiver.
TEST_F(Interception, HookOfAMainProgramThatEndedIsInstalledAfresh) {
    HookReceiver earlier;
    wchar_t receiver[32];
    wsprintfW(receiver, L"install %llx", static_cast<unsigned long long>(earlier.Handle()));
    qly_test::ChildProcess first(L"qly_section_probe.exe", receiver);
    ASSERT_TRUE(first.Started());
    for (int i = 0; i < 200 && g_hhook_cbt == 0; ++i)
        Sleep(25);
    const uint64_t stale = g_hhook_cbt;
    ASSERT_NE(stale, 0u) << "the first main program installed no hook";
    Sleep(1500);  // its InstallHooks holds on for a second

    // While it runs its hook stays; the receiver is the caller's.
    ASSERT_TRUE(InstallHooksFor(m_rx));
    EXPECT_EQ(g_hhook_cbt, stale);

    first.End(0);
    ASSERT_FALSE(first.Running());
    EXPECT_EQ(g_hhook_cbt, stale) << "nothing clears the cell of a killed program";
    ASSERT_TRUE(InstallHooksFor(m_rx));
    EXPECT_NE(g_hhook_cbt, stale) << "the dead hook was kept";
    EXPECT_NE(g_hhook_cbt, 0u);

    // The fresh hook is alive: it takes over a tray made now, and the forwards reach us.
    m_host = std::make_unique<qly_test::TrayHost>();
    ASSERT_TRUE(m_host->Started());
    ASSERT_TRUE(m_rx.WaitForNotice(qly::kHookNoticeAcquired)) << "no live hook saw the tray";
    ASSERT_TRUE(m_host->WaitForState(
        [](const qly_test::TrayState& s) { return s.tray && s.toolbar != nullptr; }));
    ASSERT_TRUE(Notify(kModify, 1).delivered);
    EXPECT_EQ(m_rx.Forwards().size(), 1u);
    EXPECT_TRUE(earlier.Forwards().empty());
    // Wine keeps calling the hook of a thread that is gone until it is removed by its
    // handle: the tray is taken over once, by one subclass that lets go cleanly.
    Sleep(200);
    EXPECT_EQ(m_rx.NoticeCount(qly::kHookNoticeAcquired), 1u);
    EXPECT_EQ(m_host->Command("faults"), 0);
    EXPECT_EQ(HookRequest(qly::kHookRelease, 0, qly::kReleaseTimeoutMs), 0);
    ASSERT_TRUE(m_rx.WaitForNotice(qly::kHookNoticeReleased));
    m_rx.Clear();
    ASSERT_TRUE(Notify(kModify, 2).delivered);
    EXPECT_TRUE(m_rx.Forwards().empty()) << "a second subclass still forwards";
}

}  // namespace
}  // namespace qly_hook_test
