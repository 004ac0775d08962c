#pragma once
// Corner positions are found in each image separately; the same texture seen from another
// angle puts them up to a few pixels apart. The image-2 point is moved to where its window
// correlates best with the image-1 window, to a fraction of a pixel.
#include <opencv2/core.hpp>

#include "matching/correlation.h"
#include "matching/epipolar_check.h"

namespace q3d {

// The match with its image-2 point at the correlation peak within +/- radius whole pixels
// (refined by a parabola through the peak's neighbours). window is the image-1 window;
// image 2 is sampled with window.step * scale. The match is unchanged when no position
// gives a valid correlation.
PointPair RefineByCorrelation(const cv::Mat& grey1, const cv::Mat& grey2, const PointPair& match,
                              const CorrelationWindow& window, double scale, int radius = 2);

}  // namespace q3d
