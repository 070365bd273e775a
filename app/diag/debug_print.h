// A formatted trace line for an attached debugger (OutputDebugStringA). Lines longer
// than 511 characters are cut; it never fails visibly.
#pragma once

namespace qly {

inline constexpr int kDebugPrintCapacity = 512;

void DebugPrint(const char* format, ...);

}  // namespace qly
