// What the setup tests read and write on the test prefix's disk and registry: small files,
// and Windows' list of what to rename or delete at the next restart.
#pragma once

#include <string>

namespace qly_setup_test {

bool Exists(const std::string& path);
void Write(const std::string& path, const std::string& text);
// The file's first 255 bytes, or "<missing>"; readable while another holds it open.
std::string Read(const std::string& path);
// PendingFileRenameOperations as one text, its strings joined by '|' (non-ASCII as '?').
std::string PendingRenames();

}  // namespace qly_setup_test
