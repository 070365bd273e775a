// LoadSettings and SaveSettings against the real registry (the Wine prefix of this build):
// what a fresh user gets, what the settings key holds after a save and in which order, the
// password values, the RULES key with names, types and icons of every depth class, values
// left by other writers, saves cut off after any number of registry writes, and the ways a
// load or a save can fail: what the log and the user are told, and what is never lost.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/diag/log.h"
#include "app/diag/message_box_seam.h"
#include "app/settings/icon_blob.h"
#include "app/settings/registry_key_store.h"
#include "app/settings/registry_ops.h"
#include "app/settings/rule_store.h"
#include "app/settings/rules_lock.h"
#include "app/settings/serialized_icon.h"
#include "app/settings/settings_store.h"
#include "hooklib/qlydll.h"
#include "tests/settings/blob_samples.h"
#include "tests/settings/interrupting_store.h"

using namespace qly;

namespace {

const char kRulesPath[] = "Software\\KARNOVELDAHUS\\QUILLORY\\RULES";

struct Value {
    std::string name;
    DWORD type;
    std::vector<uint8_t> data;
};

bool KeyExists(const char* path) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// Every value of a key in enumeration order, as a registry editor would list them.
std::vector<Value> ValuesOf(const char* path) {
    std::vector<Value> out;
    UniqueKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, key.out()) != ERROR_SUCCESS) {
        return out;
    }
    for (DWORD i = 0;; ++i) {
        char name[512];
        std::vector<uint8_t> data(70000);
        DWORD name_len = sizeof name, data_len = static_cast<DWORD>(data.size()), type = 0;
        if (RegEnumValueA(key.get(), i, name, &name_len, nullptr, &type, data.data(), &data_len) !=
            ERROR_SUCCESS) {
            break;
        }
        data.resize(data_len);
        out.push_back({std::string(name, name_len), type, data});
    }
    return out;
}

std::vector<std::string> NamesOf(const char* path) {
    std::vector<std::string> names;
    for (const auto& v : ValuesOf(path))
        names.push_back(v.name);
    return names;
}

// Windows lists a key's values in the order they were written; Wine's registry lists them
// sorted by name. Where a test checks an order, it checks the written order on a registry
// that shows it and the same set of values on one that does not.
bool RegistryShowsWriteOrder() {
    static const bool shows = [] {
        const char probe[] = "Software\\KARNOVELDAHUS\\order probe";
        UniqueKey key;
        if (OpenSettingsKey(HKEY_CURRENT_USER, probe, key.out(), 1) != ERROR_SUCCESS)
            return true;
        const DWORD one = 1;
        RegSetValueExA(key.get(), "b", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4);
        RegSetValueExA(key.get(), "a", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4);
        char name[8];
        DWORD len = sizeof name;
        const bool b_first = RegEnumValueA(key.get(), 0, name, &len, nullptr, nullptr, nullptr,
                                           nullptr) == ERROR_SUCCESS &&
                             std::string(name, len) == "b";
        key.reset();
        RegDeleteKeyA(HKEY_CURRENT_USER, probe);
        return b_first;
    }();
    return shows;
}

std::string Lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// `items` as the registry lists them: unchanged, or sorted by name on a sorting registry.
template <typename T, typename NameOf>
std::vector<T> AsListed(std::vector<T> items, NameOf name_of) {
    if (!RegistryShowsWriteOrder()) {
        std::stable_sort(items.begin(), items.end(), [&](const T& a, const T& b) {
            return Lower(name_of(a)) < Lower(name_of(b));
        });
    }
    return items;
}

std::vector<std::string> AsListed(std::vector<std::string> names) {
    return AsListed(std::move(names), [](const std::string& s) { return s; });
}

void PutValue(const char* path,
              const std::string& name,
              DWORD type,
              const std::vector<uint8_t>& data) {
    UniqueKey key;
    ASSERT_EQ(ERROR_SUCCESS, OpenSettingsKey(HKEY_CURRENT_USER, path, key.out(), 1));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key.get(), name.c_str(), 0, type, data.data(),
                                            static_cast<DWORD>(data.size())));
}

std::vector<uint8_t> Le32(uint32_t v) {
    return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
            static_cast<uint8_t>(v >> 24)};
}

IconRule& AddRule(uint32_t id, const char* process, uint32_t flags, HICON icon = nullptr) {
    IconRule rule;
    std::strncpy(rule.process_name, process, sizeof rule.process_name - 1);
    rule.icon_id = id;
    rule.flags = flags;
    rule.icon.reset(icon);
    g_rule_list.push_back(std::move(rule));
    return g_rule_list.back();
}

