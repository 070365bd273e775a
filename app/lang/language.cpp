// The language layer over the system's profile, dialog, menu and property-sheet functions;
// see language.h. All text rules (escapes, limits, the tab rule, key names, templates) are
// in the Win32-free core; this file only reads and writes windows, files and the registry.
#include "app/lang/language.h"

#include <map>
#include <optional>
#include <set>
#include <vector>

#include "app/base/unique_handle.h"
#include "app/lang/dialog_template.h"
#include "app/lang/lang_text.h"
#include "resources/resource.h"

namespace qly {

const char kBuiltInCreditLine[] =
    "Built-in English texts of Quillory. Language files in the LNG folder add other languages.";

namespace {

using namespace qly::lang;

struct LanguageState {
    std::string active;  // full path of the active language file, empty for built-in texts
    bool is_auto = false;
    std::vector<std::string> list_paths;  // behind the file entries of the language list
    std::set<int> translated;             // dialogs translated in this run
    std::string program_folder;
    HINSTANCE module = nullptr;
    HWND main_window = nullptr;
    std::map<int, std::string> page_titles;  // kept alive for the property sheet
};

LanguageState& State() {
    static LanguageState state;
    return state;
}

// Item data of the language list: 0 and 1 are the built-in entries, 2 + i the file i.
constexpr LRESULT kEnglishData = 0;
constexpr LRESULT kAutoData = 1;
constexpr LRESULT kFirstFileData = 2;

HINSTANCE Module() {
    return State().module ? State().module : GetModuleHandleA(nullptr);
}

std::string ProgramFolder() {
    if (!State().program_folder.empty()) {
        return State().program_folder;
    }
    char path[MAX_PATH] = {};
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, n < MAX_PATH ? n : 0);
    std::size_t slash = folder.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : folder.substr(0, slash);
}

// The program folder given at start ends with its separator, the one found here does not;
// either way the LNG folder is named with a single one, as it is stored with the choice.
std::string LngFolder() {
    std::string folder = ProgramFolder();
    if (!folder.empty() && folder.back() != '\\' && folder.back() != '/') {
        folder += '\\';
    }
    return folder + "LNG";
}

// One value of a language file, at most max_chars characters; empty counts as absent.
std::optional<std::string> ReadValue(const std::string& file,
                                     const std::string& section,
                                     const std::string& key,
                                     std::size_t max_chars) {
    std::vector<char> buffer(max_chars + 1, '\0');
    DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buffer.data(),
                                       static_cast<DWORD>(buffer.size()), file.c_str());
    if (n == 0 || n > max_chars) {
        return std::nullopt;
    }
    return std::string(buffer.data(), n);
}

std::optional<std::string> ReadActive(const std::string& section,
                                      const std::string& key,
                                      std::size_t max_chars) {
    if (State().active.empty()) {
        return std::nullopt;
    }
    return ReadValue(State().active, section, key, max_chars);
}

bool IsLanguageFile(const std::string& path) {
    return ReadValue(path, kHeaderSection, kNameKey, kMaxDisplayName).has_value();
}

std::string ToAnsi(const std::u16string& text) {
    if (text.empty()) {
        return std::string();
    }
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    int n = WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(text.size()), nullptr, 0, nullptr,
                                nullptr);
    std::string out(n > 0 ? static_cast<std::size_t>(n) : 0, '\0');
    if (n > 0) {
        WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(text.size()), out.data(), n, nullptr,
                            nullptr);
    }
    return out;
}

bool KeepsCaption(HWND dialog, int dialog_id) {
    return dialog == State().main_window || dialog_id == IDD_MAIN;
}

