// The language layer every window of the program asks for its texts: it keeps the active
// language file, translates dialogs, property pages and the tray menu, loads string-table
// texts, and fills and applies the language list of the User Interface page. The Language
// setting is read and written here through the settings key path the caller names.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <string>

#include "app/base/program_names.h"

namespace qly {

// The Language value of the per-user settings key (kSettingsKeyPath).
inline constexpr char kLanguageValueName[] = "Language";

// What the menu translation needs from the owner of owner-drawn entries, so that it can
// translate them without knowing their record: whether an item's data is one of the
// owner's entries, the entry's own 8-bit text, and where the translated text goes for
// screen readers to announce (the drawn text stays the owner's).
class OwnerDrawnEntries {
  public:
    virtual ~OwnerDrawnEntries() = default;
    virtual bool Owns(ULONG_PTR item_data) const = 0;
    virtual std::string Text(ULONG_PTR item_data) const = 0;
    virtual void Announce(ULONG_PTR item_data, const std::string& text) const = 0;
};

// Where language files and built-in texts come from. Defaults: the folder of the program's
// executable, the executable's own resources, HKEY_CURRENT_USER and kSettingsKeyPath.
void SetLanguageProgramFolder(const std::string& folder);
void SetLanguageModule(HINSTANCE module);
// The main window keeps its caption whatever a language file says (a second instance
// finds the running one by it).
void SetLanguageMainWindow(HWND main_window);

// Reads Language and makes a language file active when it names a valid one.
bool InitLanguage(const char* settings_key = kSettingsKeyPath);
// For WM_INITDIALOG of every dialog and page.
void TranslateDialog(HWND dialog, int dialog_id);
// For the tray menu after loading its resource (section "M_<id>"). Owner-drawn items are
// translated only through `entries`; item data of any other kind is left alone.
void TranslateMenu(HMENU menu, int menu_id, const OwnerDrawnEntries* entries = nullptr);
// The same for a popup taken off its menu bar: its items are looked up in the section named
// by its English caption on that bar (the tray menu's is "Quillory Menu").
void TranslateMenuPopup(HMENU popup,
                        const std::string& english_caption,
                        const OwnerDrawnEntries* entries = nullptr);
// The text of one item of a menu section (key "%05d" of `id`), at most 63 characters, from
// the active file; `built_in` when no file is active or it has no such key. The tray menu
// draws its own entries and asks for their texts here.
std::string MenuItemText(const std::string& section, UINT id, const std::string& built_in);
// CreatePropertySheetPageA with the translated tab title.
HPROPSHEETPAGE CreateTranslatedPage(PROPSHEETPAGEA* page);
// LoadStringA with the active file's STRING_TABLE first. Returns the length.
int LoadUiString(HINSTANCE module, UINT id, char* buffer, int size);
int UiMessageBox(HINSTANCE module, HWND owner, UINT text_id, UINT caption_id, UINT style);
// The credit line under the language list.
void CreditLine(HWND edit);
void FillLanguageList(HWND combo);
// Makes the selected entry current and stores it; true when the active file changed.
bool ApplyLanguageChoice(HWND combo, const char* settings_key = kSettingsKeyPath);

// The state behind the list, for the User Interface page and for tests.
const std::string& ActiveLanguageFile();  // empty when the built-in texts are used
bool LanguageIsAuto();
// The program's own credit line, shown when no file gives one.
extern const char kBuiltInCreditLine[];

// The Language value under HKEY_CURRENT_USER\<settings_key>: empty when absent.
std::string ReadLanguageSetting(const char* settings_key);
bool WriteLanguageSetting(const char* settings_key, const std::string& value);

}  // namespace qly
