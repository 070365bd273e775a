// An owned image list of small icons, the kind the icon list and the autostart tree show:
// created masked with 8-bit colour, destroyed exactly once by its owner (the controls are
// told to share it, never to free it). Icons are copied in, so the caller keeps its own.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include "app/base/unique_handle.h"

namespace qly {

using ImageListTraits = NullHandleTraits<HIMAGELIST, &ImageList_Destroy>;

class ImageList {
  public:
    ImageList() = default;
    // An empty list; false when it could not be made (check with operator bool).
    static ImageList Create(int width, int height, int initial, int grow);

    explicit operator bool() const noexcept { return static_cast<bool>(m_list); }
    HIMAGELIST Handle() const noexcept { return m_list.get(); }
    int Count() const;
    // The new image's index, or -1.
    int AddIcon(HICON icon);
    bool ReplaceIcon(int index, HICON icon);

  private:
    explicit ImageList(HIMAGELIST list) noexcept : m_list(list) {}
    UniqueHandle<ImageListTraits> m_list;
};

}  // namespace qly
