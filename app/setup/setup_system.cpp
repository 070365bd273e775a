// Setup's registry, running instance, shortcuts, dialog and session end; see
// setup_system.h.
#include "app/setup/setup_system.h"

#include <shlobj.h>

#include "app/autostart/shell_link.h"
#include "app/base/program_names.h"
#include "app/base/unique_handle.h"
#include "app/diag/modeless_message.h"
#include "app/diag/process_utils.h"
#include "app/lang/language.h"
#include "app/settings/registry_ops.h"
#include "app/ui/main_window.h"
#include "app/ui/program_state.h"
#include "resources/resource.h"

namespace qly {

namespace {

constexpr char kDefaultInstallation[] = "DefaultInstallation";
constexpr DWORD kStopSendMs = 5000;
constexpr DWORD kStopWaitMs = 5000;

bool SetString(HKEY key, const char* name, const std::string& value) {
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

bool SetDword(HKEY key, const char* name, DWORD value) {
    return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof(value)) == ERROR_SUCCESS;
}

// A string value of at most 255 characters, refused when it is not a string.
bool GetString(HKEY key, const char* name, std::string* out) {
    char buffer[256] = {};
    DWORD size = sizeof(buffer) - 1;
    DWORD type = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    buffer[size < sizeof(buffer) ? size : sizeof(buffer) - 1] = 0;
    *out = buffer;
    return true;
}

// The messages of this thread for at most `ms`, ending early once `window` is gone.
void PumpUntilGone(DWORD ms, HWND window) {
    for (DWORD waited = 0; waited < ms && IsWindow(window); waited += 100)
        PumpMessagesFor(100);
}

// All users' Programs folder, else this user's.
std::string ProgramsFolder() {
    char folder[MAX_PATH] = "";
    if (!SHGetSpecialFolderPathA(nullptr, folder, CSIDL_COMMON_PROGRAMS, FALSE) &&
        !SHGetSpecialFolderPathA(nullptr, folder, CSIDL_PROGRAMS, FALSE))
        return std::string();
    return std::string(folder) + "\\Quillory";
}

struct DialogState {
    std::string* folder;
    bool upgrade;
};

INT_PTR CALLBACK InstallDirProc(HWND dialog, UINT msg, WPARAM wp, LPARAM lp) {
    auto* state = reinterpret_cast<DialogState*>(GetWindowLongPtrA(dialog, DWLP_USER));
    switch (msg) {
        case WM_INITDIALOG: {
            state = reinterpret_cast<DialogState*>(lp);
            SetWindowLongPtrA(dialog, DWLP_USER, lp);
            SetForegroundWindow(dialog);
            TranslateDialog(dialog, IDD_INSTALL_DIR);
            SetDlgItemTextA(dialog, IDC_INST_FOLDER, state->folder->c_str());
            if (state->upgrade)
                SetWindowTextA(dialog, "Please avoid UPGRADING to a different folder !!!");
            RECT r;
            GetWindowRect(dialog, &r);
            const int x = (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2;
            const int y = (GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 2;
            SetWindowPos(dialog, HWND_TOPMOST, x, y, 0, 0, SWP_NOSIZE);
            return TRUE;
        }
        case WM_COMMAND:
            switch (LOWORD(wp)) {
                case IDC_INST_BROWSE: {
                    char chosen[MAX_PATH] = "";
                    BROWSEINFOA info{};
                    info.hwndOwner = dialog;
                    info.pszDisplayName = chosen;
                    info.ulFlags =
                        BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN | BIF_RETURNFSANCESTORS;
                    LPITEMIDLIST item = SHBrowseForFolderA(&info);
                    if (item) {
                        if (SHGetPathFromIDListA(item, chosen))
                            SetDlgItemTextA(dialog, IDC_INST_FOLDER, chosen);
                        CoTaskMemFree(item);
                    }
                    return TRUE;
                }
                case IDOK:
                case IDC_INST_CUSTOM: {
                    StoreDefaultInstallation(LOWORD(wp) == IDOK);
                    char text[257] = "";
                    GetDlgItemTextA(dialog, IDC_INST_FOLDER, text, sizeof(text));
                    *state->folder = text;
                    EndDialog(dialog, LOWORD(wp));
                    return TRUE;
                }
                case IDCANCEL:
                    EndDialog(dialog, IDCANCEL);
                    return TRUE;
                default:
                    return FALSE;
            }
        default:
            return FALSE;
    }
}

}  // namespace

bool ReadUninstallEntry(std::string* version, std::string* uninstall_string) {
    UniqueKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKeyPath, 0, KEY_QUERY_VALUE, key.out()) !=
        ERROR_SUCCESS)
        return false;
    if (!GetString(key.get(), "Ver", version) ||
        !GetString(key.get(), "UninstallString", uninstall_string))
        return false;
    return true;
}

bool WriteUninstallEntry(const std::string& folder,
                         const std::string& program_name,
                         const std::string& version_line,
                         uint32_t size_kb) {
    UniqueKey key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kUninstallKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, key.out(), nullptr) != ERROR_SUCCESS)
        return false;
    const std::string program = folder + program_name;
    bool ok = SetString(key.get(), "Ver", "Quillory " + version_line);
    ok = SetString(key.get(), "UninstallString", program + " -u") && ok;
    ok = SetString(key.get(), "Displayname", "Quillory") && ok;
    // What Windows' list of installed programs reads besides.
    ok = SetString(key.get(), "DisplayIcon", program + ",0") && ok;
    ok = SetString(key.get(), "DisplayVersion", version_line) && ok;
    ok = SetString(key.get(), "Publisher", kMakerName) && ok;
    ok = SetString(key.get(), "InstallLocation", folder) && ok;
    ok = SetDword(key.get(), "EstimatedSize", size_kb) && ok;
    ok = SetDword(key.get(), "NoModify", 1) && ok;
    ok = SetDword(key.get(), "NoRepair", 1) && ok;
    return ok;
}

