// Setup and removal from outside, as a user meets them: quillory.exe started with -I from
// an unpacked product folder whose path holds blanks, the installation-folder dialog and the
// questions answered by pressing their buttons, the installed copy finishing (the setup
// folder gone, the autostart installed, the log-off declined), and then removal with -u
// (the entry, the shortcuts and the autostart gone, the program files scheduled for the
// next restart, the user's settings kept).
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>
#include <wincrypt.h>

#include <string>
#include <vector>

#include "tests/setup/setup_test_files.h"

namespace {

using qly_setup_test::Exists;
using qly_setup_test::PendingRenames;
using qly_setup_test::Read;
using qly_setup_test::Write;

constexpr char kSetupCaption[] = "Quillory Setup Version " QLY_VERSION_TEXT;
constexpr char kUninstallCaption[] = "Quillory Uninstall Version " QLY_VERSION_TEXT;
constexpr char kUninstallKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillory";
constexpr char kRunOnceKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

std::string Bin() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string bin(path);
    return bin.substr(0, bin.find_last_of('\\') + 1);
}

std::string StringValue(HKEY root, const char* path, const char* name) {
    char buffer[512] = {};
    DWORD size = sizeof(buffer);
    if (RegGetValueA(root, path, name, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
        return "<missing>";
    return buffer;
}

DWORD DwordValue(HKEY root, const char* path, const char* name) {
    DWORD value = 0xDEAD;
    DWORD size = sizeof(value);
    RegGetValueA(root, path, name, RRF_RT_REG_DWORD, nullptr, &value, &size);
    return value;
}

std::string Folder(int csidl) {
    char path[MAX_PATH] = "";
    SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE);
    return path;
}

// A message box (or dialog) of any process with this caption whose text starts so.
HWND WaitForBox(const char* caption, const std::string& text_start, DWORD timeout_ms) {
    for (DWORD waited = 0; waited <= timeout_ms; waited += 100) {
        for (HWND w = FindWindowExA(nullptr, nullptr, "#32770", caption); w;
             w = FindWindowExA(nullptr, w, "#32770", caption)) {
            char text[1024] = "";
            GetDlgItemTextA(w, 0xFFFF, text, sizeof(text));
            if (std::string(text).rfind(text_start, 0) == 0)
                return w;
        }
        Sleep(100);
    }
    return nullptr;
}

void Press(HWND window, int id) {
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
}

bool TrustedPublisher(const char* subject) {
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0,
                                     CERT_SYSTEM_STORE_LOCAL_MACHINE | CERT_STORE_READONLY_FLAG,
                                     "TrustedPublisher");
    if (store == nullptr)
        return false;
    PCCERT_CONTEXT found = CertFindCertificateInStore(store, X509_ASN_ENCODING, 0,
                                                      CERT_FIND_SUBJECT_STR_A, subject, nullptr);
    if (found)
        CertFreeCertificateContext(found);
    CertCloseStore(store, 0);
    return found != nullptr;
}

class Process {
  public:
    Process(const std::string& program, const std::string& arguments) {
        std::string line = "\"" + program + "\" " + arguments;
        std::vector<char> buffer(line.begin(), line.end());
        buffer.push_back(0);
        STARTUPINFOA si{};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi{};
        if (CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                           &si, &pi)) {
            CloseHandle(pi.hThread);
            m_process = pi.hProcess;
        }
    }
    ~Process() {
        if (m_process && WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT)
            TerminateProcess(m_process, 1);
        if (m_process)
            CloseHandle(m_process);
    }
    bool Wait(DWORD ms) const {
        return m_process && WaitForSingleObject(m_process, ms) == WAIT_OBJECT_0;
    }
    DWORD ExitCode() const {
        DWORD code = 0;
        GetExitCodeProcess(m_process, &code);
        return code;
    }

  private:
    HANDLE m_process = nullptr;
};

