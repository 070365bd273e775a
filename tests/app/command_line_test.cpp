// The command line as the start routine sees it: which switch wins, what is ignored, and how
// the result of a setup or removal mode carries on into the start.
#include <gtest/gtest.h>

#include "app/ui/command_line.h"

namespace qly {
namespace {

StartSwitch Which(std::string_view line) {
    return ParseCommandLine(line).which;
}

TEST(CommandLine, EveryLetterSwitchInEitherCase) {
    const struct {
        char letter;
        StartSwitch which;
    } cases[] = {{'i', StartSwitch::kSetup},           {'j', StartSwitch::kNonAdminSetup},
                 {'u', StartSwitch::kUninstall},       {'s', StartSwitch::kUninstallFirst},
                 {'t', StartSwitch::kUninstallSecond}, {'r', StartSwitch::kRelaunch},
                 {'c', StartSwitch::kShortcut},        {'v', StartSwitch::kApplyAutostart}};
    for (const auto& c : cases) {
        const std::string lower = std::string("-") + c.letter;
        const std::string upper = std::string("-") + static_cast<char>(c.letter - 'a' + 'A');
        EXPECT_EQ(Which(lower), c.which) << lower;
        EXPECT_EQ(Which(upper), c.which) << upper;
    }
}

TEST(CommandLine, DigitsCarryTheirValue) {
    for (char d = '0'; d <= '9'; ++d) {
        const ParsedCommandLine p = ParseCommandLine(std::string("-") + d + " C:\\Source Dir\\");
        EXPECT_EQ(p.which, StartSwitch::kSetupDigit);
        EXPECT_EQ(p.digit, d - '0');
    }
}

TEST(CommandLine, NothingRecognisedIsANormalStart) {
    EXPECT_EQ(Which(""), StartSwitch::kNormal);
    EXPECT_EQ(Which("-x"), StartSwitch::kNormal);
    EXPECT_EQ(Which("-"), StartSwitch::kNormal);
    EXPECT_EQ(Which("   -"), StartSwitch::kNormal);
    EXPECT_EQ(Which("i c r"), StartSwitch::kNormal) << "letters without a dash are no switches";
    EXPECT_EQ(Which("--i"), StartSwitch::kNormal)
        << "the dash after a dash is the (unknown) switch";
    EXPECT_EQ(Which("/I"), StartSwitch::kNormal);
}

TEST(CommandLine, UnknownSwitchesAreSkippedAndTheFirstKnownOneDecides) {
    EXPECT_EQ(Which("-x -i"), StartSwitch::kSetup);
    EXPECT_EQ(Which("-x-q-C"), StartSwitch::kShortcut);
    EXPECT_EQ(Which("-R -C"), StartSwitch::kRelaunch);
    EXPECT_EQ(Which("-c -r"), StartSwitch::kShortcut);
    EXPECT_EQ(Which("\"C:\\Program Files\\q.exe\" -V"), StartSwitch::kApplyAutostart);
    const ParsedCommandLine p = ParseCommandLine("-z -7 -1");
    EXPECT_EQ(p.which, StartSwitch::kSetupDigit);
    EXPECT_EQ(p.digit, 7);
}

TEST(CommandLine, SetupResultsCarryOnIntoTheStart) {
    EXPECT_EQ(ClassifySetupResult(0, true), SetupContinuation::kEnd);
    EXPECT_EQ(ClassifySetupResult(-5, false), SetupContinuation::kEnd);
    EXPECT_EQ(ClassifySetupResult(1, true), SetupContinuation::kHelpThenNormalStart);
    EXPECT_EQ(ClassifySetupResult(1, false), SetupContinuation::kNormalStart)
        << "only the digit switches open the help";
    EXPECT_EQ(ClassifySetupResult(3, false), SetupContinuation::kStartWithMode);
    EXPECT_EQ(ClassifySetupResult(2, true), SetupContinuation::kStartWithMode);
}

}  // namespace
}  // namespace qly
