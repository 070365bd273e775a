// The exception classes; see win_error.h.
#include "app/diag/win_error.h"

#include <cstdio>
#include <cstring>

#include "app/diag/message_box_seam.h"

namespace qly {

WinErrorBase::WinErrorBase(uint32_t error_code) : m_error_code(error_code) {}

WinErrorBase::~WinErrorBase() = default;

const char* WinErrorBase::MessageText() {
    // Inserts are ignored: a system text with "%1" and no arguments would otherwise make
    // FormatMessageA read arguments that were never passed.
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, m_error_code,
        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), m_message, sizeof m_message, nullptr);
    if (length == 0) {
        // No system text (an unknown code): say at least which code it was.
        char code[32];
        std::snprintf(code, sizeof code, m_code_format[0] != '\0' ? m_code_format : "%08lx",
                      static_cast<unsigned long>(m_error_code));
        std::snprintf(m_message, sizeof m_message, "%s %s", m_kind_name, code);
    }
    return m_message;
}

int WinErrorBase::Show(const char* caption) {
    return qly::DiagMessageBox(nullptr, MessageText(),
                               caption != nullptr ? caption : kWinErrorDefaultCaption,
                               MB_TASKMODAL | MB_SETFOREGROUND | MB_TOPMOST);
}

WinErrorSEH::WinErrorSEH(uint32_t seh_code, const EXCEPTION_POINTERS* pointers)
    : WinErrorBase(GetLastError()), m_seh_code(seh_code) {
    // The last error is unrelated to a structured exception; the fault is described by
    // the code and the records instead.
    m_error_code = 0;
    m_kind_name = "";
    m_code_format = "";
    if (pointers != nullptr) {
        if (pointers->ExceptionRecord != nullptr) {
            m_record = *pointers->ExceptionRecord;
            // The chained record points into a stack that is gone by the time this is read.
            m_record.ExceptionRecord = nullptr;
        }
        if (pointers->ContextRecord != nullptr) {
            std::memcpy(&m_context, pointers->ContextRecord, sizeof m_context);
        }
    }
}

WinErrorSEH::~WinErrorSEH() = default;

const char* WinErrorSEH::MessageText() {
    const auto address = reinterpret_cast<uintptr_t>(m_record.ExceptionAddress);
    std::snprintf(m_message, sizeof m_message, "SEH with seh_error = %08x\nExceptionAddress = %08x",
                  static_cast<unsigned>(m_seh_code), static_cast<unsigned>(address & 0xFFFFFFFFu));
    return m_message;
}

}  // namespace qly
