// The debugger trace line; see debug_print.h.
#include "app/diag/debug_print.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>

namespace qly {

void DebugPrint(const char* format, ...) {
    if (format == nullptr) {
        return;
    }
    char text[kDebugPrintCapacity];
    va_list args;
    va_start(args, format);
    const int length = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (length < 0) {
        return;
    }
    OutputDebugStringA(text);
}

}  // namespace qly
