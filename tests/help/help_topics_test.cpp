// What a help request opens, decided without a window: every context of the settings pages
// lands on its page's topic (a control's at its own place there), every control's pop-up
// has its text in the translators' template, the pop-up sits under its control, and the
// message for a missing file names the file whatever the translation does with "%s".
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "app/lang/lang_text.h"
#include "app/lang/language_file.h"
#include "app/ui/help_topics.h"

namespace qly {
namespace {

struct Page {
    unsigned context;
    const char* topic;
    const HelpContextEntry* begin;
    const HelpContextEntry* end;
    unsigned first_popup;
    unsigned last_popup;
};

const Page kPages[] = {
    {1000, "page_tray_programs.htm", std::begin(kTrayProgramsHelp), std::end(kTrayProgramsHelp),
     1001, 1009},
    {1100, "page_user_interface.htm", std::begin(kUserInterfaceHelp), std::end(kUserInterfaceHelp),
     1101, 1110},
    {1200, "page_advanced.htm", std::begin(kAdvancedHelp), std::end(kAdvancedHelp), 1201, 1212},
    {1300, "page_autostart.htm", std::begin(kAutostartHelp), std::end(kAutostartHelp), 1301, 1309},
};

TEST(HelpTopics, EveryPageContextOpensItsPageAndEveryControlContextItsPlaceThere) {
    for (const Page& page : kPages) {
        EXPECT_EQ(HelpTopicFor(page.context), page.topic);
        EXPECT_EQ(HelpPopupStringId(page.context), 0u) << page.context;  // a page has no pop-up
        for (unsigned c = page.first_popup; c <= page.last_popup; ++c) {
            EXPECT_EQ(HelpTopicFor(c), std::string(page.topic) + "#c" + std::to_string(c));
            EXPECT_EQ(HelpPopupStringId(c), c);
        }
    }
    for (unsigned unused : {0u, 999u, 1010u, 1111u, 1213u, 1310u, 203u, 0xFFFFFFFFu}) {
        EXPECT_EQ(HelpTopicFor(unused), "") << unused;
        EXPECT_EQ(HelpPopupStringId(unused), 0u) << unused;
    }
}

TEST(HelpTopics, ThePagesUseExactlyTheirOwnRangeOfContexts) {
    std::vector<unsigned> expected;
    for (const Page& page : kPages) {
        expected.push_back(page.context);
        for (unsigned c = page.first_popup; c <= page.last_popup; ++c)
            expected.push_back(c);
        for (const HelpContextEntry* e = page.begin; e != page.end; ++e) {
            EXPECT_GE(e->context, page.first_popup) << "control " << e->control;
            EXPECT_LE(e->context, page.last_popup) << "control " << e->control;
            for (const HelpContextEntry* other = page.begin; other != e; ++other)
                EXPECT_NE(other->control, e->control) << "control listed twice";
        }
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(AllHelpContexts(), expected);
}

// The pop-up texts are string-table entries under their context; the English language file
// is the translators' template (its agreement with the resources and the translations is
// checked with the other language-file tests), so every pop-up must be there.
TEST(HelpTopics, EveryPopupHasItsTextInTheTranslatorsTemplate) {
#ifdef _WIN32
    std::ifstream in(std::string("Z:") + QLY_LNG_DIR + "/english.lng", std::ios::binary);
#else
    std::ifstream in(std::string(QLY_LNG_DIR) + "/english.lng", std::ios::binary);
#endif
    ASSERT_TRUE(in.good());
    std::stringstream ss;
    ss << in.rdbuf();
    const lang::LanguageFile english = lang::LanguageFile::Parse(ss.str());
    for (unsigned context : AllHelpContexts()) {
        const unsigned id = HelpPopupStringId(context);
        if (id == 0)
            continue;
        auto text = english.Get(lang::kStringSection, lang::IdKey(id));
        ASSERT_TRUE(text.has_value()) << "no pop-up text for context " << context;
        EXPECT_GT(text->size(), 20u) << context;
    }
    for (unsigned id : {34u, 35u}) {  // the two messages name their file with one "%s"
        auto text = english.Get(lang::kStringSection, lang::IdKey(id)).value_or("");
        EXPECT_NE(text.find("%s"), std::string::npos) << id;
        EXPECT_EQ(text.find("%s"), text.rfind("%s")) << id;
    }
}

TEST(HelpTopics, APopupHangsCentredJustUnderItsControl) {
    struct Case {
        long left, top, right, bottom, x, y;
    } cases[] = {
        {100, 200, 300, 220, 200, 222},
        {-50, -30, 50, -10, 0, -8},      // a monitor left of and above the primary one
        {300, 220, 100, 200, 200, 222},  // a rectangle given the wrong way round
        {7, 7, 7, 7, 7, 9},              // the cursor, when the control has no rectangle
    };
    for (const Case& c : cases) {
        const HelpPoint at = PopupAnchor(c.left, c.top, c.right, c.bottom);
        EXPECT_EQ(at.x, c.x);
        EXPECT_EQ(at.y, c.y);
    }
}

TEST(HelpTopics, TheViewerComesFirstThenTheFileThenTheTopic) {
    struct Case {
        bool viewer, file, opened;
        HelpProblem problem;
    } cases[] = {
        {false, false, false, HelpProblem::kViewerMissing},
        {false, true, false, HelpProblem::kViewerMissing},
        {true, false, false, HelpProblem::kFileMissing},
        {true, true, false, HelpProblem::kNotOpened},
        {true, true, true, HelpProblem::kNone},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DiagnoseHelp(c.viewer, c.file, c.opened), c.problem);
}

TEST(HelpTopics, TheMessageNamesTheMissingFileWhateverTheTranslationHolds) {
    const std::string file = "C:\\Program Files\\Quillory\\DOC\\Quillory.chm";
    struct Case {
        const char* text;
        std::string shown;
    } cases[] = {
        {"Missing:\n%s", "Missing:\n" + file},
        {"%s fehlt.", file + " fehlt."},
        {"No placeholder", "No placeholder\n" + file},  // the name is still there
        {"%s and %s", file + " and %s"},                // only the first is filled
        {"100%d %n %x %s", "100%d %n %x " + file},      // no format is read
        {"", "\n" + file},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NameMissingFile(c.text, file), c.shown) << c.text;
    EXPECT_EQ(NameMissingFile("Missing: %s", "50%s.chm"), "Missing: 50%s.chm");
}

}  // namespace
}  // namespace qly
