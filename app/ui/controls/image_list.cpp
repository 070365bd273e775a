// Small-icon image lists shared by the list and tree controls.
#include "app/ui/controls/image_list.h"

namespace qly {

ImageList ImageList::Create(int width, int height, int initial, int grow) {
    return ImageList(ImageList_Create(width, height, ILC_MASK | ILC_COLOR8, initial, grow));
}

int ImageList::Count() const {
    return m_list ? ImageList_GetImageCount(m_list.get()) : 0;
}

int ImageList::AddIcon(HICON icon) {
    if (!m_list || icon == nullptr)
        return -1;
    return ImageList_ReplaceIcon(m_list.get(), -1, icon);
}

bool ImageList::ReplaceIcon(int index, HICON icon) {
    if (!m_list || icon == nullptr || index < 0 || index >= Count())
        return false;
    return ImageList_ReplaceIcon(m_list.get(), index, icon) == index;
}

}  // namespace qly
