#pragma once
// A rectified pair of skin-like texture with a known disparity field, for the dense matcher's
// stages: image 2 is blurred noise, as skin's fine texture, and image 1 sees it through the
// disparities (x2 = x1 - d).
#include <cstdint>
#include <opencv2/core.hpp>

namespace q3d::test {

// left takes the disparity's size, right is textureWidth wide; both CV_8U. sensorNoise: the
// standard deviation (grey levels) of each photograph's own noise, 0 for none.
void MakeTexturedPair(const cv::Mat& disparity, int textureWidth, double sensorNoise, uint64_t seed,
                      cv::Mat& left, cv::Mat& right);

}  // namespace q3d::test
