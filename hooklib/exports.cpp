// Exported functions of the library (first cut).
#include <windows.h>

#include "hooklib/qlydll.h"

extern "C" {
QLYDLL_API int __stdcall InstallHooks(uint64_t, uint32_t, uint32_t, uint32_t) { return 0; }
QLYDLL_API void __stdcall UninstallHooks() {}
QLYDLL_API int __stdcall FindSpecialWindows() { return 0; }
QLYDLL_API uint64_t __stdcall SpecialCopyIcon(uint64_t) { return 0; }
QLYDLL_API uint32_t __stdcall QlyGetVer(const TrayItem*) { return 0; }
QLYDLL_API int64_t __stdcall CBT_HOOK_PROC(int, uint64_t, int64_t) { return 0; }
}
