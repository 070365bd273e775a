// What the user and the maker see when something goes wrong: the error boxes with their
// captions, the guard of the main and copy-data threads (a C++ error, anything else, a
// real access violation), the debugger line, and the crash-dump offer with its answers.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <regex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "app/diag/crash_dump.h"
#include "app/diag/debug_print.h"
#include "app/diag/dump_file_name.h"
#include "app/diag/system_time.h"
#include "app/diag/thread_guard.h"
#include "app/diag/win_error.h"
#include "tests/diag/debug_output_listener.h"
#include "tests/diag/message_box_recorder.h"

namespace {

using diag_test::DebugOutputListener;
using namespace qly;  // the guard, the error classes and the crash handler under test
using diag_test::MessageBoxRecorder;
using diag_test::ReadWholeFile;
using diag_test::ScratchFolder;

constexpr UINT kErrorBoxStyle = MB_TASKMODAL | MB_SETFOREGROUND | MB_TOPMOST;
constexpr char kOfferText[] = "Unexpected crash, would you like to save a diagnostic file?";

std::string SystemText(DWORD code) {
    char text[512] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                   MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, sizeof text, nullptr);
    return text;
}

volatile int* volatile g_nowhere = nullptr;
volatile bool g_after_fault = false;

__attribute__((noinline)) void WriteThroughNull() {
    *g_nowhere = 1;
    g_after_fault = true;
}

// The same fault behind a call the compiler cannot prove harmless, as a call into another
// part of the program is; a direct call of WriteThroughNull is known not to throw.
void (*volatile g_call_elsewhere)() = &WriteThroughNull;

// Where WriteThroughNull's faulting instruction can be: inside its first bytes.
bool IsInsideWriteThroughNull(unsigned address) {
    const auto start = static_cast<unsigned>(reinterpret_cast<uintptr_t>(&WriteThroughNull));
    return address >= start && address < start + 64;
}

// A snapshot of this thread, as the system would hand it to an exception filter.
struct FakeFault {
    EXCEPTION_RECORD record = {};
    CONTEXT context = {};
    EXCEPTION_POINTERS pointers = {};
    FakeFault() {
        RtlCaptureContext(&context);
        record.ExceptionCode = EXCEPTION_ACCESS_VIOLATION;
        record.ExceptionAddress = reinterpret_cast<void*>(&WriteThroughNull);
        pointers.ExceptionRecord = &record;
        pointers.ContextRecord = &context;
    }
};

TEST(DiagErrorReport, WindowsErrorShowsTheSystemTextInATopmostBox) {
    MessageBoxRecorder boxes;
    qly::WinErrorBase error(ERROR_ACCESS_DENIED);
    error.Show();
    qly::WinErrorBase unknown(0x20001234);
    EXPECT_STREQ(unknown.MessageText(), "ErrorBase 20001234");

    const auto shown = boxes.Shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, SystemText(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(shown[0].text.empty());
    EXPECT_EQ(shown[0].caption, "WinErrorBase derived ERROR !");
    EXPECT_EQ(shown[0].type, kErrorBoxStyle);
}

TEST(DiagThreadGuard, WindowsErrorOnTheMainThreadIsShownWithItsCaption) {
    MessageBoxRecorder boxes;
    EXPECT_EQ(qly::RunGuarded(qly::kMainThreadName, [] { throw qly::WinErrorBase(ERROR_FILE_NOT_FOUND); }),
              GuardResult::kWinError);
    const auto shown = boxes.Shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, "WinErrorBase derived ERROR in main thread!");
    EXPECT_EQ(shown[0].text, SystemText(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(shown[0].type, kErrorBoxStyle);
}

TEST(DiagThreadGuard, AnythingElseRaisesTheAlarmAndFinishedWorkShowsNothing) {
    MessageBoxRecorder boxes;
    EXPECT_EQ(qly::RunGuarded(qly::kCopyDataThreadName, [] { throw std::runtime_error("lost"); }),
              GuardResult::kOtherError);
    EXPECT_EQ(qly::RunGuarded(qly::kMainThreadName, [] { throw 42; }), GuardResult::kOtherError);
    int runs = 0;
    EXPECT_EQ(qly::RunGuarded(qly::kMainThreadName, [&runs] { ++runs; }), GuardResult::kCompleted);
    EXPECT_EQ(runs, 1);

    const auto shown = boxes.Shown();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].text, "catch(...) in CopyDataThread");
    EXPECT_EQ(shown[0].caption, "QLY ALARM !");
    EXPECT_EQ(shown[0].type, static_cast<UINT>(MB_SYSTEMMODAL | MB_ICONEXCLAMATION));
    EXPECT_EQ(shown[1].text, "catch(...) in main thread");
}

