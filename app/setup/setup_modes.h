// Setup, upgrade and removal as modes of the main program, started by the command line.
// Each returns the mode's result as the start routine classifies it.
#pragma once

namespace qly {

// Setup with a digit (or 0 for -I) and the command line (null for -I).
int RunSetupMode(int digit, const char* command_line);
// Removal; options as the switches -U (none), -S (first) and -T (second) set them.
int RunUninstallMode(bool first_option, bool second_option, const char* command_line);

}  // namespace qly
