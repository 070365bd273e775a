// The crash-dump offer: after a fault that nothing handled, ask the user whether to save a
// minidump to the temporary folder, write it with DBGHELP (loaded only then, first from
// the program's own folder) and say where it went. Never raises; a failure inside only
// changes the final message.
#pragma once

#include <windows.h>

namespace qly {

// Remembers the application name (caption and dump-file prefix; nullptr means
// "Application") and makes the offer the process's last-chance exception filter. Threads
// that run under the thread guard get their faults translated instead (thread_guard.h).
void InstallCrashHandler(const char* name);
bool CrashHandlerInstalled();
const char* CrashAppName();

// Returns EXCEPTION_EXECUTE_HANDLER (1) when a dump was saved, else
// EXCEPTION_CONTINUE_SEARCH (0). pointers may be nullptr (a dump without exception data).
LONG OfferCrashDump(EXCEPTION_POINTERS* pointers);

}  // namespace qly
