// Opening and measuring the program's dialogs; see dialog_layout.h.
#include "tests/resources/dialog_layout.h"

#include <commctrl.h>
#include <prsht.h>

#include "app/lang/language.h"
#include "resources/resource.h"

namespace qly::test {

const int kAllDialogs[] = {IDD_MAIN,           IDD_TRAY_PROGRAMS,    IDD_CHANGE_PASSWORD,
                           IDD_INSTALL_DIR,    IDD_MODELESS_MESSAGE, IDD_ADVANCED,
                           IDD_USER_INTERFACE, IDD_ENTER_PASSWORD,   IDD_AUTOSTART};
const int kAllDialogCount = sizeof kAllDialogs / sizeof kAllDialogs[0];

namespace {

constexpr char kTestKey[] = "Software\\QuilloryTests\\Layout";

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        TranslateDialog(dialog, static_cast<int>(lparam));
        if (lparam == IDD_MODELESS_MESSAGE) {
            SetDlgItemTextA(dialog, IDC_MSG_TEXT,
                            "Please wait while Quillory applies the settings ...");
        }
        return TRUE;
    }
    return FALSE;
}

INT_PTR CALLBACK PageProc(HWND page, UINT message, WPARAM, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        TranslateDialog(page, static_cast<int>(reinterpret_cast<PROPSHEETPAGEA*>(lparam)->lParam));
        return TRUE;
    }
    return FALSE;
}

struct Child {
    HWND window;
    int id;
    RECT rect;
    std::string window_class;
    LONG style;
};

std::string ClassOf(HWND w) {
    char name[64] = {};
    GetClassNameA(w, name, sizeof name);
    return name;
}

bool IsGroupBox(const Child& c) {
    return lstrcmpiA(c.window_class.c_str(), "Button") == 0 &&
           (c.style & BS_TYPEMASK) == BS_GROUPBOX;
}

SIZE TextSize(HWND control, const std::string& text, UINT format, int width) {
    HDC dc = GetDC(control);
    HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
    RECT r = {0, 0, width, 0};
    DrawTextA(dc, text.c_str(), -1, &r, format | DT_CALCRECT);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

std::string Describe(const Child& c) {
    char text[300] = {};
    GetWindowTextA(c.window, text, sizeof text);
    return "control " + std::to_string(c.id) + " \"" + text + "\"";
}

void CheckText(const Child& c, std::vector<std::string>& problems) {
    char buffer[300] = {};
    GetWindowTextA(c.window, buffer, sizeof buffer);
    std::string text = buffer;
    if (text.empty()) {
        return;
    }
    int width = c.rect.right - c.rect.left;
    int height = c.rect.bottom - c.rect.top;
    bool is_button = lstrcmpiA(c.window_class.c_str(), "Button") == 0;
    bool is_static = lstrcmpiA(c.window_class.c_str(), "Static") == 0;
    if (is_button) {
        LONG type = c.style & BS_TYPEMASK;
        SIZE s = TextSize(c.window, text, DT_SINGLELINE, 0);
        int needed = s.cx + 8;
        if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON ||
            type == BS_AUTORADIOBUTTON || type == BS_3STATE || type == BS_AUTO3STATE) {
            needed = s.cx + GetSystemMetrics(SM_CXMENUCHECK) + 6;
        } else if (type == BS_GROUPBOX) {
            needed = s.cx + 16;
        } else if (type == BS_OWNERDRAW) {
            // Text centred beside a 16-pixel icon at the left edge.
            int icon_left = (height - 20) / 2 + 2;
            needed = s.cx + 2 * (icon_left + 16 + 4);
        }
        if (needed > width) {
            problems.push_back(Describe(c) + " is cut off: needs " + std::to_string(needed) +
                               " pixels, has " + std::to_string(width));
        }
    } else if (is_static && (c.style & SS_TYPEMASK) <= SS_RIGHT) {
        SIZE s = TextSize(c.window, text, DT_WORDBREAK, width);
        if (s.cy > height || s.cx > width) {
            problems.push_back(Describe(c) + " is cut off: needs " + std::to_string(s.cx) + "x" +
                               std::to_string(s.cy) + ", has " + std::to_string(width) + "x" +
                               std::to_string(height));
        }
    }
}

}  // namespace

bool IsSettingsPage(int id) {
    return id == IDD_TRAY_PROGRAMS || id == IDD_ADVANCED || id == IDD_USER_INTERFACE ||
           id == IDD_AUTOSTART;
}

void UseLanguage(const std::string& path) {
    WriteLanguageSetting(kTestKey, path);
    InitLanguage(kTestKey);
}

HWND OpenTranslatedDialog(int id, HWND parent, HWND* frame) {
    HINSTANCE module = GetModuleHandleA(nullptr);
    if (!IsSettingsPage(id)) {
        HWND w = CreateDialogParamA(module, MAKEINTRESOURCEA(id), parent, DialogProc, id);
        if (frame != nullptr) {
            *frame = w;
        }
        return w;
    }
    PROPSHEETPAGEA page = {};
    page.dwSize = sizeof page;
    page.hInstance = module;
    page.pszTemplate = MAKEINTRESOURCEA(id);
    page.pfnDlgProc = PageProc;
    page.lParam = id;
    page.dwFlags = PSP_PREMATURE | PSP_HASHELP;
    HPROPSHEETPAGE handle = CreateTranslatedPage(&page);
    char caption[256] = {};
    LoadUiString(module, IDS_SETTINGS_CAPTION, caption, sizeof caption);
    PROPSHEETHEADERA header = {};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_MODELESS | PSH_HASHELP;
    header.hwndParent = parent;
    header.pszCaption = caption;
    header.nPages = 1;
    header.phpage = &handle;
    HWND sheet = reinterpret_cast<HWND>(PropertySheetA(&header));
    if (frame != nullptr) {
        *frame = sheet;
    }
    return sheet ? reinterpret_cast<HWND>(SendMessageA(sheet, PSM_INDEXTOHWND, 0, 0)) : nullptr;
}

std::vector<std::string> LayoutProblems(HWND dialog) {
    std::vector<std::string> problems;
    RECT client;
    GetClientRect(dialog, &client);
    std::vector<Child> children;
    for (HWND w = GetWindow(dialog, GW_CHILD); w != nullptr; w = GetWindow(w, GW_HWNDNEXT)) {
        Child c{w, GetDlgCtrlID(w), {}, ClassOf(w), GetWindowLongA(w, GWL_STYLE)};
        GetWindowRect(w, &c.rect);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&c.rect), 2);
        children.push_back(c);
    }
    for (std::size_t i = 0; i < children.size(); ++i) {
        const Child& a = children[i];
        if (a.rect.left < client.left || a.rect.top < client.top || a.rect.right > client.right ||
            a.rect.bottom > client.bottom) {
            problems.push_back(Describe(a) + " lies outside the dialog");
        }
        for (std::size_t j = i + 1; j < children.size(); ++j) {
            const Child& b = children[j];
            RECT overlap;
            if (!IsGroupBox(a) && !IsGroupBox(b) && IntersectRect(&overlap, &a.rect, &b.rect)) {
                problems.push_back(Describe(a) + " overlaps " + Describe(b));
            }
        }
        CheckText(a, problems);
    }
    return problems;
}

}  // namespace qly::test