// A 16 x 16 icon with a 32-bit colour bitmap and a 1-bit mask, made in this process.
HICON MakeColourIcon() {
    std::vector<uint32_t> colour(16 * 16);
    for (size_t i = 0; i < colour.size(); ++i)
        colour[i] = 0x00102030u + static_cast<uint32_t>(i);
    std::vector<uint8_t> mask(2 * 16, 0x0F);
    HBITMAP colour_bitmap = CreateBitmap(16, 16, 1, 32, colour.data());
    HBITMAP mask_bitmap = CreateBitmap(16, 16, 1, 1, mask.data());
    ICONINFO ii{};
    ii.fIcon = TRUE;
    ii.hbmMask = mask_bitmap;
    ii.hbmColor = colour_bitmap;
    HICON icon = CreateIconIndirect(&ii);
    DeleteObject(colour_bitmap);
    DeleteObject(mask_bitmap);
    return icon;
}

// What a bitmap block shows, pixel by pixel as RGB, decoded from the stored bytes alone.
std::vector<uint32_t> PixelsOf(const BitmapBlockView& b) {
    const DibHeader& h = b.header;
    const uint8_t* table = b.info + sizeof(DibHeader);
    const size_t stride = ((static_cast<size_t>(h.bit_count) * h.width + 31) & ~size_t{31}) / 8;
    std::vector<uint32_t> rgb;
    for (int y = 0; y < h.height; ++y) {
        const uint8_t* row = b.pixels + stride * static_cast<size_t>(y);
        for (int x = 0; x < h.width; ++x) {
            uint32_t c = 0;
            if (h.bit_count <= 8) {
                const unsigned bit = static_cast<unsigned>(x) * h.bit_count;
                const unsigned shift = 8 - h.bit_count - bit % 8;
                const unsigned index = (row[bit / 8] >> shift) & ((1u << h.bit_count) - 1);
                const uint8_t* e = table + 4 * index;
                c = e[2] << 16 | e[1] << 8 | e[0];
            } else {
                const uint8_t* p = row + static_cast<size_t>(x) * (h.bit_count / 8);
                c = p[2] << 16 | p[1] << 8 | p[0];
            }
            rgb.push_back(c);
        }
    }
    return rgb;
}

struct IconPicture {
    std::vector<uint32_t> mask, colour;
};

IconPicture PictureOfBlob(const std::vector<uint8_t>& blob) {
    SerializedIconView view;
    IconPicture picture;
    if (!ParseSerializedIcon(blob.data(), blob.size(), view))
        return picture;
    if (view.has_mask)
        picture.mask = PixelsOf(view.mask);
    if (view.has_colour)
        picture.colour = PixelsOf(view.colour);
    return picture;
}

IconPicture PictureOfIcon(HICON icon) {
    return PictureOfBlob(SerializeIcon(icon));
}

// A fresh log in a folder of its own; ReadLog gives what was written to it.
std::string FreshLogFolder() {
    char temp[MAX_PATH];
    if (GetTempPathA(sizeof temp, temp) == 0)
        return {};
    const std::string folder = std::string(temp) + "qly_settings_log\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    DeleteFileA((folder + "QUILLORY.LOG").c_str());
    return folder;
}

