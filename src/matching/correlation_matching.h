#pragma once
// Pairs the features of two images by correlation: a candidate must lie in the search
// region (and, once the epipolar geometry is known, near its epipolar line), correlate at
// least at the threshold, and the two features must be each other's best candidate.
#include <vector>

#include "matching/correlation.h"
#include "matching/feature.h"
#include "numeric/matrix.h"

namespace q3d {

struct SearchRules {
  double maxDx = 0.0;      // search region: |x2 - x1| <= maxDx and |y2 - y1| <= maxDy
  double maxDy = 0.0;
  double threshold = 0.4;  // least correlation
  const Matrix3* F = nullptr;         // when set: epipolar distance at most maxEpipolar
  double maxEpipolar = 0.0;
};

struct FeatureMatch {
  int index1 = 0;  // into the image-1 features
  int index2 = 0;  // into the image-2 features
  double correlation = 0.0;
};

// Mutually best pairs under the rules, in the order of the image-1 features.
std::vector<FeatureMatch> CrossCheckedMatches(const FeatureList& features1,
                                              const WindowSamples& samples1,
                                              const FeatureList& features2,
                                              const WindowSamples& samples2,
                                              const SearchRules& rules);

}  // namespace q3d
