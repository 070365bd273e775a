// The tray menu's decisions that need no window: which registered icons it lists, the three
// menu orders and the insertion rule of their ordered set, where columns break, how an entry
// is measured and laid out, when hovering over the own icon opens the menu, what kind of
// click a choice was, and the callbacks an icon's owner receives for it. Plain C++; the
// Win32 layer (tray_menu.cpp) feeds it the platform's facts and checks the message numbers
// below against the platform's own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qly {

// Command identifiers: the fixed entries keep the main window's commands, the icon entries
// count up from here in the order of the menu's ordered set.
constexpr uint32_t kFirstIconEntryId = 41000;
// Entries that stand below the icon entries: the separator and the four fixed commands.
constexpr size_t kEntriesBelowIcons = 5;

// The notify state bit with which an owner hides its own icon.
constexpr uint32_t kNotifyStateHidden = 0x1;

// Mouse and notification messages as the owners receive them.
constexpr uint32_t kMsgContextMenu = 0x007B;
constexpr uint32_t kMsgLButtonDown = 0x0201;
constexpr uint32_t kMsgLButtonUp = 0x0202;
constexpr uint32_t kMsgLButtonDblClk = 0x0203;
constexpr uint32_t kMsgRButtonDown = 0x0204;
constexpr uint32_t kMsgRButtonUp = 0x0205;
constexpr uint32_t kMsgNinSelect = 0x0400;  // WM_USER: "the icon was selected"

// What decides whether one registered icon is listed.
struct MenuCandidate {
    uint32_t rule_flags = 0;     // the rule's word, defaults not yet folded in
    uint32_t default_flags = 3;  // DefaultFlags
    bool owner_alive = true;     // the owner window still exists
    uint32_t state = 0;          // dwState as stored
    uint32_t state_mask = 0;     // dwStateMask as stored
};
// Listed when the rule (or the default it follows) shows it in the menu and its owner
// neither vanished nor hid the icon itself (NIS_HIDDEN in both state and mask).
bool KeptInMenu(const MenuCandidate& candidate);

// SortMenu.
enum class MenuOrder : uint32_t { kInitial = 0, kAlphabetical = 1, kQuillory = 2 };
MenuOrder MenuOrderFromSetting(uint32_t sort_menu);

struct MenuSortKey {
    std::string tip;         // the tip as 8-bit text
    uint32_t order_key = 0;  // the rule's special position, 0 for none
};

// _stricmp over 8-bit text: negative, 0 or positive, letters A to Z folded to lower case.
int CompareTipsIgnoringCase(const std::string& a, const std::string& b);

// Whether `a` goes before `b` in the menu's ordered set:
//   initial       always, so every new item goes in front;
//   alphabetical  a's tip compares at most equal to b's, case ignored; an empty tip stands
//                 as "        x" on the left and as "        y" on the right;
//   Quillory      (key - 1) of a is at most (key - 1) of b, unsigned, so key 0 (no special
//                 position) is the largest of all.
bool Precedes(MenuOrder order, const MenuSortKey& a, const MenuSortKey& b);

// The menu's ordered set: items are offered one by one (index 0, 1, ... in registry order);
// each goes in before the first item of the set that it precedes (or at the end when it
// precedes none), and it is refused when the item just before that place does not precede
// it. Returns the offered indices in the set's order.
std::vector<size_t> InsertInOrder(size_t count,
                                  const std::function<bool(size_t a, size_t b)>& precedes);
std::vector<size_t> MenuSetOrder(const std::vector<MenuSortKey>& keys, MenuOrder order);

// Rows of one column: the work area's bottom divided by the row height (the larger of the
// text height, the small-icon height and 16, plus 2), less one.
int EntriesPerColumn(int work_area_bottom, int text_height, int small_icon_height);
// The k-th item of the set (k from 0) has slot 5 + k, counted from the bottom of the menu;
// it starts a new column when that slot is beyond 5 and a multiple of the rows per column.
// A work area too low for one row breaks nothing (the menu then scrolls as one column).
bool StartsNewColumn(size_t k, int entries_per_column);

// A text drawn in two parts, left and right of its first tab.
struct TabParts {
    std::string left;
    std::string right;
    bool has_tab = false;
};
TabParts SplitAtTab(const std::string& text);

// The sizes the menu measures once per opening and keeps while it is open.
struct MenuMetrics {
    int icon_width = 16;  // SM_CXSMICON
    int icon_height = 16;
    int widest_left = 0;  // widest text left of a tab (or whole text) seen so far
    int widest_right = 0;
    int text_offset = 0;  // vertical offsets of text and icon inside an entry
    int icon_offset = 0;
};
struct EntrySize {
    int width = 0;
    int height = 0;
};
// Measures one entry from its text's parts (right width 0 without a tab) and height, widening
// the metrics' widest parts; every entry is as wide as the widest parts together.
EntrySize MeasureEntry(MenuMetrics* metrics, int left_width, int right_width, int text_height);

struct EntryLayout {
    int text_x = 0;
    int text_y = 0;
    int right_x = 0;  // where the part after a tab starts
    int icon_x = 0;
    int icon_y = 0;
};
// Where an entry whose rectangle starts at (left, top) draws its text and icon; `check_width`
// is the check mark's width (rounded up to even here).
EntryLayout LayoutEntry(const MenuMetrics& metrics, int left, int top, int check_width);

// Hovering over the own icon: what a mouse move at `now` does, given the hover start
// (0 for none; tick counts in milliseconds, compared unsigned).
enum class HoverStep { kStartNow, kWait, kOpen };
HoverStep HoverDecision(uint32_t now, uint32_t hover_start);
// A click on the own icon puts the hover start this far back, so it opens nothing.
constexpr uint32_t kHoverClickSetback = 800;

// What the input hooks noted while the menu was tracked, and the kind of click a choice is.
struct MenuClickFlags {
    bool left_click = true;  // cleared by a right button release or the context-menu key
    bool double_click = false;
};
struct ClickKind {
    bool right = false;
    bool double_click = false;
};
// A right click when the hooks saw one or Ctrl is held; a double click when the hooks saw
// one or Shift is held.
ClickKind KindOfChoice(const MenuClickFlags& flags, bool ctrl_held, bool shift_held);

// One callback message to an icon's owner (its message is the icon's uCallbackMessage).
struct OwnerCallback {
    uint64_t wparam = 0;
    uint64_t lparam = 0;
    uint32_t timeout_ms = 0;
};
// The callbacks the tray sends for a click of this kind, in the form the icon's version asks
// for: below 4 (uID, mouse message); from 4 (MAKEWPARAM(x, y), MAKELPARAM(mouse message,
// uID)). From version 3 on a left release is followed by NIN_SELECT and a right release by
// WM_CONTEXTMENU. A double click that is not a right click adds a double click and a release.
std::vector<OwnerCallback> CallbacksFor(const ClickKind& kind,
                                        uint32_t icon_version,
                                        uint32_t uid,
                                        int x,
                                        int y);

}  // namespace qly