std::string ReadLog(const std::string& folder) {
    std::ifstream in(folder + "QUILLORY.LOG", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

size_t Occurrences(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

class SettingsStore : public ::testing::Test {
  protected:
    void SetUp() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\KARNOVELDAHUS");
        g_settings = SettingsValues{};
        g_settings_password = SettingsPassword{};
        g_rule_list.clear();
        g_settings_change_flags = 0;
        // The four shared cells as a fresh hook library holds them. Another process of
        // the desktop may have the library loaded and its cells changed.
        g_flag_reverse_tray = 0;
        g_flag_late_intercept = 0;
        g_flag_dump_always = 1;
        g_flag_high_priority = 1;
    }
    void TearDown() override {
        g_rule_list.clear();
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\KARNOVELDAHUS");
    }
};

}  // namespace

TEST_F(SettingsStore, AFreshUserGetsEveryDefaultAndBothKeys) {
    LoadSettings();
    EXPECT_EQ(1u, g_settings.flag_notify);
    EXPECT_EQ(3u, g_settings.default_flags);
    EXPECT_EQ(0u, g_flag_reverse_tray);
    EXPECT_EQ(0u, g_settings.auto_hide_menu);
    EXPECT_EQ(2u, g_settings.sort_menu);
    EXPECT_EQ(1u, g_settings.use_minimize);
    EXPECT_EQ(0u, g_flag_late_intercept);
    EXPECT_EQ(1u, g_flag_dump_always);
    EXPECT_EQ(2u, g_settings.desired_run_once);
    EXPECT_EQ(1u, g_settings.desired_start_up);
    EXPECT_EQ(15u, g_settings.flag_sounds);
    EXPECT_EQ(1u, g_flag_high_priority);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(3u, g_settings.hot_key_mod[i]);
    EXPECT_EQ(0x6Bu, g_settings.hot_key_vkey[0]);
    EXPECT_EQ(0x6Du, g_settings.hot_key_vkey[1]);
    EXPECT_EQ(0x6Au, g_settings.hot_key_vkey[2]);
    EXPECT_FALSE(g_settings_password.IsSet());
    EXPECT_TRUE(g_rule_list.empty());

    EXPECT_TRUE(KeyExists(kSettingsKeyPath));
    EXPECT_TRUE(KeyExists(kRulesPath));
    EXPECT_TRUE(ValuesOf(kSettingsKeyPath).empty());
    EXPECT_TRUE(ValuesOf(kRulesPath).empty());
}

TEST_F(SettingsStore, ASaveWritesEveryValueInItsOrderAndALoadReadsThemBack) {
    LoadSettings();
    g_settings.flag_notify = 0;
    g_settings.default_flags = 1;
    g_flag_reverse_tray = 2;
    g_settings.auto_hide_menu = 1;
    g_settings.sort_menu = 1;
    g_settings.use_minimize = 0;
    g_flag_late_intercept = 3;
    g_flag_dump_always = 0;
    g_settings.desired_run_once = 0;
    g_settings.desired_start_up = 0;
    g_settings.flag_sounds = 0;
    g_flag_high_priority = 0;
    const uint32_t mods[3] = {1, 6, 8};
    const uint32_t vkeys[3] = {0x41, 0x42, 0x43};
    for (int i = 0; i < 3; ++i) {
        g_settings.hot_key_mod[i] = mods[i];
        g_settings.hot_key_vkey[i] = vkeys[i];
    }
    SaveSettings();

    // The settings table in its order, then the password's length word.
    const std::vector<std::string> order = {
        "hot_key_mod_0",  "hot_key_vkey_0", "hot_key_mod_1", "hot_key_vkey_1", "hot_key_mod_2",
        "hot_key_vkey_2", "DefaultFlags",   "FlagNotify",    "ReverseTray",    "LateIntercept",
        "DumpAlways",     "UseMinimize",    "AutoHideMenu",  "SortMenu",       "DesiredRunOnce",
        "DesiredStartUp", "FlagSounds",     "HighPriority",  "hot_key_vkey_00"};
    EXPECT_EQ(AsListed(order), NamesOf(kSettingsKeyPath));
    for (const auto& v : ValuesOf(kSettingsKeyPath)) {
        EXPECT_EQ(static_cast<DWORD>(REG_DWORD), v.type) << v.name;
        EXPECT_EQ(4u, v.data.size()) << v.name;
    }

    g_settings = SettingsValues{};
    g_flag_reverse_tray = 0;
    g_flag_late_intercept = 0;
    g_flag_dump_always = 1;
    g_flag_high_priority = 1;
    LoadSettings();
    EXPECT_EQ(0u, g_settings.flag_notify);
    EXPECT_EQ(1u, g_settings.default_flags);
    EXPECT_EQ(2u, g_flag_reverse_tray);
    EXPECT_EQ(1u, g_settings.auto_hide_menu);
    EXPECT_EQ(1u, g_settings.sort_menu);
    EXPECT_EQ(0u, g_settings.use_minimize);
    EXPECT_EQ(3u, g_flag_late_intercept);
    EXPECT_EQ(0u, g_flag_dump_always);
    EXPECT_EQ(0u, g_settings.desired_run_once);
    EXPECT_EQ(0u, g_settings.desired_start_up);
    EXPECT_EQ(0u, g_settings.flag_sounds);
    EXPECT_EQ(0u, g_flag_high_priority);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(mods[i], g_settings.hot_key_mod[i]);
        EXPECT_EQ(vkeys[i], g_settings.hot_key_vkey[i]);
    }
}

TEST_F(SettingsStore, AValueOfAnotherSizeKeepsTheSetting) {
    PutValue(kSettingsKeyPath, "SortMenu", REG_BINARY, {1, 0});
    PutValue(kSettingsKeyPath, "FlagSounds", REG_BINARY, {0, 0, 0, 0, 0, 0, 0, 0});
    PutValue(kSettingsKeyPath, "UseMinimize", REG_BINARY, {0, 0, 0, 0});  // type not checked
    LoadSettings();
    EXPECT_EQ(2u, g_settings.sort_menu);
    EXPECT_EQ(15u, g_settings.flag_sounds);
    EXPECT_EQ(0u, g_settings.use_minimize);
}

