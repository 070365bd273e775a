// The tray window and its icons. Requests are decoded by shell_request.cpp; this file
// applies them the way the shell does (TRUE/FALSE to the caller) and keeps the toolbar,
// the per-button records and the image list in step.
#include "tools/trayhost/tray_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>

namespace trayhost {
namespace {

constexpr wchar_t kTrayClass[] = L"Shell_TrayWnd";
constexpr wchar_t kNotifyClass[] = L"TrayNotifyWnd";
constexpr wchar_t kPagerClass[] = L"SysPager";
constexpr int kTrayHeight = 32;
constexpr int kNotifyWidth = 420;
constexpr int kPager2Width = 96;
constexpr int kIconSize = 16;
constexpr int kButtonSize = 24;
constexpr UINT kHiddenState = 0x1;  // NIS_HIDDEN
constexpr UINT_PTR kBalloonTimer = 1;
// The shell keeps a balloon up for the caller's uTimeout, within these bounds.
constexpr UINT kBalloonMinMs = 10000;
constexpr UINT kBalloonMaxMs = 30000;

// Handles cross the wire as 32 bits; Windows widens them again by sign extension.
uint64_t WidenHandle(uint32_t h) {
    return static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(h)));
}

HWND HwndOf(uint64_t h) {
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(h));
}

// A coloured square with a dark frame, different for neighbouring uIDs: what the tray
// shows when the owner's icon cannot be copied (icon handles do not cross processes in
// Wine) or the owner gave none.
HICON MakePlaceholderIcon(uint32_t uid) {
    static const COLORREF kColours[] = {RGB(220, 60, 60),   RGB(60, 160, 60),  RGB(60, 100, 220),
                                        RGB(230, 170, 30),  RGB(150, 70, 200), RGB(30, 170, 180),
                                        RGB(240, 110, 180), RGB(120, 120, 120)};
    const COLORREF c = kColours[uid % (sizeof(kColours) / sizeof(kColours[0]))];
    uint32_t pixels[kIconSize * kIconSize];
    for (int y = 0; y < kIconSize; ++y) {
        for (int x = 0; x < kIconSize; ++x) {
            const bool frame = x == 0 || y == 0 || x == kIconSize - 1 || y == kIconSize - 1;
            const uint32_t r = frame ? GetRValue(c) / 3 : GetRValue(c);
            const uint32_t g = frame ? GetGValue(c) / 3 : GetGValue(c);
            const uint32_t b = frame ? GetBValue(c) / 3 : GetBValue(c);
            pixels[y * kIconSize + x] = 0xFF000000u | (r << 16) | (g << 8) | b;
        }
    }
    uint8_t mask[kIconSize * kIconSize / 8] = {};  // all opaque
    return CreateIcon(nullptr, kIconSize, kIconSize, 1, 32, mask,
                      reinterpret_cast<const BYTE*>(pixels));
}

ATOM RegisterOnce(const wchar_t* name, WNDPROC proc, HBRUSH background) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = background;
    wc.lpszClassName = name;
    WNDCLASSEXW existing = {};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(wc.hInstance, name, &existing))
        return 1;
    return RegisterClassExW(&wc);
}

std::string Utf8(const std::wstring& w) {
    if (w.empty())
        return std::string();
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string s(n > 0 ? n : 0, '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), &s[0], n, nullptr,
                            nullptr);
    for (char& c : s) {
        if (c == '\r' || c == '\n')
            c = ' ';  // one line per button
    }
    return s;
}

}  // namespace

const char* LayoutName(Layout layout) {
    switch (layout) {
        case Layout::kPager2:
            return "pager2";
        case Layout::kPager1:
            return "pager1";
        case Layout::kFlat:
            return "flat";
    }
    return "?";
}

TrayWindow::TrayWindow(const Options& options) : m_options(options) {
    m_taskbar_created = RegisterWindowMessageW(L"TaskbarCreated");
}

TrayWindow::~TrayWindow() {
    Destroy();
    if (m_foreign_pages)
        VirtualFree(m_foreign_pages, 0, MEM_RELEASE);
}