void ApplyFileToDialog(HWND dialog, int dialog_id) {
    State().translated.insert(dialog_id);
    std::string section = DialogSection(dialog_id);
    std::vector<char> keys(kMaxKeyListBytes + 1, '\0');
    DWORD n = GetPrivateProfileStringA(section.c_str(), nullptr, "", keys.data(),
                                       static_cast<DWORD>(keys.size()), State().active.c_str());
    bool cut = n + 2 >= keys.size();
    for (const std::string& key : SplitKeyList(keys.data(), n + 1u, kMaxKeyListBytes, cut)) {
        // Every escaped character takes two in the file, so twice the limit is read.
        auto raw = ReadValue(State().active, section, key, 2 * kMaxControlText + 1);
        if (!raw) {
            continue;
        }
        std::string text = Unescape(*raw, kMaxControlText);
        if (key == kNameKey) {
            if (!KeepsCaption(dialog, dialog_id)) {
                SetWindowTextA(dialog, text.c_str());
            }
        } else if (auto id = LeadingControlId(key)) {
            SetDlgItemTextA(dialog, static_cast<int>(*id), text.c_str());
        }
    }
}

void RestoreEnglish(HWND dialog, int dialog_id) {
    HINSTANCE module = Module();
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(dialog_id), MAKEINTRESOURCEA(5));
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (bytes == nullptr) {
        return;
    }
    auto parsed =
        ParseDialogTemplate(static_cast<const std::uint8_t*>(bytes), SizeofResource(module, found));
    if (!parsed) {
        return;
    }
    if (!KeepsCaption(dialog, dialog_id)) {
        SetWindowTextA(dialog, ToAnsi(parsed->caption).c_str());
    }
    for (const TemplateControl& control : parsed->controls) {
        if (IsRestorableControl(control)) {
            SetDlgItemTextA(dialog, static_cast<int>(control.id),
                            ToAnsi(control.text.name).c_str());
        }
    }
    State().translated.erase(dialog_id);
}

void SetItemText(HMENU menu, UINT position, const std::string& text) {
    MENUITEMINFOA mii = {};
    mii.cbSize = sizeof mii;
    mii.fMask = MIIM_STRING;
    mii.dwTypeData = const_cast<char*>(text.c_str());
    SetMenuItemInfoA(menu, position, TRUE, &mii);
}

void TranslateMenuSection(HMENU menu,
                          const std::string& section,
                          int depth,
                          const OwnerDrawnEntries* entries) {
    if (menu == nullptr || depth > 8) {
        return;
    }
    int count = GetMenuItemCount(menu);
    for (int i = count - 1; i >= 0; --i) {
        char text[kMaxMenuReadText + 1] = {};
        MENUITEMINFOA mii = {};
        mii.cbSize = sizeof mii;
        mii.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_DATA | MIIM_FTYPE | MIIM_STRING;
        mii.dwTypeData = text;
        mii.cch = sizeof text;
        UINT position = static_cast<UINT>(i);
        if (!GetMenuItemInfoA(menu, position, TRUE, &mii) || (mii.fType & MFT_SEPARATOR)) {
            continue;
        }
        text[kMaxMenuReadText] = '\0';
        if (mii.hSubMenu != nullptr) {
            if (auto caption = ReadActive(text, kNameKey, kMaxMenuText)) {
                SetItemText(menu, position, *caption);
            }
            TranslateMenuSection(mii.hSubMenu, text, depth + 1, entries);
            continue;
        }
        const ULONG_PTR entry = mii.dwItemData;
        if (entry == 0 && State().active.empty()) {
            continue;
        }
        if (entry != 0 && (entries == nullptr || !entries->Owns(entry))) {
            continue;  // item data of another kind: not ours to touch
        }
        std::string english = text;
        if (entry != 0) {
            english = entries->Text(entry);
        }
        std::optional<std::string> translated;
        if (auto value = ReadActive(section, IdKey(mii.wID), kMaxMenuReadText)) {
            translated = ApplyMenuTabRule(english, *value, kMaxMenuText);
        }
        if (entry != 0) {
            entries->Announce(entry, translated ? *translated : english.substr(0, kMaxMenuText));
        }
        if (translated && !(mii.fType & MFT_OWNERDRAW)) {
            SetItemText(menu, position, *translated);
        }
    }
}