TEST_F(SettingsStore, APasswordOfFiveRoundTripsWithAndWithoutTheMenuFlag) {
    for (const bool menu : {true, false}) {
        SetUp();
        SetPassword(g_settings_password, "abcde", menu);
        SaveSettings();
        uint8_t scrambled[5];
        ScramblePassword("abcde", scrambled);
        bool saw_word = false, saw_bytes = false;
        for (const auto& v : ValuesOf(kSettingsKeyPath)) {
            if (v.name == "hot_key_vkey_00") {
                saw_word = true;
                EXPECT_EQ(static_cast<DWORD>(REG_DWORD), v.type);
                EXPECT_EQ(Le32(menu ? 0x8D15E4F2u : 0x8D11E4F2u), v.data);
            }
            if (v.name == "hot_key_mod_00") {
                saw_bytes = true;
                EXPECT_EQ(static_cast<DWORD>(REG_BINARY), v.type);
                EXPECT_EQ(std::vector<uint8_t>(scrambled, scrambled + 5), v.data);
            }
        }
        EXPECT_TRUE(saw_word && saw_bytes);

        g_settings_password = SettingsPassword{};
        LoadSettings();
        EXPECT_EQ(5u, g_settings_password.length);
        EXPECT_EQ(menu ? 1u : 0u, g_settings_password.ask_before_menu);
        EXPECT_TRUE(PasswordMatches(g_settings_password, "abcde"));
        EXPECT_FALSE(PasswordMatches(g_settings_password, "abcdf"));
    }
}

TEST_F(SettingsStore, AClearedPasswordStaysClearedThoughItsOldBytesRemain) {
    SetPassword(g_settings_password, "abcde", true);
    SaveSettings();
    g_settings_password = SettingsPassword{};
    SaveSettings();
    g_settings_password.length = 99;
    LoadSettings();
    EXPECT_FALSE(g_settings_password.IsSet());
    EXPECT_TRUE(PasswordMatches(g_settings_password, ""));
}

TEST_F(SettingsStore, ADamagedPasswordKeepsTheSettingsLockedAndIsKeptAsItIs) {
    const std::vector<uint8_t> word = Le32(EncodePasswordWord(1000, 1));
    const std::vector<uint8_t> bytes(300, 0x41);
    PutValue(kSettingsKeyPath, "hot_key_vkey_00", REG_DWORD, word);
    PutValue(kSettingsKeyPath, "hot_key_mod_00", REG_BINARY, bytes);
    LoadSettings();
    EXPECT_TRUE(g_settings_password.IsSet());
    EXPECT_EQ(1u, g_settings_password.ask_before_menu);
    EXPECT_FALSE(PasswordMatches(g_settings_password, ""));
    EXPECT_FALSE(PasswordMatches(g_settings_password, std::string(300, 'A')));
    SaveSettings();
    for (const auto& v : ValuesOf(kSettingsKeyPath)) {
        if (v.name == "hot_key_vkey_00") {
            EXPECT_EQ(word, v.data);
        }
        if (v.name == "hot_key_mod_00") {
            EXPECT_EQ(bytes, v.data);
        }
    }

    // A sound length whose bytes are missing is no way in either.
    SetUp();
    PutValue(kSettingsKeyPath, "hot_key_vkey_00", REG_DWORD, Le32(EncodePasswordWord(5, 0)));
    LoadSettings();
    EXPECT_TRUE(g_settings_password.IsSet());
    EXPECT_FALSE(PasswordMatches(g_settings_password, ""));
    EXPECT_FALSE(PasswordMatches(g_settings_password, std::string(5, '\0')));
}

TEST_F(SettingsStore, RulesAreStoredUnderIdAndProcessName) {
    LoadSettings();
    AddRule(0xFFFFFFFF, "notepad.exe", 0x101);
    AddRule(5, "app.exe", 0x2);
    SaveSettings();
    const auto name = [](const Value& v) { return v.name; };
    const std::vector<Value> expected =
        AsListed(std::vector<Value>{{"ffffffffnotepad.exe", REG_DWORD, Le32(0x101)},
                                    {"00000005app.exe", REG_DWORD, Le32(0x2)}},
                 name);
    const std::vector<Value> values = ValuesOf(kRulesPath);
    ASSERT_EQ(2u, values.size());
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(expected[i].name, values[i].name);
        EXPECT_EQ(expected[i].type, values[i].type);
        EXPECT_EQ(expected[i].data, values[i].data);
    }

    g_rule_list.clear();
    LoadSettings();
    ASSERT_EQ(2u, g_rule_list.size());
    for (const IconRule& r : g_rule_list) {
        EXPECT_EQ(0u, r.window);
        if (r.icon_id == 5) {
            EXPECT_STREQ("app.exe", r.process_name);
        } else {
            EXPECT_EQ(0xFFFFFFFFu, r.icon_id);
            EXPECT_STREQ("notepad.exe", r.process_name);
        }
    }
}

TEST_F(SettingsStore, RulesThatSayNothingAreDroppedAtSave) {
    LoadSettings();
    std::vector<uint32_t> dropped;
    SetRuleDroppedHandler([&](const IconRule& r) { dropped.push_back(r.flags); });
    AddRule(1, "a.exe", 12);
    AddRule(2, "b.exe", 0x10C);
    AddRule(3, "c.exe", 15, MakeColourIcon());
    AddRule(4, "d.exe", 0);
    SaveSettings();
    SetRuleDroppedHandler(nullptr);
    EXPECT_EQ((std::vector<uint32_t>{12, 15}), dropped);
    EXPECT_EQ(AsListed({"00000002b.exe", "00000004d.exe"}), NamesOf(kRulesPath));
    ASSERT_EQ(2u, g_rule_list.size());
    EXPECT_EQ(0x10Cu, g_rule_list.front().flags);
    EXPECT_EQ(0u, g_rule_list.back().flags);
}

