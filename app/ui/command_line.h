// The main program's command line: which switch decides the start, and how the result of a
// setup or removal mode continues it. Plain C++ so that every switch, every unknown letter
// and every odd spacing is tested natively; the start routine acts on the outcome.
#pragma once

#include <string_view>

namespace qly {

enum class StartSwitch {
    kNormal,           // no recognised switch
    kSetupDigit,       // -0 .. -9: setup with that digit and the whole line
    kSetup,            // -I: setup with 0 and no line
    kNonAdminSetup,    // -J: refused with a message
    kUninstall,        // -U: removal, both options clear
    kUninstallFirst,   // -S: removal with its first option
    kUninstallSecond,  // -T: removal with its second option and the whole line
    kRelaunch,         // -R: started at log-on by the delayed launcher
    kShortcut,         // -C: started from the Startup-folder shortcut
    kApplyAutostart,   // -V: apply the wished autostart values (elevated) and end
};

struct ParsedCommandLine {
    StartSwitch which = StartSwitch::kNormal;
    int digit = 0;  // for kSetupDigit
};

// Scans the line character by character: a '-' takes the next character as its switch,
// compared without regard to case; the first recognised switch decides, unknown ones are
// skipped and the scan goes on after them.
ParsedCommandLine ParseCommandLine(std::string_view line);

// What a setup or removal mode's result r means for the start.
enum class SetupContinuation {
    kEnd,                  // r < 1: end with 0
    kHelpThenNormalStart,  // r == 1 after a digit switch: open the help, then start
    kNormalStart,          // r == 1 otherwise: start normally
    kStartWithMode,        // any other r: start normally with start mode r
};
SetupContinuation ClassifySetupResult(int result, bool from_digit_switch);

// Exit codes of the start routine.
constexpr int kExitNormal = 0;
constexpr int kExitApplied = 1;
constexpr int kExitRefused = -1;
constexpr int kExitSecondQuiet = -2;

// The start modes the routine tells apart; only kStartModeRelaunch is tested later.
constexpr int kStartModeDefault = 2;
constexpr int kStartModeRelaunch = 3;

}  // namespace qly
