// The per-thread guard; see thread_guard.h.
//
// This toolchain has no per-thread structured-exception translator, and its C++ handlers
// let structured exceptions pass (measured: an access violation inside try/catch(...)
// runs no destructor and reaches the process's last-chance filter). So:
// - The guard runs its work inside an exception frame of its own (a small assembly
//   function with a handler). The system asks that handler about a fault only after every
//   frame inside the work declined it, as it would ask a translator. (A first-chance,
//   vectored handler would not do: it also sees faults that the system's own code expects
//   and handles, e.g. inside IsBadReadPtr.) The last-chance filter does the same for a
//   guarded thread whose frame the fault did not pass.
// - The handler reports the fault, then lets the thread continue as if the faulting
//   function had returned to its caller and the caller had called a function that throws
//   the WinErrorSEH. The throw leaves from a real call site, so the C++ unwinder runs the
//   destructors of every caller up to the guard (a lock held there is released) and
//   intermediate catch handlers see the error, as with a translator. Only the faulting
//   function's own locals are lost.
// - Where that throw cannot pass (a noexcept function, or a call that the compiler proved
//   cannot throw: memcpy, or a small function of the same file), the runtime calls
//   std::terminate; the guard's terminate handler then jumps straight back to the guard,
//   abandoning the frames left.
// Faults that cannot be continued take that jump at once. A stack overflow does too, and
// is reported only back at the guard, where there is stack to spare.
#include "app/diag/thread_guard.h"

#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "app/diag/crash_dump.h"
#include "app/diag/debug_print.h"
#include "app/diag/log.h"
#include "app/diag/message_box_seam.h"
#include "app/diag/win_error.h"