TEST_F(SettingsStore, AfterASaveTheRulesKeyHoldsExactlyTheListInOrder) {
    PutValue(kRulesPath, "00000009old.exe", REG_DWORD, Le32(3));
    PutValue(kRulesPath, "00000002b.exe", REG_DWORD, Le32(1));
    LoadSettings();
    ASSERT_EQ(2u, g_rule_list.size());
    g_rule_list.remove_if([](const IconRule& r) { return r.icon_id == 9; });  // old.exe goes
    ASSERT_EQ(1u, g_rule_list.size());
    g_rule_list.front().flags = 0x101;  // b.exe changes and stays first
    AddRule(1, "a.exe", 0x201);
    AddRule(3, "c.exe", 0x2);
    SaveSettings();
    EXPECT_EQ(AsListed({"00000002b.exe", "00000001a.exe", "00000003c.exe"}), NamesOf(kRulesPath));
    for (const auto& v : ValuesOf(kRulesPath)) {
        if (v.name == "00000002b.exe") {
            EXPECT_EQ(Le32(0x101), v.data);
        }
    }
    EXPECT_FALSE(KeyExists("Software\\KARNOVELDAHUS\\QUILLORY\\RULES.saving"));
}

TEST_F(SettingsStore, AColourIconIsStoredAs1196BytesAndComesBackTheSame) {
    LoadSettings();
    HICON icon = MakeColourIcon();
    ASSERT_NE(nullptr, icon);
    const IconPicture before = PictureOfIcon(icon);
    AddRule(7, "paint.exe", 0x3, icon);
    SaveSettings();
    const std::vector<Value> values = ValuesOf(kRulesPath);
    ASSERT_EQ(1u, values.size());
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), values[0].type);
    ASSERT_EQ(1196u, values[0].data.size());
    EXPECT_EQ(Le32(3), std::vector<uint8_t>(values[0].data.begin(), values[0].data.begin() + 4));
    EXPECT_EQ(Le32(1192),
              std::vector<uint8_t>(values[0].data.begin() + 4, values[0].data.begin() + 8));

    g_rule_list.clear();
    LoadSettings();
    ASSERT_EQ(1u, g_rule_list.size());
    ASSERT_TRUE(g_rule_list.front().icon);
    const IconPicture after = PictureOfIcon(g_rule_list.front().icon.get());
    EXPECT_EQ(before.mask, after.mask);
    EXPECT_EQ(before.colour, after.colour);
    ASSERT_EQ(256u, after.colour.size());
    // Rows are stored bottom-up: the first stored pixel is the bottom row's first.
    EXPECT_EQ(0x102030u + 15 * 16, after.colour[0]);
}

TEST_F(SettingsStore, StoredIconsOfEveryDepthClassShowTheSamePixelsAfterLoadAndSave) {
    for (const uint16_t bits : {1, 4, 8, 24, 32}) {
        SCOPED_TRACE(bits);
        SetUp();
        const std::vector<uint8_t> blob = SampleIconBlob(16, bits);
        ASSERT_LE(blob.size() + 4, 16000u);
        std::vector<uint8_t> data = Le32(0x0203);
        data.insert(data.end(), blob.begin(), blob.end());
        PutValue(kRulesPath, "00000001depth.exe", REG_BINARY, data);
        const IconPicture stored = PictureOfBlob(blob);

        LoadSettings();
        ASSERT_EQ(1u, g_rule_list.size());
        ASSERT_TRUE(g_rule_list.front().icon);
        const IconPicture loaded = PictureOfIcon(g_rule_list.front().icon.get());
        EXPECT_EQ(stored.mask, loaded.mask);
        EXPECT_EQ(stored.colour, loaded.colour);

        SaveSettings();
        const std::vector<Value> values = ValuesOf(kRulesPath);
        ASSERT_EQ(1u, values.size());
        EXPECT_EQ(static_cast<DWORD>(REG_BINARY), values[0].type);
        g_rule_list.clear();
        LoadSettings();
        ASSERT_EQ(1u, g_rule_list.size());
        ASSERT_TRUE(g_rule_list.front().icon);
        EXPECT_EQ(stored.colour, PictureOfIcon(g_rule_list.front().icon.get()).colour);
        EXPECT_EQ(0x0203u, g_rule_list.front().flags);
    }
}