bool TrayWindow::Create() {
    if (m_tray)
        return true;
    HINSTANCE inst = GetModuleHandleW(nullptr);
    RegisterOnce(kTrayClass, TrayProc, CreateSolidBrush(RGB(32, 56, 96)));
    RegisterOnce(kNotifyClass, PlainProc, CreateSolidBrush(RGB(48, 72, 112)));
    RegisterOnce(kPagerClass, PlainProc, CreateSolidBrush(RGB(48, 72, 112)));

    const int screen_w = GetSystemMetrics(SM_CXSCREEN) > 0 ? GetSystemMetrics(SM_CXSCREEN) : 1024;
    const int screen_h = GetSystemMetrics(SM_CYSCREEN) > 0 ? GetSystemMetrics(SM_CYSCREEN) : 768;
    // A Unicode top-level window, topmost like the taskbar. Its creation is the event a
    // desktop-wide CBT hook waits for.
    m_tray = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kTrayClass, L"",
                             WS_POPUP | WS_CLIPCHILDREN, 0, screen_h - kTrayHeight, screen_w,
                             kTrayHeight, nullptr, nullptr, inst, this);
    if (!m_tray)
        return false;
    m_notify = CreateWindowExW(0, kNotifyClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                               kNotifyWidth, kTrayHeight, m_tray, nullptr, inst, nullptr);

    const DWORD toolbar_style = WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_WRAPABLE |
                                CCS_NORESIZE | CCS_NODIVIDER | CCS_NOPARENTALIGN | CCS_TOP;
    auto make_toolbar = [&](HWND parent, const wchar_t* title) {
        HWND tb = CreateWindowExW(0, TOOLBARCLASSNAMEW, title, toolbar_style, 0, 0, 10, 10, parent,
                                  nullptr, inst, nullptr);
        if (!tb)
            return tb;
        SendMessageW(tb, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
        SendMessageW(tb, TB_SETBITMAPSIZE, 0, MAKELPARAM(kIconSize, kIconSize));
        SendMessageW(tb, TB_SETBUTTONSIZE, 0, MAKELPARAM(kButtonSize, kButtonSize));
        // Tips live in iString; like the shell's toolbar this one draws no button text.
        SendMessageW(tb, TB_SETMAXTEXTROWS, 0, 0);
        SetWindowSubclass(tb, ToolbarProc, 1, reinterpret_cast<DWORD_PTR>(this));
        return tb;
    };
    switch (m_options.layout) {
        case Layout::kFlat:
            m_toolbar = make_toolbar(m_notify, L"Notification Area");
            break;
        case Layout::kPager1:
            m_pager1 = CreateWindowExW(0, kPagerClass, L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10,
                                       m_notify, nullptr, inst, nullptr);
            m_toolbar = make_toolbar(m_pager1, L"Notification Area");
            break;
        case Layout::kPager2:
            m_pager1 = CreateWindowExW(0, kPagerClass, L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10,
                                       m_notify, nullptr, inst, nullptr);
            m_toolbar = make_toolbar(m_pager1, L"Notification Area");
            m_pager2 = CreateWindowExW(0, kPagerClass, L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10,
                                       m_notify, nullptr, inst, nullptr);
            m_toolbar2 = make_toolbar(m_pager2, L"System Control Area");
            break;
    }
    m_images = ImageList_Create(kIconSize, kIconSize, ILC_COLOR32 | ILC_MASK, 8, 8);
    if (m_toolbar)
        SendMessageW(m_toolbar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(m_images));
    if (m_toolbar2)
        SendMessageW(m_toolbar2, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(m_images));

    if (m_options.balloon) {
        // Top-level, owned by the tray window, as the shell's balloon tooltip is.
        m_tooltip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                    WS_POPUP | TTS_NOPREFIX | TTS_BALLOON | TTS_ALWAYSTIP, 0, 0, 0,
                                    0, m_tray, nullptr, inst, nullptr);
        if (m_tooltip) {
            TTTOOLINFOW ti = {};
            ti.cbSize = sizeof(ti);
            ti.uFlags = TTF_TRACK | TTF_ABSOLUTE;
            ti.hwnd = m_tray;
            ti.uId = 1;
            ti.lpszText = const_cast<wchar_t*>(L"");
            SendMessageW(m_tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
            SendMessageW(m_tooltip, TTM_SETMAXTIPWIDTH, 0, 300);
        }
    }
    AddSystemIcons();
    if (m_options.foreign_toolbar)
        AddForeignToolbar(inst, toolbar_style);
    Layout();
    ShowWindow(m_tray, SW_SHOWNOACTIVATE);
    UpdateWindow(m_tray);
    SendNotifyMessageW(HWND_BROADCAST, m_taskbar_created, 0, 0);
    return true;
}

