// The two last steps: moving corner matches to the correlation peak and the neighbourhood
// check of displacements.
#include <gtest/gtest.h>

#include <random>

#include <opencv2/imgproc.hpp>

#include "matching/disparity_check.h"
#include "matching/subpixel_refinement.h"

namespace q3d {
namespace {

cv::Mat SmoothTexture(int width, int height, uint64_t seed) {
  cv::Mat noise(height, width, CV_32F);
  std::mt19937_64 random(seed);
  std::normal_distribution<float> n(0.0f, 60.0f);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) noise.at<float>(y, x) = n(random);
  cv::GaussianBlur(noise, noise, cv::Size(0, 0), 1.5);
  return noise + 128.0f;
}

TEST(RefineByCorrelation, FindsASubPixelShiftAndAScaledCopy) {
  const cv::Mat grey1 = SmoothTexture(120, 100, 1);
  // Image 2 is image 1 moved by (0.3, -0.4) pixels.
  const cv::Mat shift = (cv::Mat_<double>(2, 3) << 1, 0, 0.3, 0, 1, -0.4);
  cv::Mat grey2;
  cv::warpAffine(grey1, grey2, shift, grey1.size(), cv::INTER_CUBIC);
  const CorrelationWindow window{9, 9, 1.0, 0.0};
  const PointPair start{60, 50, 61, 51};  // the true partner is (60.3, 49.6)
  const PointPair refined = RefineByCorrelation(grey1, grey2, start, window, 1.0);
  EXPECT_NEAR(refined.x2, 60.3, 0.15);
  EXPECT_NEAR(refined.y2, 49.6, 0.15);
  EXPECT_EQ(refined.x1, start.x1);
  EXPECT_EQ(refined.y1, start.y1);

  // Image 2 at 1.5 times the size: point (x, y) appears at 1.5 (x, y).
  const cv::Mat zoom = (cv::Mat_<double>(2, 3) << 1.5, 0, 0, 0, 1.5, 0);
  cv::Mat large;
  cv::warpAffine(grey1, large, zoom, cv::Size(180, 150), cv::INTER_CUBIC);
  const PointPair scaled = RefineByCorrelation(grey1, large, {60, 50, 91, 74}, window, 1.5);
  EXPECT_NEAR(scaled.x2, 90.0, 0.3);
  EXPECT_NEAR(scaled.y2, 75.0, 0.3);

  // No valid window (at the image's edge): the match is returned as it was.
  const PointPair edge = RefineByCorrelation(grey1, grey2, {1, 1, 1, 1}, window, 1.0);
  EXPECT_EQ(edge.x2, 1.0);
  EXPECT_EQ(edge.y2, 1.0);
}

TEST(AgreeWithNeighbours, FlagsMatchesDisplacedAlongASmoothField) {
  // A smooth displacement field (as of a curved face), a few matches put elsewhere.
  std::mt19937_64 random(4);
  std::uniform_real_distribution<double> where(0.0, 400.0);
  std::vector<PointPair> matches;
  for (int i = 0; i < 80; ++i) {
    const double x = where(random), y = where(random);
    matches.push_back({x, y, x + 30 + 0.05 * x + 10 * std::sin(y / 150), y + 2 - 0.03 * y});
  }
  const std::vector<int> wrong = {5, 17, 40, 63};
  matches[5].x2 += 12;
  matches[17].x2 -= 40;
  matches[40].y2 += 9;
  matches[63].x2 += 150;
  const std::vector<char> agree = AgreeWithNeighbours(matches);
  for (int i = 0; i < 80; ++i) {
    const bool isWrong = std::find(wrong.begin(), wrong.end(), i) != wrong.end();
    EXPECT_EQ(agree[static_cast<size_t>(i)], isWrong ? 0 : 1) << i;
  }
  // Too few matches to compare: all pass.
  const std::vector<PointPair> few(matches.begin(), matches.begin() + 9);
  const std::vector<char> fewAgree = AgreeWithNeighbours(few);
  EXPECT_EQ(std::count(fewAgree.begin(), fewAgree.end(), 1), 9);
}

}  // namespace
}  // namespace q3d
