// The replaceable message-box routine of diagnostics; see message_box_seam.h.
#include "app/diag/message_box_seam.h"

#include <atomic>

namespace qly {

namespace {
// Read on whichever thread crashed; an atomic keeps a test's replacement visible there.
std::atomic<MessageBoxFunction> g_message_box{&MessageBoxA};
}  // namespace

MessageBoxFunction SetDiagMessageBox(MessageBoxFunction function) {
    return g_message_box.exchange(function != nullptr ? function : &MessageBoxA);
}

int DiagMessageBox(HWND owner, const char* text, const char* caption, UINT type) {
    return g_message_box.load()(owner, text, caption, type);
}

}  // namespace qly
