// Setup's decisions; see setup_plan.h.
#include "app/setup/setup_plan.h"

#include <algorithm>
#include <cctype>

namespace qly {

namespace {

char Upper(char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return Upper(x) == Upper(y); });
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

std::string WithBackslash(std::string_view folder) {
    std::string out(folder);
    if (out.empty() || (out.back() != '\\' && out.back() != '/'))
        out += '\\';
    return out;
}

const ProductFiles& Product() {
    static const ProductFiles product{
        {"DOC", "DLL"},
        {"DOC\\Quillory.chm", "CHANGES.TXT", "karnoveldahus.cer", "ElevAdm.exe",
         "quillory.exe.manifest"},
        "LNG",
        {"Quillory.EXE", "QLYDLL.DLL", "RUNQLY.EXE"},
        {"DOC\\Quillory.HLP", "DOC\\Quillory.FTS", "DOC\\Quillory.GID", "DOC\\Quillory.CNT"},
    };
    return product;
}

std::string DefaultInstallFolder(std::string_view program_files, std::string_view windir) {
    if (!program_files.empty())
        return WithBackslash(program_files) + "Quillory\\";
    std::string folder = "C:\\Quillory\\";
    if (!windir.empty() && std::isalpha(static_cast<unsigned char>(windir[0])))
        folder[0] = windir[0];
    return folder;
}

std::optional<std::string> FolderOfUninstallString(std::string_view uninstall_string) {
    std::string upper(uninstall_string);
    std::transform(upper.begin(), upper.end(), upper.begin(), Upper);
    const size_t exe = upper.find(".EXE");
    if (exe == std::string::npos)
        return std::nullopt;
    const size_t separator = upper.find_last_of("\\/", exe);
    if (separator == std::string::npos)
        return std::nullopt;
    std::string folder(uninstall_string.substr(0, separator + 1));
    // A command written in quotes names its folder after the quote.
    if (!folder.empty() && folder.front() == '"')
        folder.erase(0, 1);
    return folder;
}

std::string PreviousUninstallCommand(std::string_view uninstall_string,
                                     std::string_view chosen_folder) {
    std::string command(uninstall_string);
    constexpr std::string_view kPlain = " -u";
    const bool ends_plain =
        command.size() >= kPlain.size() &&
        EqualNoCase(std::string_view(command).substr(command.size() - 3), kPlain);
    std::string_view start(command);
    if (!start.empty() && start.front() == '"')
        start.remove_prefix(1);
    const bool same_folder = !chosen_folder.empty() && start.size() >= chosen_folder.size() &&
                             EqualNoCase(start.substr(0, chosen_folder.size()), chosen_folder);
    if (ends_plain && same_folder)
        command.replace(command.size() - 3, 3, " -s");
    return command;
}

std::string ToDeleteName(std::string_view path) {
    constexpr std::string_view kMark = "_TO_DELETE";
    std::string out(path);
    const size_t separator = out.find_last_of("\\/");
    const size_t name_start = separator == std::string::npos ? 0 : separator + 1;
    // A name too short for an extension gets the mark at its end.
    const size_t at = out.size() - name_start > 4 ? out.size() - 4 : out.size();
    out.insert(at, kMark);
    return out;
}

std::optional<std::string> FolderAfterSwitch(std::string_view command_line, char letter) {
    const char wanted = Upper(letter);
    // The switch is a word of its own outside quotes (a quoted program path may hold "-1").
    size_t at = 0;
    bool quoted = false;
    for (;; ++at) {
        if (at + 1 >= command_line.size())
            return std::nullopt;
        const char c = command_line[at];
        if (c == '"') {
            quoted = !quoted;
            continue;
        }
        if (quoted || c != '-')
            continue;
        const bool starts_word = at == 0 || IsBlank(command_line[at - 1]);
        const bool ends_word = at + 2 >= command_line.size() || IsBlank(command_line[at + 2]);
        if (starts_word && ends_word && Upper(command_line[at + 1]) == wanted)
            break;
    }
    std::string_view rest = command_line.substr(at + 2);
    while (!rest.empty() && IsBlank(rest.front()))
        rest.remove_prefix(1);
    while (!rest.empty() && (IsBlank(rest.back()) || rest.back() == '\r' || rest.back() == '\n'))
        rest.remove_suffix(1);
    if (!rest.empty() && rest.front() == '"') {
        const size_t close = rest.find('"', 1);
        if (close == std::string_view::npos)
            return std::nullopt;
        rest = rest.substr(1, close - 1);
    }
    if (rest.empty())
        return std::nullopt;
    return std::string(rest);
}

std::string SecondStageArguments(char digit, std::string_view folder) {
    std::string out = "-";
    out += digit;
    out += " \"";
    out += folder;
    out += '"';
    return out;
}

bool AskSetupQuestion(SetupQuestion, bool default_installation) {
    return !default_installation;
}

CopyResult CombineCopies(const std::vector<FileCopy>& copies) {
    CopyResult result = CopyResult::kAllInPlace;
    for (FileCopy copy : copies) {
        if (copy == FileCopy::kScheduled)
            return CopyResult::kRestartNeeded;
        if (copy == FileCopy::kReplacedInUse)
            result = CopyResult::kOldFilesLater;
    }
    return result;
}

bool OptionalHelpIndex(std::string_view name) {
    if (name.size() < 4)
        return false;
    const std::string_view extension = name.substr(name.size() - 4);
    return EqualNoCase(extension, ".FTS") || EqualNoCase(extension, ".GID") ||
           EqualNoCase(extension, ".CNT");
}

}  // namespace qly
