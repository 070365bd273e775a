// The per-thread guard of the main program's threads. Work run under RunGuarded that
// throws a WinErrorBase is reported with the error's own show operation; anything else
// thrown is reported as "catch(...) in <thread>"; a structured exception (access
// violation, division by zero, ...) of that thread first goes through TranslateSeh's
// report (crash-dump offer, debugger line) and then reaches the guard as a WinErrorSEH.
// After a report the guard returns, so the thread can end or shut down in order.
// A window procedure that a message sent from another thread or process reaches runs its
// own RunGuarded: the system stops a fault where it delivered the message (under Wine,
// measured: the sender gets 0 and the thread goes on), so a guard outside never sees it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <type_traits>

namespace qly {

inline constexpr char kMainThreadName[] = "main thread";
inline constexpr char kCopyDataThreadName[] = "CopyDataThread";
inline constexpr char kGuardAlarmCaption[] = "QLY ALARM !";

enum class GuardResult {
    kCompleted,   // the work returned normally
    kWinError,    // a WinErrorBase (or a structured exception) was reported
    kOtherError,  // something else was thrown and reported
};

// Reports a structured exception (crash-dump offer, then the debugger line
// "\nSEH with error   = %08x\nExceptionAddress = %08x\n") and throws a WinErrorSEH.
[[noreturn]] void TranslateSeh(uint32_t code, EXCEPTION_POINTERS* pointers);

// The process's last-chance filter. The platform reaches it only for a fault that no
// handler of the thread took. On a guarded thread it translates the fault and resumes the
// thread at its guard; elsewhere it makes the crash-dump offer (when InstallCrashHandler
// ran) or leaves the fault to the system.
LONG WINAPI DiagUnhandledExceptionFilter(EXCEPTION_POINTERS* pointers);
// Makes DiagUnhandledExceptionFilter the process's filter (once; later calls do nothing).
void InstallDiagExceptionFilter();

// Runs work(context) under the guard of the thread called thread_name (kMainThreadName,
// kCopyDataThreadName) and reports what escaped it. Never throws. A structured exception
// leaves the faulting function as a WinErrorSEH thrown from its caller: the callers'
// destructors run (locks they hold are released) and their handlers may catch it. The
// faulting function's own locals are abandoned, and so are all frames up to the guard
// when the error meets a frame that may not throw (noexcept, or a call the compiler proved
// cannot throw): after a fault nothing there can be trusted, and the thread only ends or
// shuts down.
GuardResult RunGuarded(const char* thread_name, void (*work)(void*), void* context) noexcept;

// What a guard puts right when a fault abandoned frames of its thread (their destructors
// never ran): `mark` is asked when the guard starts, and `restore` gets that mark back
// before the fault is reported. The program uses it for the lock of its shared model, so
// that a fault under the lock never leaves every other thread waiting for it.
struct GuardCleanup {
    intptr_t (*mark)() = nullptr;
    void (*restore)(intptr_t mark) = nullptr;
};
void SetGuardCleanup(GuardCleanup cleanup);

template <typename Work>
GuardResult RunGuarded(const char* thread_name, Work&& work) noexcept {
    using Callable = std::remove_reference_t<Work>;
    return RunGuarded(
        thread_name, [](void* callable) { (*static_cast<Callable*>(callable))(); },
        const_cast<void*>(static_cast<const void*>(&work)));
}

// As RunGuarded, but shows nothing: what escaped is written to the log ("WinErrorBase
// derived ERROR in <thread>! <text>", "catch(...) in <thread>") and a fault makes no
// crash-dump offer. For the shutdown's steps, where a box would hold up a log-off or a
// restart that is waiting for the program to end.
GuardResult RunLogged(const char* thread_name, void (*work)(void*), void* context) noexcept;

template <typename Work>
GuardResult RunLogged(const char* thread_name, Work&& work) noexcept {
    using Callable = std::remove_reference_t<Work>;
    return RunLogged(
        thread_name, [](void* callable) { (*static_cast<Callable*>(callable))(); },
        const_cast<void*>(static_cast<const void*>(&work)));
}

}  // namespace qly
