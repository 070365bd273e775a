// The language layer as the user meets it under Wine: the language list, dialogs, pages and
// the tray menu in a language file's texts and back in English, the stored Language value,
// and the shipped files' coverage of every text the program's resources hold.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/lang/dialog_template.h"
#include "app/lang/lang_text.h"
#include "app/lang/language.h"
#include "app/lang/language_file.h"
#include "app/ui/tray_menu.h"
#include "resources/resource.h"

namespace qly {
namespace {

using lang::IdKey;
using lang::LanguageFile;

const int kDialogs[] = {IDD_MAIN,     IDD_TRAY_PROGRAMS,  IDD_CHANGE_PASSWORD, IDD_INSTALL_DIR,
                        IDD_ADVANCED, IDD_USER_INTERFACE, IDD_ENTER_PASSWORD,  IDD_AUTOSTART};
const int kPages[] = {IDD_TRAY_PROGRAMS, IDD_AUTOSTART, IDD_USER_INTERFACE, IDD_ADVANCED};

std::string ShippedFile(const char* name) {
    return std::string("Z:") + QLY_LNG_DIR + "/" + name;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string WindowText(HWND w) {
    char buffer[1024] = {};
    GetWindowTextA(w, buffer, sizeof buffer);
    return buffer;
}

std::string ItemText(HWND dialog, int id) {
    return WindowText(GetDlgItem(dialog, id));
}

INT_PTR CALLBACK TranslatingProc(HWND dialog, UINT message, WPARAM, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        TranslateDialog(dialog, static_cast<int>(lparam));
        return TRUE;
    }
    return FALSE;
}

INT_PTR CALLBACK PageProc(HWND page, UINT message, WPARAM, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        auto* desc = reinterpret_cast<PROPSHEETPAGEA*>(lparam);
        TranslateDialog(page, static_cast<int>(desc->lParam));
        return TRUE;
    }
    return FALSE;
}

std::string ToAnsi(const std::u16string& text) {
    char out[1024] = {};
    WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const wchar_t*>(text.c_str()), -1, out,
                        sizeof out, nullptr, nullptr);
    return out;
}

std::optional<lang::DialogTemplate> Template(int id) {
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5));
    if (found == nullptr) {
        return std::nullopt;
    }
    auto* bytes = static_cast<const std::uint8_t*>(LockResource(LoadResource(module, found)));
    return lang::ParseDialogTemplate(bytes, SizeofResource(module, found));
}

// Texts a translator must be able to replace: captions (not the main window's, which never
// changes) and controls whose template text is a string that is not a mere number.
std::map<std::string, std::map<std::string, std::string>> ResourceTexts() {
    std::map<std::string, std::map<std::string, std::string>> texts;
    for (int id : kDialogs) {
        auto t = Template(id);
        EXPECT_TRUE(t.has_value()) << id;
        if (!t) {
            continue;
        }
        auto& section = texts[lang::DialogSection(id)];
        if (!t->caption.empty() && id != IDD_MAIN) {
            section[lang::kNameKey] = ToAnsi(t->caption);
        }
        for (const auto& c : t->controls) {
            std::string text = ToAnsi(c.text.name);
            if (lang::IsRestorableControl(c) && !text.empty() &&
                text.find_first_not_of("0123456789") != std::string::npos) {
                section[IdKey(c.id)] = text;
            }
        }
    }
    HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_TRAY_MENU));
    EXPECT_NE(menu, nullptr);
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        char text[256] = {};
        GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        HMENU sub = GetSubMenu(menu, i);
        if (sub == nullptr) {
            texts[lang::MenuSection(IDR_TRAY_MENU)][IdKey(GetMenuItemID(menu, i))] = text;
            continue;
        }
        auto& section = texts[text];
        section[lang::kNameKey] = text;
        for (int j = 0; j < GetMenuItemCount(sub); ++j) {
            char item[256] = {};
            GetMenuStringA(sub, static_cast<UINT>(j), item, sizeof item, MF_BYPOSITION);
            section[IdKey(GetMenuItemID(sub, j))] = item;
        }
    }
    DestroyMenu(menu);
    for (UINT id = 0; id < 4096; ++id) {
        char text[4096] = {};
        if (LoadStringA(GetModuleHandleA(nullptr), id, text, sizeof text) > 0) {
            texts[lang::kStringSection][IdKey(id)] = text;
        }
    }
    return texts;
}

class LanguageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        InitCommonControls();
        LoadLibraryA("RICHED32.DLL");
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        m_folder = std::string(temp) + "qly_lang_" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(m_folder.c_str(), nullptr);
        m_key = "Software\\QuilloryTests\\Lang" + std::to_string(GetCurrentProcessId());
        SetLanguageProgramFolder(m_folder);
        WriteLanguageSetting(m_key.c_str(), "");
        InitLanguage(m_key.c_str());
        m_parent = CreateWindowExA(0, "STATIC", "parent", WS_POPUP, 0, 0, 100, 100, nullptr,
                                   nullptr, nullptr, nullptr);
        m_combo = CreateWindowExA(0, "COMBOBOX", "", WS_CHILD | CBS_DROPDOWNLIST | CBS_SORT, 0, 0,
                                  100, 200, m_parent, nullptr, nullptr, nullptr);
    }
    void TearDown() override {
        DestroyWindow(m_parent);
        RegDeleteKeyA(HKEY_CURRENT_USER, m_key.c_str());
        std::string lng = m_folder + "\\LNG";
        WIN32_FIND_DATAA found;
        HANDLE h = FindFirstFileA((lng + "\\*").c_str(), &found);
        if (h != INVALID_HANDLE_VALUE) {
            do {
                std::string path = lng + "\\" + found.cFileName;
                SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(path.c_str());
                RemoveDirectoryA(path.c_str());
            } while (FindNextFileA(h, &found));
            FindClose(h);
        }
        RemoveDirectoryA(lng.c_str());
        RemoveDirectoryA(m_folder.c_str());
    }

    std::string AddFile(const std::string& name, const std::string& contents) {
        CreateDirectoryA((m_folder + "\\LNG").c_str(), nullptr);
        std::string path = m_folder + "\\LNG\\" + name;
        std::ofstream(path, std::ios::binary) << contents;
        return path;
    }
    std::string AddGerman() { return AddFile("german.lng", ReadAll(ShippedFile("german.lng"))); }

    // Picks the entry of the language list with this text, as the user would, and applies it.
    bool Choose(const std::string& entry) {
        FillLanguageList(m_combo);
        LRESULT index = SendMessageA(m_combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                     reinterpret_cast<LPARAM>(entry.c_str()));
        EXPECT_NE(index, CB_ERR) << entry;
        SendMessageA(m_combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        return ApplyLanguageChoice(m_combo, m_key.c_str());
    }
    std::vector<std::string> ListEntries() {
        std::vector<std::string> entries;
        LRESULT count = SendMessageA(m_combo, CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            char text[300] = {};
            SendMessageA(m_combo, CB_GETLBTEXT, static_cast<WPARAM>(i),
                         reinterpret_cast<LPARAM>(text));
            entries.push_back(text);
        }
        return entries;
    }
    std::string Selected() {
        char text[300] = {};
        LRESULT i = SendMessageA(m_combo, CB_GETCURSEL, 0, 0);
        SendMessageA(m_combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        return text;
    }
    HWND OpenDialog(int id) {
        HWND w = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), m_parent,
                                    TranslatingProc, id);
        EXPECT_NE(w, nullptr) << id;
        return w;
    }
    // The settings sheet's tab titles, with pages made as the settings dialog makes them.
    std::vector<std::string> SheetTabs() {
        HPROPSHEETPAGE pages[4];
        for (int i = 0; i < 4; ++i) {
            PROPSHEETPAGEA page = {};
            page.dwSize = sizeof page;
            page.hInstance = GetModuleHandleA(nullptr);
            page.pszTemplate = MAKEINTRESOURCEA(kPages[i]);
            page.pfnDlgProc = PageProc;
            page.lParam = kPages[i];
            page.dwFlags = PSP_PREMATURE;
            pages[i] = CreateTranslatedPage(&page);
        }
        PROPSHEETHEADERA header = {};
        header.dwSize = sizeof header;
        header.dwFlags = PSH_MODELESS;
        header.hwndParent = m_parent;
        header.pszCaption = "sheet";
        header.nPages = 4;
        header.phpage = pages;
        HWND sheet = reinterpret_cast<HWND>(PropertySheetA(&header));
        std::vector<std::string> tabs;
        HWND tab = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETTABCONTROL, 0, 0));
        for (int i = 0; i < 4; ++i) {
            char text[300] = {};
            TCITEMA item = {};
            item.mask = TCIF_TEXT;
            item.pszText = text;
            item.cchTextMax = sizeof text;
            SendMessageA(tab, TCM_GETITEMA, static_cast<WPARAM>(i),
                         reinterpret_cast<LPARAM>(&item));
            tabs.push_back(text);
        }
        DestroyWindow(sheet);
        return tabs;
    }

    std::string m_folder;
    std::string m_key;
    HWND m_parent = nullptr;
    HWND m_combo = nullptr;
};