LONG DeleteUninstallEntry() {
    const LONG result = RegDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstallKeyPath);
    return result == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : result;
}

bool DefaultInstallation() {
    UniqueKey key;
    DWORD value = 0;
    DWORD size = sizeof(value);
    DWORD type = 0;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKeyPath, 0, KEY_QUERY_VALUE, key.out()) !=
            ERROR_SUCCESS ||
        RegQueryValueExA(key.get(), kDefaultInstallation, nullptr, &type,
                         reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD)
        return false;
    return value == 1;
}

void StoreDefaultInstallation(bool value) {
    UniqueKey key;
    if (OpenSettingsKey(HKEY_CURRENT_USER, kSettingsKeyPath, key.out(), 1) == ERROR_SUCCESS)
        SetDword(key.get(), kDefaultInstallation, value ? 1 : 0);
}

HWND RunningInstance() {
    return FindWindowA(kMainWindowClass, kMainWindowCaption);
}

int StopRunningInstance(HWND window) {
    if (window == nullptr)
        window = RunningInstance();
    if (window == nullptr)
        return -1;
    DWORD_PTR ignored = 0;
    if (!SendMessageTimeoutA(window, WM_COMMAND, ID_CMD_EXIT, 0, SMTO_NORMAL, kStopSendMs,
                             &ignored))
        return 0;
    HWND wait = ShowModelessMessage(App().instance, "Waiting for an existing Quillory to exit",
                                    "QLY MSG 1");
    // It usually goes at once; the waits are the most it gets.
    PumpUntilGone(kStopWaitMs, window);
    if (IsWindow(window))
        PumpUntilGone(kStopWaitMs, window);
    if (wait)
        PostMessageA(wait, WM_CLOSE, 0, 0);
    return IsWindow(window) ? 0 : 1;
}

int ChooseInstallDirectory(std::string* folder, bool upgrade) {
    DialogState state{folder, upgrade};
    return static_cast<int>(DialogBoxParamA(App().instance, MAKEINTRESOURCEA(IDD_INSTALL_DIR),
                                            nullptr, InstallDirProc,
                                            reinterpret_cast<LPARAM>(&state)));
}

bool CreateStartMenuShortcuts(const std::string& program) {
    const std::string folder = ProgramsFolder();
    if (folder.empty())
        return false;
    CreateDirectoryA(folder.c_str(), nullptr);
    const HRESULT com = CoInitialize(nullptr);
    const bool ok =
        SUCCEEDED(CreateShellLink(program.c_str(), "", (folder + "\\Quillory.LNK").c_str(), "",
                                  program.c_str(), 0, nullptr)) &&
        SUCCEEDED(CreateShellLink(program.c_str(), "-u",
                                  (folder + "\\Quillory UNINSTALL.LNK").c_str(), "",
                                  program.c_str(), 1, nullptr));
    if (SUCCEEDED(com))
        CoUninitialize();
    return ok;
}

void DeleteStartMenuShortcuts() {
    const std::string folder = ProgramsFolder();
    if (folder.empty())
        return;
    DeleteFileA((folder + "\\Quillory.LNK").c_str());
    DeleteFileA((folder + "\\Quillory UNINSTALL.LNK").c_str());
    RemoveDirectoryA(folder.c_str());
}

namespace {
constexpr char kExplorerKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer";
constexpr char kEnableAutoTray[] = "EnableAutoTray";
}  // namespace

uint32_t ReadExplorerAutoTray() {
    UniqueKey key;
    DWORD value = 1;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kExplorerKey, 0, KEY_QUERY_VALUE, key.out()) !=
        ERROR_SUCCESS)
        return value;
    DWORD type = 0;
    DWORD stored = 0;
    DWORD size = sizeof(stored);
    if (RegQueryValueExA(key.get(), kEnableAutoTray, nullptr, &type,
                         reinterpret_cast<BYTE*>(&stored), &size) == ERROR_SUCCESS &&
        type == REG_DWORD && size == sizeof(stored))
        value = stored;
    return value;
}

void WriteExplorerAutoTray(uint32_t value) {
    UniqueKey key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kExplorerKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        key.out(), nullptr) != ERROR_SUCCESS)
        return;
    SetDword(key.get(), kEnableAutoTray, value);
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(HWND_BROADCAST, WM_SETTINGCHANGE, 0, 0, SMTO_ABORTIFHUNG, 500, &ignored);
}

void EndSessionForSetup(UINT flags) {
    (App().exit_windows ? App().exit_windows : ExitWindowsWithPrivilege)(flags, 0);
}

}  // namespace qly
