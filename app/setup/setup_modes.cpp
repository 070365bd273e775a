// Setup, upgrade and removal as modes of the main program (see setup_modes.h): the
// interactive setup from an unpacked product folder, the second stage that the installed
// copy runs, the removal and the special removal an upgrade in the same folder runs. Every
// box is system-modal and goes through the diagnostics' box routine, so tests can answer.
#include "app/setup/setup_modes.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "app/autostart/own_autostart.h"
#include "app/autostart/shell_link.h"
#include "app/base/program_names.h"
#include "app/diag/log.h"
#include "app/diag/message_box_seam.h"
#include "app/diag/modeless_message.h"
#include "app/diag/process_utils.h"
#include "app/setup/setup_files.h"
#include "app/setup/setup_plan.h"
#include "app/setup/setup_system.h"
#include "app/ui/program_state.h"

namespace qly {

namespace {

constexpr UINT kModal = MB_SYSTEMMODAL;
constexpr char kVersionLine[] = "Version " QLY_VERSION_TEXT;
constexpr char kRestartLinkName[] = "\\Quillory_RESTART.LNK";
constexpr DWORD kUninstallWaitMs = 30000;

std::string SetupTitle() {
    return std::string("Quillory Setup ") + kVersionLine;
}

std::string UninstallTitle() {
    return std::string("Quillory Uninstall ") + kVersionLine;
}

int Box(const std::string& text, const std::string& caption, UINT type) {
    if (LogEnabled())
        LogLine("Setup: %s\n", text.c_str());
    return DiagMessageBox(nullptr, text.c_str(), caption.c_str(), type | kModal);
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void ShowWaitFor(const char* text, const char* title, DWORD ms) {
    HWND wait = ShowModelessMessage(App().instance, text, title);
    Sleep(ms);
    if (wait)
        PostMessageA(wait, WM_CLOSE, 0, 0);
}

// Starts a command line; its process handle goes to `process` when asked for.
bool StartCommand(const std::string& line, HANDLE* process) {
    std::vector<char> buffer(line.begin(), line.end());
    buffer.push_back(0);
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi))
        return false;
    CloseHandle(pi.hThread);
    if (process)
        *process = pi.hProcess;
    else
        CloseHandle(process);
    return true;
}

// The previous version's own removal; false when the user gave up on it.
bool RunPreviousUninstall(const std::string& uninstall_string, const std::string& folder) {
    const std::string command = PreviousUninstallCommand(uninstall_string, folder);
    HANDLE process = nullptr;
    if (!StartCommand(command, &process)) {
        return Box("Could not launch \"" + command +
                       "\"\nPress OK to continue anyway \n(the worst thing it can happen is to "
                       "remain with the old program on your HDD)\nand Cancel to exit the setup "
                       "program",
                   SetupTitle(), MB_OKCANCEL | MB_ICONEXCLAMATION) == IDOK;
    }
    bool done = false;
    while (!done) {
        HWND wait = ShowModelessMessage(
            App().instance,
            "Waiting for the special uninstall of the previous version of Quillory to finish",
            "Quillory MSG 3");
        done = WaitForSingleObject(process, kUninstallWaitMs) == WAIT_OBJECT_0;
        if (wait)
            PostMessageA(wait, WM_CLOSE, 0, 0);
        if (!done &&
            Box("Problems with process launched as \"" + command +
                    "\"\nPress OK to wait another 30 sec.\nand Cancel to exit the setup program",
                SetupTitle(), MB_OKCANCEL | MB_ICONEXCLAMATION) != IDOK) {
            CloseHandle(process);
            return false;
        }
    }
    CloseHandle(process);
    Sleep(500);
    return true;
}

// Brings the product from `source` into `target`; -1 when a folder could not be made.
int InstallProductFiles(const std::string& target, const std::string& source) {
    const ProductFiles& product = Product();
    for (const std::string& sub : product.folders) {
        if (!CreateDirectoryA((target + sub).c_str(), nullptr) &&
            GetLastError() != ERROR_ALREADY_EXISTS) {
            Box("Failed on CreateDirectory:\n" + target + sub + "\nwith error:\n" +
                    SystemErrorText(GetLastError()),
                "WARNING !", MB_OK | MB_ICONWARNING);
            return -1;
        }
    }
    // A document this build does not carry (the certificate of an unsigned build) is
    // simply not there; what is there replaces the old one.
    for (const std::string& name : product.documents)
        if (Exists(source + name))
            CopyOrMove(source + name, target + name, true, true, true);
    if (Exists(source + product.language_folder))
        MoveFolder(source + product.language_folder, target + product.language_folder, 1);
    std::vector<FileCopy> copies;
    for (const std::string& name : product.program_files) {
        const std::string from = source + name;
        const std::string to = target + name;
        if (!Exists(from))
            continue;
        if (CopyFileA(from.c_str(), to.c_str(), FALSE)) {
            copies.push_back(FileCopy::kCopied);
        } else if (ReplaceLockedFile(from, to)) {
            copies.push_back(FileCopy::kReplacedInUse);
        } else {
            ScheduleReplace(from, to);
            copies.push_back(FileCopy::kScheduled);
        }
    }
    const std::string doc = source + "DOC";
    if (Exists(doc) && !RemoveDirectoryA(doc.c_str()))
        Box("Failed on RemoveDirectory:\n" + doc + "\nwith error:\n" +
                SystemErrorText(GetLastError()),
            "WARNING !", MB_OK | MB_ICONWARNING);
    return static_cast<int>(CombineCopies(copies));
}

uint32_t FolderSizeKb(const std::string& folder) {
    uint64_t bytes = 0;
    for (const std::string& name : Product().program_files) {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (GetFileAttributesExA((folder + name).c_str(), GetFileExInfoStandard, &data))
            bytes += (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
    return static_cast<uint32_t>(bytes / 1024);
}

// The setup folder after the installed copy took what it needs. Only a folder that holds
// the program is touched: the folder comes from a command line.
bool RemoveSetupFolder(const std::string& folder, bool with_doc) {
    if (!Exists(folder + kProgramFileName)) {
        if (LogEnabled())
            LogLine("Setup: %s holds no program; it is left alone\n", folder.c_str());
        return false;
    }
    for (const std::string& name : Product().program_files) {
        const std::string path = folder + name;
        if (!DeleteFileA(path.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) {
            Box("Failed on DeleteFile:\n" + path + "\nwith error:\n" +
                    SystemErrorText(GetLastError()),
                "WARNING !", MB_OK | MB_ICONWARNING);
            return false;
        }
    }
    if (Exists(folder + "DLL"))
        DeleteFolderRecursively(folder + "DLL", true);
    if (with_doc && Exists(folder + "DOC") && !RemoveDirectoryA((folder + "DOC").c_str()))
        Box("Failed on RemoveDirectory:\n" + folder + "DOC\nwith error:\n" +
                SystemErrorText(GetLastError()),
            "WARNING !", MB_OK | MB_ICONWARNING);
    SetCurrentDirectoryA(App().folder.c_str());
    if (!RemoveDirectoryA(folder.c_str())) {
        char current[MAX_PATH] = "";
        GetCurrentDirectoryA(MAX_PATH, current);
        Box("Failed on RemoveDirectory:\n" + folder + "\nwith error:\n" +
                SystemErrorText(GetLastError()) + "\nCurrentDir:\n" + current,
            "WARNING !", MB_OK | MB_ICONWARNING);
        return false;
    }
    return true;
}

// ElevAdm.exe of `folder` with administrator rights (Windows asks the user on Vista and
// later); its exit code, or -1 when it did not start or did not end within 10 seconds.
int RunElevationTool(const std::string& arguments, const std::string& folder, HWND owner) {
    const std::string tool = (folder.empty() ? App().folder : folder) + "ElevAdm.exe";
    if (owner)
        SetForegroundWindow(owner);
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_DOENVSUBST;
    info.hwnd = owner;
    info.lpVerb = App().major >= 6 ? "runas" : nullptr;
    info.lpFile = tool.c_str();
    info.lpParameters = arguments.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExA(&info) || info.hProcess == nullptr)
        return -1;
    int result = -1;
    if (WaitForSingleObject(info.hProcess, 10000) == WAIT_OBJECT_0) {
        DWORD code = 0;
        if (GetExitCodeProcess(info.hProcess, &code))
            result = static_cast<int>(code);
    }
    CloseHandle(info.hProcess);
    return result;
}

// The maker's certificate as a trusted publisher of this machine, through the elevation
// tool. The certificate functions are part of every Windows this runs on, so nothing is
// registered first; a tool that says otherwise ends the attempt.
void InstallCertificate(const std::string& folder) {
    HWND wait = nullptr;
    if (App().major >= 6)
        wait = ShowModelessMessage(App().instance, "Please wait !", "KARNOVELDAHUS certificate",
                                   SWP_NOSIZE | SWP_NOMOVE);
    if (RunElevationTool("-C", folder, wait) == 0) {
        const int imported =
            RunElevationTool("-X \"" + folder + "karnoveldahus.cer\"", folder, wait);
        if (LogEnabled())
            LogLine("Setup: certificate import ended with %d\n", imported);
    }
    if (wait)
        PostMessageA(wait, WM_CLOSE, 0, 0);
}

// Only a signed product carries the certificate; without it there is nothing to ask.
void CertificateQuestion(const std::string& folder, bool defaults) {
    if (!Exists(folder + "karnoveldahus.cer") || !Exists(folder + "ElevAdm.exe"))
        return;
    if (!AskSetupQuestion(SetupQuestion::kCertificate, defaults) ||
        Box("Do you want to install KARNOVELDAHUS certificate ? (highly recommended!)",
            SetupTitle(), MB_YESNO | MB_ICONQUESTION) == IDYES)
        InstallCertificate(folder);
}

int Finish() {
    if (!InstallAutostart()) {
        Box("ERROR - could not install RunOnce !!!", SetupTitle(), MB_OK | MB_ICONERROR);
        return -1;
    }
    CreateStartupShortcut(kStartupLinkArguments);
    if (Box("Quillory Setup finished without errors and Quillory will start on the next "
            "LogOn\nPress:\nOK\tto LogOff now or\nCancel\tto exit setup without LogOff!",
            SetupTitle(), MB_OKCANCEL | MB_DEFBUTTON2 | MB_ICONQUESTION) != IDOK)
        return 0;
    SetFlagLogOff(1);
    EndSessionForSetup(EWX_LOGOFF);
    return 0;
}

// The second stage's folder; a command line without one ends the process, as nothing
// sensible can follow.
std::string SecondStageFolder(const char* command_line, char letter) {
    const std::string line = command_line ? command_line : "";
    const auto folder = FolderAfterSwitch(line, letter);
    if (!folder) {
        char caption[64];
        wsprintfA(caption, "Error on final entry with -%c switch", letter);
        Box(line, caption, MB_OK | MB_ICONERROR);
        ExitProcess(1);
    }
    return WithBackslash(*folder);
}

int InteractiveSetup() {
    const std::string source = App().folder;
    uint32_t user_value = 0;
    if (!QueryAutostart(&user_value) && !HasMachineRights()) {
        Box("This account does not have enough privileges to install Quillory.\nPlease log as "
            "Administrator in order to install Quillory!",
            "Quillory ERROR", MB_OK | MB_ICONERROR);
        return -1;
    }
    std::string version;
    std::string uninstall_string;
    const bool previous = ReadUninstallEntry(&version, &uninstall_string);
    if (!previous)
        version = "UNKNOWN VERSION";
    HWND running = RunningInstance();

    char program_files[MAX_PATH] = "";
    if (!SHGetSpecialFolderPathA(nullptr, program_files, CSIDL_PROGRAM_FILES, FALSE))
        program_files[0] = 0;
    char windir[MAX_PATH] = "";
    ExpandEnvironmentStringsA("%WINDIR%", windir, MAX_PATH);
    std::string folder = DefaultInstallFolder(program_files, windir);
    bool upgrade = false;
    if (previous) {
        if (auto old_folder = FolderOfUninstallString(uninstall_string)) {
            folder = *old_folder;
            upgrade = true;
        }
    }
    if (ChooseInstallDirectory(&folder, upgrade) == IDCANCEL)
        return -1;
    folder = WithBackslash(folder);
    const bool defaults = DefaultInstallation();

    if (running) {
        if (AskSetupQuestion(SetupQuestion::kStopRunning, defaults) &&
            Box(version +
                    " is active\nPress OK to stop that version of Quillory or Cancel to exit SETUP",
                SetupTitle(), MB_OKCANCEL | MB_DEFBUTTON2 | MB_ICONEXCLAMATION) != IDOK)
            return 0;
        if (StopRunningInstance(running) != 1) {
            Box("Quillory " + version +
                    " is active\nand could NOT be stopped !!!\nClose Quillory manually and then "
                    "restart this SETUP program",
                SetupTitle(), MB_OK | MB_ICONERROR);
            return -1;
        }
    }
    if (previous && !RunPreviousUninstall(uninstall_string, folder))
        return -1;
    if (!CreateDirectoryPath(folder)) {
        Box("Failed on CreateDirectory:\n" + folder + "\nwith error:\n" +
                SystemErrorText(GetLastError()),
            "ERROR !", MB_OK | MB_ICONERROR);
        return -1;
    }
    const int copied = InstallProductFiles(folder, source);
    if (copied < 0)
        return -1;
    const std::string program = folder + kProgramFileName;
    WriteUninstallEntry(folder, kProgramFileName, kVersionLine, FolderSizeKb(folder));
    if (!AskSetupQuestion(SetupQuestion::kStartMenu, defaults) ||
        Box("Do you want to create shorcuts into the Start Menu ?", SetupTitle(),
            MB_YESNO | MB_ICONQUESTION) == IDYES)
        CreateStartMenuShortcuts(program);
    // Windows XP hides tray icons by itself, which would hide what the user chose to show.
    if (App().major == 5 && App().minor >= 1 && ReadExplorerAutoTray() != 0 &&
        (!AskSetupQuestion(SetupQuestion::kAutoHide, defaults) ||
         Box("Do you want to disable WinXP tray auto hide (recommended) ?", SetupTitle(),
             MB_YESNO | MB_ICONQUESTION) == IDYES))
        WriteExplorerAutoTray(0);

    if (copied == static_cast<int>(CopyResult::kRestartNeeded)) {
        char startup[MAX_PATH] = "";
        if (SHGetSpecialFolderPathA(nullptr, startup, CSIDL_STARTUP, FALSE) ||
            SHGetSpecialFolderPathA(nullptr, startup, CSIDL_COMMON_STARTUP, FALSE)) {
            const HRESULT com = CoInitialize(nullptr);
            CreateShellLink(program.c_str(), SecondStageArguments('3', source).c_str(),
                            (std::string(startup) + kRestartLinkName).c_str(), "", program.c_str(),
                            0, nullptr);
            if (SUCCEEDED(com))
                CoUninitialize();
        }
        if (Box("Now we have to restart Windows in order to finish this part of the setup !\n"
                "Press YES to restart now,\nNO to exit (and continue the setup process when you "
                "will restart Windows next time)\nIf the program will not be able to restart "
                "please restart manually!",
                SetupTitle(), MB_YESNO | MB_ICONQUESTION) == IDYES)
            EndSessionForSetup(EWX_REBOOT);
        return 0;
    }
    CertificateQuestion(folder, defaults);
    if (copied == static_cast<int>(CopyResult::kOldFilesLater) &&
        AskSetupQuestion(SetupQuestion::kSomeFilesLater, defaults))
        Box("Some files will be deleted on the next restart but apart from that Quillory SETUP "
            "can continue in perfect conditions !",
            SetupTitle(), MB_OK | MB_ICONINFORMATION);
    // The installed copy finishes: it removes this folder, so this copy must end first.
    if (!StartCommand("\"" + program + "\" " + SecondStageArguments('1', source), nullptr))
        Box("Could not launch \"" + program + "\"", SetupTitle(), MB_OK | MB_ICONERROR);
    return -1;
}

int SecondStage(const char* command_line) {
    const std::string folder = SecondStageFolder(command_line, '1');
    SetCurrentDirectoryA(App().folder.c_str());
    ShowWaitFor("Please wait !", "Quillory MSG 2", 5000);
    RemoveSetupFolder(folder, false);
    return Finish();
}

int SecondStageAfterRestart(const char* command_line) {
    ShowWaitFor("Quillory SETUP - please wait !", "Quillory MSG 4", 5000);
    char startup[MAX_PATH] = "";
    if (SHGetSpecialFolderPathA(nullptr, startup, CSIDL_STARTUP, FALSE) ||
        SHGetSpecialFolderPathA(nullptr, startup, CSIDL_COMMON_STARTUP, FALSE))
        DeleteFileA((std::string(startup) + kRestartLinkName).c_str());
    const std::string folder = SecondStageFolder(command_line, '3');
    SetCurrentDirectoryA(App().folder.c_str());
    RemoveSetupFolder(folder, true);
    CertificateQuestion(App().folder, DefaultInstallation());
    return Finish();
}

int Uninstall(bool special) {
    const std::string folder = App().folder;
    if (!special && App().major >= 6 && IsUserAdmin() == 0) {
        HWND wait = ShowModelessMessage(App().instance, "Please wait !", "KARNOVELDAHUS Uninstall");
        char own[MAX_PATH] = "";
        GetModuleFileNameA(nullptr, own, MAX_PATH);
        SHELLEXECUTEINFOA info{};
        info.cbSize = sizeof(info);
        info.hwnd = wait;
        info.lpVerb = "runas";
        info.lpFile = own;
        info.lpParameters = " -u";
        info.nShow = SW_SHOWNORMAL;
        ShellExecuteExA(&info);
        if (wait)
            PostMessageA(wait, WM_CLOSE, 0, 0);
        return -1;
    }
    if (!HasMachineRights()) {
        Box("This account does not have enough privileges to uninstall Quillory.\nPlease log as "
            "Administrator in order to install Quillory!",
            "Quillory ERROR", MB_OK | MB_ICONERROR);
        return -1;
    }
    if (RunningInstance() && StopRunningInstance() != 1) {
        Box("Quillory is active and could NOT be stopped !!!\nClose Quillory manually and then "
            "restart this Uninstall program",
            UninstallTitle(), MB_OK | MB_ICONERROR);
        return -1;
    }
    if (!special && Box(std::string("We are now uninstalling ") + kVersionLine +
                            " \n Press OK to continue \n and Cancel to exit the setup program",
                        UninstallTitle(), MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
        return -1;
    const ProductFiles& product = Product();
    for (const auto* list : {&product.documents, &product.legacy_documents})
        for (const std::string& name : *list)
            DeleteFileA((folder + name).c_str());
    RemoveDirectoryA((folder + "DOC").c_str());
    const LONG key = DeleteUninstallEntry();
    if (key != ERROR_SUCCESS)
        Box(std::string("RegDeleteKey ") + kUninstallKeyPath + " \n faild with error:\n" +
                SystemErrorText(static_cast<DWORD>(key)),
            "WARNING !", MB_OK | MB_ICONWARNING);
    DeleteStartMenuShortcuts();
    DeleteStartupShortcut();
    if (special)
        return 0;
    if (Exists(folder + product.language_folder))
        DeleteFolderRecursively(folder + product.language_folder, true);
    RemoveAutostart(true);
    for (const std::string& name : product.program_files)
        if (Exists(folder + name))
            ScheduleDelete(folder + name);
    ScheduleDelete(folder.substr(0, folder.size() - 1));
    Box("Quillory was successfully removed but some files and directoried will actually be "
        "deleted by Windows OS on next restart !",
        UninstallTitle(), MB_OK | MB_ICONINFORMATION);
    return 0;
}

// The last pass from a temporary copy: only a folder that holds the program loses its
// program files, and nothing else of it is touched.
int LastPass(const char* command_line) {
    const std::string folder = SecondStageFolder(command_line, 'T');
    SetCurrentDirectoryA(App().folder.c_str());
    if (!Exists(folder + kProgramFileName))
        return 0;
    for (const std::string& name : Product().program_files) {
        const std::string path = folder + name;
        if (Exists(path) && !DeleteFileA(path.c_str()))
            ScheduleDelete(path);
    }
    RemoveDirectoryA(folder.c_str());
    return 0;
}

}  // namespace

int RunSetupMode(int digit, const char* command_line) {
    switch (digit) {
        case 1:
            return SecondStage(command_line);
        case 3:
            return SecondStageAfterRestart(command_line);
        default:
            return InteractiveSetup();
    }
}

int RunUninstallMode(bool first_option, bool second_option, const char* command_line) {
    if (second_option)
        return LastPass(command_line);
    return Uninstall(first_option);
}

}  // namespace qly
