#pragma once
// The Automatic Matching command on the project.
#include <vector>

#include "matching/auto_match_params.h"
#include "matching/epipolar_check.h"
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

// The two halves of RunAutomaticMatching, for a front end that finds the matches off its
// own thread: the first only reads the cameras' images, the second stores its result.
// Both push a failure as an error record; a cancelled search pushes nothing.
Status FindProjectMatches(const CProjectDoc& doc, const AutoMatchParams& params,
                          std::vector<PointPair>& found, Progress* progress);
Status ApplyAutomaticMatches(CProjectDoc& doc, const std::vector<PointPair>& found);

}  // namespace q3d
