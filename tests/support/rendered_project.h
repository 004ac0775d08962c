#pragma once
// A project holding a synthetic scene's matches with its true calibration and pose as the
// render results, and images whose colours vary smoothly: a model to build, show and
// export without running the reconstruction.
#include "project/project_doc.h"

namespace q3d::test {

void FillRenderedProject(CProjectDoc& doc, int points, uint64_t seed = 7);

}  // namespace q3d::test
