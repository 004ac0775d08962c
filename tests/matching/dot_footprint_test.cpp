// The footprints of painted dots on textured skin: dots of several sizes, a match placed a
// pixel and a half off a dot's centre, and matches with no dot under them.
#include "matching/dot_footprint.h"

#include <gtest/gtest.h>

#include <cmath>
#include <opencv2/imgproc.hpp>

namespace q3d {
namespace {

struct PaintedDot {
  cv::Point2f centre;
  float radius;  // at half the dot's contrast
};

// Skin: blurred noise around grey 150; dots 100 grey levels darker with a soft rim.
cv::Mat PaintedSkin(const std::vector<PaintedDot>& dots) {
  cv::Mat skin(200, 260, CV_32F);
  cv::RNG random(3);
  random.fill(skin, cv::RNG::NORMAL, 150, 25);
  cv::GaussianBlur(skin, skin, cv::Size(), 1.2);
  for (int y = 0; y < skin.rows; ++y)
    for (int x = 0; x < skin.cols; ++x)
      for (const PaintedDot& dot : dots) {
        const double r = std::hypot(x - dot.centre.x, y - dot.centre.y);
        skin.at<float>(y, x) -= static_cast<float>(100 / (1 + std::exp((r - dot.radius) / 0.6)));
      }
  cv::Mat grey;
  skin.convertTo(grey, CV_8U);
  return grey;
}

TEST(DotFootprint, CoversEachDotAndTheWindowsAroundItAndNothingWhereNoDotIs) {
  const std::vector<PaintedDot> dots = {{{50, 60}, 2.0f}, {{130, 70}, 3.5f}, {{200, 130}, 6.0f}};
  const cv::Mat grey = PaintedSkin(dots);
  constexpr double kReach = 2.5;
  const cv::Point2f plainSkin(90, 150), offImage(-20, 40);
  std::vector<cv::Point2f> centres = {plainSkin, offImage};
  for (const PaintedDot& dot : dots) centres.push_back(dot.centre + cv::Point2f(1.2f, -0.9f));

  const cv::Mat footprints = DotFootprints(grey, centres, kReach);
  ASSERT_EQ(footprints.size(), grey.size());
  for (const PaintedDot& dot : dots) {
    const double reach = dot.radius + kReach;
    for (int k = 0; k < 8; ++k) {
      const double angle = CV_PI * k / 4;
      const auto at = [&](double r) {
        return footprints.at<uint8_t>(cvRound(dot.centre.y + r * std::sin(angle)),
                                      cvRound(dot.centre.x + r * std::cos(angle)));
      };
      EXPECT_EQ(at(reach - 2), 255) << "dot of radius " << dot.radius;
      EXPECT_EQ(at(reach + 3), 0) << "dot of radius " << dot.radius;
    }
  }
  // Every marked pixel belongs to a dot's footprint: the plain skin's match marks nothing.
  cv::Mat expected(grey.size(), CV_8U, cv::Scalar(0));
  for (const PaintedDot& dot : dots)
    cv::circle(expected, dot.centre, static_cast<int>(std::ceil(dot.radius + kReach + 2)),
               cv::Scalar(255), cv::FILLED);
  EXPECT_EQ(cv::countNonZero(footprints & ~expected), 0);
}

}  // namespace
}  // namespace q3d
