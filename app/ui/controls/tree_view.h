// A tree view driven through typed calls: items of 8-bit text with an icon from a shared
// image list and one typed value each, appended under a parent, expanded, selected, walked,
// and optionally ticked through the check-box state images. The wrapper borrows the control
// (the dialog owns it); failures come back as nullptr, false or an empty optional.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <optional>
#include <string>

#include "app/ui/controls/item_data.h"

namespace qly {

// The messages that do not depend on the type of the item values.
class TreeViewBase {
  public:
    explicit TreeViewBase(HWND tree) noexcept : m_tree(tree) {}
    HWND Handle() const noexcept { return m_tree; }

    bool Clear();
    int Count() const;
    // The tree only shows the images; the caller keeps and destroys the list.
    void SetImages(HIMAGELIST images);

    bool Expand(HTREEITEM item);
    bool IsExpanded(HTREEITEM item) const;
    bool Select(HTREEITEM item);
    // The caret (selected) item, or nullptr.
    HTREEITEM Selected() const;

    // nullptr for the root's items, for a missing one, and for the end of a walk.
    HTREEITEM Parent(HTREEITEM item) const;
    HTREEITEM FirstChild(HTREEITEM item) const;  // nullptr: the first top-level item
    HTREEITEM NextSibling(HTREEITEM item) const;

    std::string Text(HTREEITEM item) const;

    // Turns on TVS_CHECKBOXES, which the control only accepts after it was created.
    void ShowCheckBoxes();
    bool IsChecked(HTREEITEM item) const;
    bool SetChecked(HTREEITEM item, bool checked);

    // Shows the item's icon dimmed (TVIS_CUT), as for something that is there but off.
    bool SetGhosted(HTREEITEM item, bool ghosted);

    // The item that a WM_NOTIFY reports as the new selection (TVN_SELCHANGED with the
    // selected state), or nullptr for any other notification.
    static HTREEITEM ItemSelectedBy(const NMHDR& header);

  protected:
    HTREEITEM AppendRaw(HTREEITEM parent, const std::string& text, int image, LPARAM data);
    std::optional<LPARAM> DataRaw(HTREEITEM item) const;

  private:
    HWND m_tree;
};

template <typename Data>
class TreeView : public TreeViewBase {
  public:
    using TreeViewBase::TreeViewBase;

    // Appends under `parent` (nullptr: at the top level) with `image` as both the normal and
    // the selected image (-1: none); the new item, or nullptr.
    HTREEITEM Append(HTREEITEM parent, const std::string& text, int image, const Data& data) {
        return AppendRaw(parent, text, image, static_cast<LPARAM>(PackItemData(data)));
    }
    std::optional<Data> DataOf(HTREEITEM item) const {
        const std::optional<LPARAM> word = DataRaw(item);
        if (!word)
            return std::nullopt;
        return UnpackItemData<Data>(static_cast<std::uintptr_t>(*word));
    }
};

}  // namespace qly
