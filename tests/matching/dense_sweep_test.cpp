// The slanted sweep on a textured pair with a known disparity field: a dome, as a nose rises
// from a cheek, whose start is several pixels off in a patch.
#include "matching/dense_sweep.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>
#include <vector>

#include "support/textured_pair.h"

namespace q3d {
namespace {

constexpr int kWidth = 220, kHeight = 180;

cv::Mat TrueDisparity() {
  cv::Mat d(kHeight, kWidth, CV_32F);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const double r2 = (x - 110.0) * (x - 110.0) + (y - 90.0) * (y - 90.0);
      d.at<float>(y, x) =
          static_cast<float>(20 + 0.05 * x + 14 * std::exp(-r2 / (2 * 25.0 * 25.0)));
    }
  return d;
}

TEST(DenseSweep, BringsBackAPatchThatStrayedAndKeepsWhatWasRight) {
  const cv::Mat truth = TrueDisparity();
  cv::Mat left, right;
  test::MakeTexturedPair(truth, kWidth + 80, 0, 5, left, right);
  cv::Mat region(truth.size(), CV_8U, cv::Scalar(0));
  region(cv::Rect(12, 12, kWidth - 24, kHeight - 24)).setTo(255);
  cv::Mat strayed(truth.size(), CV_8U, cv::Scalar(0));
  cv::circle(strayed, {85, 80}, 14, cv::Scalar(255), cv::FILLED);
  cv::Mat start = truth.clone();
  start.setTo(std::nanf(""), region == 0);
  cv::add(start, 5.5f, start, strayed);

  const SweptDisparity result = SweepAroundSurface(start, region, left, right);
  const cv::Mat& swept = result.disparity;
  std::vector<double> strayedErrors;
  double keptSq = 0;
  int keptCount = 0, matchedCount = 0;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      if (!region.at<uint8_t>(y, x)) {
        EXPECT_TRUE(std::isnan(swept.at<float>(y, x)))
            << "outside the region at " << x << ", " << y;
        EXPECT_EQ(result.matched.at<uint8_t>(y, x), 0) << "matched outside the region";
        continue;
      }
      matchedCount += result.matched.at<uint8_t>(y, x) != 0;
      const double e = swept.at<float>(y, x) - truth.at<float>(y, x);
      if (strayed.at<uint8_t>(y, x)) {
        strayedErrors.push_back(std::abs(e));
      } else {
        keptSq += e * e;
        ++keptCount;
      }
    }
  // The patch's rim, where the shape's slant was wrong, comes within the refinement's reach.
  std::sort(strayedErrors.begin(), strayedErrors.end());
  EXPECT_LT(strayedErrors[strayedErrors.size() / 2], 0.5) << "the patch 5.5 px off stays off";
  EXPECT_LT(strayedErrors[strayedErrors.size() * 9 / 10], 1.0) << "the patch's rim stays off";
  EXPECT_LT(std::sqrt(keptSq / keptCount), 0.3) << "the right disparities were disturbed";
  // The textured pair correlates everywhere: nearly every pixel of the region is matched.
  EXPECT_GT(matchedCount, 0.9 * cv::countNonZero(region));
}

}  // namespace
}  // namespace q3d
