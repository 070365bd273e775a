// LauncherCommandLine; see launcher_command.h.
#include "launcher/launcher_command.h"

#include "app/base/program_names.h"

namespace qly {

std::string LauncherCommandLine(std::string_view launcher_path, LeadByteTest is_lead_byte) {
    // Quoted, because the program folder usually lies under "Program Files".
    return "\"" + ProgramFolderOf(launcher_path, is_lead_byte) + kProgramFileName + "\" -r";
}

}  // namespace qly
