// What a translator's file does to the texts the user reads, decided by the core rules:
// escapes, limits, key names, the tab rule of menu items, the profile syntax of an untrusted
// file and the English texts kept in dialog templates.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/lang/dialog_template.h"
#include "app/lang/lang_text.h"
#include "app/lang/language_file.h"

namespace qly::lang {
namespace {

TEST(ControlTextEscapes, LineBreaksAndBackslashes) {
    EXPECT_EQ(Unescape("first\\nsecond", 255), "first\nsecond");
    EXPECT_EQ(Unescape("C:\\\\Programs", 255), "C:\\Programs");
    EXPECT_EQ(Unescape("a\\rb", 255), "a\rb");
    EXPECT_EQ(Unescape("\\q\\\"", 255), "q\"");
    EXPECT_EQ(Unescape("ends with \\", 255), "ends with \\");
    EXPECT_EQ(Unescape("", 255), "");
}

TEST(ControlTextEscapes, LongTextIsCutAfterUnescaping) {
    std::string raw;
    for (int i = 0; i < 300; ++i) {
        raw += "\\n";
    }
    std::string text = Unescape(raw, kMaxControlText);
    EXPECT_EQ(text, std::string(kMaxControlText, '\n'));
    EXPECT_EQ(Unescape(std::string(5000, 'x'), 9).size(), 9u);
}

TEST(KeyNames, IdsAreFiveDigitsAndSectionsDecimal) {
    EXPECT_EQ(IdKey(17), "00017");
    EXPECT_EQ(IdKey(1044), "01044");
    EXPECT_EQ(IdKey(40001), "40001");
    EXPECT_EQ(DialogSection(120), "120");
    EXPECT_EQ(MenuSection(103), "M_103");
}

TEST(KeyNames, ControlKeysAreReadAsDecimalNumbers) {
    EXPECT_EQ(LeadingControlId("01044"), 1044u);
    EXPECT_EQ(LeadingControlId("1044"), 1044u);
    EXPECT_EQ(LeadingControlId("01044 old"), 1044u);
    EXPECT_EQ(LeadingControlId("65535"), 65535u);
    EXPECT_FALSE(LeadingControlId("_____").has_value());
    EXPECT_FALSE(LeadingControlId("x1044").has_value());
    EXPECT_FALSE(LeadingControlId(" 1044").has_value());
    EXPECT_FALSE(LeadingControlId("-1").has_value());
    EXPECT_FALSE(LeadingControlId("").has_value());
    EXPECT_FALSE(LeadingControlId("65536").has_value());
    EXPECT_FALSE(LeadingControlId("99999999999999999999999").has_value());
}

TEST(MenuTabRule, TranslationWithoutTabsIsTakenAsItIs) {
    EXPECT_EQ(ApplyMenuTabRule("&About", "&Info"), "&Info");
    EXPECT_EQ(ApplyMenuTabRule("&About", "&Info\tF1"), "&Info\tF1");
}

TEST(MenuTabRule, EnglishShortcutReplacesOrCompletesTheTranslation) {
    EXPECT_EQ(ApplyMenuTabRule("&Settings\tCtrl+Alt+Num -", "&Einstellungen\tStrg+Alt+X"),
              "&Einstellungen\tCtrl+Alt+Num -");
    EXPECT_EQ(ApplyMenuTabRule("&Settings\tCtrl+Alt+Num -", "&Einstellungen"),
              "&Einstellungen\tCtrl+Alt+Num -");
}

TEST(MenuTabRule, ResultIsCutToTheMenuLimit) {
    std::string translated(100, 'x');
    EXPECT_EQ(ApplyMenuTabRule("Exit", translated).size(), kMaxMenuText);
    std::string with_tab = ApplyMenuTabRule("Exit\tCtrl+Q", std::string(62, 'y'));
    EXPECT_EQ(with_tab, std::string(62, 'y') + "\t");
}

TEST(KeyList, NamesAreCountedAndEmptyNamesSkipped) {
    const char with_empty[] =
        "01001\0\0"
        "01002\0";
    EXPECT_EQ(SplitKeyList(with_empty, sizeof with_empty - 1),
              (std::vector<std::string>{"01001", "01002"}));
}

TEST(KeyList, NamesEndAtTheCountOrLimit) {
    const char list[] =
        "_____\0"
        "01044\0"
        "01045\0";  // plus the literal's own NUL
    auto keys = SplitKeyList(list, sizeof list);
    EXPECT_EQ(keys, (std::vector<std::string>{"_____", "01044", "01045"}));
    // Only 12 bytes may be used: the third name would be cut, so it is dropped.
    EXPECT_EQ(SplitKeyList(list, sizeof list, 14), (std::vector<std::string>{"_____", "01044"}));
    EXPECT_EQ(SplitKeyList(list, sizeof list, kMaxKeyListBytes, true),
              (std::vector<std::string>{"_____", "01044"}));
    const char unterminated[] = {'a', 'b', 'c'};
    EXPECT_TRUE(SplitKeyList(unterminated, sizeof unterminated).empty());
    EXPECT_TRUE(SplitKeyList(nullptr, 10).empty());
}

TEST(KeyList, ASectionBeyond3999BytesKeepsOnlyTheFirstKeys) {
    std::string buffer;
    for (int id = 0; id < 1000; ++id) {
        buffer += IdKey(static_cast<unsigned>(id));
        buffer.push_back('\0');
    }
    buffer.push_back('\0');
    auto keys = SplitKeyList(buffer.data(), buffer.size());
    EXPECT_EQ(keys.size(), kMaxKeyListBytes / 6);
    EXPECT_EQ(keys.back(), IdKey(static_cast<unsigned>(kMaxKeyListBytes / 6 - 1)));
}

TEST(LanguageFileSyntax, SectionsKeysQuotesAndCase) {
    auto file = LanguageFile::Parse(
        "\xEF\xBB\xBF[quillory_language]\r\n"
        "_____ = Deutsch \r\n"
        "____@=\" von Hand \"\r\n"
        "[120]\n"
        "_____=Benutzeroberfl\xE4"
        "che\n"
        "01052=Men\xFC \\n zeigen\n"
        "not a key line\n"
        "01052=duplicate ignored\n"
        "[120]\n"
        "01053=second section ignored\n");
    EXPECT_TRUE(file.IsLanguageFile());
    EXPECT_EQ(file.DisplayName(), "Deutsch");
    EXPECT_EQ(file.Get("QUILLORY_LANGUAGE", "____@"), " von Hand ");
    EXPECT_EQ(file.Get("120", "01052"), "Men\xFC \\n zeigen");
    EXPECT_FALSE(file.Get("120", "01053").has_value());
    EXPECT_EQ(file.Keys("120"), (std::vector<std::string>{"_____", "01052"}));
    EXPECT_EQ(file.Sections(), (std::vector<std::string>{"quillory_language", "120"}));
}

TEST(LanguageFileSyntax, FileWithoutDisplayNameIsNoLanguageFile) {
    EXPECT_FALSE(LanguageFile::Parse("[QUILLORY_LANGUAGE]\n____@=credit\n").IsLanguageFile());
    EXPECT_FALSE(LanguageFile::Parse("[QUILLORY_LANGUAGE]\n_____=\n").IsLanguageFile());
    EXPECT_FALSE(LanguageFile::Parse("[OTHER]\n_____=Name\n").IsLanguageFile());
    EXPECT_FALSE(LanguageFile::Parse("").IsLanguageFile());
    EXPECT_EQ(LanguageFile::Parse("[QUILLORY_LANGUAGE]\n_____=" + std::string(400, 'n'))
                  .DisplayName()
                  .size(),
              kMaxDisplayName);
}

TEST(LanguageFileSyntax, Utf16FileIsReadAsEightBitText) {
    std::string utf16 = "\xFF\xFE";
    auto append = [&](const std::string& ascii) {
        for (char c : ascii) {
            utf16.push_back(c);
            utf16.push_back('\0');
        }
    };
    append(
        "[QUILLORY_LANGUAGE]\r\n_____=Fran\xE7"
        "ais");
    utf16 += std::string("\x3A\x04", 2);  // a Cyrillic letter shows as '?'
    append("\r\n");
    EXPECT_EQ(LanguageFile::Parse(utf16).DisplayName(),
              "Fran\xE7"
              "ais?");
}

// --- dialog templates -------------------------------------------------------------------

class TemplateBuilder {
  public:
    void U16(unsigned v) {
        m_bytes.push_back(static_cast<std::uint8_t>(v));
        m_bytes.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    void U32(unsigned v) {
        U16(v & 0xFFFF);
        U16(v >> 16);
    }
    void Str(const char* s) {
        for (; *s; ++s) {
            U16(static_cast<unsigned char>(*s));
        }
        U16(0);
    }
    void Ord(unsigned v) {
        U16(0xFFFF);
        U16(v);
    }
    void Align() {
        while (m_bytes.size() % 4) {
            m_bytes.push_back(0);
        }
    }
    std::vector<std::uint8_t> m_bytes;
};

// A template as the resource compiler writes it: caption, font, a button by class ordinal,
// a list view by class name, and an icon whose text is an ordinal.
std::vector<std::uint8_t> SampleTemplate(bool extended) {
    TemplateBuilder b;
    const unsigned style = 0x80C80040;  // WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFONT
    if (extended) {
        b.U16(1), b.U16(0xFFFF), b.U32(0), b.U32(0), b.U32(style);
    } else {
        b.U32(style), b.U32(0);
    }
    b.U16(3);
    b.U16(0), b.U16(0), b.U16(200), b.U16(80);
    b.U16(0);  // no menu
    b.U16(0);  // default class
    b.Str("Enter password:");
    b.U16(8);
    if (extended) {
        b.U16(400), b.U16(0);  // weight, italic and charset
    }
    b.Str("MS Shell Dlg");
    auto control = [&](unsigned id, auto cls, const char* text, unsigned ord_text) {
        b.Align();
        if (extended) {
            b.U32(0), b.U32(0), b.U32(0x50010000);
        } else {
            b.U32(0x50010000), b.U32(0);
        }
        b.U16(7), b.U16(7), b.U16(50), b.U16(14);
        extended ? b.U32(id) : b.U16(id);
        cls();
        text ? b.Str(text) : b.Ord(ord_text);
        b.U16(0);
    };
    control(
        1, [&] { b.Ord(0x80); }, "OK", 0);
    control(
        1044, [&] { b.Str("SysListView32"); }, "List2", 0);
    control(
        1010, [&] { b.Ord(0x82); }, nullptr, 102);
    return b.m_bytes;
}

TEST(DialogTemplates, ClassicAndExtendedLayoutsGiveTheSameTexts) {
    for (bool extended : {false, true}) {
        auto bytes = SampleTemplate(extended);
        auto t = ParseDialogTemplate(bytes.data(), bytes.size());
        ASSERT_TRUE(t.has_value()) << extended;
        EXPECT_EQ(t->extended, extended);
        EXPECT_EQ(t->caption, u"Enter password:");
        ASSERT_EQ(t->controls.size(), 3u);
        EXPECT_EQ(t->controls[0].id, 1u);
        EXPECT_EQ(t->controls[0].text.name, u"OK");
        EXPECT_TRUE(IsRestorableControl(t->controls[0]));
        EXPECT_EQ(t->controls[1].window_class.name, u"SysListView32");
        EXPECT_FALSE(IsRestorableControl(t->controls[1]));  // "List2" is no text to show
        EXPECT_TRUE(t->controls[2].text.is_ordinal);
        EXPECT_FALSE(IsRestorableControl(t->controls[2]));
    }
}

TEST(DialogTemplates, TruncatedTemplatesGiveNothing) {
    for (bool extended : {false, true}) {
        auto bytes = SampleTemplate(extended);
        for (std::size_t size = 0; size + 3 < bytes.size(); ++size) {
            auto copy = std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + size);
            EXPECT_FALSE(ParseDialogTemplate(copy.data(), copy.size()).has_value()) << size;
        }
    }
    EXPECT_FALSE(ParseDialogTemplate(nullptr, 100).has_value());
}

TEST(DialogTemplates, ControlIdsFrom65535AreNotRestored) {
    TemplateControl c;
    c.window_class.is_ordinal = true;
    c.window_class.ordinal = 0x82;
    c.text.name = u"label";
    c.id = 0xFFFF;
    EXPECT_FALSE(IsRestorableControl(c));
    c.id = 0xFFFE;
    EXPECT_TRUE(IsRestorableControl(c));
    for (const char16_t* cls :
         {u"msctls_hotkey32", u"SYSTABCONTROL32", u"msctls_trackbar32", u"msctls_updown32"}) {
        c.window_class = NameOrOrdinal{false, 0, cls};
        EXPECT_FALSE(IsRestorableControl(c));
    }
    c.window_class = NameOrOrdinal{false, 0, u"RichEdit"};
    EXPECT_TRUE(IsRestorableControl(c));
}

}  // namespace
}  // namespace qly::lang