TEST_F(LanguageTest, WithoutLngFolderTheListHoldsTheTwoBuiltInEntries) {
    FillLanguageList(m_combo);
    EXPECT_EQ(ListEntries(), (std::vector<std::string>{"  English (internal)", " Auto"}));
    EXPECT_EQ(Selected(), "  English (internal)");
    EXPECT_FALSE(Choose("  English (internal)"));
}

TEST_F(LanguageTest, OnlyFilesWithADisplayNameAreLanguages) {
    AddGerman();
    AddFile("noname.lng", "[QUILLORY_LANGUAGE]\r\n____@=credit only\r\n[121]\r\n_____=X\r\n");
    std::string hidden = AddFile("hidden.lng", "[QUILLORY_LANGUAGE]\r\n_____=Hidden\r\n");
    SetFileAttributesA(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN);
    CreateDirectoryA((m_folder + "\\LNG\\folder.lng").c_str(), nullptr);
    FillLanguageList(m_combo);
    EXPECT_EQ(ListEntries(),
              (std::vector<std::string>{"  English (internal)", " Auto", "Deutsch"}));

    WriteLanguageSetting(m_key.c_str(), "noname.lng");
    EXPECT_FALSE(InitLanguage(m_key.c_str()));
    EXPECT_EQ(ActiveLanguageFile(), "");
    WriteLanguageSetting(m_key.c_str(), "german.lng");
    EXPECT_TRUE(InitLanguage(m_key.c_str()));
    WriteLanguageSetting(m_key.c_str(), m_folder + "\\LNG\\german.lng");
    EXPECT_TRUE(InitLanguage(m_key.c_str()));
    FillLanguageList(m_combo);
    EXPECT_EQ(Selected(), "Deutsch");
    WriteLanguageSetting(m_key.c_str(), "missing.lng");
    EXPECT_FALSE(InitLanguage(m_key.c_str()));
}

// The program hands over its folder with the separator at its end; the stored choice and
// the file read must still name the LNG folder with a single one.
TEST_F(LanguageTest, TheChosenFileIsNamedWithSingleSeparatorsWhateverTheFolderEndsWith) {
    const std::string expected = m_folder + "\\LNG\\german.lng";
    AddGerman();
    for (const std::string& folder : {m_folder, m_folder + "\\"}) {
        SetLanguageProgramFolder(folder);
        WriteLanguageSetting(m_key.c_str(), "");
        InitLanguage(m_key.c_str());
        ASSERT_TRUE(Choose("Deutsch")) << folder;
        char stored[300] = {};
        DWORD size = sizeof stored;
        RegGetValueA(HKEY_CURRENT_USER, m_key.c_str(), "Language", RRF_RT_REG_SZ, nullptr, stored,
                     &size);
        EXPECT_EQ(std::string(stored), expected) << folder;
        WriteLanguageSetting(m_key.c_str(), "german.lng");
        ASSERT_TRUE(InitLanguage(m_key.c_str())) << folder;
        EXPECT_EQ(ActiveLanguageFile(), expected) << folder;
    }
}

TEST_F(LanguageTest, GermanFileTranslatesEveryDialogPageAndTitle) {
    AddGerman();
    ASSERT_TRUE(Choose("Deutsch"));
    char stored[300] = {};
    DWORD size = sizeof stored;
    RegGetValueA(HKEY_CURRENT_USER, m_key.c_str(), "Language", RRF_RT_REG_SZ, nullptr, stored,
                 &size);
    EXPECT_EQ(std::string(stored), m_folder + "\\LNG\\german.lng");

    LanguageFile german = LanguageFile::Parse(ReadAll(ShippedFile("german.lng")));
    for (int id : kDialogs) {
        HWND w = OpenDialog(id);
        std::string section = lang::DialogSection(id);
        for (const std::string& key : german.Keys(section)) {
            std::string expected = lang::Unescape(*german.Get(section, key), lang::kMaxControlText);
            if (key == lang::kNameKey) {
                EXPECT_EQ(WindowText(w), expected) << id;
            } else {
                EXPECT_EQ(ItemText(w, static_cast<int>(*lang::LeadingControlId(key))), expected)
                    << id << " " << key;
            }
        }
        DestroyWindow(w);
    }
    EXPECT_EQ(SheetTabs(), (std::vector<std::string>{"Tray-Programme", "Autostart-Programme",
                                                     "Benutzeroberfl\xE4"
                                                     "che",
                                                     "Erweitert"}));
    char text[256];
    LoadUiString(GetModuleHandleA(nullptr), IDS_SETTINGS_CAPTION, text, sizeof text);
    EXPECT_STREQ(text, "Quillory - Einstellungen");
}

