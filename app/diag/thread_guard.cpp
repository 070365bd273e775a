// The per-thread guard; see thread_guard.h.
//
// This toolchain has no per-thread structured-exception translator, and its C++ handlers
// let structured exceptions pass (measured: an access violation inside try/catch(...)
// reaches the process's last-chance filter with no destructor run). So the guard arms a
// resume point on its own stack and publishes it in a thread-local slot; the last-chance
// filter, which runs on the faulting thread only after every handler of that thread
// declined the fault, reports it, copies its records into the guard's frame and sends the
// thread back to the resume point. A first-chance (vectored) handler would not do: it also
// sees faults that the system's own code expects and handles, e.g. inside IsBadReadPtr.
#include "app/diag/thread_guard.h"

#include <cstdio>
#include <cstring>

#include "app/diag/crash_dump.h"
#include "app/diag/debug_print.h"
#include "app/diag/message_box_seam.h"
#include "app/diag/win_error.h"

namespace {

struct GuardFrame {
    void* resume[5];  // __builtin_setjmp buffer
    GuardFrame* previous = nullptr;
    uint32_t code = 0;
    EXCEPTION_RECORD record = {};
    CONTEXT context = {};
};

DWORD GuardSlot() {
    static const DWORD slot = TlsAlloc();
    return slot;
}

GuardFrame* ActiveFrame() {
    const DWORD slot = GuardSlot();
    return slot == TLS_OUT_OF_INDEXES ? nullptr : static_cast<GuardFrame*>(TlsGetValue(slot));
}

// C++ exceptions of this toolchain travel as structured exceptions too ("GCC" codes). A
// throw that found no handler belongs to the C++ runtime: the runtime's own filter lets
// the throw return, and the runtime then ends the program with std::terminate.
constexpr DWORD kCxxThrow = 0x20474343u;

bool IsCxxRuntimeException(DWORD code) {
    return (code & 0x20FFFFFFu) == kCxxThrow;
}

LPTOP_LEVEL_EXCEPTION_FILTER g_previous_filter = nullptr;
INIT_ONCE g_filter_once = INIT_ONCE_STATIC_INIT;

BOOL CALLBACK InstallFilterOnce(PINIT_ONCE, PVOID, PVOID*) {
    LPTOP_LEVEL_EXCEPTION_FILTER previous =
        SetUnhandledExceptionFilter(&DiagUnhandledExceptionFilter);
    if (previous != &DiagUnhandledExceptionFilter) {
        g_previous_filter = previous;
    }
    return TRUE;
}

void ReportSeh(uint32_t code, EXCEPTION_POINTERS* pointers) {
    OfferCrashDump(pointers);
    const void* address = (pointers != nullptr && pointers->ExceptionRecord != nullptr)
                              ? pointers->ExceptionRecord->ExceptionAddress
                              : nullptr;
    DebugPrint("\nSEH with error   = %08x\nExceptionAddress = %08x\n", static_cast<unsigned>(code),
               static_cast<unsigned>(reinterpret_cast<uintptr_t>(address) & 0xFFFFFFFFu));
}

[[noreturn]] __attribute__((noinline)) void ResumeAtGuard() {
    __builtin_longjmp(ActiveFrame()->resume, 1);
}

void ShowReport(const char* thread_name, WinErrorBase& error) {
    char caption[128];
    std::snprintf(caption, sizeof caption, "WinErrorBase derived ERROR in %s!", thread_name);
    error.Show(caption);
}

void ShowAlarm(const char* thread_name) {
    char text[128];
    std::snprintf(text, sizeof text, "catch(...) in %s", thread_name);
    qly::DiagMessageBox(nullptr, text, kGuardAlarmCaption, MB_SYSTEMMODAL | MB_ICONEXCLAMATION);
}

}  // namespace

void TranslateSeh(uint32_t code, EXCEPTION_POINTERS* pointers) {
    ReportSeh(code, pointers);
    throw WinErrorSEH(code, pointers);
}

