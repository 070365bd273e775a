// A tray taken over by the hook must survive whatever other programs send it. Thousands
// of random, short, oversized and unsigned WM_COPYDATA messages go to the tray; the shell
// must stay alive without a single swallowed fault (Wine hides faults in a window procedure
// reached by SendMessage, so its seh channel is read), and only well-formed records may
// reach the main program.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "hooklib/tray_item.h"
#include "tests/hooklib/hooked_tray.h"
#include "tests/support/child_process.h"

namespace qly_hook_test {
namespace {

// trayhost started with Wine's seh channel on and its stderr in a file. Wine hands a
// child process its stdin and stdout but keeps the parent's stderr, where its debug output
// goes; so trayhost is started from a Unix shell that redirects it, in the same prefix and
// wineserver as this test.
class WatchedTrayHost {
  public:
    // `switches`: trayhost's command-line switches, plain words without quotes.
    explicit WatchedTrayHost(const std::string& switches = std::string()) {
        // The Unix path of our bin folder, from Wine's own mapping.
        using UnixNameFn = char*(CDECL*)(const wchar_t* dos_name);
        auto unix_name = reinterpret_cast<UnixNameFn>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
        if (unix_name == nullptr) {
            m_error = "no wine_get_unix_file_name: not running under Wine";
            return;
        }
        char* bin = unix_name(qly_test::BinDir().c_str());
        if (bin == nullptr) {
            m_error = "the bin folder has no Unix name";
            return;
        }
        std::string unix_bin = bin;
        HeapFree(GetProcessHeap(), 0, bin);
        while (!unix_bin.empty() && unix_bin.back() == '/')
            unix_bin.pop_back();
        m_log = BinPath(L"robustness_trayhost_stderr.txt");
        DeleteFileW(m_log.c_str());
        using SpawnFn = LONG(CDECL*)(char* const argv[], int wait);
        auto spawn = reinterpret_cast<SpawnFn>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA("ntdll.dll"), "__wine_unix_spawnvp")));
        if (spawn == nullptr) {
            m_error = "no __wine_unix_spawnvp: not running under Wine";
            return;
        }
        std::string exe = unix_bin + "/trayhost.exe";
        std::string log = unix_bin + "/robustness_trayhost_stderr.txt";
        std::string script =
            "WINEDEBUG=-all,err+seh,+pid exec wine \"$0\" " + switches + " 2>\"$1\" >/dev/null";
        char* argv[] = {const_cast<char*>("/bin/sh"),
                        const_cast<char*>("-c"),
                        &script[0],
                        &exe[0],
                        &log[0],
                        nullptr};
        const LONG status = spawn(argv, 0);
        if (status != 0) {
            m_error = "spawn failed: " + std::to_string(status);
            return;
        }
        for (int i = 0; i < 1000 && !m_tray; ++i) {
            HWND control = FindWindowW(L"TrayHostControl", nullptr);
            if (control != nullptr && m_pid == 0) {
                GetWindowThreadProcessId(control, &m_pid);
                m_process =
                    OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION,
                                FALSE, m_pid);
            }
            if (m_pid != 0)
                m_tray = qly_test::FindWindowOfProcess(L"Shell_TrayWnd", m_pid);
            if (!m_tray)
                Sleep(20);
        }
    }
    ~WatchedTrayHost() {
        if (m_process == nullptr)
            return;
        HWND control = qly_test::FindWindowOfProcess(L"TrayHostControl", m_pid);
        if (control != nullptr) {
            COPYDATASTRUCT cds = {0x54484354, 4, const_cast<char*>("quit")};
            DWORD_PTR r = 0;
            SendMessageTimeoutW(control, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds),
                                SMTO_ABORTIFHUNG, 5000, &r);
        }
        if (WaitForSingleObject(m_process, 5000) != WAIT_OBJECT_0)
            TerminateProcess(m_process, 1);
        CloseHandle(m_process);
    }
    HWND Tray() const { return m_tray; }
    const std::string& Error() const { return m_error; }
    // A control command of trayhost's (tools/trayhost/README.md); 0 also without an answer.
    LRESULT Command(const std::string& text) const {
        HWND control = qly_test::FindWindowOfProcess(L"TrayHostControl", m_pid);
        COPYDATASTRUCT cds = {0x54484354, static_cast<DWORD>(text.size()),
                              const_cast<char*>(text.data())};
        DWORD_PTR r = 0;
        if (control == nullptr ||
            !SendMessageTimeoutW(control, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds),
                                 SMTO_ABORTIFHUNG, 5000, &r))
            return 0;
        return static_cast<LRESULT>(r);
    }
    bool Alive() const { return m_process && WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT; }

    // Faults that Wine swallowed in this process so far.
    int SwallowedFaults() const {
        FILE* f = _wfopen(m_log.c_str(), L"rb");
        if (f == nullptr)
            return -1;
        char prefix[16];
        std::snprintf(prefix, sizeof prefix, "%04lx:", static_cast<unsigned long>(m_pid));
        int n = 0;
        char line[2048];
        while (std::fgets(line, sizeof line, f)) {
            const std::string s(line);
            if (s.compare(0, std::strlen(prefix), prefix) == 0 &&
                s.find("err:seh") != std::string::npos &&
                s.find("ignoring exception") != std::string::npos)
                ++n;
        }
        std::fclose(f);
        return n;
    }

  private:
    std::wstring m_log;
    HANDLE m_process = nullptr;
    DWORD m_pid = 0;
    HWND m_tray = nullptr;
    std::string m_error;
};