int FindByData(HWND combo, LRESULT data) {
    LRESULT count = SendMessageA(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        if (SendMessageA(combo, CB_GETITEMDATA, static_cast<WPARAM>(i), 0) == data) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void AddEntry(HWND combo, const std::string& text, LRESULT data) {
    LRESULT index = SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (index >= 0) {
        SendMessageA(combo, CB_SETITEMDATA, static_cast<WPARAM>(index), data);
    }
}

bool HasLngExtension(const std::string& name) {
    return name.size() > 4 &&
           EqualsIgnoreCase(std::string_view(name).substr(name.size() - 4), ".lng");
}

}  // namespace

void SetLanguageProgramFolder(const std::string& folder) {
    State().program_folder = folder;
}

void SetLanguageModule(HINSTANCE module) {
    State().module = module;
}

void SetLanguageMainWindow(HWND main_window) {
    State().main_window = main_window;
}

const std::string& ActiveLanguageFile() {
    return State().active;
}

bool LanguageIsAuto() {
    return State().is_auto;
}

std::string ReadLanguageSetting(const char* settings_key) {
    UniqueKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, settings_key, 0, KEY_QUERY_VALUE, key.out()) !=
        ERROR_SUCCESS) {
        return std::string();
    }
    char buffer[kMaxLanguageValue + 1] = {};
    DWORD type = 0;
    DWORD size = sizeof buffer;
    LONG rc = RegQueryValueExA(key.get(), kLanguageValueName, nullptr, &type,
                               reinterpret_cast<BYTE*>(buffer), &size);
    // A value too long for the buffer, or not a string, counts as no choice.
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ) || size > sizeof buffer) {
        return std::string();
    }
    return std::string(buffer, strnlen(buffer, size < sizeof buffer ? size : kMaxLanguageValue));
}

