// A report-style list view driven through typed calls: rows of 8-bit text with an icon from
// a shared image list, a check state and one typed value per row, selection, lookup of a row
// by its value, and sorting by value. The wrapper borrows the control (the dialog owns it);
// every call reports failure as -1, false or an empty optional and never throws.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <optional>
#include <string>

#include "app/ui/controls/item_data.h"

namespace qly {

// The messages that do not depend on the type of the row values.
class ListViewBase {
  public:
    explicit ListViewBase(HWND list) noexcept : m_list(list) {}
    HWND Handle() const noexcept { return m_list; }

    int Count() const;
    bool Clear();

    // Columns of the report view; AddColumn gives the new column's index or -1.
    int ColumnCount() const;
    int AddColumn(const std::string& title, int width);
    bool DeleteAllColumns();

    // The list view only shows the images; with LVS_SHAREIMAGELISTS the caller keeps them.
    void SetSmallImages(HIMAGELIST images);

    std::string Text(int row) const;
    bool SetText(int row, const std::string& text);
    bool RedrawRow(int row);

    // Check boxes appear once the extended style is on.
    void ShowCheckBoxes(bool on);
    bool IsChecked(int row) const;
    bool SetChecked(int row, bool checked);

    // The selected row, or -1.
    int Selected() const;
    // Selects and focuses one row (the single-selection list drops the old one).
    bool Select(int row);
    bool EnsureVisible(int row);

    // The row that a WM_NOTIFY reports as newly selected (LVN_ITEMCHANGED that sets
    // LVIS_SELECTED), or -1 for any other notification.
    static int RowSelectedBy(const NMHDR& header);

  protected:
    int InsertRaw(int row, const std::string& text, int image, LPARAM data);
    std::optional<LPARAM> DataRaw(int row) const;
    bool SetDataRaw(int row, LPARAM data);
    int FindRaw(LPARAM data) const;
    using RawCompare = int (*)(LPARAM a, LPARAM b, void* context);
    bool SortRaw(RawCompare compare, void* context);

  private:
    HWND m_list;
};

template <typename Data>
class ListView : public ListViewBase {
  public:
    using ListViewBase::ListViewBase;

    // Inserts before `row` (Count() appends); the new row's index, or -1. `image` -1: none.
    int Insert(int row, const std::string& text, int image, const Data& data) {
        return InsertRaw(row, text, image, Pack(data));
    }
    int Append(const std::string& text, int image, const Data& data) {
        return Insert(Count(), text, image, data);
    }
    std::optional<Data> DataOf(int row) const {
        const std::optional<LPARAM> word = DataRaw(row);
        if (!word)
            return std::nullopt;
        return UnpackItemData<Data>(static_cast<std::uintptr_t>(*word));
    }
    bool SetData(int row, const Data& data) { return SetDataRaw(row, Pack(data)); }
    // The first row holding `data` bit for bit, or -1.
    int Find(const Data& data) const { return FindRaw(Pack(data)); }
    // Orders the rows by their values; `less(a, b)` is a strict weak order.
    template <typename Less>
    bool Sort(Less less) {
        return SortRaw(
            [](LPARAM a, LPARAM b, void* context) -> int {
                Less& order = *static_cast<Less*>(context);
                const Data x = UnpackItemData<Data>(static_cast<std::uintptr_t>(a));
                const Data y = UnpackItemData<Data>(static_cast<std::uintptr_t>(b));
                return order(x, y) ? -1 : (order(y, x) ? 1 : 0);
            },
            &less);
    }

  private:
    static LPARAM Pack(const Data& data) { return static_cast<LPARAM>(PackItemData(data)); }
};

}  // namespace qly