TEST(Robustness, TrayTakenOverSurvivesRandomCopyData) {
    ResetSharedSection();
    HookReceiver rx;
    ASSERT_TRUE(InstallHooksFor(rx));
    WatchedTrayHost host;
    ASSERT_NE(host.Tray(), nullptr) << host.Error();
    ASSERT_TRUE(rx.WaitForNotice(qly::kHookNoticeAcquired));
    // The notice comes at the tray window's creation; its toolbar follows a moment later.
    int found = 0;
    for (int i = 0; i < 250 && found < 2; ++i) {
        found = FindSpecialWindows();
        if (found < 2)
            Sleep(20);
    }
    ASSERT_GE(found, 2);
    // The dump before each add's forward (sorted order) reads every button and its tip.
    g_flag_dump_always = 1;
    g_flag_reverse_tray = 2;
    g_flag_dump_always_no_text = 0;

    std::mt19937 rng(20261208);
    auto pick = [&](uint32_t n) { return std::uniform_int_distribution<uint32_t>(0, n - 1)(rng); };
    // Replies of every kind, moves to places that exist and that do not.
    std::deque<uint64_t> replies;
    for (int i = 0; i < 6000; ++i) {
        const uint32_t r = pick(6);
        replies.push_back(r == 0   ? 0
                          : r == 1 ? 1
                          : r == 2 ? 0xFFFFFFFF
                          : r == 3 ? 2 + pick(8)
                          : r == 4 ? 2 + 0x7FFFFFFFull
                                   : 0xFFFFFFFFFFFFFFFFull);
    }
    rx.Script(replies, 1);

    size_t well_formed = 0;
    std::vector<uint8_t> buf;
    for (int i = 0; i < 3000; ++i) {
        const uint32_t shape = pick(6);
        size_t size;
        switch (shape) {
            case 0:
                size = pick(32);
                break;  // too short
            case 1:
                size = 32 + pick(notify_wire::kSizeFull);
                break;  // any plausible size
            case 2:
                size = 4097 + pick(12000);
                break;  // oversized
            default:
                size = pick(1200);
                break;
        }
        buf.resize(size);
        for (uint8_t& b : buf)
            b = static_cast<uint8_t>(pick(256));
        const bool sign = shape != 3 && size >= 4;
        if (sign) {
            const uint32_t signature = notify_wire::kSignature;
            std::memcpy(buf.data(), &signature, 4);
            if (size >= 8) {
                const uint32_t command = pick(6);
                std::memcpy(buf.data() + 4, &command, 4);
            }
            if (size >= 16 && pick(2)) {
                const uint32_t owner = 0x7100 + pick(16);  // a few icons over and over
                std::memcpy(buf.data() + 12, &owner, 4);
                const uint32_t uid = pick(4);
                std::memcpy(buf.data() + 16, &uid, 4);
            }
        }
        const ULONG_PTR kind = pick(8) == 0 ? pick(4) : 1;
        HWND sender = FakeOwner(pick(16));
        const qly_test::WireResult r =
            qly_test::SendCopyData(host.Tray(), sender, kind, size ? buf.data() : nullptr,
                                   static_cast<DWORD>(size), 20000);
        ASSERT_TRUE(r.delivered) << "message " << i << " got no answer";
        if (kind == 1 && sign && size >= 32 && size <= 4096)
            ++well_formed;
    }
    EXPECT_TRUE(host.Alive());
    EXPECT_EQ(host.SwallowedFaults(), 0);

    const std::vector<Received> forwards = rx.Forwards();
    EXPECT_EQ(forwards.size(), well_formed);
    for (const Received& f : forwards) {
        ASSERT_EQ(f.kind, qly::ForwardTag);
        ASSERT_GE(f.bytes.size(), 212u);
        ASSERT_LE(f.bytes.size(), 4096u + 180);
        ASSERT_EQ(f.U32(0), f.bytes.size());
        ASSERT_EQ(f.U32(172), notify_wire::kSignature);
    }

    // The watch itself works: a toolbar message with a pointer that is no pointer faults
    // inside the shell's toolbar, and that fault is seen.
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(reinterpret_cast<HWND>(static_cast<uintptr_t>(g_hwnd_tray_toolbar)),
                        TB_GETBUTTON, 0, 0x10, SMTO_NORMAL, 5000, &ignored);
    int seen = 0;
    for (int i = 0; i < 50 && seen == 0; ++i) {
        seen = host.SwallowedFaults();
        if (seen == 0)
            Sleep(50);
    }
    EXPECT_GT(seen, 0) << "the fault watch saw nothing of a certain fault";
    UninstallHooks();
}

