// The script language of the test client: statements, quoted values, separators and
// comments, as tests and the demo write them.
#include <gtest/gtest.h>

#include "tools/notifyclient/script.h"

using notifyclient::ParseScript;
using notifyclient::Statement;

TEST(NotifyClientScript, StatementsWordsAndOptions) {
    std::vector<Statement> s;
    std::string error;
    ASSERT_TRUE(
        ParseScript("# icons\nadd mail 1 msg=0x8001 tip=\"3 new; read\" hidden\n\n  sleep 50\n", 0,
                    &s, &error));
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0].line, 2);
    EXPECT_EQ(s[0].verb, "add");
    EXPECT_EQ(s[0].args, (std::vector<std::string>{"mail", "1", "hidden"}));
    EXPECT_EQ(s[0].options.at("msg"), "0x8001");
    EXPECT_EQ(s[0].options.at("tip"), "3 new; read");
    EXPECT_EQ(s[1].verb, "sleep");
    EXPECT_EQ(s[1].line, 4);
}

TEST(NotifyClientScript, SemicolonsSeparateOnlyOutsideQuotes) {
    std::vector<Statement> s;
    std::string error;
    ASSERT_TRUE(ParseScript("add w 1 tip=\"a;b\"; delete w 1;stay", ';', &s, &error));
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[0].options.at("tip"), "a;b");
    EXPECT_EQ(s[1].verb, "delete");
    EXPECT_EQ(s[2].verb, "stay");
}

TEST(NotifyClientScript, EscapesAndEmptyValues) {
    std::vector<Statement> s;
    std::string error;
    ASSERT_TRUE(ParseScript("add w 1 tip=\"say \\\"hi\\\" \\\\ bye\" title=\"\"", 0, &s, &error));
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].options.at("tip"), "say \"hi\" \\ bye");
    EXPECT_EQ(s[0].options.at("title"), "");
}

TEST(NotifyClientScript, AnUnclosedQuoteIsASyntaxError) {
    std::vector<Statement> s;
    std::string error;
    EXPECT_FALSE(ParseScript("add w 1\nadd w 2 tip=\"open\n", 0, &s, &error));
    EXPECT_NE(error.find("line 2"), std::string::npos) << error;
}
