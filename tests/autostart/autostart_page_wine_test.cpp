// The AutoStart Programs page as the user meets it in the running program's settings: the
// tree lists a Run value of this user under its group, and unticking "AutoStart &Enabled"
// moves the value to the "Run-" key at once (ticking it moves it back), whatever the
// characters of its name; cancelling the sheet afterwards undoes nothing; "&More info from
// the web..." opens two lookups, the program's file name first, each name encoded. The tree is read
// from outside as a user's tool would: a TVITEMA buffer in Quillory's process.
#include <windows.h>

#include <commctrl.h>
#include <prsht.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/app/app_fixture.h"

namespace qly_app_test {
namespace {

constexpr wchar_t kRun[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kRunOff[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run-";
constexpr char kRunTitle[] = "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
// "Café Agent": 8-bit in the prefix's code page as the tree shows it, UTF-16 in the registry.
constexpr char kNameAnsi[] = "Caf\xE9 Agent";
constexpr wchar_t kName[] = L"Caf\u00e9 Agent";

struct Value {
    DWORD type = 0;
    std::vector<BYTE> data;
};

bool GetValue(const wchar_t* key, Value* value) {
    HKEY k = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_QUERY_VALUE, &k) != ERROR_SUCCESS)
        return false;
    DWORD size = 0;
    LONG rc = RegQueryValueExW(k, kName, nullptr, &value->type, nullptr, &size);
    if (rc == ERROR_SUCCESS) {
        value->data.resize(size);
        rc = RegQueryValueExW(k, kName, nullptr, &value->type, value->data.data(), &size);
    }
    RegCloseKey(k);
    return rc == ERROR_SUCCESS;
}

void DeleteValue(const wchar_t* key) {
    HKEY k = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_SET_VALUE, &k) == ERROR_SUCCESS) {
        RegDeleteValueW(k, kName);
        RegCloseKey(k);
    }
}