// The copy-data thread's life after a real fault: the offer, the debugger line, the
// guard's box with the fault's code and address, and the thread's orderly end.
DWORD WINAPI GuardedCopyDataThread(void*) {
    const GuardResult result = RunGuarded(kCopyDataThreadName, [] { WriteThroughNull(); });
    return result == GuardResult::kWinError ? 77 : 1;
}

TEST(DiagThreadGuard, AccessViolationOnTheCopyDataThreadIsOfferedReportedAndEndsTheThread) {
    ScratchFolder temp("seh");
    SetEnvironmentVariableA("TMP", temp.Path().c_str());
    qly::InstallCrashHandler("Quillory");
    MessageBoxRecorder boxes({IDNO});
    DebugOutputListener debugger;

    HANDLE thread = CreateThread(nullptr, 0, &GuardedCopyDataThread, nullptr, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, 30000), WAIT_OBJECT_0);
    DWORD exit_code = 0;
    GetExitCodeThread(thread, &exit_code);
    CloseHandle(thread);
    EXPECT_EQ(exit_code, 77u);
    EXPECT_FALSE(g_after_fault) << "the faulting code must not go on";

    const auto shown = boxes.Shown();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].text, kOfferText);
    EXPECT_EQ(shown[0].caption, "Quillory");
    EXPECT_EQ(shown[0].type, static_cast<UINT>(MB_YESNO));
    EXPECT_EQ(shown[1].caption, "WinErrorBase derived ERROR in CopyDataThread!");
    EXPECT_EQ(shown[1].type, kErrorBoxStyle);
    std::smatch parts;
    ASSERT_TRUE(std::regex_match(shown[1].text, parts,
                                 std::regex("SEH with seh_error = c0000005\n"
                                            "ExceptionAddress = ([0-9a-f]{8})")))
        << shown[1].text;
    const unsigned address = std::stoul(parts[1], nullptr, 16);
    EXPECT_TRUE(IsInsideWriteThroughNull(address)) << parts[1];

    char trace[128];
    std::snprintf(trace, sizeof trace, "\nSEH with error   = c0000005\nExceptionAddress = %08x\n",
                  address);
    const auto lines = debugger.Lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), std::string(trace)), 1) << trace;
    EXPECT_TRUE(temp.Files().empty()) << "answered No: no dump";
}

TEST(DiagThreadGuard, MainThreadGoesOnAfterAFaultAndCanBeGuardedAgain) {
    MessageBoxRecorder boxes({IDNO, IDOK, IDNO, IDOK});
    const auto divide = [] {
        volatile int zero = 0;
        volatile int quotient = 7 / zero;
        (void)quotient;
    };
    EXPECT_EQ(qly::RunGuarded(qly::kMainThreadName, divide), GuardResult::kWinError);
    EXPECT_EQ(qly::RunGuarded(qly::kMainThreadName, [] { WriteThroughNull(); }), GuardResult::kWinError);
    const auto shown = boxes.Shown();
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[1].caption, "WinErrorBase derived ERROR in main thread!");
    EXPECT_EQ(shown[1].text.substr(0, 31), "SEH with seh_error = c0000094\nE");
    EXPECT_EQ(shown[3].text.substr(0, 31), "SEH with seh_error = c0000005\nE");
}

std::mutex g_registry_lock;

// The shape of the copy-data handler: work on shared data under its lock, and a fault
// deeper down.
__attribute__((noinline)) void FaultUnderLock() {
    std::lock_guard<std::mutex> hold(g_registry_lock);
    g_call_elsewhere();
}

__attribute__((noinline)) void FaultBehindNoexcept() noexcept {
    WriteThroughNull();
}

TEST(DiagThreadGuard, FaultReleasesTheLocksOfItsCallersSoShutdownCanTakeThem) {
    MessageBoxRecorder boxes({IDNO});
    std::thread copy_data([] {
        EXPECT_EQ(qly::RunGuarded(qly::kCopyDataThreadName, [] { FaultUnderLock(); }),
                  GuardResult::kWinError);
    });
    copy_data.join();
    ASSERT_TRUE(g_registry_lock.try_lock()) << "the dead thread still holds the lock";
    g_registry_lock.unlock();
    const auto shown = boxes.Shown();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1].caption, "WinErrorBase derived ERROR in CopyDataThread!");
}