void ForgetInstallation() {
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstallKey);
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunOnceKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, "QUILLORY");
        RegCloseKey(key);
    }
    DeleteFileA((Folder(CSIDL_STARTUP) + "\\QUILLORY.LNK").c_str());
    const std::string menu = Folder(CSIDL_COMMON_PROGRAMS) + "\\Quillory";
    DeleteFileA((menu + "\\Quillory.LNK").c_str());
    DeleteFileA((menu + "\\Quillory UNINSTALL.LNK").c_str());
    RemoveDirectoryA(menu.c_str());
}

class SetupFlow : public ::testing::Test {
  protected:
    void SetUp() override { ForgetInstallation(); }
    void TearDown() override { ForgetInstallation(); }
};

TEST_F(SetupFlow, SetupInstallsFromAFolderWithBlanksAndRemovalTakesItAllButTheSettings) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string stamp = std::to_string(GetTickCount());
    const std::string source = std::string(temp) + "qly unpacked " + stamp + "\\";
    const std::string target =
        std::string(temp) + "qly target " + stamp + "\\Programme\\Quillory\\";
    ASSERT_TRUE(CreateDirectoryA(source.c_str(), nullptr));
    CreateDirectoryA((source + "DOC").c_str(), nullptr);
    CreateDirectoryA((source + "LNG").c_str(), nullptr);
    // The program with the test's seams, so its log-off request is recorded instead of made.
    ASSERT_TRUE(CopyFileA((Bin() + "quillory_seamed.exe").c_str(),
                          (source + "Quillory.EXE").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA((Bin() + "QLYDLL.DLL").c_str(), (source + "QLYDLL.DLL").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA((Bin() + "RUNQLY.EXE").c_str(), (source + "RUNQLY.EXE").c_str(), FALSE));
    // A signed product: the elevation tool and the certificate the build signed it with.
    ASSERT_TRUE(
        CopyFileA((Bin() + "ElevAdm.exe").c_str(), (source + "ElevAdm.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA((Bin() + "karnoveldahus.cer").c_str(),
                          (source + "karnoveldahus.cer").c_str(), FALSE));
    Write(source + "DOC\\Quillory.chm", "help");
    Write(source + "LNG\\english.lng", "[QUILLORY_LANGUAGE]\r\n_____=English\r\n");
    Write(source + "CHANGES.TXT", "changes");

    const std::string exit_record = std::string(temp) + "qly logoff " + stamp + ".txt";
    SetEnvironmentVariableA("QLY_TEST_EXIT_WINDOWS", exit_record.c_str());
    Process setup(source + "Quillory.EXE", "-I");
    HWND dialog = WaitForBox("Quillory Setup - Installation folder", "", 15000);
    ASSERT_NE(dialog, nullptr) << "no installation-folder dialog";
    char shown[MAX_PATH] = "";
    GetDlgItemTextA(dialog, 1042, shown, sizeof(shown));
    EXPECT_NE(std::string(shown).find("\\Quillory\\"), std::string::npos) << shown;
    SetDlgItemTextA(dialog, 1042, target.c_str());
    Press(dialog, 1234);  // custom: every question is asked

    HWND menu =
        WaitForBox(kSetupCaption, "Do you want to create shorcuts into the Start Menu ?", 20000);
    ASSERT_NE(menu, nullptr) << "the Start-menu question did not come";
    Press(menu, IDYES);
    HWND certificate = WaitForBox(
        kSetupCaption, "Do you want to install KARNOVELDAHUS certificate ? (highly recommended!)",
        20000);
    ASSERT_NE(certificate, nullptr) << "a signed product did not offer its certificate";
    Press(certificate, IDYES);
    ASSERT_TRUE(setup.Wait(20000)) << "the setup copy did not end";
    EXPECT_TRUE(TrustedPublisher("KARNOVELDAHUS Quillory test signing"))
        << "the certificate is not a trusted publisher";

    // The installed copy finishes: it removes the setup folder and asks about logging off.
    HWND finish = WaitForBox(kSetupCaption, "Quillory Setup finished without errors", 30000);
    ASSERT_NE(finish, nullptr) << "the installed copy did not finish";
    Press(finish, IDOK);  // log off now
    for (int i = 0; i < 100 && (Exists(source) || !Exists(exit_record)); ++i)
        Sleep(100);
    SetEnvironmentVariableA("QLY_TEST_EXIT_WINDOWS", nullptr);
    EXPECT_EQ(Read(exit_record), "ExitWindowsEx 0x00000000\n") << "no log-off was asked";
    EXPECT_EQ(DwordValue(HKEY_CURRENT_USER, "Software\\KARNOVELDAHUS\\QUILLORY", "FlagLogOff"), 1u);
    DeleteFileA(exit_record.c_str());

    for (const char* file : {"Quillory.EXE", "QLYDLL.DLL", "RUNQLY.EXE", "DOC\\Quillory.chm",
                             "LNG\\english.lng", "CHANGES.TXT"})
        EXPECT_TRUE(Exists(target + file)) << file;
    EXPECT_FALSE(Exists(source)) << "the setup folder stayed";
    EXPECT_EQ(StringValue(HKEY_LOCAL_MACHINE, kUninstallKey, "Ver"),
              std::string("Quillory Version ") + QLY_VERSION_TEXT);
    EXPECT_EQ(StringValue(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString"),
              target + "QUILLORY.EXE -u");
    EXPECT_EQ(StringValue(HKEY_LOCAL_MACHINE, kUninstallKey, "Displayname"), "Quillory");
    EXPECT_EQ(StringValue(HKEY_LOCAL_MACHINE, kUninstallKey, "InstallLocation"), target);
    EXPECT_EQ(StringValue(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayVersion"),
              std::string("Version ") + QLY_VERSION_TEXT);
    EXPECT_EQ(DwordValue(HKEY_LOCAL_MACHINE, kUninstallKey, "NoModify"), 1u);
    EXPECT_GT(DwordValue(HKEY_LOCAL_MACHINE, kUninstallKey, "EstimatedSize"), 0u);
    const std::string start_menu = Folder(CSIDL_COMMON_PROGRAMS) + "\\Quillory";
    EXPECT_TRUE(Exists(start_menu + "\\Quillory.LNK"));
    EXPECT_TRUE(Exists(start_menu + "\\Quillory UNINSTALL.LNK"));
    EXPECT_NE(StringValue(HKEY_LOCAL_MACHINE, kRunOnceKey, "QUILLORY"), "<missing>");
    EXPECT_TRUE(Exists(Folder(CSIDL_STARTUP) + "\\QUILLORY.LNK"));

    Process removal(target + "QUILLORY.EXE", "-u");
    HWND ask = WaitForBox(kUninstallCaption, "We are now uninstalling", 15000);
    ASSERT_NE(ask, nullptr) << "removal asked nothing";
    Press(ask, IDOK);
    HWND done = WaitForBox(kUninstallCaption, "Quillory was successfully removed", 15000);
    ASSERT_NE(done, nullptr);
    Press(done, IDOK);
    ASSERT_TRUE(removal.Wait(10000));
    EXPECT_EQ(StringValue(HKEY_LOCAL_MACHINE, kUninstallKey, "Ver"), "<missing>");
    EXPECT_FALSE(Exists(start_menu));
    const std::string pending = PendingRenames();
    for (const char* file : {"Quillory.EXE", "QLYDLL.DLL", "RUNQLY.EXE"})
        EXPECT_NE(pending.find(target.substr(3) + file), std::string::npos)
            << file << " is not deleted at the next restart: " << pending;
    EXPECT_EQ(StringValue(HKEY_LOCAL_MACHINE, kRunOnceKey, "QUILLORY"), "<missing>");
    EXPECT_FALSE(Exists(target + "LNG"));
    EXPECT_FALSE(Exists(target + "DOC"));
    HKEY settings = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\KARNOVELDAHUS\\QUILLORY", 0, KEY_READ,
                            &settings),
              ERROR_SUCCESS)
        << "removal took the user's settings";
    RegCloseKey(settings);
}

// The second setup into the same folder with default values: nothing is asked, the running
// Quillory is stopped, the old version's special removal keeps the program files, a program
// file held open is moved aside and replaced, and the user's rules stay.
TEST_F(SetupFlow, AnUpgradeInTheSameFolderStopsTheRunningCopyAndReplacesAFileInUse) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string stamp = std::to_string(GetTickCount());
    const std::string source = std::string(temp) + "qly new " + stamp + "\\";
    const std::string target = std::string(temp) + "qly old " + stamp + "\\";
    for (const std::string& folder : {source, target}) {
        ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
        for (const char* file : {"quillory.exe", "QLYDLL.DLL", "RUNQLY.EXE"})
            ASSERT_TRUE(CopyFileA((Bin() + file).c_str(), (folder + file).c_str(), FALSE));
    }
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const std::string old_uninstall = target + "quillory.exe -u";
    RegSetValueExA(key, "Ver", 0, REG_SZ, reinterpret_cast<const BYTE*>("Quillory Version 0.0.9"),
                   23);
    RegSetValueExA(key, "UninstallString", 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(old_uninstall.c_str()),
                   static_cast<DWORD>(old_uninstall.size() + 1));
    RegCloseKey(key);
    HKEY rules = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\KARNOVELDAHUS\\QUILLORY\\RULES", 0,
                              nullptr, 0, KEY_ALL_ACCESS, nullptr, &rules, nullptr),
              ERROR_SUCCESS);
    const DWORD flags = 2;
    RegSetValueExA(rules, "00000005upgrade.exe", 0, REG_DWORD,
                   reinterpret_cast<const BYTE*>(&flags), sizeof(flags));
    RegCloseKey(rules);

    Process running(target + "quillory.exe", "");
    HWND main = nullptr;
    for (int i = 0; i < 100 && !main; ++i, Sleep(100))
        main = FindWindowA("#32770", "Quillory");
    ASSERT_NE(main, nullptr) << "the old version did not start";
    // The launcher is in use, as it is while it waits to start Quillory at log-on.
    HANDLE held =
        CreateFileA((target + "RUNQLY.EXE").c_str(), GENERIC_READ,
                    FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    Process setup(source + "quillory.exe", "-I");
    HWND dialog = WaitForBox("Please avoid UPGRADING to a different folder !!!", "", 15000);
    ASSERT_NE(dialog, nullptr) << "the upgrade's folder dialog did not warn";
    char shown[MAX_PATH] = "";
    GetDlgItemTextA(dialog, 1042, shown, sizeof(shown));
    EXPECT_EQ(std::string(shown), target) << "the default is not the old version's folder";
    Press(dialog, IDOK);  // default values: nothing more is asked
    ASSERT_TRUE(running.Wait(15000)) << "the running version was not stopped";
    ASSERT_TRUE(setup.Wait(30000)) << "the setup copy did not end";
    HWND finish = WaitForBox(kSetupCaption, "Quillory Setup finished without errors", 30000);
    ASSERT_NE(finish, nullptr);
    Press(finish, IDCANCEL);
    CloseHandle(held);

    EXPECT_TRUE(Exists(target + "RUNQLY_TO_DELETE.EXE")) << "the file in use was not moved aside";
    EXPECT_NE(PendingRenames().find(target.substr(3) + "RUNQLY_TO_DELETE.EXE"), std::string::npos)
        << "the old launcher is not deleted at the next restart";
    EXPECT_TRUE(Exists(target + "RUNQLY.EXE"));
    EXPECT_EQ(StringValue(HKEY_LOCAL_MACHINE, kUninstallKey, "Ver"),
              std::string("Quillory Version ") + QLY_VERSION_TEXT);
    EXPECT_EQ(DwordValue(HKEY_CURRENT_USER, "Software\\KARNOVELDAHUS\\QUILLORY\\RULES",
                         "00000005upgrade.exe"),
              2u)
        << "the upgrade lost the user's rules";
    EXPECT_EQ(
        DwordValue(HKEY_CURRENT_USER, "Software\\KARNOVELDAHUS\\QUILLORY", "DefaultInstallation"),
        1u);
}

