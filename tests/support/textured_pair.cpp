#include "support/textured_pair.h"

#include <opencv2/imgproc.hpp>

namespace q3d::test {

void MakeTexturedPair(const cv::Mat& disparity, int textureWidth, double sensorNoise, uint64_t seed,
                      cv::Mat& left, cv::Mat& right) {
  cv::RNG random(seed);
  cv::Mat texture(disparity.rows, textureWidth, CV_32F), mapX(disparity.size(), CV_32F),
      mapY(disparity.size(), CV_32F), seen;
  random.fill(texture, cv::RNG::UNIFORM, 0, 255);
  cv::GaussianBlur(texture, texture, cv::Size(), 1.2);
  texture = 2 * texture - 128;
  for (int y = 0; y < disparity.rows; ++y)
    for (int x = 0; x < disparity.cols; ++x) {
      mapX.at<float>(y, x) = static_cast<float>(x) - disparity.at<float>(y, x);
      mapY.at<float>(y, x) = static_cast<float>(y);
    }
  cv::remap(texture, seen, mapX, mapY, cv::INTER_CUBIC, cv::BORDER_REFLECT);
  for (auto [from, to] : {std::pair{&texture, &right}, std::pair{&seen, &left}}) {
    cv::Mat noise(from->size(), CV_32F, cv::Scalar(0));
    if (sensorNoise > 0) random.fill(noise, cv::RNG::NORMAL, 0, sensorNoise);
    cv::Mat(*from + noise).convertTo(*to, CV_8U);
  }
}

}  // namespace q3d::test