TEST(DiagThreadGuard, FaultArrivesAsWinErrorSEHThatCallersMayCatch) {
    MessageBoxRecorder boxes({IDNO});
    uint32_t seen = 0;
    EXPECT_EQ(qly::RunGuarded(qly::kMainThreadName,
                         [&seen] {
                             try {
                                 g_call_elsewhere();
                             } catch (const WinErrorSEH& error) {
                                 seen = error.SehCode();
                             }
                         }),
              GuardResult::kCompleted);
    EXPECT_EQ(seen, static_cast<uint32_t>(EXCEPTION_ACCESS_VIOLATION));
    const auto shown = boxes.Shown();
    ASSERT_EQ(shown.size(), 1u) << "offered, but handled before the guard";
    EXPECT_EQ(shown[0].text, kOfferText);
}

TEST(DiagThreadGuard, FaultBehindANoexceptFunctionStillReachesTheGuard) {
    MessageBoxRecorder boxes({IDNO});
    std::thread copy_data([] {
        EXPECT_EQ(qly::RunGuarded(qly::kCopyDataThreadName, [] { FaultBehindNoexcept(); }),
                  GuardResult::kWinError);
        // The thread's guard works again after such a return.
        EXPECT_EQ(qly::RunGuarded(qly::kCopyDataThreadName, [] { throw 1; }), GuardResult::kOtherError);
    });
    copy_data.join();
    const auto shown = boxes.Shown();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[1].caption, "WinErrorBase derived ERROR in CopyDataThread!");
    EXPECT_EQ(shown[1].text.substr(0, 31), "SEH with seh_error = c0000005\nE");
    EXPECT_EQ(shown[2].text, "catch(...) in CopyDataThread");
}

TEST(DiagThreadGuard, FaultThatCannotBeContinuedStillReachesTheGuard) {
    MessageBoxRecorder boxes({IDNO});
    DebugOutputListener debugger;
    std::thread copy_data([] {
        EXPECT_EQ(
            qly::RunGuarded(qly::kCopyDataThreadName,
                       [] { RaiseException(0xE0DA0001u, EXCEPTION_NONCONTINUABLE, 0, nullptr); }),
            GuardResult::kWinError);
    });
    copy_data.join();
    const auto shown = boxes.Shown();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].text, kOfferText);
    EXPECT_EQ(shown[1].caption, "WinErrorBase derived ERROR in CopyDataThread!");
    EXPECT_EQ(shown[1].text.substr(0, 31), "SEH with seh_error = e0da0001\nE");
    const auto lines = debugger.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].substr(0, 30), "\nSEH with error   = e0da0001\nE");
}

// The copy-data receiver's shape: a window whose procedure another thread reaches with a
// sent message, and which guards its own work.
LRESULT CALLBACK GuardedReceiver(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_USER + 1) {
        return static_cast<LRESULT>(qly::RunGuarded(qly::kCopyDataThreadName, [] { g_call_elsewhere(); }));
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

TEST(DiagThreadGuard, FaultInAWindowProcedureReachedBySendIsReportedByItsGuard) {
    MessageBoxRecorder boxes({IDNO});
    WNDCLASSA receiver_class = {};
    receiver_class.lpfnWndProc = &GuardedReceiver;
    receiver_class.hInstance = GetModuleHandleA(nullptr);
    receiver_class.lpszClassName = "QlyDiagGuardedReceiver";
    ASSERT_NE(RegisterClassA(&receiver_class), 0);

    std::atomic<HWND> receiver{nullptr};
    std::thread copy_data([&receiver] {
        HWND window = CreateWindowA("QlyDiagGuardedReceiver", "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                    nullptr, GetModuleHandleA(nullptr), nullptr);
        receiver = window;
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
            DispatchMessageA(&msg);
        }
        DestroyWindow(window);
    });
    while (receiver.load() == nullptr) {
        Sleep(10);
    }
    DWORD_PTR answer = 0;
    EXPECT_NE(SendMessageTimeoutA(receiver.load(), WM_USER + 1, 0, 0, SMTO_BLOCK, 30000, &answer),
              0);
    EXPECT_EQ(answer, static_cast<DWORD_PTR>(GuardResult::kWinError));
    PostMessageA(receiver.load(), WM_QUIT, 0, 0);
    copy_data.join();

    const auto shown = boxes.Shown();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].text, kOfferText);
    EXPECT_EQ(shown[1].caption, "WinErrorBase derived ERROR in CopyDataThread!");
    EXPECT_EQ(shown[1].text.substr(0, 31), "SEH with seh_error = c0000005\nE");
}