namespace qly {

namespace {

struct GuardFrame {
    void* resume[5];  // __builtin_setjmp buffer
    GuardFrame* previous = nullptr;
    bool translating = false;     // between the filter and the throw of a fault's WinErrorSEH
    bool report_pending = false;  // the fault is to be reported from the guard's own stack
    bool quiet = false;           // report to the log only: no box, no dump offer
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

void SetActiveFrame(GuardFrame* frame) {
    const DWORD slot = GuardSlot();
    if (slot != TLS_OUT_OF_INDEXES) {
        TlsSetValue(slot, frame);
    }
}

// C++ exceptions of this toolchain travel as structured exceptions too ("GCC" codes). A
// throw that found no handler belongs to the C++ runtime: the runtime's own filter lets
// the throw return, and the runtime then ends the program with std::terminate.
constexpr DWORD kCxxThrow = 0x20474343u;

bool IsCxxRuntimeException(DWORD code) {
    return (code & 0x20FFFFFFu) == kCxxThrow;
}

constexpr ULONG kOverflowReserve = 32 * 1024;

LPTOP_LEVEL_EXCEPTION_FILTER g_previous_filter = nullptr;
GuardCleanup g_cleanup;
std::terminate_handler g_previous_terminate = nullptr;
INIT_ONCE g_filter_once = INIT_ONCE_STATIC_INIT;

// Only a translated fault that could not travel goes back to the guard; any other reason
// for std::terminate keeps its meaning.
[[noreturn]] void GuardTerminate() {
    GuardFrame* frame = ActiveFrame();
    bool translated_fault = false;
    if (frame != nullptr && std::current_exception() != nullptr) {
        try {
            std::rethrow_exception(std::current_exception());
        } catch (const WinErrorSEH&) {
            translated_fault = true;
        } catch (...) {
        }
    }
    if (translated_fault) {
        __builtin_longjmp(frame->resume, 1);
    }
    if (g_previous_terminate != nullptr) {
        g_previous_terminate();
    }
    std::abort();
}

BOOL CALLBACK InstallFilterOnce(PINIT_ONCE, PVOID, PVOID*) {
    LPTOP_LEVEL_EXCEPTION_FILTER previous =
        SetUnhandledExceptionFilter(&DiagUnhandledExceptionFilter);
    if (previous != &DiagUnhandledExceptionFilter) {
        g_previous_filter = previous;
    }
    std::terminate_handler previous_terminate = std::set_terminate(&GuardTerminate);
    if (previous_terminate != &GuardTerminate) {
        g_previous_terminate = previous_terminate;
    }
    return TRUE;
}

void ReportSeh(uint32_t code, EXCEPTION_POINTERS* pointers, bool offer_dump = true) {
    if (offer_dump) {
        OfferCrashDump(pointers);
    }
    const void* address = (pointers != nullptr && pointers->ExceptionRecord != nullptr)
                              ? pointers->ExceptionRecord->ExceptionAddress
                              : nullptr;
    DebugPrint("\nSEH with error   = %08x\nExceptionAddress = %08x\n", static_cast<unsigned>(code),
               static_cast<unsigned>(reinterpret_cast<uintptr_t>(address) & 0xFFFFFFFFu));
}

[[noreturn]] __attribute__((noinline)) void ThrowPendingSeh() {
    GuardFrame* frame = ActiveFrame();
    EXCEPTION_POINTERS pointers = {&frame->record, &frame->context};
    WinErrorSEH error(frame->code, &pointers);
    // From here on it is an ordinary C++ exception that code between here and the guard
    // may catch and survive; a later fault is translated afresh.
    frame->translating = false;
    throw error;
}

#if defined(__x86_64__)
// Turns the fault's context into that of its caller right after the faulting call, then
// into a call of ThrowPendingSeh from there. False when the stack cannot be walked.
bool RedirectToThrow(CONTEXT* context) {
    CONTEXT caller = *context;
    DWORD64 image_base = 0;
    PRUNTIME_FUNCTION function = RtlLookupFunctionEntry(caller.Rip, &image_base, nullptr);
    if (function != nullptr) {
        void* handler_data = nullptr;
        DWORD64 establisher = 0;
        RtlVirtualUnwind(UNW_FLAG_NHANDLER, image_base, caller.Rip, function, &caller,
                         &handler_data, &establisher, nullptr);
    } else {
        // A leaf function, or a call through a bad pointer: the return address is on top.
        caller.Rip = *reinterpret_cast<DWORD64*>(caller.Rsp);
        caller.Rsp += 8;
    }
    if (caller.Rip == 0 || (caller.Rsp & 15) != 0) {
        return false;
    }
    // The slot below the caller's stack pointer held the faulting call's return address;
    // it becomes the return address of the throwing call.
    caller.Rsp -= 8;
    *reinterpret_cast<DWORD64*>(caller.Rsp) = caller.Rip;
    caller.Rip = reinterpret_cast<DWORD64>(&ThrowPendingSeh);
    *context = caller;
    return true;
}
#else
bool RedirectToThrow(CONTEXT*) {
    return false;
}
#endif

// Reports a fault of a guarded thread and sends the thread on to the guard: either by
// rewriting the context (the caller continues with EXCEPTION_CONTINUE_EXECUTION) or by the
// jump, from which it does not return.
void TranslateFault(GuardFrame* frame, EXCEPTION_POINTERS* pointers) {
    const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
    frame->code = record->ExceptionCode;
    frame->record = *record;
    frame->record.ExceptionRecord = nullptr;
    std::memcpy(&frame->context, pointers->ContextRecord, sizeof frame->context);
    if (record->ExceptionCode == EXCEPTION_STACK_OVERFLOW) {
        // The few pages left are no place for a dialog: report from the guard.
        frame->report_pending = true;
        __builtin_longjmp(frame->resume, 1);
    }
    ReportSeh(frame->code, pointers, !frame->quiet);
    frame->translating = true;
    if ((record->ExceptionFlags & EXCEPTION_NONCONTINUABLE) != 0 ||
        !RedirectToThrow(pointers->ContextRecord)) {
        __builtin_longjmp(frame->resume, 1);
    }
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

// The report as one log line: the system's text ends in a line break and a fault's text
// has one inside, so both become spaces.
void LogReport(const char* thread_name, WinErrorBase& error) {
    char text[256];
    std::snprintf(text, sizeof text, "%s", error.MessageText());
    for (char* c = text; *c != '\0'; ++c) {
        if (*c == '\r' || *c == '\n') {
            *c = ' ';
        }
    }
    size_t length = std::strlen(text);
    while (length > 0 && text[length - 1] == ' ') {
        text[--length] = '\0';
    }
    LogLine("WinErrorBase derived ERROR in %s! %s\n", thread_name, text);
}

void LogAlarm(const char* thread_name) {
    LogLine("catch(...) in %s\n", thread_name);
}

void Report(const char* thread_name, WinErrorBase& error, bool quiet) {
    if (quiet) {
        LogReport(thread_name, error);
    } else {
        ShowReport(thread_name, error);
    }
}

}  // namespace

#if defined(__x86_64__)
// The guard's own exception frame: the work runs inside qly_call_under_fault_frame, whose
// handler the system asks about a fault after every frame inside the work declined it and
// before any frame outside. It is the translator's place, per call and per thread, and it
// also works inside a window procedure, where the system would otherwise stop the fault at
// the boundary of the sent message before any outer guard or filter could see it.
extern "C" EXCEPTION_DISPOSITION qly_fault_frame_handler(EXCEPTION_RECORD* record,
                                                         void* establisher,
                                                         CONTEXT* context,
                                                         void* dispatcher);
extern "C" void qly_call_under_fault_frame(void (*work)(void*), void* context);

EXCEPTION_DISPOSITION qly_fault_frame_handler(EXCEPTION_RECORD* record,
                                              void*,
                                              CONTEXT* context,
                                              void*) {
    if ((record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) != 0 ||
        IsCxxRuntimeException(record->ExceptionCode)) {
        return ExceptionContinueSearch;
    }
    GuardFrame* frame = ActiveFrame();
    if (frame == nullptr || frame->translating) {
        return ExceptionContinueSearch;
    }
    EXCEPTION_POINTERS pointers = {record, context};
    TranslateFault(frame, &pointers);
    return ExceptionContinueExecution;
}

// work(context) with the frame above. The nop keeps the return address out of the
// epilogue, where the system would not ask the handler.
asm(R"(
    .text
    .p2align 4
    .globl qly_call_under_fault_frame
    .def qly_call_under_fault_frame; .scl 2; .type 32; .endef
    .seh_proc qly_call_under_fault_frame
qly_call_under_fault_frame:
    subq $40, %rsp
    .seh_stackalloc 40
    .seh_endprologue
    movq %rcx, %rax
    movq %rdx, %rcx
    call *%rax
    nop
    addq $40, %rsp
    ret
    .seh_handler qly_fault_frame_handler, @except
    .seh_endproc
)");
#else
// Without the frame, faults reach the guard through the last-chance filter only.
static void qly_call_under_fault_frame(void (*work)(void*), void* context) {
    work(context);
}
#endif

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
    if (frame == nullptr || frame->translating) {
        // Not guarded, or a fault while reporting the previous one.
        if (CrashHandlerInstalled()) {
            return OfferCrashDump(pointers);
        }
        return g_previous_filter != nullptr ? g_previous_filter(pointers)
                                            : EXCEPTION_CONTINUE_SEARCH;
    }

