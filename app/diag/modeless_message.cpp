// The modeless wait message; see modeless_message.h.
#include "app/diag/modeless_message.h"

#include <cstdio>
#include <memory>
#include <new>
#include <mutex>

#include "app/base/unique_handle.h"

namespace qly {

namespace {

constexpr SIZE_T kThreadStack = 64 * 1024;

// Shared by the caller and the message's thread: the caller may give up waiting while
// the thread is still creating the window, and neither may outlive the other's use.
struct ModelessRecord {
    char text[256] = {};
    char title[256] = {};
    HINSTANCE instance = nullptr;
    UINT flags = kModelessDefaultFlags;

    std::mutex lock;
    HWND window = nullptr;
    bool abandoned = false;    // the caller stopped waiting; a late window must not stay
    qly::UniqueKernelHandle settled;  // set when the window exists or cannot be made
};

void CenterInParent(HWND dialog) {
    HWND parent = GetParent(dialog);
    RECT outer;
    RECT own;
    if (!GetWindowRect(parent != nullptr ? parent : GetDesktopWindow(), &outer) ||
        !GetWindowRect(dialog, &own)) {
        return;
    }
    const int width = own.right - own.left;
    const int height = own.bottom - own.top;
    SetWindowPos(dialog, nullptr, (outer.left + outer.right - width) / 2,
                 (outer.top + outer.bottom - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK MessageDialogProc(HWND dialog, UINT message, WPARAM, LPARAM lparam) {
    switch (message) {
        case WM_INITDIALOG: {
            const auto* record = reinterpret_cast<const ModelessRecord*>(lparam);
            CenterInParent(dialog);
            HWND text = GetDlgItem(dialog, kModelessTextId);
            SendMessageA(text, WM_SETFONT,
                         reinterpret_cast<WPARAM>(GetStockObject(SYSTEM_FIXED_FONT)), FALSE);
            SetWindowTextA(text, record->text);
            return TRUE;
        }
        case WM_CLOSE:
            // A dialog's default answer to WM_CLOSE is a Cancel command, which this one
            // has no button for; closing must remove it.
            DestroyWindow(dialog);
            return TRUE;
        case WM_DESTROY:
            PostQuitMessage(0);
            return TRUE;
        default:
            return FALSE;
    }
}

void RunMessage(ModelessRecord& record) {
    HWND window = CreateDialogParamA(record.instance, MAKEINTRESOURCEA(kModelessDialogId), nullptr,
                                     &MessageDialogProc, reinterpret_cast<LPARAM>(&record));
    if (window == nullptr) {
        SetEvent(record.settled.get());
        return;
    }
    SetWindowTextA(window, record.title);
    // The message has no place or size of its own to set (it centred itself), so the
    // caller's flags can only change its activation, never shrink it to nothing.
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, record.flags | SWP_NOSIZE | SWP_NOMOVE);
    const bool activate = (record.flags & SWP_NOACTIVATE) == 0;
    ShowWindow(window, activate ? SW_SHOW : SW_SHOWNOACTIVATE);
    if (activate) {
        SetForegroundWindow(window);
    }
    bool keep = true;
    {
        std::lock_guard<std::mutex> hold(record.lock);
        keep = !record.abandoned;
        if (keep) {
            record.window = window;
        }
    }
    SetEvent(record.settled.get());
    if (!keep) {
        DestroyWindow(window);
    }
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageA(window, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

DWORD WINAPI MessageThread(void* parameter) {
    std::unique_ptr<std::shared_ptr<ModelessRecord>> record(
        static_cast<std::shared_ptr<ModelessRecord>*>(parameter));
    try {
        RunMessage(**record);
    } catch (...) {
        SetEvent((*record)->settled.get());
    }
    return 0;
}

}  // namespace

HWND ShowModelessMessage(HINSTANCE instance, const char* text, const char* title, UINT flags) {
    std::shared_ptr<ModelessRecord> record;
    try {
        record = std::make_shared<ModelessRecord>();
    } catch (...) {
        return nullptr;
    }
    record->instance = instance;
    record->flags = flags;
    std::snprintf(record->text, sizeof record->text, "%s", text != nullptr ? text : "");
    if (title != nullptr) {
        std::snprintf(record->title, sizeof record->title, "%s", title);
    } else {
        std::snprintf(
            record->title, sizeof record->title, "Modeless Message %08x",
            static_cast<unsigned>(reinterpret_cast<uintptr_t>(record.get()) & 0xFFFFFFFFu));
    }
    record->settled.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!record->settled) {
        return nullptr;
    }

    auto* handoff = new (std::nothrow) std::shared_ptr<ModelessRecord>(record);
    if (handoff == nullptr) {
        return nullptr;
    }
    qly::UniqueKernelHandle thread(CreateThread(nullptr, kThreadStack, &MessageThread, handoff,
                                                STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
    if (!thread) {
        delete handoff;
        return nullptr;
    }

    WaitForSingleObject(record->settled.get(), kModelessWaitMs);
    std::lock_guard<std::mutex> hold(record->lock);
    if (record->window == nullptr) {
        record->abandoned = true;
    }
    return record->window;
}

}  // namespace qly