TEST_F(SettingsStore, ASixteenBitIconIsStoredWithoutIcon) {
    BITMAPINFO bmi{};
    bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
    bmi.bmiHeader.biWidth = 16;
    bmi.bmiHeader.biHeight = 16;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 16;
    void* bits = nullptr;
    HBITMAP colour = CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(nullptr, colour);
    std::memset(bits, 0x5A, 16 * 16 * 2);
    HBITMAP mask = CreateBitmap(16, 16, 1, 1, nullptr);
    const std::vector<uint8_t> blob = SerializeIconBitmaps(mask, colour);
    DeleteObject(colour);
    DeleteObject(mask);

    SerializedIconView view;
    ASSERT_TRUE(ParseSerializedIcon(blob.data(), blob.size(), view));
    EXPECT_EQ(16, view.colour.header.bit_count);
    StoredRule rule;
    rule.icon_id = 1;
    rule.process_name = "old.exe";
    rule.flags = 3;
    rule.icon_blob = blob;
    const RawValue value = EncodeRuleValue(rule);
    EXPECT_EQ(static_cast<uint32_t>(REG_DWORD), value.type);
    EXPECT_EQ(Le32(3), value.data);
}

TEST_F(SettingsStore, ACorruptIconLoadsAsARuleWithoutIcon) {
    std::vector<uint8_t> blob = SampleIconBlob(16, 32);
    blob[8] = 0xFF;  // the mask block claims more bytes than the blob has
    blob[9] = 0xFF;
    std::vector<uint8_t> data = Le32(0x101);
    data.insert(data.end(), blob.begin(), blob.end());
    PutValue(kRulesPath, "00000004broken.exe", REG_BINARY, data);
    LoadSettings();
    ASSERT_EQ(1u, g_rule_list.size());
    EXPECT_STREQ("broken.exe", g_rule_list.front().process_name);
    EXPECT_EQ(0x101u, g_rule_list.front().flags);
    EXPECT_FALSE(g_rule_list.front().icon);
    SaveSettings();
    const std::vector<Value> values = ValuesOf(kRulesPath);
    ASSERT_EQ(1u, values.size());
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), values[0].type);
}

TEST_F(SettingsStore, OddRuleValuesCostNoOtherRuleAndTheUnusableAreLogged) {
    PutValue(kRulesPath, "00000001first.exe", REG_DWORD, Le32(0x101));
    std::vector<uint8_t> big(20000, 0x33);
    std::memcpy(big.data(), Le32(0x202).data(), 4);
    PutValue(kRulesPath, "00000002big.exe", REG_BINARY, big);
    PutValue(kRulesPath, "00000003short.exe", REG_BINARY, {1, 0});
    PutValue(kRulesPath, "00000004text.exe", REG_SZ, {'h', 'e', 'l', 'l', 'o', 0});
    std::vector<uint8_t> last = Le32(0x3);
    const std::vector<uint8_t> blob = SampleIconBlob(16, 32);
    last.insert(last.end(), blob.begin(), blob.end());
    PutValue(kRulesPath, "00000005last.exe", REG_BINARY, last);
    // Names no program of ours can have: longer than the rule's process name field holds,
    // and longer than the 255 characters a value name of ours ever has.
    const std::string long_name = "00000006" + std::string(140, 'p');
    const std::string longer_name = "00000000" + std::string(300, 'q');
    PutValue(kRulesPath, long_name, REG_DWORD, Le32(0x1));
    PutValue(kRulesPath, longer_name, REG_DWORD, Le32(0x1));

    const std::vector<Value> skipped = {
        {"00000003short.exe", REG_BINARY, {1, 0}},
        {"00000004text.exe", REG_SZ, {'h', 'e', 'l', 'l', 'o', 0}},
        {long_name, REG_DWORD, Le32(0x1)},
        {longer_name, REG_DWORD, Le32(0x1)},
    };

    const std::string folder = FreshLogFolder();
    ASSERT_TRUE(OpenLog(folder, 1));
    LoadSettings();
    SaveSettings();
    qly::CloseLog();

    ASSERT_EQ(3u, g_rule_list.size());
    // What the load could not use is kept as it was: it may be a newer version's rule.
    EXPECT_EQ(AsListed({"00000003short.exe", "00000004text.exe", long_name, longer_name,
                        "00000001first.exe", "00000002big.exe", "00000005last.exe"}),
              NamesOf(kRulesPath));
    for (const auto& v : ValuesOf(kRulesPath)) {
        const auto untouched = std::find_if(skipped.begin(), skipped.end(),
                                            [&](const Value& k) { return k.name == v.name; });
        if (untouched != skipped.end()) {
            EXPECT_EQ(untouched->type, v.type) << v.name;
            EXPECT_EQ(untouched->data, v.data) << v.name;
        } else if (v.name == "00000001first.exe") {
            EXPECT_EQ(Le32(0x101), v.data);
        } else if (v.name == "00000002big.exe") {
            // Written back in our own form: flags alone.
            EXPECT_EQ(static_cast<DWORD>(REG_DWORD), v.type);
            EXPECT_EQ(Le32(0x202), v.data);
        } else {
            EXPECT_EQ(static_cast<DWORD>(REG_BINARY), v.type);
            ASSERT_GT(v.data.size(), 4u);
            EXPECT_EQ(Le32(0x3), std::vector<uint8_t>(v.data.begin(), v.data.begin() + 4));
            const IconPicture kept =
                PictureOfBlob(std::vector<uint8_t>(v.data.begin() + 4, v.data.end()));
            EXPECT_EQ(PictureOfBlob(blob).colour, kept.colour);
            EXPECT_EQ(PictureOfBlob(blob).mask, kept.mask);
        }
    }

    const std::string log = ReadLog(folder);
    EXPECT_NE(std::string::npos, log.find("00000003short.exe")) << log;
    EXPECT_NE(std::string::npos, log.find("00000004text.exe")) << log;
    EXPECT_NE(std::string::npos, log.find(long_name)) << log;
    EXPECT_NE(std::string::npos, log.find(longer_name)) << log;
    EXPECT_EQ(std::string::npos, log.find("00000001first.exe")) << log;
    EXPECT_EQ(std::string::npos, log.find("00000002big.exe")) << log;
}

