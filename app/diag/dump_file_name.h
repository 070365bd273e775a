// The name of a crash-dump file: the temporary folder, the application name and the UTC
// time of the crash, so that dumps of several crashes never overwrite each other (within
// a second) and sort by time, e.g. "C:\Temp\Quillory 2009-01-17 13_01_58.dmp".
#pragma once

#include <string>

#include "app/diag/civil_time.h"

namespace qly {

// Used when the platform cannot tell the temporary folder.
inline constexpr char kFallbackTempFolder[] = "c:\\temp\\";

// temp_folder ends with a backslash as the platform returns it; empty means unknown.
std::string DumpFilePath(const std::string& temp_folder,
                         const std::string& app_name,
                         const CivilTime& utc);

}  // namespace qly