bool WriteLanguageSetting(const char* settings_key, const std::string& value) {
    UniqueKey key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, settings_key, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        key.out(), nullptr) != ERROR_SUCCESS) {
        return false;
    }
    return RegSetValueExA(key.get(), kLanguageValueName, 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

bool InitLanguage(const char* settings_key) {
    LanguageState& s = State();
    s.active.clear();
    s.is_auto = false;
    std::string value = ReadLanguageSetting(settings_key);
    if (value.empty()) {
        return false;
    }
    if (value == kAutoValue) {
        s.is_auto = true;
    }
    std::string in_folder = LngFolder() + "\\" + value;
    if (IsLanguageFile(in_folder)) {
        s.active = in_folder;
    } else if (IsLanguageFile(value)) {
        s.active = value;
    }
    return !s.active.empty();
}

void TranslateDialog(HWND dialog, int dialog_id) {
    if (dialog == nullptr) {
        return;
    }
    if (!State().active.empty()) {
        ApplyFileToDialog(dialog, dialog_id);
    } else if (State().translated.count(dialog_id) != 0) {
        RestoreEnglish(dialog, dialog_id);
    }
}

void TranslateMenu(HMENU menu, int menu_id, const OwnerDrawnEntries* entries) {
    TranslateMenuSection(menu, MenuSection(menu_id), 0, entries);
}

void TranslateMenuPopup(HMENU popup,
                        const std::string& english_caption,
                        const OwnerDrawnEntries* entries) {
    TranslateMenuSection(popup, english_caption, 1, entries);
}

std::string MenuItemText(const std::string& section, UINT id, const std::string& built_in) {
    if (auto value = ReadActive(section, IdKey(id), kMaxMenuText)) {
        return *value;
    }
    return built_in;
}

HPROPSHEETPAGE CreateTranslatedPage(PROPSHEETPAGEA* page) {
    if (page == nullptr) {
        return nullptr;
    }
    if (!(page->dwFlags & PSP_DLGINDIRECT) && IS_INTRESOURCE(page->pszTemplate)) {
        int id = static_cast<int>(reinterpret_cast<ULONG_PTR>(page->pszTemplate));
        if (auto title = ReadActive(DialogSection(id), kNameKey, kMaxPageTitle)) {
            std::string& kept = State().page_titles[id];
            kept = *title;
            page->dwFlags |= PSP_USETITLE;
            page->pszTitle = kept.c_str();
        }
    }
    return CreatePropertySheetPageA(page);
}

int LoadUiString(HINSTANCE module, UINT id, char* buffer, int size) {
    if (buffer == nullptr || size <= 0) {
        return 0;
    }
    std::size_t limit = static_cast<std::size_t>(size) - 1;
    if (auto raw = ReadActive(kStringSection, IdKey(id), limit)) {
        std::string text = Unescape(*raw, limit);
        memcpy(buffer, text.c_str(), text.size() + 1);
        return static_cast<int>(text.size());
    }
    buffer[0] = '\0';
    return LoadStringA(module, id, buffer, size);
}

int UiMessageBox(HINSTANCE module, HWND owner, UINT text_id, UINT caption_id, UINT style) {
    char text[kMaxMessageText + 1];
    char caption[kMaxMessageCaption + 1];
    LoadUiString(module, text_id, text, sizeof text);
    LoadUiString(module, caption_id, caption, sizeof caption);
    return MessageBoxA(owner, text, caption, style);
}

void CreditLine(HWND edit) {
    auto credit = ReadActive(kHeaderSection, kCreditKey, kMaxCreditLine);
    SetWindowTextA(edit, credit ? credit->c_str() : kBuiltInCreditLine);
}

void FillLanguageList(HWND combo) {
    LanguageState& s = State();
    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    s.list_paths.clear();
    AddEntry(combo, kEnglishEntry, kEnglishData);
    AddEntry(combo, kAutoEntry, kAutoData);

    std::string folder;
    if (!s.active.empty()) {
        std::size_t slash = s.active.find_last_of("\\/");
        folder = slash == std::string::npos ? std::string(".") : s.active.substr(0, slash);
    } else {
        folder = LngFolder();
    }
    LRESULT select = s.is_auto ? kAutoData : kEnglishData;
    WIN32_FIND_DATAA found = {};
    HANDLE search = FindFirstFileA((folder + "\\*.LNG").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if ((found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN)) ||
                !HasLngExtension(name)) {
                continue;
            }
            std::string path = folder + "\\" + name;
            auto display = ReadValue(path, kHeaderSection, kNameKey, kMaxDisplayName);
            if (!display) {
                continue;
            }
            s.list_paths.push_back(path);
            LRESULT data = kFirstFileData + static_cast<LRESULT>(s.list_paths.size() - 1);
            AddEntry(combo, *display, data);
            if (!s.is_auto && EqualsIgnoreCase(path, s.active)) {
                select = data;
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(FindByData(combo, select)), 0);
}

bool ApplyLanguageChoice(HWND combo, const char* settings_key) {
    LanguageState& s = State();
    LRESULT selected = SendMessageA(combo, CB_GETCURSEL, 0, 0);
    if (selected == CB_ERR) {
        return false;
    }
    LRESULT data = SendMessageA(combo, CB_GETITEMDATA, static_cast<WPARAM>(selected), 0);
    bool was_auto = s.is_auto;
    std::string previous = s.active;
    s.is_auto = false;
    s.active.clear();
    if (data == kAutoData) {
        s.is_auto = true;
    } else if (data >= kFirstFileData &&
               static_cast<std::size_t>(data - kFirstFileData) < s.list_paths.size()) {
        s.active = s.list_paths[static_cast<std::size_t>(data - kFirstFileData)];
    }
    bool changed = (!s.active.empty() && !EqualsIgnoreCase(s.active, previous)) ||
                   (s.active.empty() && !previous.empty());
    // Switching between the two built-in entries changes no text, but the choice is still
    // the user's and must survive a restart.
    if (changed || was_auto != s.is_auto) {
        WriteLanguageSetting(settings_key, s.is_auto ? kAutoValue : s.active);
    }
    return changed;
}

}  // namespace qly
