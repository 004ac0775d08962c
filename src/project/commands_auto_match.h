#pragma once
// The Automatic Matching command on the project.
#include "matching/auto_match_params.h"
#include "project/project_doc.h"

namespace q3d {

class Progress;

// True when running the procedure would replace points or matches already placed.
bool AutoMatchingReplacesWork(const CProjectDoc& doc);

// Runs the procedure on the two cameras; the points and matches are replaced by its
// result. A rendered project loses its render data as with Remove Render Data (the
// reconstruction described the replaced matches). Views get hint 3. A failure is pushed
// as an error record and leaves the project untouched.
Status RunAutomaticMatching(CProjectDoc& doc, const AutoMatchParams& params,
                            Progress* progress = nullptr);

}  // namespace q3d