LONG WINAPI DiagUnhandledExceptionFilter(EXCEPTION_POINTERS* pointers) {
    const EXCEPTION_RECORD* record = pointers != nullptr ? pointers->ExceptionRecord : nullptr;
    if (record == nullptr || pointers->ContextRecord == nullptr) {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    if (IsCxxRuntimeException(record->ExceptionCode)) {
        // An escaped C++ error ends the program as surely as a fault does: offer the dump
        // first, then let the runtime finish it.
        if (record->ExceptionCode == kCxxThrow && CrashHandlerInstalled()) {
            OfferCrashDump(pointers);
        }
        return g_previous_filter != nullptr ? g_previous_filter(pointers)
                                            : EXCEPTION_CONTINUE_SEARCH;
    }
    GuardFrame* frame = ActiveFrame();
    if (frame == nullptr) {
        return CrashHandlerInstalled() ? OfferCrashDump(pointers) : EXCEPTION_CONTINUE_SEARCH;
    }

    frame->code = record->ExceptionCode;
    ReportSeh(frame->code, pointers);
    frame->record = *record;
    frame->record.ExceptionRecord = nullptr;
    std::memcpy(&frame->context, pointers->ContextRecord, sizeof frame->context);

    if ((record->ExceptionFlags & EXCEPTION_NONCONTINUABLE) != 0 ||
        record->ExceptionCode == EXCEPTION_STACK_OVERFLOW) {
        // Such a fault cannot be continued, and an exhausted stack has no room for the
        // resume function: leave the dispatcher directly.
        __builtin_longjmp(frame->resume, 1);
    }
    // Let the system finish its dispatch and continue the thread in ResumeAtGuard, on a
    // fresh 16-byte-aligned slot below the faulting frame, as if it had been called there.
    CONTEXT* context = pointers->ContextRecord;
#if defined(__x86_64__)
    context->Rsp = ((context->Rsp - 256) & ~static_cast<DWORD64>(15)) - 8;
    context->Rip = reinterpret_cast<DWORD64>(&ResumeAtGuard);
#elif defined(__i386__)
    context->Esp = ((context->Esp - 256) & ~static_cast<DWORD>(15)) - 4;
    context->Eip = reinterpret_cast<DWORD>(&ResumeAtGuard);
#else
#error "unsupported processor"
#endif
    return EXCEPTION_CONTINUE_EXECUTION;
}

void InstallDiagExceptionFilter() {
    InitOnceExecuteOnce(&g_filter_once, &InstallFilterOnce, nullptr, nullptr);
}

GuardResult RunGuarded(const char* thread_name, void (*work)(void*), void* context) noexcept {
    InstallDiagExceptionFilter();
    const DWORD slot = GuardSlot();
    if (thread_name == nullptr) {
        thread_name = "thread";
    }

    GuardFrame frame;
    frame.previous = ActiveFrame();
    GuardResult result = GuardResult::kCompleted;
    try {
        if (slot != TLS_OUT_OF_INDEXES) {
            TlsSetValue(slot, &frame);
        }
        if (__builtin_setjmp(frame.resume) == 0) {
            work(context);
            TlsSetValue(slot, frame.previous);
        } else {
            // Back from a structured exception; a fault while reporting it is not ours.
            TlsSetValue(slot, frame.previous);
            EXCEPTION_POINTERS pointers = {&frame.record, &frame.context};
            WinErrorSEH error(frame.code, &pointers);
            ShowReport(thread_name, error);
            result = GuardResult::kWinError;
        }
    } catch (WinErrorBase& error) {
        TlsSetValue(slot, frame.previous);
        ShowReport(thread_name, error);
        result = GuardResult::kWinError;
    } catch (...) {
        TlsSetValue(slot, frame.previous);
        ShowAlarm(thread_name);
        result = GuardResult::kOtherError;
    }
    return result;
}
