// The command line with which the delayed launcher starts the main program: the main
// program of the launcher's own folder, quoted, and the switch that says "started at
// log-on". Plain C++ so the rule is tested natively.
#pragma once

#include <string>
#include <string_view>

#include "app/base/program_folder.h"

namespace qly {

// `launcher_path` is the launcher's own module path.
std::string LauncherCommandLine(std::string_view launcher_path, LeadByteTest is_lead_byte);

}  // namespace qly