TEST(DiagThreadGuard, FaultsThatTheSystemHandlesItselfAreNotReported) {
    MessageBoxRecorder boxes;
    bool bad = false;
    EXPECT_EQ(qly::RunGuarded(qly::kMainThreadName,
                         [&bad] { bad = IsBadReadPtr(reinterpret_cast<void*>(16), 4) != FALSE; }),
              GuardResult::kCompleted);
    EXPECT_TRUE(bad);
    EXPECT_TRUE(boxes.Shown().empty());
}

TEST(DiagThreadGuard, TranslatedFaultCarriesItsRecords) {
    MessageBoxRecorder boxes({IDNO});
    FakeFault fault;
    try {
        qly::TranslateSeh(EXCEPTION_ACCESS_VIOLATION, &fault.pointers);
        FAIL() << "TranslateSeh returned";
    } catch (WinErrorSEH& error) {
        const WinErrorSEH copy = error;
        EXPECT_EQ(copy.SehCode(), static_cast<uint32_t>(EXCEPTION_ACCESS_VIOLATION));
        EXPECT_EQ(copy.ErrorCode(), 0u);
        EXPECT_EQ(copy.Record().ExceptionAddress, fault.record.ExceptionAddress);
        EXPECT_EQ(copy.Context().Rsp, fault.context.Rsp);
    }
    ASSERT_EQ(boxes.Shown().size(), 1u);
    EXPECT_EQ(boxes.Shown()[0].text, kOfferText);
}

TEST(DiagCrashDump, AnsweredNoWritesNothingAndShowsNothingMore) {
    ScratchFolder temp("dumpno");
    SetEnvironmentVariableA("TMP", temp.Path().c_str());
    qly::InstallCrashHandler(nullptr);
    MessageBoxRecorder boxes({IDNO});
    FakeFault fault;
    EXPECT_EQ(qly::OfferCrashDump(&fault.pointers), EXCEPTION_CONTINUE_SEARCH);
    const auto shown = boxes.Shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, kOfferText);
    EXPECT_EQ(shown[0].caption, "Application");
    EXPECT_EQ(shown[0].type, static_cast<UINT>(MB_YESNO));
    EXPECT_TRUE(temp.Files().empty());
}

std::string DumpPathAt(const std::string& folder, const SYSTEMTIME& time) {
    return qly::DumpFilePath(folder, "Quillory", qly::ToCivilTime(time));
}

TEST(DiagCrashDump, AnsweredYesSavesAMinidumpNamedByTheUtcTime) {
    ScratchFolder temp("dumpyes");
    SetEnvironmentVariableA("TMP", temp.Path().c_str());
    qly::InstallCrashHandler("Quillory");
    MessageBoxRecorder boxes({IDYES, IDOK});
    FakeFault fault;
    SYSTEMTIME before;
    GetSystemTime(&before);
    EXPECT_EQ(qly::OfferCrashDump(&fault.pointers), EXCEPTION_EXECUTE_HANDLER);
    SYSTEMTIME after;
    GetSystemTime(&after);

    const auto shown = boxes.Shown();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1].caption, "Quillory");
    EXPECT_EQ(shown[1].type, static_cast<UINT>(MB_OK));
    const std::string prefix = "Saved dump file to '";
    ASSERT_EQ(shown[1].text.substr(0, prefix.size()), prefix) << shown[1].text;
    ASSERT_EQ(shown[1].text.back(), '\'');
    const std::string path =
        shown[1].text.substr(prefix.size(), shown[1].text.size() - prefix.size() - 1);
    // The name's time lies between the clock before and after the crash.
    EXPECT_LE(DumpPathAt(temp.Path(), before), path);
    EXPECT_GE(DumpPathAt(temp.Path(), after), path);
    ASSERT_EQ(temp.Files().size(), 1u);
    EXPECT_EQ(temp.Path() + temp.Files()[0], path);
    const std::string dump = ReadWholeFile(path);
    EXPECT_EQ(dump.substr(0, 4), "MDMP");
}

