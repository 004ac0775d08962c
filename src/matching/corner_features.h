#pragma once
// Corner features of the skin texture: a Harris-type response, local maxima, a relative
// minimum, the strongest kept with a spread over the image, refined to sub-pixel.
#include <opencv2/core.hpp>

#include "matching/feature.h"

namespace q3d {

struct CornerOptions {
  int maxCount = 100;
  int gaussianSize = 3;      // the image is smoothed by this Gaussian before differentiation
  double gaussianDev = 0.7;  // and the products of derivatives are integrated over it
  double relativeMinimum = 1e-4;  // response below this fraction of the strongest: dropped
  int border = 3;            // corners keep this distance from the image's edges
};

// Harris response det(M) - 0.04 trace(M)^2 of the structure tensor M (CV_32F in, CV_32F out).
cv::Mat HarrisResponse(const cv::Mat& grey, int gaussianSize, double gaussianDev);

// Corners inside area (a rectangle of the CV_32F grey image), strongest first within a
// spread: the area is divided into cells holding about two corners each, every cell takes
// its strongest corners up to its share and the strongest of the rest fill the count.
// Corners closer to a dot of avoid than 1.5 dot radii plus 3 pixels are skipped: the dots
// are features of their own and their rims would give duplicates.
FeatureList DetectCorners(const cv::Mat& grey, const cv::Rect& area, const CornerOptions& options,
                          const FeatureList& avoid = {});

}  // namespace q3d
