#pragma once
// Neighbourhood check of matches: on a face the displacement between the two images
// changes smoothly, so an affine map fitted to a match's nearest neighbours predicts where
// its image-2 point should be. A match far from that prediction lies on its epipolar line
// but at the wrong place along it.
#include <optional>
#include <vector>

#include "matching/epipolar_check.h"

namespace q3d {

struct DisparityCheckOptions {
  int neighbours = 8;         // nearest matches (in image 1) the map is fitted to
  double minTolerance = 4.0;  // pixels; the tolerance is 4 times the fit's residual, at least this
};

// Where an image-1 point's partner should lie by the affine map of the chosen matches
// (trimmed once of a wrong one), and the map's root-mean-square residual on them; none when
// the chosen matches leave the map undetermined.
struct LocalPrediction {
  double x2 = 0.0;
  double y2 = 0.0;
  double rms = 0.0;
};
std::optional<LocalPrediction> PredictFromNeighbours(const std::vector<PointPair>& matches,
                                                     const std::vector<int>& chosen, double x1,
                                                     double y1, double minTolerance);

// The indices of the k matches nearest (x1, y1) in image 1, nearest first, leaving out the
// match with index skip.
std::vector<int> NearestInImage1(const std::vector<PointPair>& matches, double x1, double y1,
                                 size_t k, int skip = -1);

// Per match: 1 when its image-2 point agrees with the prediction from its neighbours. With
// fewer matches than neighbours + 2 every match passes (there is nothing to compare with).
std::vector<char> AgreeWithNeighbours(const std::vector<PointPair>& matches,
                                      const DisparityCheckOptions& options = {});

}  // namespace q3d
