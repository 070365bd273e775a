// LookupRunningProgram; see running_program.h.
#include "app/autostart/running_program.h"

#include <cstring>

#include "app/autostart/autostart_list.h"
#include "app/autostart/program_path.h"
#include "app/autostart/shell_link.h"
#include "app/interception/interception_state.h"
#include "app/settings/settings_store.h"

namespace qly {

namespace {

bool IsLeadByte(unsigned char byte) {
    return IsDBCSLeadByte(byte) != FALSE;
}

std::string LongPath(const std::string& path) {
    char buffer[2048] = {};
    const DWORD n = GetLongPathNameA(path.c_str(), buffer, sizeof buffer);
    return n > 0 && n < sizeof buffer ? std::string(buffer, n) : std::string();
}

// A fixed name field as text, whether or not its terminator is there.
std::string FieldText(const char* field, size_t size) {
    return std::string(field, strnlen(field, size));
}

HICON CopyOf(uint64_t icon) {
    return icon != 0 ? CopyIcon(reinterpret_cast<HICON>(icon)) : nullptr;
}

}  // namespace

bool LookupRunningProgram(const std::string& path, bool want_file_icon, RunningProgram* found) {
    std::string program;
    if (AutostartPathExists(path)) {
        program = ExpandAutostartPath(path);
    } else {
        std::string extracted;
        if (!ExtractProgramPath(path, &extracted))
            return false;
        program = ExpandAutostartPath(extracted);
        if (program.empty())
            program = extracted;
    }
    const std::string name = LookupName(program, LongPath, IsLeadByte);

    bool matched = false;
    RunningProgram result;
    // An owner whose program could not be named has an empty name; it matches nothing.
    if (!name.empty()) {
        // The copy-data thread changes the registry meanwhile; whatever is taken from a
        // record is taken under the lock, the icon as a copy of our own.
        RulesGuard lock(RulesLock());
        for (const TrayItem* item : Registry().Items()) {
            if (lstrcmpiA(FieldText(item->exe_name, sizeof item->exe_name).c_str(), name.c_str()) ==
                0) {
                result.window = reinterpret_cast<HWND>(static_cast<uintptr_t>(item->hwnd));
                result.icon.reset(CopyOf(item->hicon));
                result.tray_id = item->uid;
                matched = true;
                break;
            }
        }
        if (!matched) {
            for (const IconRule& rule : g_rule_list) {
                if (lstrcmpiA(FieldText(rule.process_name, sizeof rule.process_name).c_str(),
                              name.c_str()) == 0) {
                    result.icon.reset(rule.icon ? CopyIcon(rule.icon.get()) : nullptr);
                    result.tray_id = rule.icon_id;
                    matched = true;
                    break;
                }
            }
        }
    }
    if (result.window != nullptr) {
        DWORD process_id = 0;
        GetWindowThreadProcessId(result.window, &process_id);
        result.process_id = process_id;
    }
    if (!matched && !want_file_icon)
        return false;
    if (want_file_icon) {
        UniqueIcon file_icon(ResolveShellLink(program.c_str(), nullptr, true));
        if (file_icon)
            result.icon = std::move(file_icon);
    }
    *found = std::move(result);
    return true;
}

}  // namespace qly
