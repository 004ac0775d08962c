// The regularised refinement on a noisy textured pair whose surface is steep along the rows
// and runs smoothly across them, as the flanks of a nose do.
#include "matching/dense_refinement.h"

#include <gtest/gtest.h>

#include <cmath>

#include "support/textured_pair.h"

namespace q3d {
namespace {

TEST(DenseRefinement, KeepsTheRowsTogetherWhereTheSurfaceIsSteepAlongThem) {
  constexpr int kWidth = 200, kHeight = 160, kBorder = 12;
  cv::Mat truth(kHeight, kWidth, CV_32F), left, right;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      truth.at<float>(y, x) = static_cast<float>(5 - 0.6 * x + 3 * std::sin(y / 25.0));
  test::MakeTexturedPair(truth, 2 * kWidth, 6, 11, left, right);
  cv::Mat region(truth.size(), CV_8U, cv::Scalar(0));
  region(cv::Rect(kBorder, kBorder, kWidth - 2 * kBorder, kHeight - 2 * kBorder)).setTo(255);
  cv::Mat disparity = truth.clone();
  disparity.setTo(std::nanf(""), region == 0);

  ASSERT_TRUE(RegulariseDisparity(disparity, region, region, {}, truth, left, right));
  // The error's second difference along x (dx = 1) or along y (dy = 1): rows that wander on
  // their own show as bending across the rows, streaks in the shaded surface.
  const cv::Mat error = disparity - truth;
  const auto bending = [&](int dx, int dy) {
    double sum = 0;
    int count = 0;
    for (int y = kBorder + 1; y < kHeight - kBorder - 1; ++y)
      for (int x = kBorder + 1; x < kWidth - kBorder - 1; ++x, ++count)
        sum += std::pow(error.at<float>(y - dy, x - dx) - 2 * error.at<float>(y, x) +
                            error.at<float>(y + dy, x + dx),
                        2);
    return std::sqrt(sum / count);
  };
  const double rms = std::sqrt(cv::mean(error.mul(error), region)[0]);
  EXPECT_LT(rms, 0.25);
  EXPECT_LT(bending(0, 1), 0.7 * bending(1, 0)) << "error RMS " << rms << " px";
}

}  // namespace
}  // namespace q3d
