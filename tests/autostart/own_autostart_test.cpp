// The own autostart as the user meets it in the settings: which mode the group shows and
// which it lets the user pick, what applying a choice registers, keeps or deletes, and
// when an elevated instance must do it; the names shortcuts are saved under; and the
// command line the delayed launcher starts the program with.
#include <gtest/gtest.h>

#include "app/autostart/own_autostart_plan.h"
#include "app/autostart/shell_link_name.h"
#include "launcher/launcher_command.h"

namespace qly {
namespace {

constexpr auto kOff = OwnAutostartMode::kTotalDisable;
constexpr auto kOthers = OwnAutostartMode::kNotForThisUser;
constexpr auto kAll = OwnAutostartMode::kIncludingThisUser;

TEST(AutostartGroup, ShowsTheModeOfTheMachineValueAndThisUserAndLocksWhatNeedsRights) {
    const struct {
        bool present;
        uint32_t user_value;
        bool rights;
        OwnAutostartMode mode;
        bool enabled_off, enabled_others, enabled_all;
    } cases[] = {
        {true, 1, true, kAll, true, true, true},
        {true, 0, true, kOthers, true, true, true},
        {false, 1, true, kOff, true, true, true},
        {false, 0, true, kOff, true, true, true},
        // Without rights: a present value cannot be deleted, a missing one not written.
        {true, 1, false, kAll, false, true, true},
        {true, 0, false, kOthers, false, true, true},
        {false, 1, false, kOff, true, false, false},
    };
    for (const auto& c : cases) {
        AutostartGroupFacts facts;
        facts.run_once_present = c.present;
        facts.user_value = c.user_value;
        facts.rights = c.rights;
        facts.shortcut_exists = true;
        facts.delay_ms = 4000000000u;
        facts.new_users = 1;
        const AutostartGroupState s = PlanAutostartGroup(facts);
        SCOPED_TRACE(testing::Message() << "present " << c.present << " user " << c.user_value
                                        << " rights " << c.rights);
        EXPECT_EQ(s.mode, c.mode);
        EXPECT_EQ(s.mode_enabled[0], c.enabled_off);
        EXPECT_EQ(s.mode_enabled[1], c.enabled_others);
        EXPECT_EQ(s.mode_enabled[2], c.enabled_all);
        EXPECT_TRUE(s.check_again);
        EXPECT_EQ(s.check_again_enabled, c.mode == kAll);
        EXPECT_EQ(s.delay_ms, 4000000000u);
        EXPECT_EQ(s.new_users, 1u);
        EXPECT_EQ(s.new_users_enabled, c.rights);
    }
}

TEST(AutostartGroup, EachModeRegistersKeepsOrRemovesAndOnlyTheFirstKeepsTheShortcut) {
    const struct {
        OwnAutostartMode chosen;
        bool check_again;
        AutostartRegistration registration;
        bool shortcut;
    } cases[] = {
        {kAll, true, AutostartRegistration::kInstall, true},
        {kAll, false, AutostartRegistration::kInstall, false},
        {kOthers, true, AutostartRegistration::kRemoveForUser, false},
        {kOff, true, AutostartRegistration::kRemoveTotal, false},
    };
    for (const auto& c : cases) {
        AutostartApplyInput in;
        in.previous = kAll;
        in.chosen = c.chosen;
        in.check_again = c.check_again;
        in.rights = true;
        const AutostartApplyPlan plan = PlanAutostartApply(in);
        EXPECT_EQ(plan.registration, c.registration);
        EXPECT_EQ(plan.mode, c.chosen);
        EXPECT_EQ(plan.create_shortcut, c.shortcut);
    }
}

TEST(AutostartGroup, NewUsersValueIsWrittenWithRightsAndKeptAsShownWithout) {
    for (bool rights : {true, false}) {
        AutostartApplyInput in;
        in.previous = in.chosen = kAll;
        in.new_users_shown = 0;
        in.new_users_chosen = 1;
        in.rights = rights;
        const AutostartApplyPlan plan = PlanAutostartApply(in);
        EXPECT_EQ(plan.write_new_users, rights);
        EXPECT_EQ(plan.new_users, rights ? 1u : 0u);
    }
}

// On Vista and later a process that is not elevated hands the change to an elevated
// instance when it touches the machine: a move to or from the first mode, or a new value
// for new users. Before Vista, or elevated, it applies everything itself.
TEST(AutostartGroup, ElevationIsAskedOnlyForChangesTheMachineMustMake) {
    struct Case {
        OwnAutostartMode previous, chosen;
        uint32_t shown, box;
        bool rights, vista, admin, full;
        bool elevate;
    };
    const Case cases[] = {
        // not elevated on Vista (no rights)
        {kOff, kAll, 0, 0, false, true, false, false, true},
        {kAll, kOff, 0, 0, false, true, false, false, true},
        {kAll, kOthers, 0, 0, false, true, false, false, true},
        {kOthers, kAll, 0, 0, false, true, false, false, true},
        {kOff, kOthers, 0, 0, false, true, false, false, false},
        {kOthers, kOff, 0, 0, false, true, false, false, false},
        {kAll, kAll, 0, 0, false, true, false, false, false},
        // the box cannot change without rights: its value stays as shown
        {kAll, kAll, 0, 1, false, true, false, false, false},
        // rights, but an administrator's limited token or no administrator
        {kAll, kAll, 0, 1, true, true, true, false, true},
        {kAll, kAll, 0, 1, true, true, false, true, true},
        {kOff, kOthers, 1, 1, true, true, true, false, false},
        {kOff, kAll, 1, 1, true, true, true, false, true},
        // elevated: rights, administrator, full (or unreadable) elevation type
        {kOff, kAll, 0, 1, true, true, true, true, false},
        // before Vista nobody is asked
        {kOff, kAll, 0, 0, false, false, false, false, false},
        {kAll, kAll, 0, 1, true, false, false, false, false},
    };
    for (const Case& c : cases) {
        AutostartApplyInput in;
        in.previous = c.previous;
        in.chosen = c.chosen;
        in.new_users_shown = c.shown;
        in.new_users_chosen = c.box;
        in.rights = c.rights;
        in.vista = c.vista;
        in.user_is_admin = c.admin;
        in.elevation_full_or_unknown = c.full;
        EXPECT_EQ(PlanAutostartApply(in).request_elevation, c.elevate)
            << "previous " << static_cast<int>(c.previous) << " chosen "
            << static_cast<int>(c.chosen) << " shown " << c.shown << " box " << c.box << " rights "
            << c.rights << " vista " << c.vista << " admin " << c.admin << " full " << c.full;
    }
}

TEST(AutostartGroup, AStoredModeOutOfRangeCountsAsTheDefault) {
    EXPECT_EQ(ModeFromStored(0), kOff);
    EXPECT_EQ(ModeFromStored(1), kOthers);
    EXPECT_EQ(ModeFromStored(2), kAll);
    EXPECT_EQ(ModeFromStored(3), kAll);
    EXPECT_EQ(ModeFromStored(0xFFFFFFFFu), kAll);
}

TEST(ShellLinkName, LnkIsAddedUnlessTheNameHasAnExtensionAndDosProgramsGetPif) {
    const struct {
        const char* link;
        const char* target;
        const char* save;
        const char* saved;
    } cases[] = {
        {"C:\\Startup\\QUILLORY", "C:\\Q\\QUILLORY.EXE", "C:\\Startup\\QUILLORY.LNK",
         "C:\\Startup\\QUILLORY.LNK"},
        {"C:\\Startup\\QUILLORY.LNK", "C:\\Q\\QUILLORY.EXE", "C:\\Startup\\QUILLORY.LNK",
         "C:\\Startup\\QUILLORY.LNK"},
        {"C:\\S\\old.lnk", "C:\\DOS\\EDIT.COM", "C:\\S\\old.lnk", "C:\\S\\old.pif"},
        {"C:\\S\\tool", "C:\\DOS\\tool.Pif", "C:\\S\\tool.LNK", "C:\\S\\tool.pif"},
        // A dot elsewhere is no extension.
        {"C:\\S\\v1.2 beta", "C:\\a.exe", "C:\\S\\v1.2 beta.LNK", "C:\\S\\v1.2 beta.LNK"},
        {"C:\\S\\a.ab", "C:\\a.exe", "C:\\S\\a.ab.LNK", "C:\\S\\a.ab.LNK"},
        {"abc", "x.com", "abc.LNK", "abc.pif"},
        {"", "x.exe", ".LNK", ".LNK"},
        {"C:\\S\\com", "C:\\dir.com\\prog.exe", "C:\\S\\com.LNK", "C:\\S\\com.LNK"},
    };
    for (const auto& c : cases) {
        const std::string save = ShellLinkSavePath(c.link);
        EXPECT_EQ(save, c.save) << c.link;
        EXPECT_EQ(ShellLinkSavedPath(save, c.target), c.saved) << c.link << " -> " << c.target;
    }
}

bool ShiftJisLead(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

TEST(Launcher, StartsTheProgramOfItsOwnFolderQuotedWithR) {
    const struct {
        std::string launcher;
        std::string command;
    } cases[] = {
        {"C:\\Program Files\\Quillory\\RUNQLY.EXE",
         "\"C:\\Program Files\\Quillory\\QUILLORY.EXE\" -r"},
        {"D:\\q\\runqly.exe", "\"D:\\q\\QUILLORY.EXE\" -r"},
        {"\\\\server\\share\\RUNQLY.EXE", "\"\\\\server\\share\\QUILLORY.EXE\" -r"},
        {"RUNQLY.EXE", "\"QUILLORY.EXE\" -r"},
        // The second byte of this double-byte character is a backslash; the folder ends
        // after the real separator.
        {"C:\\\x95\\\\RUNQLY.EXE", "\"C:\\\x95\\\\QUILLORY.EXE\" -r"},
        {"C:\\A\x95\\RUNQLY.EXE", "\"C:\\QUILLORY.EXE\" -r"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LauncherCommandLine(c.launcher, ShiftJisLead), c.command) << c.launcher;
}

}  // namespace
}  // namespace qly
