// What the user reads in the own icon's tip, where a click in the About box's link block
// goes, and when the settings password is asked again: natively, with the clock given.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

#include "app/ui/link_block.h"
#include "app/ui/own_tip_text.h"
#include "app/ui/password_grace.h"

namespace qly {
namespace {

using Line = std::optional<std::string_view>;

struct TipCase {
    const char* hotkey;
    Line admin;
    Line elevation;
    std::string expected;
};

TEST(OwnTip, NameHotkeyAndTheRightsLinesThatAreKnown) {
    const TipCase cases[] = {
        {" Ctrl + Alt + Num +", "Admin. rights ON", "Elev. Full",
         "Quillory Ctrl + Alt + Num +\nAdmin. rights ON\nElev. Full"},
        {"", std::nullopt, std::nullopt, "Quillory"},
        {" Win + F9", "Admin. rights OFF", std::nullopt, "Quillory Win + F9\nAdmin. rights OFF"},
        // A system that reports the elevation but not the administrator test.
        {" F9", std::nullopt, "Elev. Limited", "Quillory F9\nElev. Limited"},
    };
    for (const TipCase& c : cases)
        EXPECT_EQ(AssembleOwnTip("Quillory", c.hotkey, c.admin, c.elevation), c.expected);
}

TEST(OwnTip, IsCutAt63CharactersEvenInsideALine) {
    const std::string translated_admin(40, 'A');
    const std::string tip =
        AssembleOwnTip("Quillory", "        Ctrl + Alt + Num +", translated_admin, "Elev. Full");
    ASSERT_EQ(tip.size(), 63u);
    EXPECT_EQ(tip, ("Quillory        Ctrl + Alt + Num +\n" + translated_admin).substr(0, 63));
    const std::string exact(63, 'x');
    EXPECT_EQ(AssembleOwnTip(exact, "", std::nullopt, std::nullopt), exact);
}

TEST(LinkBlock, UpperHalfIsTheWebPageLowerHalfTheMailAndTheEdgesNeither) {
    const LinkBlock block{10, 65, 290, 105};  // middle at y = 85
    struct Case {
        int x, y;
        LinkTarget expected;
    } cases[] = {
        {150, 66, LinkTarget::kWeb},   {150, 84, LinkTarget::kWeb},   {150, 85, LinkTarget::kMail},
        {150, 104, LinkTarget::kMail}, {11, 70, LinkTarget::kWeb},    {289, 100, LinkTarget::kMail},
        {150, 65, LinkTarget::kNone},  {150, 105, LinkTarget::kNone}, {10, 70, LinkTarget::kNone},
        {290, 100, LinkTarget::kNone}, {150, 30, LinkTarget::kNone},  {-5, 80, LinkTarget::kNone},
    };
    for (const Case& c : cases)
        EXPECT_EQ(HitLinkBlock(block, c.x, c.y), c.expected) << c.x << "," << c.y;
    // A block too small to hold a point between its edges takes no click at all.
    EXPECT_EQ(HitLinkBlock(LinkBlock{10, 65, 11, 66}, 10, 65), LinkTarget::kNone);
}

TEST(PasswordGrace, AskedWhenSetAndNotWithin15SecondsOfACorrectEntry) {
    const PasswordGrace never;
    const PasswordGrace at_1000{true, 1000};
    // An entry shortly before the tick count wraps.
    const PasswordGrace before_wrap{true, 0xFFFFF000u};
    struct Case {
        bool set;
        bool force;
        PasswordGrace grace;
        uint32_t now;
        bool asked;
    } cases[] = {
        {false, false, never, 5, false},  // no password: never asked
        {false, true, never, 5, false},
        {true, false, never, 5, true},  // a fresh run asks even early after boot
        {true, false, at_1000, 1000, false},
        {true, false, at_1000, 15999, false},
        {true, false, at_1000, 16000, true},
        {true, true, at_1000, 1001, true},  // forced: asked within the grace
        {true, false, before_wrap, 0x00000100u, false},
        {true, false, before_wrap, 0x00003000u, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PasswordPromptNeeded(c.set, c.force, c.grace, c.now), c.asked)
            << c.set << c.force << " now " << c.now;
}

}  // namespace
}  // namespace qly