TEST_F(SetupFlow, AFolderThatCannotBeMadeIsNamedAndSetupEnds) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string source =
        std::string(temp) + "qly nofolder " + std::to_string(GetTickCount()) + "\\";
    ASSERT_TRUE(CreateDirectoryA(source.c_str(), nullptr));
    for (const char* file : {"quillory.exe", "QLYDLL.DLL"})
        ASSERT_TRUE(CopyFileA((Bin() + file).c_str(), (source + file).c_str(), FALSE));
    Process setup(source + "quillory.exe", "-I");
    HWND dialog = WaitForBox("Quillory Setup - Installation folder", "", 15000);
    ASSERT_NE(dialog, nullptr);
    SetDlgItemTextA(dialog, 1042, "Q:\\no drive\\Quillory");
    Press(dialog, 1234);
    HWND box = WaitForBox(
        "ERROR !", "Failed on CreateDirectory:\nQ:\\no drive\\Quillory\\\nwith error:\n", 15000);
    ASSERT_NE(box, nullptr) << "the failure was not named";
    Press(box, IDOK);
    ASSERT_TRUE(setup.Wait(10000));
    EXPECT_EQ(StringValue(HKEY_LOCAL_MACHINE, kUninstallKey, "Ver"), "<missing>");
}

// The special removal an upgrade runs: the entry and the shortcuts go, the program files,
// the language folder and the autostart stay for the new version; nothing is asked.
TEST_F(SetupFlow, TheSpecialRemovalKeepsTheProgramAndTheAutostart) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string target =
        std::string(temp) + "qly special " + std::to_string(GetTickCount()) + "\\";
    ASSERT_TRUE(CreateDirectoryA(target.c_str(), nullptr));
    CreateDirectoryA((target + "LNG").c_str(), nullptr);
    Write(target + "LNG\\english.lng", "x");
    for (const char* file : {"quillory.exe", "QLYDLL.DLL", "RUNQLY.EXE"})
        ASSERT_TRUE(CopyFileA((Bin() + file).c_str(), (target + file).c_str(), FALSE));
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, "Ver", 0, REG_SZ, reinterpret_cast<const BYTE*>("Quillory old"), 13);
    RegCloseKey(key);
    HKEY run_once = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kRunOnceKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &run_once, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(run_once, "QUILLORY", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2);
    RegCloseKey(run_once);
    const std::string menu = Folder(CSIDL_COMMON_PROGRAMS) + "\\Quillory";
    CreateDirectoryA(menu.c_str(), nullptr);
    Write(menu + "\\Quillory.LNK", "link");

    Process special(target + "quillory.exe", "-s");
    ASSERT_TRUE(special.Wait(20000)) << "the special removal asked something or hangs";
    EXPECT_EQ(special.ExitCode(), 0u);
    EXPECT_EQ(StringValue(HKEY_LOCAL_MACHINE, kUninstallKey, "Ver"), "<missing>");
    EXPECT_FALSE(Exists(menu));
    for (const char* file : {"quillory.exe", "QLYDLL.DLL", "RUNQLY.EXE", "LNG\\english.lng"})
        EXPECT_TRUE(Exists(target + file)) << file;
    EXPECT_EQ(StringValue(HKEY_LOCAL_MACHINE, kRunOnceKey, "QUILLORY"), "x");
}

}  // namespace
