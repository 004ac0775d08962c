#pragma once
// Sub-pixel refinement of a dense disparity map by intensity alignment: image 2 is warped
// onto image 1 through the current disparities and each disparity is moved by the
// Gauss-Newton step that best aligns the two over a small Gaussian window. Because the
// warp follows the whole disparity field, slanted surfaces are compared in their own
// shape rather than in square windows, which removes the bias of block matching.
#include <opencv2/core.hpp>

namespace q3d {

// disparity: CV_32F in rectified image 1, NaN where unmatched (x2 = x1 - d). left, right:
// the rectified 8-bit grey images. A disparity moves by at most maxChange pixels in all.
void RefineDisparity(cv::Mat& disparity, const cv::Mat& left, const cv::Mat& right, int iterations,
                     double windowSigma, float maxChange);

}  // namespace q3d
