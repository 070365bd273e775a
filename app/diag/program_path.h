// Text work on the program paths that the process utilities learn from the system:
// the file-name part that names a window's program, the test for the 16-bit host
// NTVDM.EXE, and bounded copies into callers' fixed buffers.
#pragma once

#include <cstddef>
#include <string_view>

namespace qly {

// The text after the last backslash or slash (the whole text when there is none).
std::string_view FileNamePart(std::string_view path);

// True when the path's last characters are "NTVDM.EXE" in any case. A path shorter than
// that name never matches, so an empty path (the lookup failed) is not taken for the
// 16-bit host.
bool IsNtvdmPath(std::string_view path);

// Copies at most size - 1 characters and always terminates; size 0 writes nothing.
// Returns false when the text had to be cut.
bool CopyBounded(char* out, std::size_t size, std::string_view text);

}  // namespace qly