// Buttons that the shell itself owns (clock, volume, network on the systems that had a
// "System Control Area"): owner = the tray window, uID 1..n, no callback message.
void TrayWindow::AddSystemIcons() {
    if (!m_toolbar2 || !m_images)
        return;
    for (int i = 1; i <= m_options.system_icons; ++i) {
        auto icon = std::make_unique<Icon>();
        icon->record.owner = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(m_tray));
        icon->record.uid = static_cast<uint32_t>(i);
        icon->command_id = m_next_command++;
        icon->tip = L"System icon " + std::to_wstring(i);
        HICON image = MakePlaceholderIcon(static_cast<uint32_t>(i + 4));
        icon->image = image ? ImageList_ReplaceIcon(m_images, -1, image) : -1;
        if (image)
            DestroyIcon(image);
        TBBUTTON b = {};
        b.iBitmap = icon->image >= 0 ? icon->image : I_IMAGENONE;
        b.idCommand = icon->command_id;
        b.fsState = TBSTATE_ENABLED;
        b.fsStyle = BTNS_BUTTON | BTNS_NOPREFIX;
        b.dwData = reinterpret_cast<DWORD_PTR>(&icon->record);
        b.iString = reinterpret_cast<INT_PTR>(icon->tip.c_str());
        const int count = static_cast<int>(SendMessageW(m_toolbar2, TB_BUTTONCOUNT, 0, 0));
        if (SendMessageW(m_toolbar2, TB_INSERTBUTTONW, count, reinterpret_cast<LPARAM>(&b)))
            m_system_icons.push_back(std::move(icon));
    }
}

