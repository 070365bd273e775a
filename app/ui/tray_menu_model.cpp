// The tray menu's window-free decisions; see tray_menu_model.h.
#include "app/ui/tray_menu_model.h"

#include <algorithm>

#include "app/settings/rule_flags.h"

namespace qly {

namespace {

// Owners never wait long for a click: a hung owner costs the menu these and nothing more.
constexpr uint32_t kDownTimeoutMs = 2000;
constexpr uint32_t kUpTimeoutMs = 500;
constexpr uint32_t kDoubleClickTimeoutMs = 1000;
constexpr uint32_t kNotificationTimeoutMs = 500;

// An empty tip compares as eight blanks and a letter, so it stands before the tips that begin
// with a letter, and as another letter on either side, so that two icons without a tip never
// count as one.
constexpr char kEmptyTipLeft[] = "        x";
constexpr char kEmptyTipRight[] = "        y";

constexpr uint32_t kHoverWaitMs = 250;
constexpr uint32_t kHoverPeriodMs = 800;

uint32_t MakeWord32(uint32_t low, uint32_t high) {
    return (low & 0xFFFF) | ((high & 0xFFFF) << 16);
}

}  // namespace

bool KeptInMenu(const MenuCandidate& candidate) {
    if (!candidate.owner_alive || !ShownInMenu(candidate.rule_flags, candidate.default_flags))
        return false;
    const bool hidden_by_owner = (candidate.state & kNotifyStateHidden) != 0 &&
                                 (candidate.state_mask & kNotifyStateHidden) != 0;
    return !hidden_by_owner;
}

MenuOrder MenuOrderFromSetting(uint32_t sort_menu) {
    switch (sort_menu) {
        case 0:
            return MenuOrder::kInitial;
        case 1:
            return MenuOrder::kAlphabetical;
        default:
            return MenuOrder::kQuillory;
    }
}

int CompareTipsIgnoringCase(const std::string& a, const std::string& b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i <= n; ++i) {
        int x = i < a.size() ? static_cast<unsigned char>(a[i]) : 0;
        int y = i < b.size() ? static_cast<unsigned char>(b[i]) : 0;
        if (x >= 'A' && x <= 'Z')
            x += 'a' - 'A';
        if (y >= 'A' && y <= 'Z')
            y += 'a' - 'A';
        if (x != y || x == 0)
            return x - y;
    }
    return 0;
}

bool Precedes(MenuOrder order, const MenuSortKey& a, const MenuSortKey& b) {
    switch (order) {
        case MenuOrder::kInitial:
            return true;
        case MenuOrder::kAlphabetical:
            return CompareTipsIgnoringCase(a.tip.empty() ? kEmptyTipLeft : a.tip,
                                           b.tip.empty() ? kEmptyTipRight : b.tip) <= 0;
        case MenuOrder::kQuillory:
        default:
            // Unsigned on purpose: key 0 wraps to the largest value and sorts last.
            return a.order_key - 1u <= b.order_key - 1u;
    }
}

std::vector<size_t> InsertInOrder(size_t count,
                                  const std::function<bool(size_t a, size_t b)>& precedes) {
    std::vector<size_t> set;
    for (size_t item = 0; item < count; ++item) {
        size_t at = 0;
        while (at < set.size() && !precedes(item, set[at]))
            ++at;
        if (at > 0 && !precedes(set[at - 1], item))
            continue;
        set.insert(set.begin() + static_cast<std::ptrdiff_t>(at), item);
    }
    return set;
}

std::vector<size_t> MenuSetOrder(const std::vector<MenuSortKey>& keys, MenuOrder order) {
    return InsertInOrder(keys.size(),
                         [&](size_t a, size_t b) { return Precedes(order, keys[a], keys[b]); });
}

int EntriesPerColumn(int work_area_bottom, int text_height, int small_icon_height) {
    const int row = std::max({text_height, small_icon_height, 16}) + 2;
    return work_area_bottom / row - 1;
}

bool StartsNewColumn(size_t k, int entries_per_column) {
    if (entries_per_column <= 0)
        return false;
    const size_t slot = kEntriesBelowIcons + k;
    return slot > kEntriesBelowIcons && slot % static_cast<size_t>(entries_per_column) == 0;
}

