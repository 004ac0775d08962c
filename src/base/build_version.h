#pragma once
// What a build is: the project's version and the source commit it was built from, as the
// programs' --version and the About window show them.
#include <string>

namespace q3d {

// The project's version, e.g. "0.1".
const char* ProjectVersion();
// The abbreviated commit, with "-dirty" when built from modified sources, or "unknown"
// for sources without their history.
const char* SourceCommit();
// "0.1 (commit 1a2b3c4d5e6f)".
std::string VersionText();

}  // namespace q3d
