// The own autostart's registry values, Startup shortcut and elevated instance; see
// own_autostart.h.
#include "app/autostart/own_autostart.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include "app/autostart/own_autostart_plan.h"
#include "app/autostart/shell_link.h"
#include "app/base/program_folder.h"
#include "app/base/program_names.h"
#include "app/base/unique_handle.h"
#include "app/diag/log.h"
#include "app/settings/registry_ops.h"

namespace qly {

namespace {

bool IsLeadByte(unsigned char byte) {
    return IsDBCSLeadByte(byte) != FALSE;
}

// This process's own file. Not the shared cell the hook library keeps: a second instance
// (of another copy, too) writes that one before it ends.
std::string OwnModulePath() {
    char path[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    return std::string(path, n < sizeof path ? n : 0);
}

bool OpenReadOnly(HKEY root, const char* path, UniqueKey* key) {
    return RegOpenKeyExA(root, path, 0, KEY_READ, key->out()) == ERROR_SUCCESS;
}

bool ReadMachineSetting(const char* name, uint32_t* value) {
    UniqueKey key;
    return OpenReadOnly(HKEY_LOCAL_MACHINE, kSettingsKeyPath, &key) &&
           ReadDword(key.get(), name, value) == ERROR_SUCCESS;
}

bool ComInitialised() {
    return SUCCEEDED(CoInitialize(nullptr));
}

}  // namespace

std::string LauncherPath() {
    return ProgramFolderOf(OwnModulePath(), IsLeadByte) + kLauncherFileName;
}

bool WriteRunOnceValue() {
    const std::string launcher = LauncherPath();
    UniqueKey key;
    if (OpenSettingsKey(HKEY_LOCAL_MACHINE, kRunOnceKeyPath, key.out(), 1) == ERROR_SUCCESS)
        return WriteString(key.get(), kRunOnceValueName, launcher.c_str()) == ERROR_SUCCESS;
    // A user without administrator rights cannot write it, but an administrator may have
    // put it there already for every user: then nothing is missing.
    std::string present;
    return OpenReadOnly(HKEY_LOCAL_MACHINE, kRunOnceKeyPath, &key) &&
           ReadStringAlloc(key.get(), kRunOnceValueName, &present) == ERROR_SUCCESS &&
           lstrcmpiA(present.c_str(), launcher.c_str()) == 0;
}

bool InstallAutostart() {
    WriteSettingDword("AutoRunQly", 1);
    return WriteRunOnceValue();
}

bool RemoveAutostart(bool total) {
    bool done = WriteSettingDword("AutoRunQly", 0);
    if (total) {
        UniqueKey key;
        if (OpenSettingsKey(HKEY_LOCAL_MACHINE, kRunOnceKeyPath, key.out(), 1) == ERROR_SUCCESS)
            done = RegDeleteValueA(key.get(), kRunOnceValueName) == ERROR_SUCCESS;
    }
    return done;
}

uint32_t MachineAutoRunQly() {
    uint32_t value = 0;
    ReadMachineSetting("AutoRunQly", &value);
    return value;
}

bool QueryAutostart(uint32_t* user_value, std::string* data) {
    uint32_t value = 0;
    if (!ReadSettingDword("AutoRunQly", &value))
        value = MachineAutoRunQly();
    if (user_value != nullptr)
        *user_value = value;
    UniqueKey key;
    if (!OpenReadOnly(HKEY_LOCAL_MACHINE, kRunOnceKeyPath, &key))
        return false;
    std::string text;
    if (ReadStringAlloc(key.get(), kRunOnceValueName, &text) != ERROR_SUCCESS)
        return false;
    if (data != nullptr)
        *data = text;
    return true;
}

std::string StartupShortcutPath() {
    char folder[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathA(nullptr, folder, CSIDL_STARTUP, FALSE) &&
        !SHGetSpecialFolderPathA(nullptr, folder, CSIDL_COMMON_STARTUP, FALSE))
        return std::string();
    return std::string(folder) + kStartupLinkName;
}

bool CreateStartupShortcut(const char* arguments) {
    const std::string link = StartupShortcutPath();
    if (link.empty())
        return false;
    const std::string program = OwnModulePath();
    const bool com = ComInitialised();
    const HRESULT hr =
        CreateShellLink(program.c_str(), arguments, link.c_str(), "", program.c_str(), 0, nullptr);
    if (com)
        CoUninitialize();
    return SUCCEEDED(hr);
}

bool DeleteStartupShortcut() {
    const std::string link = StartupShortcutPath();
    return !link.empty() && DeleteFileA(link.c_str()) != FALSE;
}

bool StartupShortcutExists(std::string* arguments) {
    const std::string link = StartupShortcutPath();
    if (link.empty() || GetFileAttributesA(link.c_str()) == INVALID_FILE_ATTRIBUTES)
        return false;
    if (arguments != nullptr) {
        ShellLinkInfo info;
        UniqueIcon icon(ResolveShellLink(link.c_str(), &info, true));
        *arguments = info.arguments;
    }
    return true;
}

bool RequestElevatedApply() {
    const std::string program = OwnModulePath();
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_DOENVSUBST;
    info.lpVerb = "runas";
    info.lpFile = program.c_str();
    info.lpParameters = " -V";
    info.nShow = SW_SHOWNORMAL;
    const bool started = ShellExecuteExA(&info) != FALSE;
    if (info.hProcess != nullptr)
        CloseHandle(info.hProcess);
    if (LogEnabled())
        LogLine(started ? "Elevated instance started to apply the autostart\n"
                        : "Elevated instance could not be started !!!\n");
    return started;
}

bool SetFlagLogOff(uint32_t value) {
    return WriteSettingDword("FlagLogOff", value);
}

uint32_t GetFlagLogOff() {
    uint32_t value = 0;
    ReadSettingDword("FlagLogOff", &value);
    return value;
}

bool HasMachineRights() {
    UniqueKey run_once;
    UniqueKey settings;
    return OpenSettingsKey(HKEY_LOCAL_MACHINE, kRunOnceKeyPath, run_once.out(), 1) ==
               ERROR_SUCCESS &&
           OpenSettingsKey(HKEY_LOCAL_MACHINE, kSettingsKeyPath, settings.out(), 1) ==
               ERROR_SUCCESS;
}

void ApplyDesiredAutostart() {
    uint32_t stored_mode = 2;
    uint32_t start_up = 1;
    uint32_t auto_run = 0;
    bool have_auto_run = false;
    {
        UniqueKey key;
        if (OpenSettingsKey(HKEY_CURRENT_USER, kSettingsKeyPath, key.out(), 1) == ERROR_SUCCESS) {
            ReadDword(key.get(), "DesiredRunOnce", &stored_mode);
            ReadDword(key.get(), "DesiredStartUp", &start_up);
            have_auto_run = ReadDword(key.get(), "DesiredAutoRun", &auto_run) == ERROR_SUCCESS;
        }
    }
    const OwnAutostartMode mode = ModeFromStored(stored_mode);
    switch (RegistrationFor(mode)) {
        case AutostartRegistration::kInstall:
            InstallAutostart();
            break;
        case AutostartRegistration::kRemoveForUser:
            RemoveAutostart(false);
            break;
        case AutostartRegistration::kRemoveTotal:
            RemoveAutostart(true);
            break;
    }
    if (start_up != 0 && mode == OwnAutostartMode::kIncludingThisUser)
        CreateStartupShortcut(kStartupLinkArguments);
    else
        DeleteStartupShortcut();
    // Whoever asked for this instance wrote all three values; without a wished new-users
    // value there is nothing to say about the machine's one, so it is left as it is.
    UniqueKey machine;
    if (have_auto_run &&
        OpenSettingsKey(HKEY_LOCAL_MACHINE, kSettingsKeyPath, machine.out(), 0) == ERROR_SUCCESS)
        WriteDword(machine.get(), "AutoRunQly", auto_run);
}

void ReRegisterRunOnce() {
    const bool written = WriteRunOnceValue();
    if (LogEnabled())
        LogLine(written ? "RunOnce registered again\n" : "RunOnce could not be registered again\n");
}

void RefreshOwnAutostart(bool elevate) {
    if (elevate)
        RequestElevatedApply();
    else
        InstallAutostart();
}

bool InstallRunOnceForced() {
    return InstallAutostart();
}

}  // namespace qly