TEST(DiagCrashDump, UnwritableTemporaryFolderShowsTheCreateFailureWithPathAndError) {
    // Sysfs is read-only here; Wine reports the refusal as access denied, as Windows
    // does for a folder without write access.
    const char* folder = "Z:\\sys\\";
    HANDLE probe = CreateFileA("Z:\\sys\\qly-probe.dmp", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe != INVALID_HANDLE_VALUE || GetLastError() != ERROR_ACCESS_DENIED) {
        if (probe != INVALID_HANDLE_VALUE) {
            CloseHandle(probe);
            DeleteFileA("Z:\\sys\\qly-probe.dmp");
        }
        GTEST_SKIP() << "no read-only folder on this machine";
    }
    SetEnvironmentVariableA("TMP", folder);
    qly::InstallCrashHandler("Quillory");
    MessageBoxRecorder boxes({IDYES, IDOK});
    FakeFault fault;
    EXPECT_EQ(qly::OfferCrashDump(&fault.pointers), EXCEPTION_CONTINUE_SEARCH);
    const auto shown = boxes.Shown();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_TRUE(std::regex_match(
        shown[1].text, std::regex("Failed to create dump file 'Z:\\\\sys\\\\Quillory "
                                  "[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}_[0-9]{2}_[0-9]{2}\\.dmp' "
                                  "\\(error 5\\)")))
        << shown[1].text;
    EXPECT_EQ(shown[1].caption, "Quillory");
}

// A crash on a thread without a guard, seen from outside the crashing program.
struct CrashChildRun {
    bool ended = false;
    DWORD exit_code = 0;
    std::string boxes;
};

CrashChildRun RunCrashChild(const ScratchFolder& temp, const char* answer, const char* how = "") {
    char own[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, own, MAX_PATH);
    std::string program = own;
    program = program.substr(0, program.rfind('\\') + 1) + "diag_crash_child.exe";
    const std::string box_file = temp.Path() + "boxes.txt";
    // The folder's trailing backslash is doubled so that it does not escape the quote.
    std::string command =
        "\"" + program + "\" \"" + temp.Path() + "\\\" \"" + box_file + "\" " + answer + " " + how;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    CrashChildRun run;
    if (!CreateProcessA(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info)) {
        return run;
    }
    run.ended = WaitForSingleObject(info.hProcess, 60000) == WAIT_OBJECT_0;
    if (!run.ended) {
        TerminateProcess(info.hProcess, 1);
        WaitForSingleObject(info.hProcess, 10000);
    }
    GetExitCodeProcess(info.hProcess, &run.exit_code);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    run.boxes = ReadWholeFile(box_file);
    DeleteFileA(box_file.c_str());
    return run;
}

TEST(DiagCrashDump, CrashOutsideAGuardIsOfferedSavedAndEndsTheProgram) {
    ScratchFolder temp("crashyes");
    const CrashChildRun run = RunCrashChild(temp, "yes");
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(run.exit_code, static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION));
    const std::regex boxes(
        "Quillory\\|4\\|Unexpected crash, would you like to save a diagnostic file\\?\n"
        "Quillory\\|0\\|Saved dump file to '(.*Quillory [0-9]{4}-[0-9]{2}-[0-9]{2} "
        "[0-9]{2}_[0-9]{2}_[0-9]{2}\\.dmp)'\n");
    std::smatch parts;
    ASSERT_TRUE(std::regex_match(run.boxes, parts, boxes)) << run.boxes;
    const std::vector<std::string> files = temp.Files();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(temp.Path() + files[0], parts[1].str());
    EXPECT_EQ(ReadWholeFile(parts[1].str()).substr(0, 4), "MDMP");
}

TEST(DiagCrashDump, CrashAnsweredNoLeavesNoDumpAndNoFurtherBox) {
    ScratchFolder temp("crashno");
    const CrashChildRun run = RunCrashChild(temp, "no");
    ASSERT_TRUE(run.ended);
    EXPECT_NE(run.exit_code, 9u) << "the crash must end the program";
    EXPECT_EQ(run.boxes,
              "Quillory|4|Unexpected crash, would you like to save a diagnostic file?\n");
    EXPECT_TRUE(temp.Files().empty());
}

TEST(DiagCrashDump, CxxErrorThatEscapesAThreadIsOfferedBeforeTheProgramEnds) {
    ScratchFolder temp("crashcxx");
    const CrashChildRun run = RunCrashChild(temp, "yes", "throw");
    ASSERT_TRUE(run.ended);
    EXPECT_TRUE(std::regex_match(
        run.boxes,
        std::regex("Quillory\\|4\\|Unexpected crash, would you like to save a "
                   "diagnostic file\\?\nQuillory\\|0\\|Saved dump file to '.*\\.dmp'\n")))
        << run.boxes;
    EXPECT_EQ(temp.Files().size(), 1u);
}

TEST(DiagDebugPrint, LongTraceLinesAreCutAt511Characters) {
    DebugOutputListener debugger;
    const std::string long_text(700, 'q');
    qly::DebugPrint("%s", long_text.c_str());
    qly::DebugPrint("moved %04d items\n", 12);
    const auto lines = debugger.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], std::string(511, 'q'));
    EXPECT_EQ(lines[1], "moved 0012 items\n");
}

}  // namespace
