#pragma once
// Dark make-up dots: dark local minima are grown into regions and centred by the marker
// detector and the precise centre step exactly as a hand-placed point is, so automatic
// points sit on the markers too.
#include <cstdint>
#include <opencv2/core.hpp>

#include "matching/feature.h"
#include "stereo/dot_centre.h"

namespace q3d {

struct DotOptions {
  int maxCount = 100;
  int gaussianSize = 3;  // smoothing before the search for dark local minima
  double gaussianDev = 0.7;
  uint8_t darkLimit = 100;  // the marker detector's limits of hand placement
  uint8_t meanMargin = 30;
  double minContrast = 25.0;  // grey levels between the dot and its surroundings
  int maxDiameter = 40;       // pixels; larger dark regions are no dots
  // The centres are found as a hand-placed point's are.
  DotCentring centring = DotCentring::kPrecise;
};

// Dots whose centre lies inside area of the 8-bit grey image, darkest contrast first. A
// region counts as a dot when it is compact (bounding box at most twice as long as wide,
// filling at least half of it) and no wider than maxDiameter (hair, shadows and the image
// border give large regions), and is darker than its surroundings by minContrast.
// Returns 1, or 0 after pushing an error record (memory short).
int DetectMarkerDots(const cv::Mat& grey, const cv::Rect& area, const DotOptions& options,
                     FeatureList& dots);

// The median of the dots' radii: the typical dot, which stray dark spots do not move.
// The list must not be empty.
double MedianDotRadius(const FeatureList& dots);

}  // namespace q3d
