// The footprints of painted dots of several sizes on textured skin, with the matches placed a
// pixel and a half off the dots' centres, and matches with no dot under them.
#include "matching/dot_footprint.h"

#include <gtest/gtest.h>

#include <cmath>
#include <opencv2/imgproc.hpp>

namespace q3d {
namespace {

TEST(DotFootprint, CoversEachDotAndTheWindowsAroundItAndNothingWhereNoDotIs) {
  struct PaintedDot {
    cv::Point2f centre;
    double radius;  // at half the dot's contrast
  };
  const std::vector<PaintedDot> dots = {{{50, 60}, 2.0}, {{130, 70}, 3.5}, {{200, 130}, 6.0}};
  // Skin: blurred noise around grey 150; dots 100 grey levels darker with a soft rim.
  cv::Mat skin(200, 260, CV_32F), grey;
  cv::RNG(3).fill(skin, cv::RNG::NORMAL, 150, 25);
  cv::GaussianBlur(skin, skin, cv::Size(), 1.2);
  for (int y = 0; y < skin.rows; ++y)
    for (int x = 0; x < skin.cols; ++x)
      for (const PaintedDot& dot : dots)
        skin.at<float>(y, x) -= static_cast<float>(
            100 /
            (1 + std::exp((std::hypot(x - dot.centre.x, y - dot.centre.y) - dot.radius) / 0.6)));
  skin.convertTo(grey, CV_8U);
  std::vector<cv::Point2f> centres = {{90, 150}, {-20, 40}};  // plain skin, off the image
  for (const PaintedDot& dot : dots) centres.push_back(dot.centre + cv::Point2f(1.2f, -0.9f));

  constexpr double kReach = 2.5;
  const cv::Mat footprints = DotFootprints(grey, centres, kReach);
  ASSERT_EQ(footprints.size(), grey.size());
  cv::Mat allowed(grey.size(), CV_8U, cv::Scalar(0));
  for (const PaintedDot& dot : dots) {
    for (int k = 0; k < 8; ++k) {
      const cv::Point2f step(std::cos(CV_PI * k / 4), std::sin(CV_PI * k / 4));
      const cv::Point2f p = dot.centre + static_cast<float>(dot.radius + kReach - 2) * step;
      EXPECT_EQ(footprints.at<uint8_t>(cvRound(p.y), cvRound(p.x)), 255) << dot.radius;
    }
    cv::circle(allowed, dot.centre, static_cast<int>(std::ceil(dot.radius + kReach + 2)),
               cv::Scalar(255), cv::FILLED);
  }
  EXPECT_EQ(cv::countNonZero(footprints & ~allowed), 0) << "beyond the dots' reach";
}

}  // namespace
}  // namespace q3d