// The tree of another process, read through a buffer in that process.
class RemoteTree {
  public:
    RemoteTree(DWORD pid, HWND tree) : m_tree(tree) {
        m_process =
            OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (m_process)
            m_buffer =
                VirtualAllocEx(m_process, nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
    ~RemoteTree() {
        if (m_buffer)
            VirtualFreeEx(m_process, m_buffer, 0, MEM_RELEASE);
        if (m_process)
            CloseHandle(m_process);
    }
    RemoteTree(const RemoteTree&) = delete;
    RemoteTree& operator=(const RemoteTree&) = delete;

    bool Ready() const { return m_buffer != nullptr; }
    HTREEITEM Next(HTREEITEM item, UINT how) const {
        return reinterpret_cast<HTREEITEM>(
            SendMessageA(m_tree, TVM_GETNEXTITEM, how, reinterpret_cast<LPARAM>(item)));
    }
    std::string Text(HTREEITEM item) const {
        char* remote_text = static_cast<char*>(m_buffer) + 1024;
        TVITEMA query = {};
        query.mask = TVIF_HANDLE | TVIF_TEXT;
        query.hItem = item;
        query.pszText = remote_text;
        query.cchTextMax = 1024;
        SIZE_T done = 0;
        if (!WriteProcessMemory(m_process, m_buffer, &query, sizeof query, &done) ||
            !SendMessageA(m_tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(m_buffer)))
            return "";
        char text[1024] = {};
        ReadProcessMemory(m_process, remote_text, text, sizeof text - 1, &done);
        return text;
    }
    // The first top-level item with this text, then its first child with that text.
    HTREEITEM Find(const std::string& group, const std::string& name) const {
        for (HTREEITEM g = Next(nullptr, TVGN_ROOT); g; g = Next(g, TVGN_NEXT)) {
            if (Text(g) != group)
                continue;
            for (HTREEITEM i = Next(g, TVGN_CHILD); i; i = Next(i, TVGN_NEXT))
                if (Text(i) == name)
                    return i;
        }
        return nullptr;
    }
    bool Ghosted(HTREEITEM item) const {
        return (SendMessageA(m_tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_CUT) &
                TVIS_CUT) != 0;
    }

  private:
    HWND m_tree;
    HANDLE m_process = nullptr;
    void* m_buffer = nullptr;
};

std::string ControlText(HWND page, int id) {
    char text[1024] = {};
    SendMessageA(GetDlgItem(page, id), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

bool Ticked(HWND page) {
    return SendMessageA(GetDlgItem(page, 1056), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

class AutostartPage : public App {};

TEST_F(AutostartPage, SwitchesARunValueOffAndOnAtOnce) {
    // Whatever happens, the value leaves both keys, and a "Run-" key that the switch created
    // goes again: other tests list the keys whole.
    HKEY off = nullptr;
    const bool had_off =
        RegOpenKeyExW(HKEY_CURRENT_USER, kRunOff, 0, KEY_READ, &off) == ERROR_SUCCESS;
    if (had_off)
        RegCloseKey(off);
    struct ValueGone {
        bool had_off;
        ~ValueGone() {
            DeleteValue(kRun);
            DeleteValue(kRunOff);
            if (!had_off)
                RegDeleteKeyW(HKEY_CURRENT_USER, kRunOff);
        }
    } gone{had_off};
    DeleteValue(kRunOff);
    // An expanding command keeps its type through both moves.
    const std::wstring command = L"%SystemRoot%\\notepad.exe /min";
    const Value written{
        REG_EXPAND_SZ,
        std::vector<BYTE>(reinterpret_cast<const BYTE*>(command.c_str()),
                          reinterpret_cast<const BYTE*>(command.c_str() + command.size() + 1))};
    HKEY run = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kRun, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &run,
                              nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(run, kName, 0, written.type, written.data.data(),
                             static_cast<DWORD>(written.data.size())),
              ERROR_SUCCESS);
    RegCloseKey(run);

    const std::string record = qly_test::UniqueTempPath("qly_lookups");
    const std::wstring bin = qly_test::BinDir();
    ProtocolHandler http(
        "http", "\"" + std::string(bin.begin(), bin.end()) + "command_recorder.exe\" \"%1\"");
    SetEnvironmentVariableA("QLY_TEST_COMMAND_LINES", record.c_str());
    qly_test::TrayHost tray;
    Quillory q;
    SetEnvironmentVariableA("QLY_TEST_COMMAND_LINES", nullptr);
    HWND main = q.WaitUntilHooked();
    ASSERT_NE(main, nullptr);
    PostMessageA(main, WM_COMMAND, 1004, 0);
    HWND sheet = WaitForProcessWindow(q.Id(), "#32770", "Quillory - Settings", 8000);
    ASSERT_NE(sheet, nullptr);
    SendMessageA(sheet, PSM_SETCURSEL, 1, 0);
    HWND page = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    ASSERT_NE(page, nullptr);
    RemoteTree tree(q.Id(), GetDlgItem(page, 1061));
    ASSERT_TRUE(tree.Ready());
    HTREEITEM item = tree.Find(kRunTitle, kNameAnsi);
    ASSERT_NE(item, nullptr) << "the Run value is not listed under its group";
    SendMessageA(GetDlgItem(page, 1061), TVM_SELECTITEM, TVGN_CARET,
                 reinterpret_cast<LPARAM>(item));
    EXPECT_EQ(ControlText(page, 1060), kNameAnsi);
    EXPECT_EQ(ControlText(page, 1009), "%SystemRoot%\\notepad.exe /min");
    EXPECT_EQ(ControlText(page, 1015), "N/A");
    EXPECT_TRUE(Ticked(page));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page, 1056)));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page, 1055)));

    Value seen;
    SendMessageA(GetDlgItem(page, 1056), BM_CLICK, 0, 0);
    EXPECT_FALSE(Ticked(page));
    EXPECT_FALSE(GetValue(kRun, &seen)) << "still in Run";
    ASSERT_TRUE(GetValue(kRunOff, &seen)) << "not in Run-";
    EXPECT_EQ(seen.type, written.type);
    EXPECT_EQ(seen.data, written.data);
    EXPECT_TRUE(tree.Ghosted(item)) << "a disabled entry looks like one";

    SendMessageA(GetDlgItem(page, 1056), BM_CLICK, 0, 0);
    EXPECT_TRUE(Ticked(page));
    EXPECT_FALSE(GetValue(kRunOff, &seen)) << "still in Run-";
    ASSERT_TRUE(GetValue(kRun, &seen)) << "not back in Run";
    EXPECT_EQ(seen.type, written.type);
    EXPECT_EQ(seen.data, written.data);
    EXPECT_FALSE(tree.Ghosted(item));

    // The web lookup opens the program's file name, then the entry's name, each encoded.
    HKEY settings = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kKeyPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                              &settings, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(settings, "WebLookupHost", 0, REG_SZ,
                   reinterpret_cast<const BYTE*>("lookup.example.org"), 19);
    RegCloseKey(settings);
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(GetDlgItem(page, 1055), BM_CLICK, 0, 0, SMTO_NORMAL, 15000, &answer);
    const std::string first =
        "http://lookup.example.org/startuplist.php?filter=notepad.exe&count=&type=";
    const std::string second =
        "http://lookup.example.org/startuplist.php?filter=Caf%C3%A9%20Agent&count=&type=";
    std::string opened;
    for (int waited = 0; waited < 8000 && opened.find(second) == std::string::npos; waited += 100) {
        Sleep(100);
        opened = ReadFile(record);
    }
    EXPECT_NE(opened.find(first), std::string::npos) << opened;
    EXPECT_NE(opened.find(second), std::string::npos) << opened;
    EXPECT_LT(opened.find(first), opened.find(second)) << opened;

    // Off again, then Cancel: the switch stays, there was nothing to apply.
    SendMessageA(GetDlgItem(page, 1056), BM_CLICK, 0, 0);
    PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    EXPECT_TRUE(WaitUntilGone(q.Id(), "#32770", "Quillory - Settings", 5000));
    EXPECT_FALSE(GetValue(kRun, &seen));
    EXPECT_TRUE(GetValue(kRunOff, &seen));
    EXPECT_TRUE(q.Exit());
    DeleteFileA(record.c_str());
}

}  // namespace
}  // namespace qly_app_test
