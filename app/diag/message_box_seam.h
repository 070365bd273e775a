// The one routine through which diagnostics show message boxes and ask questions
// (the crash-dump offer, the thread guard, the error classes). The program uses
// MessageBoxA; a test replaces it to read the exact texts and to answer, since nobody
// can click a box in an unattended run.
#pragma once

#include <windows.h>

namespace qly {

using MessageBoxFunction = int(WINAPI*)(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// Installs a replacement (nullptr restores MessageBoxA) and returns the previous one.
MessageBoxFunction SetDiagMessageBox(MessageBoxFunction function);

int DiagMessageBox(HWND owner, const char* text, const char* caption, UINT type);

}  // namespace qly