TEST_F(SettingsStore, ASaveCutAfterAnyRegistryWriteLeavesTheOldOrTheNewRules) {
    auto rule = [](uint32_t id, const char* name, uint32_t flags, bool icon) {
        StoredRule r;
        r.icon_id = id;
        r.process_name = name;
        r.flags = flags;
        if (icon)
            r.icon_blob = SampleIconBlob(16, 32);
        return r;
    };
    const std::vector<StoredRule> old_rules = {rule(1, "alpha.exe", 0x101, false),
                                               rule(2, "beta.exe", 0x3, true),
                                               rule(3, "gamma.exe", 0x0, false)};
    const std::vector<StoredRule> new_rules = {rule(3, "gamma.exe", 0x201, true),
                                               rule(4, "delta.exe", 0x1, false),
                                               rule(1, "alpha.exe", 0x102, false)};
    auto as_seen = [](const RuleList& list) {
        std::vector<std::string> seen;
        for (const auto& r : list) {
            seen.push_back(FormatRuleValueName(r.icon_id, r.process_name) + "/" +
                           std::to_string(r.flags) + (r.icon ? "/icon" : ""));
        }
        return seen;
    };
    const std::vector<std::string> old_seen =
        AsListed({"00000001alpha.exe/257", "00000002beta.exe/3/icon", "00000003gamma.exe/0"});
    const std::vector<std::string> new_seen =
        AsListed({"00000003gamma.exe/513/icon", "00000004delta.exe/1", "00000001alpha.exe/258"});

    bool completed = false;
    bool seen_new = false;
    for (int budget = 0; !completed; ++budget) {
        ASSERT_LT(budget, 200);
        SetUp();
        UniqueKey key;
        ASSERT_EQ(ERROR_SUCCESS,
                  OpenSettingsKey(HKEY_CURRENT_USER, kSettingsKeyPath, key.out(), 1));
        RegistryKeyStore store(key.get());
        ASSERT_TRUE(SaveStoredRules(store, old_rules));
        InterruptingStore dying(store, budget);
        try {
            completed = SaveStoredRules(dying, new_rules);
        } catch (const SaveInterrupted&) {
        }
        key.reset();

        LoadSettings();
        const std::vector<std::string> seen = as_seen(g_rule_list);
        EXPECT_TRUE(seen == old_seen || seen == new_seen) << "cut after " << budget << " writes";
        EXPECT_FALSE(seen_new && seen == old_seen) << "cut after " << budget << " writes";
        seen_new = seen_new || seen == new_seen;
    }
    EXPECT_TRUE(seen_new);
}

TEST_F(SettingsStore, NotesOfALoadReachTheLogThatIsOpenedAfterIt) {
    // Start-up loads the settings with the main window and opens the log after that.
    PutValue(kSettingsKeyPath, "LateIntercept", REG_DWORD, Le32(9));
    PutValue(kSettingsKeyPath, "hot_key_vkey_1", REG_DWORD, Le32(0x100));
    PutValue(kRulesPath, "00000003short.exe", REG_BINARY, {1, 0});
    g_flag_late_intercept = 2;
    LoadSettings();
    // Out of range: the defaults, not whatever was there, and not the stored value.
    EXPECT_EQ(0u, g_flag_late_intercept);
    EXPECT_EQ(0x6Du, g_settings.hot_key_vkey[1]);

    const std::string folder = FreshLogFolder();
    ASSERT_TRUE(OpenLog(folder, 1));
    WritePendingSettingsNotes();
    WritePendingSettingsNotes();
    CloseLog();
    const std::string log = ReadLog(folder);
    EXPECT_EQ(1u, Occurrences(log, "LateIntercept = 9")) << log;
    EXPECT_EQ(1u, Occurrences(log, "hot_key_vkey_1 = 256")) << log;
    EXPECT_EQ(1u, Occurrences(log, "00000003short.exe")) << log;
}

