#pragma once
// Pairs the make-up dots of two photographs once a few confident matches have given the
// epipolar geometry. A dot's partner lies on its epipolar line, and since the face is
// smooth, near where the affine map of its already matched neighbours puts it; a dot with
// exactly one unmatched dot there is paired, and the growth repeats outwards from the
// confident matches. A final fit of the geometry to all dot matches and the neighbourhood
// check remove what disagrees. Dots one photograph alone shows stay unmatched, and no dot
// is paired twice.
#include <vector>

#include "matching/feature.h"
#include "numeric/matrix.h"

namespace q3d {

struct DotPair {
  int index1 = 0;  // into the image-1 dots
  int index2 = 0;  // into the image-2 dots
};

struct DotMatching {
  std::vector<DotPair> pairs;
  Matrix3 F = Matrix3::Zero();  // fitted to the pairs (zero when they are too few)
  double epipolarLimit = 0.0;   // pixels
};

// seeds: confident dot pairs (each dot at most once); F and epipolarLimit: their geometry.
DotMatching MatchEveryDot(const FeatureList& dots1, const FeatureList& dots2,
                          const std::vector<DotPair>& seeds, const Matrix3& F,
                          double epipolarLimit);

}  // namespace q3d
