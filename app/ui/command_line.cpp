// ParseCommandLine and ClassifySetupResult; see command_line.h.
#include "app/ui/command_line.h"

namespace qly {

namespace {

bool Recognise(char c, ParsedCommandLine* out) {
    if (c >= '0' && c <= '9') {
        out->which = StartSwitch::kSetupDigit;
        out->digit = c - '0';
        return true;
    }
    switch (c) {
        case 'i':
        case 'I':
            out->which = StartSwitch::kSetup;
            return true;
        case 'j':
        case 'J':
            out->which = StartSwitch::kNonAdminSetup;
            return true;
        case 'u':
        case 'U':
            out->which = StartSwitch::kUninstall;
            return true;
        case 's':
        case 'S':
            out->which = StartSwitch::kUninstallFirst;
            return true;
        case 't':
        case 'T':
            out->which = StartSwitch::kUninstallSecond;
            return true;
        case 'r':
        case 'R':
            out->which = StartSwitch::kRelaunch;
            return true;
        case 'c':
        case 'C':
            out->which = StartSwitch::kShortcut;
            return true;
        case 'v':
        case 'V':
            out->which = StartSwitch::kApplyAutostart;
            return true;
        default:
            return false;
    }
}

}  // namespace

ParsedCommandLine ParseCommandLine(std::string_view line) {
    ParsedCommandLine out;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] != '-')
            continue;
        if (i + 1 >= line.size())
            break;
        // The switch character is consumed even when unknown, so "--i" is not -I.
        ++i;
        if (Recognise(line[i], &out))
            return out;
    }
    return ParsedCommandLine{};
}

SetupContinuation ClassifySetupResult(int result, bool from_digit_switch) {
    if (result < 1)
        return SetupContinuation::kEnd;
    if (result == 1)
        return from_digit_switch ? SetupContinuation::kHelpThenNormalStart
                                 : SetupContinuation::kNormalStart;
    return SetupContinuation::kStartWithMode;
}

}  // namespace qly
