// What program an autostart command starts, and the file name by which a running program is
// looked up among the tray's icons and the rules. Commands come from the registry as users
// and installers wrote them: quoted or not, with switches after the program ("/s", "-tray"),
// with environment variables ("%ProgramFiles%"). Plain C++ over a probe that expands and
// tests paths, so every form is tested natively; in an 8-bit double-byte code page the
// trail byte of a character is never taken for a separator.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "app/base/program_folder.h"

namespace qly {

struct PathProbe {
    // The text with environment variables expanded; empty when it cannot be expanded.
    std::function<std::string(const std::string&)> expand;
    // Whether a file or folder is at an expanded path.
    std::function<bool(const std::string&)> exists;
    LeadByteTest is_lead_byte = nullptr;
};

// The program part of `command`: the command cut before its first "/" switch, or before its
// last "-" switch, or the quoted program at its start, taken as written or without its
// quotes, whichever exists first. `path` receives it as written (environment variables not
// expanded). False when no part of the command exists.
bool ExtractProgramPath(std::string_view command, const PathProbe& probe, std::string* path);

// The text after the last backslash (or, with `slash_too`, the last slash as well).
std::string_view FileNamePart(std::string_view path, bool slash_too, LeadByteTest is_lead_byte);

// The longest file name an icon's owner or a rule can carry.
constexpr size_t kLookupNameMax = 127;

// Turns a short (8.3) path into the long one; empty when it cannot.
using LongPathOf = std::function<std::string(const std::string&)>;

// The name a program is looked up by: the file name of `path` (after the last backslash or
// slash, at most kLookupNameMax bytes), taken from the long form of the path when the name
// is a short one (holds "~"), without trailing white space.
std::string LookupName(std::string_view path,
                       const LongPathOf& long_path,
                       LeadByteTest is_lead_byte);

}  // namespace qly
