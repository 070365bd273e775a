// The shipped language files agree with each other: every translation has exactly the
// sections and keys of english.lng (the translators' template), every value is present and
// fits the limit of the place it is shown. That the template itself covers the resources is
// checked against the built program under Wine (lang_win32_test).
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "app/lang/lang_text.h"
#include "app/lang/language_file.h"

namespace qly::lang {
namespace {

std::string LngPath(const char* name) {
#ifdef _WIN32
    return std::string("Z:") + QLY_LNG_DIR + "/" + name;
#else
    return std::string(QLY_LNG_DIR) + "/" + name;
#endif
}

LanguageFile Load(const char* name) {
    std::ifstream in(LngPath(name), std::ios::binary);
    EXPECT_TRUE(in.good()) << name;
    std::stringstream ss;
    ss << in.rdbuf();
    return LanguageFile::Parse(ss.str());
}

std::set<std::string> KeySet(const LanguageFile& f, const std::string& section) {
    auto keys = f.Keys(section);
    return {keys.begin(), keys.end()};
}

constexpr const char* kFiles[] = {"english.lng", "german.lng", "french.lng"};

TEST(ShippedLanguageFiles, TranslationsHaveExactlyTheTemplatesKeys) {
    LanguageFile english = Load("english.lng");
    ASSERT_EQ(english.DisplayName(), "English");
    for (const char* name : {"german.lng", "french.lng"}) {
        LanguageFile other = Load(name);
        EXPECT_TRUE(other.IsLanguageFile()) << name;
        EXPECT_EQ(other.Sections(), english.Sections()) << name;
        for (const std::string& section : english.Sections()) {
            EXPECT_EQ(KeySet(other, section), KeySet(english, section))
                << name << " [" << section << "]";
        }
    }
}

TEST(ShippedLanguageFiles, EveryValueIsPresentAndFitsItsPlace) {
    for (const char* name : kFiles) {
        LanguageFile f = Load(name);
        for (const std::string& section : f.Sections()) {
            for (const std::string& key : f.Keys(section)) {
                std::string value = *f.Get(section, key);
                SCOPED_TRACE(std::string(name) + " [" + section + "] " + key);
                EXPECT_FALSE(value.empty());
                bool numeric_key = LeadingControlId(key).has_value();
                EXPECT_TRUE(numeric_key || key == kNameKey || key == kCreditKey);
                if (section == kStringSection) {
                    EXPECT_LE(Unescape(value, 100000).size(), kMaxMessageText);
                } else if (section == kHeaderSection) {
                    EXPECT_LE(value.size(), kMaxDisplayName);
                } else if (section.rfind("M_", 0) == 0 || !LeadingControlId(section)) {
                    EXPECT_LE(value.size(), kMaxMenuText);  // menu sections
                } else if (key == kNameKey) {
                    EXPECT_LE(value.size(), kMaxPageTitle);
                } else {
                    EXPECT_LE(Unescape(value, 100000).size(), kMaxControlText);
                }
            }
        }
    }
}

// Entries that name a hotkey or an order keep their index meaning: the lists are filled by
// index, so a translation must not merge or drop one. Their texts differ within a file.
TEST(ShippedLanguageFiles, ListEntriesStayDistinct) {
    for (const char* name : kFiles) {
        LanguageFile f = Load(name);
        for (auto range : {std::pair{3, 6}, std::pair{19, 21}, std::pair{22, 25}, std::pair{26, 28},
                           std::pair{29, 33}}) {
            std::set<std::string> texts;
            for (int id = range.first; id <= range.second; ++id) {
                texts.insert(f.Get(kStringSection, IdKey(static_cast<unsigned>(id))).value_or(""));
            }
            EXPECT_EQ(texts.size(), static_cast<std::size_t>(range.second - range.first + 1))
                << name << " strings " << range.first << ".." << range.second;
        }
    }
}

}  // namespace
}  // namespace qly::lang