TEST_F(LanguageTest, SwitchingBackToEnglishRestoresEveryText) {
    AddGerman();
    ASSERT_TRUE(Choose("Deutsch"));
    std::vector<HWND> open;
    for (int id : kDialogs) {
        open.push_back(OpenDialog(id));
    }
    EXPECT_EQ(ItemText(open[0], ID_CMD_HELP), "&Hilfe");
    ASSERT_TRUE(Choose("  English (internal)"));
    char stored[300] = "unchanged";
    DWORD size = sizeof stored;
    RegGetValueA(HKEY_CURRENT_USER, m_key.c_str(), "Language", RRF_RT_REG_SZ, nullptr, stored,
                 &size);
    EXPECT_STREQ(stored, "");

    // The same windows, translated again as they are when shown again, read English.
    LanguageFile english = LanguageFile::Parse(ReadAll(ShippedFile("english.lng")));
    for (std::size_t i = 0; i < open.size(); ++i) {
        int id = kDialogs[i];
        TranslateDialog(open[i], id);
        std::string section = lang::DialogSection(id);
        for (const std::string& key : english.Keys(section)) {
            std::string expected =
                lang::Unescape(*english.Get(section, key), lang::kMaxControlText);
            if (key == lang::kNameKey) {
                EXPECT_EQ(WindowText(open[i]), expected) << id;
            } else {
                EXPECT_EQ(ItemText(open[i], static_cast<int>(*lang::LeadingControlId(key))),
                          expected)
                    << id << " " << key;
            }
        }
        DestroyWindow(open[i]);
    }
    EXPECT_EQ(SheetTabs(), (std::vector<std::string>{"Tray Programs", "AutoStart Programs",
                                                     "User Interface", "Advanced"}));
}

TEST_F(LanguageTest, MainWindowKeepsItsCaption) {
    AddFile("x.lng",
            "[QUILLORY_LANGUAGE]\r\n_____=X\r\n[101]\r\n_____=Hauptfenster\r\n00203=Hilfe!\r\n");
    HWND main = OpenDialog(IDD_MAIN);
    SetWindowTextA(main, "Quillory");
    SetLanguageMainWindow(main);
    ASSERT_TRUE(Choose("X"));
    TranslateDialog(main, IDD_MAIN);
    EXPECT_EQ(WindowText(main), "Quillory");
    EXPECT_EQ(ItemText(main, ID_CMD_HELP), "Hilfe!");
    ASSERT_TRUE(Choose("  English (internal)"));
    TranslateDialog(main, IDD_MAIN);
    EXPECT_EQ(WindowText(main), "Quillory");
    EXPECT_EQ(ItemText(main, ID_CMD_HELP), "&Help");
    SetLanguageMainWindow(nullptr);
    DestroyWindow(main);
}