// The test case of a toolbar that is not the tray's: another shell version's, or whatever a
// search for the icon toolbar by its class alone finds first. It sits directly in the
// notification window, first among its children, so such a search takes it; its buttons
// carry data of their own behind dwData: a pointer to a buffer shorter than a tray record
// before a page that cannot be read, pointers into a page without access and into a guard
// page, a small number, an address no process can have, and a readable buffer of other
// bytes. No request reaches it and it is listed nowhere.
void TrayWindow::AddForeignToolbar(HINSTANCE inst, DWORD style) {
    SYSTEM_INFO si;
    GetSystemInfo(&si);
    const size_t page = si.dwPageSize;
    if (!m_foreign_pages) {
        m_foreign_pages = static_cast<uint8_t*>(
            VirtualAlloc(nullptr, 3 * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        if (!m_foreign_pages)
            return;
        std::memset(m_foreign_pages, 'F', page);
        DWORD old = 0;
        VirtualProtect(m_foreign_pages + page, page, PAGE_NOACCESS, &old);
        VirtualProtect(m_foreign_pages + 2 * page, page, PAGE_READWRITE | PAGE_GUARD, &old);
    }
    m_foreign = CreateWindowExW(0, TOOLBARCLASSNAMEW, L"Foreign Toolbar", style, 0, 0, 10, 10,
                                m_notify, nullptr, inst, nullptr);
    if (!m_foreign)
        return;
    SendMessageW(m_foreign, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(m_foreign, TB_SETMAXTEXTROWS, 0, 0);
    const DWORD_PTR data[] = {
        reinterpret_cast<DWORD_PTR>(m_foreign_pages + page - 8),
        reinterpret_cast<DWORD_PTR>(m_foreign_pages + page + 64),
        reinterpret_cast<DWORD_PTR>(m_foreign_pages + 2 * page),
        0x2A,
        static_cast<DWORD_PTR>(0x00DEAD0000BEEF00ull),
        reinterpret_cast<DWORD_PTR>(m_foreign_pages + 256),
    };
    // Texts as such a toolbar may hold them: none, a string index it does not have.
    const INT_PTR strings[] = {0, 0x7000, -1, 0x7001, 0, 0x7002};
    for (size_t i = 0; i < sizeof(data) / sizeof(data[0]); ++i) {
        TBBUTTON b = {};
        b.iBitmap = static_cast<int>(1000 + i);
        b.idCommand = static_cast<int>(9000 + i);
        b.fsState = TBSTATE_ENABLED;
        b.fsStyle = BTNS_BUTTON | BTNS_NOPREFIX;
        b.dwData = data[i];
        b.iString = strings[i];
        SendMessageW(m_foreign, TB_INSERTBUTTONW, i, reinterpret_cast<LPARAM>(&b));
    }
    SetWindowPos(m_foreign, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TrayWindow::Layout() {
    if (!m_tray)
        return;
    RECT rc;
    GetClientRect(m_tray, &rc);
    const int h = rc.bottom - rc.top;
    const int notify_w = kNotifyWidth < rc.right ? kNotifyWidth : rc.right;
    MoveWindow(m_notify, rc.right - notify_w, 0, notify_w, h, TRUE);
    const int pad = (h - kButtonSize) / 2 > 0 ? (h - kButtonSize) / 2 : 0;
    if (m_options.layout == Layout::kFlat) {
        MoveWindow(m_toolbar, 4, pad, notify_w - 8, kButtonSize, TRUE);
        return;
    }
    const int second = m_pager2 ? kPager2Width : 0;
    MoveWindow(m_pager1, 0, 0, notify_w - second, h, TRUE);
    MoveWindow(m_toolbar, 4, pad, notify_w - second - 8, kButtonSize, TRUE);
    if (m_pager2) {
        MoveWindow(m_pager2, notify_w - second, 0, second, h, TRUE);
        MoveWindow(m_toolbar2, 4, pad, second - 8, kButtonSize, TRUE);
    }
}

void TrayWindow::Destroy() {
    if (m_tray) {
        if (m_toolbar)
            RemoveWindowSubclass(m_toolbar, ToolbarProc, 1);
        if (m_toolbar2)
            RemoveWindowSubclass(m_toolbar2, ToolbarProc, 1);
        HWND tray = m_tray;
        m_tray = nullptr;
        DestroyWindow(tray);  // children and the owned tooltip go with it
    }
    m_notify = m_pager1 = m_pager2 = m_toolbar = m_toolbar2 = m_tooltip = m_foreign = nullptr;
    if (m_images) {
        ImageList_Destroy(m_images);
        m_images = nullptr;
    }
    m_balloon = nullptr;
    m_icons.clear();
    m_system_icons.clear();
    m_free_images.clear();
}

LRESULT CALLBACK TrayWindow::PlainProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    return DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK TrayWindow::TrayProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    try {
        if (msg == WM_NCCREATE) {
            auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
        }
        auto* self = reinterpret_cast<TrayWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        switch (msg) {
            case WM_COPYDATA:
                if (self && self->m_tray == hwnd)
                    return self->OnCopyData(wp, reinterpret_cast<const COPYDATASTRUCT*>(lp));
                return FALSE;
            case WM_SIZE:
                if (self && self->m_tray == hwnd)
                    self->Layout();
                return 0;
            case WM_TIMER:
                if (self && self->m_tray == hwnd && wp == kBalloonTimer) {
                    KillTimer(hwnd, kBalloonTimer);
                    self->HideBalloon(NIN_BALLOONTIMEOUT);
                }
                return 0;
            case WM_CLOSE:
                return 0;  // the taskbar does not close on Alt+F4 sent to it
            case WM_DESTROY:
                if (self && self->m_tray == hwnd) {
                    // Destroyed from outside: forget everything as Destroy() would.
                    self->m_tray = nullptr;
                    self->Destroy();
                }
                return 0;
        }
    } catch (...) {
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK
TrayWindow::ToolbarProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR self_ptr) {
    try {
        switch (msg) {
            case WM_MOUSEMOVE:
            case WM_LBUTTONDOWN:
            case WM_LBUTTONUP:
            case WM_LBUTTONDBLCLK:
            case WM_RBUTTONDOWN:
            case WM_RBUTTONUP:
            case WM_RBUTTONDBLCLK:
            case WM_MBUTTONDOWN:
            case WM_MBUTTONUP:
            case WM_MBUTTONDBLCLK: {
                // A real click on a button: the owner gets the same callbacks as from `click`.
                auto* self = reinterpret_cast<TrayWindow*>(self_ptr);
                POINT pt = {static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
                const int index = static_cast<int>(
                    SendMessageW(hwnd, TB_HITTEST, 0, reinterpret_cast<LPARAM>(&pt)));
                TBBUTTON b = {};
                if (index >= 0 &&
                    SendMessageW(hwnd, TB_GETBUTTON, index, reinterpret_cast<LPARAM>(&b))) {
                    if (const Icon* icon = self->FromButtonData(b.dwData))
                        self->SendCallbacks(*icon, hwnd, index, msg);
                }
                break;
            }
            case WM_NCDESTROY:
                RemoveWindowSubclass(hwnd, ToolbarProc, 1);
                break;
        }
    } catch (...) {
    }
    return DefSubclassProc(hwnd, msg, wp, lp);
}

// WM_COPYDATA to the tray window. The COPYDATASTRUCT and its bytes come from another
// process: nothing is read before the parser has checked the pointer and the length.
LRESULT TrayWindow::OnCopyData(WPARAM sender, const COPYDATASTRUCT* cds) {
    if (!cds)
        return FALSE;
    ShellRequest request;
    const ParseError e =
        ParseShellRequest(static_cast<uint64_t>(cds->dwData), static_cast<uint64_t>(sender),
                          static_cast<const uint8_t*>(cds->lpData), cds->cbData, &request);
    if (e != ParseError::kNone)
        return FALSE;
    return Apply(request);
}

BOOL TrayWindow::Apply(const ShellRequest& request) {
    switch (request.command) {
        case NIM_ADD:
            return Add(request);
        case NIM_MODIFY:
            return Modify(request);
        case NIM_DELETE:
            return Delete(request);
        case NIM_SETFOCUS:
            return SetFocus(request);
        case NIM_SETVERSION:
            return SetVersion(request);
    }
    return FALSE;
}

TrayWindow::Icon* TrayWindow::Find(uint64_t owner, uint32_t uid) {
    for (auto& icon : m_icons) {
        if (icon->record.owner == owner && icon->record.uid == uid)
            return icon.get();
    }
    return nullptr;
}

TrayWindow::Icon* TrayWindow::FromButtonData(DWORD_PTR data) const {
    for (const auto* list : {&m_icons, &m_system_icons}) {
        for (const auto& icon : *list) {
            if (reinterpret_cast<DWORD_PTR>(&icon->record) == data)
                return icon.get();
        }
    }
    return nullptr;
}

int TrayWindow::IndexOf(const Icon& icon) const {
    if (!m_toolbar)
        return -1;
    return static_cast<int>(SendMessageW(m_toolbar, TB_COMMANDTOINDEX, icon.command_id, 0));
}

void TrayWindow::SetImage(Icon& icon, const ShellRequest& request) {
    HICON image = nullptr;
    if (request.format == ShellRequest::Format::kShell && (request.flags & NIF_ICON) &&
        request.icon) {
        // Works on Windows, where icon handles are system-wide. Under Wine the copy of
        // another process's icon fails; the placeholder below stands in for it.
        image =
            CopyIcon(reinterpret_cast<HICON>(static_cast<uintptr_t>(WidenHandle(request.icon))));
    } else if (request.format == ShellRequest::Format::kWine && (request.flags & NIF_ICON) &&
               request.bits_width) {
        image = CreateIcon(
            nullptr, static_cast<int>(request.bits_width), static_cast<int>(request.bits_height),
            static_cast<BYTE>(request.bits_planes), static_cast<BYTE>(request.bits_bpp),
            request.and_bits.data(), request.xor_bits.data());
    }
    if (!image && icon.image >= 0 && !(request.flags & NIF_ICON))
        return;  // keeps its picture
    if (!image)
        image = MakePlaceholderIcon(icon.record.uid);
    if (!image || !m_images)
        return;
    if (icon.image < 0 && !m_free_images.empty()) {
        icon.image = m_free_images.back();
        m_free_images.pop_back();
    }
    icon.image = ImageList_ReplaceIcon(m_images, icon.image, image);
    DestroyIcon(image);
}

void TrayWindow::SetTip(Icon& icon, const std::u16string& tip) {
    icon.tip.assign(tip.begin(), tip.end());
    const int index = IndexOf(icon);
    if (index < 0)
        return;
    TBBUTTONINFOW info = {};
    info.cbSize = sizeof(info);
    info.dwMask = TBIF_TEXT;
    info.pszText = const_cast<wchar_t*>(icon.tip.c_str());
    SendMessageW(m_toolbar, TB_SETBUTTONINFOW, icon.command_id, reinterpret_cast<LPARAM>(&info));
}

void TrayWindow::SetHidden(const Icon& icon, bool hidden) {
    SendMessageW(m_toolbar, TB_HIDEBUTTON, icon.command_id, MAKELPARAM(hidden ? TRUE : FALSE, 0));
}

void TrayWindow::ShowBalloon(const Icon& icon, const ShellRequest& request) {
    if (!m_tooltip || !(request.flags & NIF_INFO))
        return;
    TTTOOLINFOW ti = {};
    ti.cbSize = sizeof(ti);
    ti.hwnd = m_tray;
    ti.uId = 1;
    if (request.info.empty()) {
        HideBalloon(NIN_BALLOONHIDE);
        return;
    }
    HideBalloon(NIN_BALLOONHIDE);  // a new balloon replaces the one that is up
    std::wstring text(request.info.begin(), request.info.end());
    std::wstring title(request.info_title.begin(), request.info_title.end());
    ti.lpszText = &text[0];
    SendMessageW(m_tooltip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
    SendMessageW(m_tooltip, TTM_SETTITLEW, request.info_flags & 0x3,
                 reinterpret_cast<LPARAM>(title.c_str()));
    RECT r = {};
    const int index = IndexOf(icon);
    if (index >= 0 && SendMessageW(m_toolbar, TB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&r)))
        MapWindowPoints(m_toolbar, nullptr, reinterpret_cast<POINT*>(&r), 2);
    SendMessageW(m_tooltip, TTM_TRACKPOSITION, 0, MAKELPARAM((r.left + r.right) / 2, r.top));
    SendMessageW(m_tooltip, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&ti));
    UINT ms = request.timeout_or_version;
    ms = ms < kBalloonMinMs ? kBalloonMinMs : (ms > kBalloonMaxMs ? kBalloonMaxMs : ms);
    SetTimer(m_tray, kBalloonTimer, ms, nullptr);
    m_balloon = &icon.record;
    BalloonEvent(icon, NIN_BALLOONSHOW);
}

void TrayWindow::HideBalloon(UINT reason) {
    if (!m_tooltip)
        return;
    TTTOOLINFOW ti = {};
    ti.cbSize = sizeof(ti);
    ti.hwnd = m_tray;
    ti.uId = 1;
    SendMessageW(m_tooltip, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&ti));
    KillTimer(m_tray, kBalloonTimer);
    const ButtonRecord* shown = m_balloon;
    m_balloon = nullptr;
    if (const Icon* icon = FromButtonData(reinterpret_cast<DWORD_PTR>(shown)))
        BalloonEvent(*icon, reason);
}

// The owner learns of its balloon through its callback message, in the form of its version.
void TrayWindow::BalloonEvent(const Icon& icon, UINT event) const {
    const int index = IndexOf(icon);
    if (index >= 0)
        SendCallbacks(icon, m_toolbar, index, event);
}

BOOL TrayWindow::Add(const ShellRequest& request) {
    const uint64_t owner = WidenHandle(request.hwnd);
    if (!m_toolbar || Find(owner, request.uid))
        return FALSE;
    auto icon = std::make_unique<Icon>();
    icon->record.owner = owner;
    icon->record.uid = request.uid;
    icon->record.callback_message = (request.flags & NIF_MESSAGE) ? request.callback_message : 0;
    icon->record.data_word = request.flags;
    icon->record.version = 0;
    icon->command_id = m_next_command++;
    if (request.flags & NIF_TIP)
        icon->tip.assign(request.tip.begin(), request.tip.end());
    SetImage(*icon, request);
    const bool hidden = (request.flags & NIF_STATE) && (request.state_mask & kHiddenState) &&
                        (request.state & kHiddenState);

    TBBUTTON b = {};
    b.iBitmap = icon->image >= 0 ? icon->image : I_IMAGENONE;
    b.idCommand = icon->command_id;
    b.fsState = static_cast<BYTE>(TBSTATE_ENABLED | (hidden ? TBSTATE_HIDDEN : 0));
    b.fsStyle = BTNS_BUTTON | BTNS_NOPREFIX;
    b.dwData = reinterpret_cast<DWORD_PTR>(&icon->record);
    b.iString = reinterpret_cast<INT_PTR>(icon->tip.c_str());
    const int count = static_cast<int>(SendMessageW(m_toolbar, TB_BUTTONCOUNT, 0, 0));
    const int at = m_options.xp ? 0 : count;
    Icon* added = icon.get();
    m_icons.push_back(std::move(icon));
    if (!SendMessageW(m_toolbar, TB_INSERTBUTTONW, at, reinterpret_cast<LPARAM>(&b))) {
        if (added->image >= 0)
            m_free_images.push_back(added->image);
        m_icons.pop_back();
        return FALSE;
    }
    ShowBalloon(*added, request);
    return TRUE;
}

// A modify of an icon the tray does not have adds it, as the shell does for programs that
// only ever modify.
BOOL TrayWindow::Modify(const ShellRequest& request) {
    Icon* icon = Find(WidenHandle(request.hwnd), request.uid);
    if (!icon)
        return Add(request);
    icon->record.data_word = request.flags;
    if (request.flags & NIF_MESSAGE)
        icon->record.callback_message = request.callback_message;
    if (request.flags & NIF_ICON) {
        SetImage(*icon, request);
        const int index = IndexOf(*icon);
        TBBUTTONINFOW info = {};
        info.cbSize = sizeof(info);
        info.dwMask = TBIF_IMAGE;
        info.iImage = icon->image;
        if (index >= 0)
            SendMessageW(m_toolbar, TB_SETBUTTONINFOW, icon->command_id,
                         reinterpret_cast<LPARAM>(&info));
        InvalidateRect(m_toolbar, nullptr, TRUE);
    }
    if (request.flags & NIF_TIP)
        SetTip(*icon, request.tip);
    if ((request.flags & NIF_STATE) && (request.state_mask & kHiddenState))
        SetHidden(*icon, (request.state & kHiddenState) != 0);
    ShowBalloon(*icon, request);
    return TRUE;
}

BOOL TrayWindow::Delete(const ShellRequest& request) {
    Icon* icon = Find(WidenHandle(request.hwnd), request.uid);
    if (!icon)
        return FALSE;
    if (m_balloon == &icon->record)
        HideBalloon(NIN_BALLOONHIDE);
    const int index = IndexOf(*icon);
    if (index >= 0)
        SendMessageW(m_toolbar, TB_DELETEBUTTON, index, 0);
    if (icon->image >= 0)
        m_free_images.push_back(icon->image);
    for (auto it = m_icons.begin(); it != m_icons.end(); ++it) {
        if (it->get() == icon) {
            m_icons.erase(it);
            break;
        }
    }
    return TRUE;
}

BOOL TrayWindow::SetFocus(const ShellRequest& request) {
    Icon* icon = Find(WidenHandle(request.hwnd), request.uid);
    if (!icon)
        return FALSE;
    const int index = IndexOf(*icon);
    if (index >= 0)
        SendMessageW(m_toolbar, TB_SETHOTITEM, index, 0);
    return TRUE;
}

// Versions the shell knows: 0 (the original behaviour), 3 (Windows 2000) and 4 (Vista).
BOOL TrayWindow::SetVersion(const ShellRequest& request) {
    Icon* icon = Find(WidenHandle(request.hwnd), request.uid);
    if (!icon)
        return FALSE;
    const uint32_t v = request.timeout_or_version;
    if (v != 0 && v != 3 && v != 4)
        return FALSE;
    icon->record.version = v;
    return TRUE;
}

// The callbacks of one mouse message, as the shell sends them: before version 4
// (uCallbackMessage, uID, mouse message); from version 4 (uCallbackMessage, anchor x/y of
// the icon, MAKELPARAM(mouse message, uID)). From version 3 on a left button release is
// followed by NIN_SELECT and a right button release by WM_CONTEXTMENU.
void TrayWindow::SendCallbacks(const Icon& icon,
                               HWND toolbar,
                               int index,
                               UINT mouse_message) const {
    if (!icon.record.callback_message)
        return;
    HWND owner = HwndOf(icon.record.owner);
    const uint32_t version = icon.record.version;
    POINT anchor = {0, 0};
    RECT r = {};
    if (SendMessageW(toolbar, TB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&r))) {
        anchor.x = (r.left + r.right) / 2;
        anchor.y = (r.top + r.bottom) / 2;
        ClientToScreen(toolbar, &anchor);
    }
    auto send = [&](UINT event) {
        if (version >= 4) {
            SendNotifyMessageW(
                owner, icon.record.callback_message,
                MAKEWPARAM(static_cast<WORD>(anchor.x), static_cast<WORD>(anchor.y)),
                MAKELPARAM(static_cast<WORD>(event), static_cast<WORD>(icon.record.uid)));
        } else {
            SendNotifyMessageW(owner, icon.record.callback_message, icon.record.uid, event);
        }
    };
    send(mouse_message);
    if (version >= 3 && mouse_message == WM_LBUTTONUP)
        send(NIN_SELECT);
    if (version >= 3 && mouse_message == WM_RBUTTONUP)
        send(WM_CONTEXTMENU);
}

bool TrayWindow::Click(int index, UINT mouse_message) {
    if (!m_toolbar || index < 0)
        return false;
    const int count = static_cast<int>(SendMessageW(m_toolbar, TB_BUTTONCOUNT, 0, 0));
    if (index >= count)
        return false;
    TBBUTTON b = {};
    if (!SendMessageW(m_toolbar, TB_GETBUTTON, index, reinterpret_cast<LPARAM>(&b)))
        return false;
    const Icon* icon = FromButtonData(b.dwData);
    if (!icon)
        return false;
    SendCallbacks(*icon, m_toolbar, index, mouse_message);
    return true;
}

bool TrayWindow::WriteState(const std::string& path) const {
    std::string out;
    char line[512];
    if (!m_tray) {
        out += "tray none\n";
    } else {
        snprintf(line, sizeof(line),
                 "tray hwnd=0x%llx notify=0x%llx toolbar=0x%llx toolbar2=0x%llx tooltip=0x%llx "
                 "layout=%s xp=%d\n",
                 static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(m_tray)),
                 static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(m_notify)),
                 static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(m_toolbar)),
                 static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(m_toolbar2)),
                 static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(m_tooltip)),
                 LayoutName(m_options.layout), m_options.xp ? 1 : 0);
        out += line;
        const HWND toolbars[2] = {m_toolbar, m_toolbar2};
        for (int t = 0; t < 2; ++t) {
            if (!toolbars[t])
                continue;
            const int count = static_cast<int>(SendMessageW(toolbars[t], TB_BUTTONCOUNT, 0, 0));
            for (int i = 0; i < count; ++i) {
                TBBUTTON b = {};
                if (!SendMessageW(toolbars[t], TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&b)))
                    continue;
                const Icon* icon = FromButtonData(b.dwData);
                if (!icon)
                    continue;
                // The tip as the toolbar holds it, which is what a reader of the toolbar sees.
                std::wstring tip;
                if (b.iString != 0 && b.iString != -1 && !IS_INTRESOURCE(b.iString))
                    tip = reinterpret_cast<const wchar_t*>(b.iString);
                snprintf(line, sizeof(line),
                         "button index=%d toolbar=%d owner=0x%llx uid=%u hidden=%d callback=%u "
                         "version=%u flags=0x%x tip=",
                         i, t + 1, static_cast<unsigned long long>(icon->record.owner),
                         icon->record.uid, (b.fsState & TBSTATE_HIDDEN) ? 1 : 0,
                         icon->record.callback_message, icon->record.version,
                         icon->record.data_word);
                out += line;
                out += Utf8(tip);
                out += "\n";
            }
        }
    }
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(f, out.data(), static_cast<DWORD>(out.size()), &written, nullptr);
    CloseHandle(f);
    return ok && written == out.size();
}

}  // namespace trayhost
