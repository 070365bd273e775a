// Reading the tray's toolbar buttons inside the shell.
#include "hooklib/shell_toolbar.h"

#include <commctrl.h>

#include "hooklib/qlydll.h"

namespace qly {
namespace {

// The shell keeps a tip of at most 128 characters; a text without a terminator within that
// is cut there rather than read on.
constexpr int kMaxTipChars = 128;

bool IsLeadByte(uint8_t byte) {
    return IsDBCSLeadByte(byte) != FALSE;
}

// iString is either a pointer to the text or, for small values, an index into the
// toolbar's string pool.
bool IsStringIndex(intptr_t text) {
    return text > 0 && text < 0x10000;
}

}  // namespace

ShellToolbar::ShellToolbar(HWND toolbar) : m_toolbar(toolbar) {
    // Only a window of this thread may have its procedure called directly; any other is
    // asked the usual way, through its own thread.
    if (GetWindowThreadProcessId(toolbar, nullptr) == GetCurrentThreadId())
        m_class_proc = reinterpret_cast<WNDPROC>(GetClassLongPtrW(toolbar, GCLP_WNDPROC));
}

LRESULT ShellToolbar::Query(UINT msg, WPARAM wparam, LPARAM lparam) {
    if (m_class_proc != nullptr)
        return CallWindowProcW(m_class_proc, m_toolbar, msg, wparam, lparam);
    return SendMessageW(m_toolbar, msg, wparam, lparam);
}

int ShellToolbar::Count() {
    return static_cast<int>(Query(TB_BUTTONCOUNT, 0, 0));
}

bool ShellToolbar::Read(int index, TrayButton* button) {
    TBBUTTON tb = {};
    if (!Query(TB_GETBUTTON, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&tb)))
        return false;
    button->state = tb.fsState;
    button->bitmap = tb.iBitmap;
    button->text = tb.iString;
    // A toolbar that is not the shell's tray (another shell version, or what the last
    // search for one found) holds other data behind dwData, or a number that is no pointer.
    const auto* data = reinterpret_cast<const uint8_t*>(tb.dwData);
    button->has_data = data != nullptr && m_readable.Holds(data, kTrayButtonDataSize);
    if (button->has_data)
        ParseTrayButtonData(data, button);
    return true;
}

uint64_t ShellToolbar::MakeIcon(const TrayButton& button) {
    if (!m_images_known) {
        m_images = reinterpret_cast<HIMAGELIST>(Query(TB_GETIMAGELIST, 0, 0));
        m_images_known = true;
    }
    if (m_images == nullptr || button.bitmap < 0)
        return 0;
    return reinterpret_cast<uint64_t>(ImageList_GetIcon(m_images, button.bitmap, ILD_NORMAL));
}

void ShellToolbar::ReadTip(const TrayButton& button, char* tip, size_t capacity) {
    if (capacity == 0)
        return;
    tip[0] = '\0';
    char converted[kMaxTipChars * 4];
    int length = 0;
    if (!g_flag_WinNT) {
        if (IsStringIndex(button.text))
            return;
        const char* text = reinterpret_cast<const char*>(button.text);
        const int readable = static_cast<int>(m_readable.Span(text, kMaxTipChars));
        while (length < readable && text[length] != '\0')
            ++length;
        CopyTipBounded(text, static_cast<size_t>(length), tip, capacity, IsLeadByte);
        return;
    }
    WCHAR pooled[kMaxTipChars + 1];
    const WCHAR* text;
    int chars = 0;
    int readable_chars = kMaxTipChars;
    if (IsStringIndex(button.text)) {
        const LRESULT n = Query(TB_GETSTRINGW, MAKEWPARAM(kMaxTipChars + 1, button.text),
                                reinterpret_cast<LPARAM>(pooled));
        if (n <= 0)
            return;
        pooled[kMaxTipChars] = L'\0';
        text = pooled;
    } else {
        text = reinterpret_cast<const WCHAR*>(button.text);
        readable_chars =
            static_cast<int>(m_readable.Span(text, kMaxTipChars * sizeof(WCHAR)) / sizeof(WCHAR));
    }
    while (chars < readable_chars && text[chars] != L'\0')
        ++chars;
    if (chars == 0)
        return;
    length =
        WideCharToMultiByte(CP_ACP, 0, text, chars, converted, sizeof converted, nullptr, nullptr);
    if (length <= 0)
        return;
    CopyTipBounded(converted, static_cast<size_t>(length), tip, capacity, IsLeadByte);
}

}  // namespace qly
