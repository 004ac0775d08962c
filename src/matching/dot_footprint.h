#pragma once
// Where the painted dots spoil dense matching. A dark dot dominates every correlation window
// that overlaps it, and the windows around its rim then follow the dot's outline rather than
// the skin, which leaves a dimple or a bump the size of the dot in the surface. The dense
// refinement gives those pixels no intensity term, so the skin around carries them.
#include <opencv2/core.hpp>
#include <vector>

namespace q3d {

// Pixels (CV_8U, 255) within reach of a dark dot centred near one of `centres`: the dot's
// radius at half its contrast with the skin around, plus `windowReach` pixels. `grey` is the
// photograph (CV_8U) the centres are given in. A centre with no dark dot around it (a match
// placed on a freckle or a corner of the eye) marks nothing.
cv::Mat DotFootprints(const cv::Mat& grey, const std::vector<cv::Point2f>& centres,
                      double windowReach);

}  // namespace q3d