TEST_F(LanguageTest, ControlTextEscapesAndLimits) {
    AddFile("x.lng",
            "[QUILLORY_LANGUAGE]\r\n_____=X\r\n"
            "[121]\r\n01001=first\\nsecond\r\n01002=a\\\\b\r\n00001=\"" +
                std::string(300, 'w') +
                "\"\r\n0x=ignored\r\nnotanumber=ignored\r\n"
                "[STRING_TABLE]\r\n00013=line\\none\r\n00014=" +
                std::string(40, 'c') + "\r\n");
    ASSERT_TRUE(Choose("X"));
    HWND w = OpenDialog(IDD_ENTER_PASSWORD);
    EXPECT_EQ(ItemText(w, IDC_PW_NOTICE), "first\nsecond");
    EXPECT_EQ(ItemText(w, IDC_PW_LABEL), "a\\b");
    EXPECT_EQ(ItemText(w, ID_CMD_OK), std::string(255, 'w'));
    EXPECT_EQ(ItemText(w, ID_CMD_CANCEL), "Cancel");

    // The notice shows on two lines.
    HWND notice = GetDlgItem(w, IDC_PW_NOTICE);
    HDC dc = GetDC(notice);
    SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(notice, WM_GETFONT, 0, 0)));
    RECT one = {0, 0, 1000, 0}, two = {0, 0, 1000, 0};
    DrawTextA(dc, "first", -1, &one, DT_CALCRECT | DT_WORDBREAK);
    DrawTextA(dc, "first\nsecond", -1, &two, DT_CALCRECT | DT_WORDBREAK);
    ReleaseDC(notice, dc);
    EXPECT_EQ(two.bottom, 2 * one.bottom);
    DestroyWindow(w);

    char text[16];
    EXPECT_EQ(LoadUiString(GetModuleHandleA(nullptr), IDS_OLD_PASSWORD_WRONG, text, sizeof text),
              8);
    EXPECT_STREQ(text, "line\none");
    EXPECT_EQ(LoadUiString(GetModuleHandleA(nullptr), IDS_BAD_PASSWORD_CAPTION, text, sizeof text),
              15);
    EXPECT_EQ(std::string(text), std::string(15, 'c'));
    LoadUiString(GetModuleHandleA(nullptr), IDS_SETTINGS_CAPTION, text, sizeof text);
    EXPECT_STREQ(text, "Quillory - Sett");  // not in the file: built-in, cut to the buffer
}

TEST_F(LanguageTest, ChoosingAutoStoresMinusOneAndShowsEnglish) {
    AddGerman();
    ASSERT_TRUE(Choose("Deutsch"));
    HWND w = OpenDialog(IDD_ENTER_PASSWORD);
    EXPECT_TRUE(Choose(" Auto"));
    char stored[300] = {};
    DWORD size = sizeof stored;
    RegGetValueA(HKEY_CURRENT_USER, m_key.c_str(), "Language", RRF_RT_REG_SZ, nullptr, stored,
                 &size);
    EXPECT_STREQ(stored, "-1");
    TranslateDialog(w, IDD_ENTER_PASSWORD);
    EXPECT_EQ(WindowText(w), "Enter password:");
    EXPECT_EQ(ItemText(w, ID_CMD_CANCEL), "Cancel");
    DestroyWindow(w);
    CreditLine(m_parent);
    EXPECT_EQ(WindowText(m_parent), kBuiltInCreditLine);

    EXPECT_FALSE(InitLanguage(m_key.c_str()));
    EXPECT_TRUE(LanguageIsAuto());
    FillLanguageList(m_combo);
    EXPECT_EQ(Selected(), " Auto");

    // From Auto to English no text changes, so the dialog need not reopen; the choice is
    // still remembered for the next start.
    EXPECT_FALSE(Choose("  English (internal)"));
    size = sizeof stored;
    RegGetValueA(HKEY_CURRENT_USER, m_key.c_str(), "Language", RRF_RT_REG_SZ, nullptr, stored,
                 &size);
    EXPECT_STREQ(stored, "");
    EXPECT_FALSE(LanguageIsAuto());
}

TEST_F(LanguageTest, CreditLineComesFromTheActiveFile) {
    AddGerman();
    ASSERT_TRUE(Choose("Deutsch"));
    CreditLine(m_parent);
    EXPECT_EQ(WindowText(m_parent).rfind("Deutsche Texte von Quillory", 0), 0u);
}