TEST_F(SettingsStore, AStagingKeyWithASubKeyNoLongerStopsEverySave) {
    const std::string staging = std::string(kRulesPath) + ".saving";
    for (const bool committed : {false, true}) {
        SCOPED_TRACE(committed ? "committed staging" : "uncommitted staging");
        SetUp();
        PutValue(kRulesPath, "00000001old.exe", REG_DWORD, Le32(0x101));
        PutValue(staging.c_str(), "00000003staged.exe", REG_DWORD, Le32(0x102));
        if (committed)
            PutValue(staging.c_str(), "", REG_DWORD, Le32(1));
        UniqueKey child;
        ASSERT_EQ(
            ERROR_SUCCESS,
            OpenSettingsKey(HKEY_CURRENT_USER, (staging + "\\left over").c_str(), child.out(), 1));
        child.reset();

        LoadSettings();
        AddRule(2, "new.exe", 0x201);
        const SettingsSaveResult result = SaveSettings();
        EXPECT_TRUE(result.ok());
        EXPECT_FALSE(KeyExists(staging.c_str()));
        const std::vector<std::string> expected =
            committed ? AsListed({"00000003staged.exe", "00000002new.exe"})
                      : AsListed({"00000001old.exe", "00000002new.exe"});
        EXPECT_EQ(expected, NamesOf(kRulesPath));
    }
}

namespace {

std::vector<std::string> g_boxes;

int WINAPI RecordBox(HWND, LPCSTR text, LPCSTR, UINT) {
    g_boxes.push_back(text);
    return IDOK;
}

// Sets the access list of a key under the settings key; an empty list lets nobody in.
void SetKeyAccess(const char* path, bool open) {
    UniqueKey key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, WRITE_DAC, key.out()));
    SECURITY_DESCRIPTOR sd;
    ASSERT_TRUE(InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION));
    alignas(DWORD) BYTE acl_bytes[64];
    auto* acl = reinterpret_cast<ACL*>(acl_bytes);
    ASSERT_TRUE(InitializeAcl(acl, sizeof acl_bytes, ACL_REVISION));
    // A null list lets everybody in; an empty one nobody.
    ASSERT_TRUE(SetSecurityDescriptorDacl(&sd, TRUE, open ? nullptr : acl, FALSE));
    ASSERT_EQ(ERROR_SUCCESS, RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, &sd));
}

}  // namespace

TEST_F(SettingsStore, RulesThatCouldNotBeReadAreNeverSavedOverAndTheUserIsToldOnce) {
    PutValue(kRulesPath, "00000001kept.exe", REG_DWORD, Le32(0x101));
    PutValue(kRulesPath, "00000002kept.exe", REG_DWORD, Le32(0x2));
    const std::vector<Value> before = ValuesOf(kRulesPath);
    SetKeyAccess(kRulesPath, false);
    LoadSettings();
    SetKeyAccess(kRulesPath, true);
    ASSERT_TRUE(g_rule_list.empty()) << "the rules were readable after all";

    const std::string folder = FreshLogFolder();
    ASSERT_TRUE(OpenLog(folder, 1));
    AddRule(3, "new.exe", 0x3);
    g_settings.sort_menu = 1;
    const SettingsSaveResult first = SaveSettings();
    const SettingsSaveResult second = SaveSettings();
    CloseLog();

    EXPECT_FALSE(first.ok());
    EXPECT_TRUE(first.rules_held_back);
    const std::vector<Value> after = ValuesOf(kRulesPath);
    ASSERT_EQ(before.size(), after.size());
    for (size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(before[i].name, after[i].name);
        EXPECT_EQ(before[i].data, after[i].data);
    }
    // The settings values were saved all the same.
    g_settings.sort_menu = 2;
    LoadSettings();
    EXPECT_EQ(1u, g_settings.sort_menu);
    EXPECT_EQ(2u, g_rule_list.size());

    EXPECT_NE(std::string::npos, ReadLog(folder).find("Stored rules not saved"));
    g_boxes.clear();
    const MessageBoxFunction previous = SetDiagMessageBox(&RecordBox);
    TellUserSaveFailed(nullptr, first);
    TellUserSaveFailed(nullptr, second);
    SetDiagMessageBox(previous);
    ASSERT_EQ(1u, g_boxes.size());
    EXPECT_NE(std::string::npos, g_boxes[0].find("rules")) << g_boxes[0];
}

TEST_F(SettingsStore, ASaveWaitsForWhoeverHoldsTheRulesLock) {
    LoadSettings();
    AddRule(1, "a.exe", 0x101);
    std::atomic<bool> saved{false};
    RulesLock().lock();
    std::thread saver([&] {
        SaveSettings();
        saved = true;
    });
    Sleep(300);
    EXPECT_FALSE(saved);
    EXPECT_TRUE(ValuesOf(kRulesPath).empty());
    RulesLock().unlock();
    saver.join();
    EXPECT_TRUE(saved);
    EXPECT_EQ(std::vector<std::string>{"00000001a.exe"}, NamesOf(kRulesPath));
}
