#pragma once
// Re-centring the points of a project on the dots under them, for points placed before
// the precise centre step existed or with it turned off.
#include "project/project_doc.h"
#include "stereo/dot_centre.h"

namespace q3d {

struct RecentreReport {
  int moved = 0;      // points given a new centre
  int unchanged = 0;  // points on no dot, already at its centre, or too far from it
};

// A point farther than this from the centre of the dot under it is no point placed on
// that dot (a corner of the skin texture, a plain click on a dark area) and stays.
inline constexpr double kMaxRecentreShift = 2.0;  // pixels

// Moves every point of both images to the centre, found as centring says, of the dot
// under the pixel nearest to it. Matches keep their points; a rendered project keeps its
// results until it is rendered again, as with other point edits, and the views get hints
// 3 and, when rendered, 8. Returns 1, or 0 with an error record pushed (memory short)
// and the points moved so far moved.
int RecentrePointsOnDots(CProjectDoc& doc, DotCentring centring, RecentreReport* report = nullptr);

}  // namespace q3d