TEST_F(LanguageTest, TrayMenuTranslationFollowsTheTabRule) {
    AddFile("x.lng",
            "[QUILLORY_LANGUAGE]\r\n_____=X\r\n"
            "[Quillory Menu]\r\n_____=Quillory-Men\xFC\r\n01004=&Einstellungen\tStrg+E\r\n"
            "01005=&Info\r\n00203=&Hilfe\r\n40001=&Beenden\r\n");
    ASSERT_TRUE(Choose("X"));
    HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_TRAY_MENU));
    HMENU popup = GetSubMenu(menu, 0);
    MENUITEMINFOA mii = {};
    mii.cbSize = sizeof mii;
    mii.fMask = MIIM_STRING;
    mii.dwTypeData = const_cast<char*>("&Settings\tCtrl+Alt+Num -");
    SetMenuItemInfoA(popup, ID_CMD_SETTINGS, FALSE, &mii);

    // &Help as an owner-drawn entry, E&xit with item data of another kind.
    qly::MenuEntryHead help = {};
    help.msaa.dwMSAASignature = MSAA_MENU_SIG;
    strcpy(help.text, "&Help");
    mii.fMask = MIIM_FTYPE | MIIM_DATA;
    mii.fType = MFT_OWNERDRAW;
    mii.dwItemData = reinterpret_cast<ULONG_PTR>(&help);
    SetMenuItemInfoA(popup, ID_CMD_HELP, FALSE, &mii);
    DWORD foreign[4] = {0x12345678, 0, 0, 0};
    mii.fMask = MIIM_DATA;
    mii.dwItemData = reinterpret_cast<ULONG_PTR>(foreign);
    SetMenuItemInfoA(popup, ID_CMD_EXIT, FALSE, &mii);

    TranslateMenu(menu, IDR_TRAY_MENU, &qly::TrayMenuEntries());
    auto text = [](HMENU m, UINT item, UINT flags) {
        char buffer[256] = {};
        GetMenuStringA(m, item, buffer, sizeof buffer, flags);
        return std::string(buffer);
    };
    EXPECT_EQ(text(menu, 0, MF_BYPOSITION), "Quillory-Men\xFC");
    EXPECT_EQ(text(popup, ID_CMD_SETTINGS, MF_BYCOMMAND), "&Einstellungen\tCtrl+Alt+Num -");
    EXPECT_EQ(text(popup, ID_CMD_ABOUT, MF_BYCOMMAND), "&Info");
    EXPECT_EQ(text(popup, ID_CMD_EXIT, MF_BYCOMMAND), "E&xit");
    EXPECT_EQ(help.msaa.pszWText, help.wide_text);
    EXPECT_EQ(help.msaa.cchWText, 6u);
    EXPECT_STREQ(help.wide_text, L"&Hilfe");
    EXPECT_STREQ(help.text, "&Help");  // the drawn text belongs to the menu
    DestroyMenu(menu);

    // Without a file an entry announces its own text.
    ASSERT_TRUE(Choose("  English (internal)"));
    qly::MenuEntryHead about = {};
    about.msaa.dwMSAASignature = MSAA_MENU_SIG;
    strcpy(about.text, "&About");
    menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_TRAY_MENU));
    popup = GetSubMenu(menu, 0);
    mii.fMask = MIIM_FTYPE | MIIM_DATA;
    mii.fType = MFT_OWNERDRAW;
    mii.dwItemData = reinterpret_cast<ULONG_PTR>(&about);
    SetMenuItemInfoA(popup, ID_CMD_ABOUT, FALSE, &mii);
    TranslateMenu(menu, IDR_TRAY_MENU, &qly::TrayMenuEntries());
    EXPECT_STREQ(about.wide_text, L"&About");
    EXPECT_EQ(text(menu, 0, MF_BYPOSITION), "Quillory Menu");
    DestroyMenu(menu);
}

// A language file is untrusted: too long values, too many keys, keys that are no numbers and
// bytes that are no text are cut or ignored, and every window keeps working.
TEST_F(LanguageTest, HostileFileIsCutOrIgnored) {
    std::string file = "[QUILLORY_LANGUAGE]\r\n_____=" + std::string(5000, 'N') + "\r\n";
    file += "[121]\r\n01001=early\r\n_____=" + std::string(3000, '\\') + "\r\n";
    file += "99999999=x\r\n-5=x\r\n=x\r\n00002=" + std::string(4000, 'c') + "\r\n";
    for (int i = 0; i < 700; ++i) {
        file += "9" + std::to_string(1000 + i) + "=filler\r\n";  // 6 bytes each in the key list
    }
    file += "01002=beyond the key-list limit\r\n";
    file += "[STRING_TABLE]\r\n00013=" + std::string(5000, 'm') + "\r\n";
    AddFile("hostile.lng", file);
    std::string garbage;
    for (int i = 0; i < 4096; ++i) {
        garbage.push_back(static_cast<char>((i * 7919) % 251));
    }
    AddFile("garbage.lng", garbage);

    FillLanguageList(m_combo);
    auto entries = ListEntries();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[2], std::string(lang::kMaxDisplayName, 'N'));
    ASSERT_TRUE(Choose(entries[2]));

    HWND w = OpenDialog(IDD_ENTER_PASSWORD);
    EXPECT_EQ(ItemText(w, IDC_PW_NOTICE), "early");
    EXPECT_EQ(WindowText(w), std::string(lang::kMaxControlText, '\\'));
    EXPECT_EQ(ItemText(w, ID_CMD_CANCEL), std::string(lang::kMaxControlText, 'c'));
    EXPECT_EQ(ItemText(w, IDC_PW_LABEL), "&Password:");
    DestroyWindow(w);

    std::vector<char> text(4096, '\0');
    EXPECT_EQ(LoadUiString(GetModuleHandleA(nullptr), IDS_OLD_PASSWORD_WRONG, text.data(), 2048),
              2047);
    EXPECT_EQ(std::string(text.data()), std::string(2047, 'm'));
}

