// Drawing of the "Password ..." button; see password_button.h.
#include "app/ui/settings/password_button.h"

#include "app/ui/program_state.h"
#include "resources/resource.h"

namespace qly {

namespace {

// One raised line of the frame: light at the top and left, shadow at the bottom and right.
void RaisedLine(HDC dc, RECT r) {
    HPEN light = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNHIGHLIGHT));
    HPEN shadow = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
    HGDIOBJ old = SelectObject(dc, light);
    MoveToEx(dc, r.left, r.bottom - 1, nullptr);
    LineTo(dc, r.left, r.top);
    LineTo(dc, r.right - 1, r.top);
    SelectObject(dc, shadow);
    LineTo(dc, r.right - 1, r.bottom - 1);
    LineTo(dc, r.left - 1, r.bottom - 1);
    SelectObject(dc, old);
    DeleteObject(light);
    DeleteObject(shadow);
}

}  // namespace

void DrawPasswordButton(const DRAWITEMSTRUCT& item, bool password_set) {
    HDC dc = item.hDC;
    RECT r = item.rcItem;
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    if (!(item.itemState & ODS_SELECTED)) {
        RaisedLine(dc, r);
        RECT inner = {r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
        RaisedLine(dc, inner);
    }
    char text[128] = "";
    GetWindowTextA(item.hwndItem, text, sizeof(text));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor((item.itemState & ODS_DISABLED) ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
    RECT text_area = r;
    DrawTextA(dc, text, -1, &text_area, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    const int height = r.bottom - r.top;
    const int offset = (height - 20) / 2 + 2;
    HICON icon = static_cast<HICON>(LoadImageA(
        App().instance, MAKEINTRESOURCEA(password_set ? IDI_PASSWORD_SET : IDI_PASSWORD_NONE),
        IMAGE_ICON, 16, 16, LR_SHARED));
    if (icon)
        DrawIconEx(dc, r.left + offset, r.top + offset, icon, 16, 16, 0, nullptr, DI_NORMAL);
    if (item.itemState & ODS_FOCUS) {
        RECT focus = {r.left + 3, r.top + 3, r.right - 2, r.bottom - 2};
        DrawFocusRect(dc, &focus);
    }
}

}  // namespace qly
