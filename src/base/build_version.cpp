#include "base/build_version.h"

#include "build_version_values.h"

namespace q3d {

const char* ProjectVersion() { return Q3D_PROJECT_VERSION; }

const char* SourceCommit() { return Q3D_SOURCE_COMMIT; }

std::string VersionText() {
  return std::string(ProjectVersion()) + " (commit " + SourceCommit() + ")";
}

}  // namespace q3d
