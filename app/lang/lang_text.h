// Text rules of language files, free of windows.h: the escapes, the length limits, the key
// and section names, the tab rule of menu items and the key-name list that the profile
// reader returns. Everything here takes untrusted text and never writes past a limit.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qly::lang {

// Limits in characters, terminator excluded.
constexpr std::size_t kMaxDisplayName = 259;
constexpr std::size_t kMaxCreditLine = 259;
constexpr std::size_t kMaxControlText = 255;
constexpr std::size_t kMaxKeyListBytes = 3999;  // key names of one dialog section, in all
constexpr std::size_t kMaxMenuText = 63;
constexpr std::size_t kMaxMenuReadText = 255;  // a menu item's English text as read
constexpr std::size_t kMaxPageTitle = 259;
constexpr std::size_t kMaxLanguageValue = 259;  // the stored Language setting
constexpr std::size_t kMaxMessageText = 2047;
constexpr std::size_t kMaxMessageCaption = 255;

inline constexpr char kHeaderSection[] = "QUILLORY_LANGUAGE";
inline constexpr char kNameKey[] = "_____";  // display name; also captions and popup titles
inline constexpr char kCreditKey[] = "____@";
inline constexpr char kStringSection[] = "STRING_TABLE";
inline constexpr char kAutoValue[] = "-1";  // Language value of the " Auto" entry
inline constexpr char kEnglishEntry[] = "  English (internal)";
inline constexpr char kAutoEntry[] = " Auto";

// Backslash escapes of control texts, captions and string-table values: \n line feed,
// \r carriage return, a backslash before any other character gives that character. A
// lone backslash at the very end stays a backslash. The result is cut to max_chars.
std::string Unescape(std::string_view raw, std::size_t max_chars);

// Key of a control, menu item or string: five decimal digits ("%05d").
std::string IdKey(unsigned id);
// Section of a dialog or page ("%d") and of a menu resource ("M_%d").
std::string DialogSection(int id);
std::string MenuSection(int id);

// A dialog-section key that begins with a decimal number names the control with that id.
// Keys that do not begin with a digit, and numbers no dialog control can carry
// (above 65535), give nothing.
std::optional<unsigned> LeadingControlId(std::string_view key);

// Case-insensitive ASCII comparison, as the profile functions and file names compare.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// The tab rule of translated menu items: when the English text has a tab, its part from
// the tab on (the shortcut) replaces the translation's part from its own tab on, or is
// appended when the translation has none. The result is cut to max_chars.
std::string ApplyMenuTabRule(std::string_view english,
                             std::string_view translated,
                             std::size_t max_chars = kMaxMenuText);

// The key names of one section as the profile reader returns them: NUL-terminated names in
// the first `length` bytes of the buffer; empty names are skipped. Only the
// first `max_bytes` bytes count; a name cut by that limit is dropped, and so is the last
// name when the reader reported that it had to cut the list (`last_is_cut`).
std::vector<std::string> SplitKeyList(const char* buffer,
                                      std::size_t length,
                                      std::size_t max_bytes = kMaxKeyListBytes,
                                      bool last_is_cut = false);

}  // namespace qly::lang
