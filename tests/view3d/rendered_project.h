#pragma once
// A project holding a synthetic scene's matches with its true calibration and pose as the
// render results, and an image 1 whose colours vary smoothly, so that the 3D view has a
// model to show without running the reconstruction.
#include "project/project_doc.h"

namespace q3d::test {

void FillRenderedProject(CProjectDoc& doc, int points, uint64_t seed = 7);

}  // namespace q3d::test