TabParts SplitAtTab(const std::string& text) {
    TabParts parts;
    const size_t tab = text.find('\t');
    if (tab == std::string::npos) {
        parts.left = text;
        return parts;
    }
    parts.left = text.substr(0, tab);
    parts.right = text.substr(tab + 1);
    parts.has_tab = true;
    return parts;
}

EntrySize MeasureEntry(MenuMetrics* metrics, int left_width, int right_width, int text_height) {
    metrics->widest_left = std::max(metrics->widest_left, left_width);
    metrics->widest_right = std::max(metrics->widest_right, right_width);
    if (text_height <= metrics->icon_height) {
        metrics->text_offset = (metrics->icon_height - text_height) / 2;
        metrics->icon_offset = 0;
    } else {
        // A menu font taller than the icons: the text fills the entry and the icon is
        // centred beside it.
        metrics->text_offset = 0;
        metrics->icon_offset = (text_height - metrics->icon_height) / 2;
    }
    EntrySize size;
    size.width = metrics->widest_right + metrics->icon_width + metrics->widest_left + 12;
    size.height = std::max(text_height, metrics->icon_height) + 2;
    return size;
}

EntryLayout LayoutEntry(const MenuMetrics& metrics, int left, int top, int check_width) {
    const int check = check_width + (check_width & 1);
    EntryLayout layout;
    layout.text_x = left + metrics.icon_width + check + 8;
    layout.text_y = top + 2 + metrics.text_offset;
    layout.right_x = layout.text_x + metrics.widest_left + 16;
    layout.icon_x = layout.text_x - 8 - metrics.icon_width;
    layout.icon_y = top + 1 + metrics.icon_offset;
    return layout;
}

HoverStep HoverDecision(uint32_t now, uint32_t hover_start) {
    if (hover_start == 0)
        return HoverStep::kStartNow;
    const uint32_t elapsed = now - hover_start;
    if (elapsed <= kHoverWaitMs || elapsed == kHoverPeriodMs)
        return HoverStep::kWait;
    if (elapsed < kHoverPeriodMs)
        return HoverStep::kOpen;
    return HoverStep::kStartNow;
}

ClickKind KindOfChoice(const MenuClickFlags& flags, bool ctrl_held, bool shift_held) {
    ClickKind kind;
    kind.right = !flags.left_click || ctrl_held;
    kind.double_click = flags.double_click || shift_held;
    return kind;
}

std::vector<OwnerCallback> CallbacksFor(const ClickKind& kind,
                                        uint32_t icon_version,
                                        uint32_t uid,
                                        int x,
                                        int y) {
    std::vector<OwnerCallback> out;
    auto form = [&](uint32_t message, uint32_t timeout_ms) {
        OwnerCallback callback;
        if (icon_version >= 4) {
            callback.wparam = MakeWord32(static_cast<uint32_t>(x), static_cast<uint32_t>(y));
            callback.lparam = MakeWord32(message, uid);
        } else {
            callback.wparam = uid;
            callback.lparam = message;
        }
        callback.timeout_ms = timeout_ms;
        return callback;
    };
    auto send = [&](uint32_t message, uint32_t timeout_ms) {
        out.push_back(form(message, timeout_ms));
        if (icon_version >= 3 && message == kMsgLButtonUp)
            out.push_back(form(kMsgNinSelect, kNotificationTimeoutMs));
        if (icon_version >= 3 && message == kMsgRButtonUp)
            out.push_back(form(kMsgContextMenu, kNotificationTimeoutMs));
    };
    const uint32_t down = kind.right ? kMsgRButtonDown : kMsgLButtonDown;
    const uint32_t up = kind.right ? kMsgRButtonUp : kMsgLButtonUp;
    send(down, kDownTimeoutMs);
    send(up, kUpTimeoutMs);
    if (kind.double_click && !kind.right) {
        send(kMsgLButtonDblClk, kDoubleClickTimeoutMs);
        send(kMsgLButtonUp, kUpTimeoutMs);
    }
    return out;
}

}  // namespace qly
