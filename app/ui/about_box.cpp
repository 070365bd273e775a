// The About box's face and links; see about_box.h. The links react only while the box is
// in view and in front, so a click on a parked or covered box opens nothing.
#include "app/ui/about_box.h"

#include <shellapi.h>

#include <string>

#include "app/base/program_names.h"
#include "app/lang/language.h"
#include "app/ui/program_state.h"
#include "resources/resource.h"

namespace qly {

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);

const char* const kVersionLines[4] = {
    "Version " QLY_VERSION_TEXT,
    "A manager for the notification area",
    "(c) 2026 Karnoveldahus",
    "Free to use and to pass on",
};

std::string VersionBlock() {
    std::string text;
    for (const char* line : kVersionLines) {
        if (!text.empty())
            text += "\r\n";
        text += line;
    }
    return text;
}

std::string MailLink() {
    return std::string("mailto:") + kMakerMailAddress;
}

HFONT MakeFont(int height, bool underline) {
    return CreateFontA(height, 0, 0, 0, FW_BOLD, TRUE, underline, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_SWISS, "Arial");
}

// One line of the double border: left and top in one colour, right and bottom in the other.
void Frame(HDC dc, const RECT& r, COLORREF top_left, COLORREF bottom_right) {
    HPEN light = CreatePen(PS_SOLID, 1, top_left);
    HPEN dark = CreatePen(PS_SOLID, 1, bottom_right);
    HGDIOBJ old = SelectObject(dc, light);
    MoveToEx(dc, r.left, r.bottom - 1, nullptr);
    LineTo(dc, r.left, r.top);
    LineTo(dc, r.right - 1, r.top);
    SelectObject(dc, dark);
    LineTo(dc, r.right - 1, r.bottom - 1);
    LineTo(dc, r.left, r.bottom - 1);
    SelectObject(dc, old);
    DeleteObject(light);
    DeleteObject(dark);
}

bool LinksActive(HWND window) {
    return IsWindowVisible(window) && GetForegroundWindow() == window;
}

void Open(HWND window, const std::string& target) {
    // A failing start of the browser or the mail program is not reported.
    ShellExecuteA(window, "open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace

LinkBlock AboutLinkBlock(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    return LinkBlock{10, 65, client.right - 10, 105};
}

void PaintAboutBox(HWND window) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    if (dc == nullptr)
        return;
    RECT client;
    GetClientRect(window, &client);
    const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
    const COLORREF highlight = GetSysColor(COLOR_BTNHIGHLIGHT);
    Frame(dc, client, shadow, highlight);
    RECT inner = client;
    InflateRect(&inner, -1, -1);
    Frame(dc, inner, highlight, shadow);

    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    SetTextColor(dc, kRed);
    char name[64] = {};
    LoadUiString(App().instance, IDS_APP_NAME, name, sizeof name);
    HFONT name_font = MakeFont(48, false);
    HGDIOBJ previous = SelectObject(dc, name_font);
    RECT name_rect{50, 3, client.right - 10, 57};
    DrawTextA(dc, name, -1, &name_rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(dc, previous);

    const std::string version = VersionBlock();
    RECT version_rect{10, 105, client.right - 10, client.bottom - 30};
    DrawTextA(dc, version.c_str(), -1, &version_rect, DT_CENTER | DT_VCENTER);

    HFONT link_font = MakeFont(16, true);
    previous = SelectObject(dc, link_font);
    SetTextColor(dc, kBlue);
    const std::string links = std::string(kMakerWebAddress) + "\r\nE-mail: " + kMakerMailAddress;
    const LinkBlock block = AboutLinkBlock(window);
    RECT link_rect{block.left, block.top, block.right, block.bottom};
    DrawTextA(dc, links.c_str(), -1, &link_rect, DT_CENTER | DT_VCENTER);
    SelectObject(dc, previous);

    DeleteObject(name_font);
    DeleteObject(link_font);
    EndPaint(window, &ps);
}

void AboutMouseMove(HWND window, int x, int y) {
    if (!LinksActive(window))
        return;
    const bool over = InsideLinkBlock(AboutLinkBlock(window), x, y);
    const ProgramState& app = App();
    HCURSOR cursor = app.cursors[over ? 0 : 1];
    if (cursor == nullptr)
        cursor = LoadCursorA(nullptr, over ? IDC_HAND : IDC_ARROW);
    SetCursor(cursor);
}

void AboutClick(HWND window, int x, int y) {
    if (!LinksActive(window))
        return;
    switch (HitLinkBlock(AboutLinkBlock(window), x, y)) {
        case LinkTarget::kWeb:
            Open(window, kMakerWebAddress);
            break;
        case LinkTarget::kMail:
            Open(window, MailLink());
            break;
        case LinkTarget::kNone:
            break;
    }
}

void TellAFriend(HWND window) {
    Open(window, std::string("mailto:enter_here_the_email_address_of_your_friend?subject=nice "
                             "program&body=") +
                     kMakerWebAddress);
}

}  // namespace qly
