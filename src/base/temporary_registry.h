#pragma once
// Temporaries that exist while a file is being written. An interrupt or termination
// signal removes them before the process ends, so no half-written file is left behind.
#include <string>

namespace q3d {

// Installs the SIGINT/SIGTERM cleanup on first use (a signal the process ignores stays
// ignored; a handler installed earlier runs after the cleanup).
void RegisterTemporary(const std::string& path);
void UnregisterTemporary(const std::string& path);

}  // namespace q3d