// The hook reads every button's dwData as a tray record before each forward (and its text
// for a dump with tips) and on every move. When the toolbar it found is not the tray's,
// the shell must not fault: such buttons are skipped, and the real icons work on.
TEST(Robustness, ToolbarOfForeignButtonsFaultsNothingAndTheTrayWorksOn) {
    ResetSharedSection();
    HookReceiver rx;
    ASSERT_TRUE(InstallHooksFor(rx));
    WatchedTrayHost host("--foreign-toolbar");
    ASSERT_NE(host.Tray(), nullptr) << host.Error();
    ASSERT_TRUE(rx.WaitForNotice(qly::kHookNoticeAcquired));
    // trayhost builds its foreign toolbar after the tray window the hook already took: wait
    // for that toolbar itself, and for the search to have found it.
    HWND foreign = nullptr;
    for (int i = 0; i < 250; ++i) {
        HWND notify = FindWindowExW(host.Tray(), nullptr, L"TrayNotifyWnd", nullptr);
        foreign = notify ? FindWindowExW(notify, nullptr, L"ToolbarWindow32", L"Foreign Toolbar")
                         : nullptr;
        if (foreign && FindSpecialWindows() >= 2 &&
            g_hwnd_tray_toolbar == reinterpret_cast<uintptr_t>(foreign))
            break;
        Sleep(20);
    }
    ASSERT_NE(foreign, nullptr);
    ASSERT_EQ(g_hwnd_tray_toolbar, reinterpret_cast<uintptr_t>(foreign))
        << "the search must take the foreign toolbar for this test to mean anything";
    g_flag_dump_always = 1;
    g_flag_reverse_tray = 2;
    g_flag_dump_always_no_text = 0;
    g_flag_dump_always_no_icon = 0;
    rx.Script({}, 0xFFFFFFFF);  // every add is to be moved, which reads the toolbar again

    HWND tray = host.Tray();
    auto payload = [](uint32_t command, uint32_t uid) {
        notify_wire::NotifyFields f = qly_test::Fields(command, FakeOwner(uid), uid);
        f.flags = notify_wire::kFlagMessage | notify_wire::kFlagTip;
        f.tip = notify_wire::Utf8ToUtf16("icon " + std::to_string(uid));
        return notify_wire::BuildPayload(f, notify_wire::kSizeFull);
    };
    for (uint32_t uid = 1; uid <= 3; ++uid) {
        const qly_test::WireResult r =
            qly_test::SendNotify(tray, FakeOwner(uid), payload(notify_wire::kAdd, uid));
        EXPECT_TRUE(r.delivered && r.result) << "add of " << uid;
    }
    // The tray has them: a second add of one is refused, a modify accepted.
    EXPECT_FALSE(qly_test::SendNotify(tray, FakeOwner(2), payload(notify_wire::kAdd, 2)).result);
    EXPECT_TRUE(qly_test::SendNotify(tray, FakeOwner(2), payload(notify_wire::kModify, 2)).result);
    EXPECT_EQ(rx.Forwards().size(), 5u);

    // The main program's own requests that read the toolbar: a dump with icons and tips,
    // moves by visible place and by index, and the dump through the CBT hook.
    DWORD_PTR result = 0;
    for (const auto& request : {std::pair<WPARAM, LPARAM>{qly::kHookDump, 0},
                                {qly::kHookMoveVisible, 0},
                                {qly::kHookMoveVisible, -2},
                                {qly::kHookMoveRaw, 1}}) {
        g_qly_move_hwnd = reinterpret_cast<uintptr_t>(FakeOwner(1));
        g_qly_move_uid = 1;
        EXPECT_NE(SendMessageTimeoutA(tray, WM_USER_QLY_HOOK_MSG, request.first, request.second,
                                      SMTO_NORMAL, qly::kTrayRequestTimeoutMs, &result),
                  0);
    }
    SendMessageTimeoutA(tray, WM_USER_QLY_HOOK_MSG, qly::kHookFreeDumpIcons, 0, SMTO_NORMAL,
                        qly::kTrayRequestTimeoutMs, &result);
    g_hwnd_qly_cbt = reinterpret_cast<uintptr_t>(tray);
    g_hwnd_qly_cbt_op = qly::kCbtOpDump;
    SendMessageTimeoutA(tray, WM_SYSCOMMAND, SC_TASKLIST, reinterpret_cast<LPARAM>(tray),
                        SMTO_NORMAL, qly::kRemoteCbtTimeoutMs, &result);
    g_hwnd_qly_cbt_op = 0;
    g_hwnd_qly_cbt = ~uint64_t{0};
    // Of the foreign buttons only the one whose data can be read in full leaves a record,
    // and the count of the first toolbar's records, where moves go, says so too.
    EXPECT_EQ(g_qly_data_count, 1u);
    EXPECT_EQ(g_qly_data_count_first, 1u);

    EXPECT_TRUE(host.Alive());
    EXPECT_EQ(host.Command("faults"), 0);
    EXPECT_EQ(host.SwallowedFaults(), 0);
    UninstallHooks();
}

}  // namespace
}  // namespace qly_hook_test
