// The regularised refinement on a noisy textured pair whose surface is steep along the rows
// and runs smoothly across them, as the flanks of a nose do.
#include "matching/dense_refinement.h"

#include <gtest/gtest.h>

#include <cmath>
#include <opencv2/imgproc.hpp>

namespace q3d {
namespace {

constexpr int kWidth = 200, kHeight = 160, kBorder = 12;

cv::Mat SteepFlank() {
  cv::Mat d(kHeight, kWidth, CV_32F);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      d.at<float>(y, x) = static_cast<float>(5 - 0.6 * x + 3 * std::sin(y / 25.0));
  return d;
}

// Image 2: blurred noise, as skin's fine texture; image 1 sees it through the disparities.
// Both photographs then get their own sensor noise.
void MakeNoisyPair(const cv::Mat& disparity, cv::Mat& left, cv::Mat& right) {
  cv::RNG random(11);
  cv::Mat texture(kHeight, 2 * kWidth, CV_32F), mapX(disparity.size(), CV_32F),
      mapY(disparity.size(), CV_32F);
  random.fill(texture, cv::RNG::UNIFORM, 0, 255);
  cv::GaussianBlur(texture, texture, cv::Size(), 1.2);
  texture = 2 * texture - 128;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      mapX.at<float>(y, x) = static_cast<float>(x) - disparity.at<float>(y, x);
      mapY.at<float>(y, x) = static_cast<float>(y);
    }
  cv::Mat seen;
  cv::remap(texture, seen, mapX, mapY, cv::INTER_CUBIC, cv::BORDER_REFLECT);
  for (auto [from, to] : {std::pair{&texture, &right}, std::pair{&seen, &left}}) {
    cv::Mat noise(from->size(), CV_32F);
    random.fill(noise, cv::RNG::NORMAL, 0, 6);
    cv::Mat(*from + noise).convertTo(*to, CV_8U);
  }
}

// RMS of the error's second difference along x (dx = 1) or along y (dy = 1) over the region.
double BendingOfError(const cv::Mat& error, int dx, int dy) {
  double sum = 0;
  int count = 0;
  for (int y = kBorder + 1; y < kHeight - kBorder - 1; ++y)
    for (int x = kBorder + 1; x < kWidth - kBorder - 1; ++x) {
      const double bend = error.at<float>(y - dy, x - dx) - 2 * error.at<float>(y, x) +
                          error.at<float>(y + dy, x + dx);
      sum += bend * bend;
      ++count;
    }
  return std::sqrt(sum / count);
}

TEST(DenseRefinement, KeepsTheRowsTogetherWhereTheSurfaceIsSteepAlongThem) {
  const cv::Mat truth = SteepFlank();
  cv::Mat left, right;
  MakeNoisyPair(truth, left, right);
  cv::Mat region(truth.size(), CV_8U, cv::Scalar(0));
  region(cv::Rect(kBorder, kBorder, kWidth - 2 * kBorder, kHeight - 2 * kBorder)).setTo(255);
  cv::Mat disparity = truth.clone();
  disparity.setTo(std::nanf(""), region == 0);

  ASSERT_TRUE(RegulariseDisparity(disparity, region, region, {}, truth, left, right));
  const cv::Mat error = disparity - truth;
  const double across = BendingOfError(error, 0, 1), along = BendingOfError(error, 1, 0);
  const double rms = std::sqrt(cv::mean(error.mul(error), region)[0]);
  std::printf("error RMS %.3f px; bending of the error along the rows %.4f, across %.4f px\n", rms,
              along, across);
  EXPECT_LT(rms, 0.25);
  // Streaks: rows that wander on their own show as bending across the rows.
  EXPECT_LT(across, 0.7 * along);
}

}  // namespace
}  // namespace q3d