TEST_F(LanguageTest, MessageBoxShowsTranslatedTextAndCaption) {
    AddGerman();
    ASSERT_TRUE(Choose("Deutsch"));
    struct Seen {
        std::string caption;
        std::string text;
    } seen;
    HANDLE watcher = CreateThread(
        nullptr, 0,
        [](void* param) -> DWORD {
            auto* out = static_cast<Seen*>(param);
            for (int i = 0; i < 250; ++i) {
                HWND box = FindWindowA("#32770", "FALSCHES KENNWORT");
                if (box != nullptr) {
                    out->caption = WindowText(box);
                    for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
                        char cls[32] = {};
                        GetClassNameA(c, cls, sizeof cls);
                        if (lstrcmpiA(cls, "Static") == 0 && GetWindowTextLengthA(c) > 0) {
                            out->text = WindowText(c);
                        }
                    }
                    PostMessageA(box, WM_COMMAND, IDOK, 0);
                    return 0;
                }
                Sleep(20);
            }
            return 1;
        },
        &seen, 0, nullptr);
    int pressed = UiMessageBox(GetModuleHandleA(nullptr), nullptr, IDS_NEW_PASSWORDS_DIFFER,
                               IDS_BAD_PASSWORD_CAPTION, MB_OK | MB_ICONEXCLAMATION);
    WaitForSingleObject(watcher, 10000);
    CloseHandle(watcher);
    EXPECT_EQ(pressed, IDOK);
    EXPECT_EQ(seen.caption, "FALSCHES KENNWORT");
    EXPECT_EQ(seen.text,
              "Die neuen Kennw\xF6rter stimmen nicht \xFC"
              "berein!");
}

// Every shipped file covers every text of the resources and names nothing else; the
// English file is the resources' own texts, so translators start from the truth.
TEST(ShippedLanguageFiles, CoverEveryResourceTextAndNothingElse) {
    auto resources = ResourceTexts();
    ASSERT_FALSE(resources.empty());
    for (const char* name : {"english.lng", "german.lng", "french.lng"}) {
        LanguageFile file = LanguageFile::Parse(ReadAll(ShippedFile(name)));
        std::set<std::string> sections;
        for (const auto& s : file.Sections()) {
            sections.insert(s);
        }
        std::set<std::string> expected_sections{lang::kHeaderSection};
        for (const auto& [section, keys] : resources) {
            expected_sections.insert(section);
            std::set<std::string> have;
            for (const auto& k : file.Keys(section)) {
                have.insert(k);
            }
            std::set<std::string> want;
            for (const auto& entry : keys) {
                want.insert(entry.first);
            }
            EXPECT_EQ(have, want) << name << " [" << section << "]";
        }
        EXPECT_EQ(sections, expected_sections) << name;
        EXPECT_TRUE(file.Get(lang::kHeaderSection, lang::kNameKey).has_value()) << name;
        EXPECT_TRUE(file.Get(lang::kHeaderSection, lang::kCreditKey).has_value()) << name;
    }
    LanguageFile english = LanguageFile::Parse(ReadAll(ShippedFile("english.lng")));
    for (const auto& [section, keys] : resources) {
        for (const auto& [key, text] : keys) {
            auto value = english.Get(section, key);
            std::string shown = section.rfind("M_", 0) == 0 || section == "Quillory Menu" ||
                                        (key == lang::kNameKey && section != lang::kStringSection)
                                    ? value.value_or("")
                                    : lang::Unescape(value.value_or(""), 4096);
            EXPECT_EQ(shown, text) << "[" << section << "] " << key;
        }
    }
}

}  // namespace
}  // namespace qly
