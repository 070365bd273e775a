// The decisions of setup, upgrade and removal, from plain facts: what the product carries,
// where it goes by default, how a previous version is removed, the name a file in use is
// moved to, the folder a second stage is told about, which questions are asked, and what
// the copy of the program files amounts to. Plain C++; setup_modes.cpp gathers the facts
// and acts.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qly {

// The product as names relative to a folder (the unpacked source or the installation).
// The product carries only what this project builds: no library that Windows has itself.
struct ProductFiles {
    std::vector<std::string> folders;        // created in the installation folder
    std::vector<std::string> documents;      // moved over, replacing
    std::string language_folder;             // moved as a whole
    std::vector<std::string> program_files;  // copied, with the locked-file fallback
    // Names an older version may have left, deleted by a removal beside the documents.
    std::vector<std::string> legacy_documents;
};
const ProductFiles& Product();

// The folder with one separator at its end.
std::string WithBackslash(std::string_view folder);

// "C:\Program Files\" + "Quillory\"; or "X:\Quillory\" on the Windows drive when the
// programs folder is not known. Both end with a backslash.
std::string DefaultInstallFolder(std::string_view program_files, std::string_view windir);

// A previous version's uninstall command: the folder it lives in, when the command names
// an ".EXE" (compared in upper case), up to and with the last separator before it.
std::optional<std::string> FolderOfUninstallString(std::string_view uninstall_string);

// The command that removes the previous version before an install into `chosen_folder`:
// in the same folder the " -u" at its end becomes " -s" (the program files stay for the
// new version); elsewhere it is run as it is.
std::string PreviousUninstallCommand(std::string_view uninstall_string,
                                     std::string_view chosen_folder);

// A file in use is renamed out of the way first: "_TO_DELETE" before its last four
// characters (the extension), so "QLYDLL.DLL" becomes "QLYDLL_TO_DELETE.DLL".
std::string ToDeleteName(std::string_view path);

// The folder given after a second stage's switch ("-1", "-3", "-T"; the letter in either
// case) in a command line: quoted, or else the rest of the line without its outer blanks,
// so a folder with blanks in its name arrives whole. Nothing when the switch is missing or
// no folder follows it.
std::optional<std::string> FolderAfterSwitch(std::string_view command_line, char letter);

// How the folder is written after the switch for a second stage: always in quotes.
std::string SecondStageArguments(char digit, std::string_view folder);

// The questions of setup: with DefaultInstallation 1 none is asked and each is taken as
// Yes (the running instance is stopped without asking).
enum class SetupQuestion { kStopRunning, kStartMenu, kAutoHide, kCertificate, kSomeFilesLater };
bool AskSetupQuestion(SetupQuestion question, bool default_installation);

// What installing the program files came to.
enum class CopyResult : int {
    kRestartNeeded = 0,  // a file could only be replaced at the next restart
    kAllInPlace = 1,
    kOldFilesLater = 2,  // in place; an old file in use goes at the next restart
};
// One program file: copied at once, replaced by renaming the old one out of the way, or
// only scheduled for the next restart. The worst of them decides.
enum class FileCopy { kCopied, kReplacedInUse, kScheduled };
CopyResult CombineCopies(const std::vector<FileCopy>& copies);

// A help index that a help compiler may or may not have written: its absence in the
// source is no reason for a warning.
bool OptionalHelpIndex(std::string_view name);

}  // namespace qly
