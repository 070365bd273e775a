// The name of a crash-dump file; see dump_file_name.h.
#include "app/diag/dump_file_name.h"

#include <cstdio>

namespace qly {

std::string DumpFilePath(const std::string& temp_folder,
                         const std::string& app_name,
                         const CivilTime& utc) {
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, " %04d-%02d-%02d %02d_%02d_%02d", utc.year, utc.month,
                  utc.day, utc.hour, utc.minute, utc.second);
    const std::string folder = temp_folder.empty() ? kFallbackTempFolder : temp_folder;
    return folder + app_name + stamp + ".dmp";
}

}  // namespace qly
