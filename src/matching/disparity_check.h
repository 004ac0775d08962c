#pragma once
// Neighbourhood check of matches: on a face the displacement between the two images
// changes smoothly, so an affine map fitted to a match's nearest neighbours predicts where
// its image-2 point should be. A match far from that prediction lies on its epipolar line
// but at the wrong place along it.
#include <vector>

#include "matching/epipolar_check.h"

namespace q3d {

struct DisparityCheckOptions {
  int neighbours = 8;          // nearest matches (in image 1) the map is fitted to
  double minTolerance = 4.0;   // pixels; the tolerance is 4 times the fit's residual, at least this
};

// Per match: 1 when its image-2 point agrees with the prediction from its neighbours. With
// fewer matches than neighbours + 2 every match passes (there is nothing to compare with).
std::vector<char> AgreeWithNeighbours(const std::vector<PointPair>& matches,
                                      const DisparityCheckOptions& options = {});

}  // namespace q3d
