// Where a click in the About box's link block goes: the block's upper half is the maker's
// web address, its lower half the mail address. Its edges belong to neither, so the hand
// cursor and the click agree on exactly the same points.
#pragma once

namespace qly {

struct LinkBlock {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

enum class LinkTarget { kNone, kWeb, kMail };

constexpr bool InsideLinkBlock(const LinkBlock& b, int x, int y) {
    return x > b.left && x < b.right && y > b.top && y < b.bottom;
}

constexpr LinkTarget HitLinkBlock(const LinkBlock& b, int x, int y) {
    if (!InsideLinkBlock(b, x, y))
        return LinkTarget::kNone;
    return y < (b.top + b.bottom) / 2 ? LinkTarget::kWeb : LinkTarget::kMail;
}

}  // namespace qly