    TranslateFault(frame, pointers);
    return EXCEPTION_CONTINUE_EXECUTION;
}

void InstallDiagExceptionFilter() {
    InitOnceExecuteOnce(&g_filter_once, &InstallFilterOnce, nullptr, nullptr);
}

void SetGuardCleanup(GuardCleanup cleanup) {
    g_cleanup = cleanup;
}

namespace {

GuardResult RunGuardedReporting(const char* thread_name,
                                void (*work)(void*),
                                void* context,
                                bool quiet) noexcept {
    InstallDiagExceptionFilter();
    const GuardCleanup cleanup = g_cleanup;
    const intptr_t cleanup_mark = cleanup.mark ? cleanup.mark() : 0;
    // Leaves the filter room to run after a stack overflow (the system keeps this much
    // back from the thread's own use).
    ULONG reserve = kOverflowReserve;
    SetThreadStackGuarantee(&reserve);
    if (thread_name == nullptr) {
        thread_name = "thread";
    }

    GuardFrame frame;
    frame.previous = ActiveFrame();
    frame.quiet = quiet;
    GuardResult result = GuardResult::kCompleted;
    try {
        SetActiveFrame(&frame);
        if (__builtin_setjmp(frame.resume) == 0) {
            qly_call_under_fault_frame(work, context);
            SetActiveFrame(frame.previous);
        } else {
            // Back by the jump: the error could not travel as a C++ exception. A fault
            // while reporting it belongs to the guard outside.
            SetActiveFrame(frame.previous);
            if (cleanup.restore)
                cleanup.restore(cleanup_mark);
            EXCEPTION_POINTERS pointers = {&frame.record, &frame.context};
            if (frame.report_pending) {
                _resetstkoflw();  // arm the stack's guard page again
                ReportSeh(frame.code, &pointers, !quiet);
            }
            WinErrorSEH error(frame.code, &pointers);
            Report(thread_name, error, quiet);
            result = GuardResult::kWinError;
        }
    } catch (WinErrorBase& error) {
        // A fault leaves the faulting function's own locals behind even when the error
        // travels on: a lock that function held is still held.
        SetActiveFrame(frame.previous);
        if (cleanup.restore)
            cleanup.restore(cleanup_mark);
        Report(thread_name, error, quiet);
        result = GuardResult::kWinError;
    } catch (...) {
        SetActiveFrame(frame.previous);
        if (cleanup.restore)
            cleanup.restore(cleanup_mark);
        if (quiet) {
            LogAlarm(thread_name);
        } else {
            ShowAlarm(thread_name);
        }
        result = GuardResult::kOtherError;
    }
    return result;
}

}  // namespace

GuardResult RunGuarded(const char* thread_name, void (*work)(void*), void* context) noexcept {
    return RunGuardedReporting(thread_name, work, context, false);
}

GuardResult RunLogged(const char* thread_name, void (*work)(void*), void* context) noexcept {
    return RunGuardedReporting(thread_name, work, context, true);
}

}  // namespace qly
