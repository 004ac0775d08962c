// Corners, dots and correlation windows on small drawn images.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include <opencv2/imgproc.hpp>

#include "matching/corner_features.h"
#include "matching/correlation.h"
#include "matching/correlation_matching.h"
#include "matching/marker_dots.h"
#include "support/synthetic_images.h"

namespace q3d {
namespace {

cv::Mat Grey(const cv::Mat& bgr) {
  cv::Mat grey;
  cv::cvtColor(bgr, grey, cv::COLOR_BGR2GRAY);
  return grey;
}

cv::Mat Float(const cv::Mat& grey8) {
  cv::Mat f;
  grey8.convertTo(f, CV_32F);
  return f;
}

// Smooth random texture: enough structure for corners and correlation everywhere.
cv::Mat Texture(int width, int height, uint64_t seed) {
  cv::Mat noise(height, width, CV_32F);
  std::mt19937_64 random(seed);
  std::normal_distribution<float> n(0.0f, 40.0f);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) noise.at<float>(y, x) = n(random);
  cv::GaussianBlur(noise, noise, cv::Size(0, 0), 2.0);
  cv::Mat grey;
  noise.convertTo(grey, CV_8U, 3.0, 150.0);
  return grey;
}

double Nearest(const FeatureList& features, double x, double y) {
  double best = INFINITY;
  for (const Feature& f : features) best = std::min(best, std::hypot(f.x - x, f.y - y));
  return best;
}

TEST(CornerFeatures, FindTheCornersOfSquaresWithinAPixel) {
  cv::Mat grey(120, 160, CV_8U, cv::Scalar(60));
  cv::rectangle(grey, cv::Rect(30, 30, 30, 30), cv::Scalar(200), cv::FILLED);
  cv::rectangle(grey, cv::Rect(100, 60, 30, 30), cv::Scalar(200), cv::FILLED);
  CornerOptions options;
  options.maxCount = 8;
  options.relativeMinimum = 0.1;
  const FeatureList corners = DetectCorners(Float(grey), cv::Rect(0, 0, 160, 120), options);
  ASSERT_EQ(corners.size(), 8u);
  // Each drawn corner sits between its edge pixels, half a pixel outside the square.
  for (const cv::Point2d c : {cv::Point2d(29.5, 29.5), cv::Point2d(59.5, 29.5),
                              cv::Point2d(29.5, 59.5), cv::Point2d(59.5, 59.5),
                              cv::Point2d(99.5, 59.5), cv::Point2d(129.5, 89.5)})
    EXPECT_LT(Nearest(corners, c.x, c.y), 1.0) << c;
  for (size_t i = 1; i < corners.size(); ++i) EXPECT_EQ(corners[i].kind, FeatureKind::kCorner);

  // The area, the count and the dots to avoid all restrict what is found.
  const FeatureList left = DetectCorners(Float(grey), cv::Rect(0, 0, 80, 120), options);
  EXPECT_EQ(left.size(), 4u);
  for (const Feature& c : left) EXPECT_LT(c.x, 80);
  options.maxCount = 0;
  EXPECT_TRUE(DetectCorners(Float(grey), cv::Rect(0, 0, 160, 120), options).empty());
  options.maxCount = 8;
  const FeatureList avoid = {{30, 30, 1.0, 4.0, FeatureKind::kDot}};
  EXPECT_GT(Nearest(DetectCorners(Float(grey), cv::Rect(0, 0, 160, 120), options, avoid), 29.5, 29.5),
            5.0);
}

TEST(CornerFeatures, SpreadOverTheImageAndRespectTheRelativeMinimum) {
  // A strongly textured left half would take every corner without the spread.
  cv::Mat grey = Texture(200, 100, 3);
  cv::Mat right = grey(cv::Rect(100, 0, 100, 100));
  right.convertTo(right, CV_8U, 0.2, 120.0);
  CornerOptions options;
  options.maxCount = 40;
  const FeatureList corners = DetectCorners(Float(grey), cv::Rect(0, 0, 200, 100), options);
  ASSERT_EQ(corners.size(), 40u);
  const auto onRight = std::count_if(corners.begin(), corners.end(),
                                     [](const Feature& c) { return c.x >= 100; });
  EXPECT_GE(onRight, 12);
  // Every corner keeps the border free for its correlation window.
  for (const Feature& c : corners) {
    EXPECT_GE(c.x, options.border - 0.5);
    EXPECT_LE(c.x, 200 - 1 - options.border + 0.5);
  }
  options.relativeMinimum = 0.5;
  const FeatureList strong = DetectCorners(Float(grey), cv::Rect(0, 0, 200, 100), options);
  EXPECT_LT(strong.size(), 40u);
  for (const Feature& c : strong) EXPECT_LT(c.x, 100);
}

TEST(MarkerDots, CentresOfDarkDotsAndNothingElse) {
  std::vector<test::Disc> discs;
  for (int k = 0; k < 6; ++k) discs.push_back({20.3 + 30 * k, 25.7 + 3 * k, 4.0 + 0.3 * k});
  cv::Mat bgr = test::DrawDiscs(220, 140, discs, 0.7);
  // A large dark patch (hair, a shadow) and a dark bar are no dots.
  cv::circle(bgr, cv::Point(60, 100), 35, cv::Scalar(40, 45, 60), cv::FILLED);
  cv::rectangle(bgr, cv::Rect(150, 80, 30, 4), cv::Scalar(40, 45, 60), cv::FILLED);
  // A faint grey disc is not dark enough.
  cv::circle(bgr, cv::Point(190, 110), 5, cv::Scalar(110, 120, 135), cv::FILLED);
  FeatureList dots;
  ASSERT_EQ(DetectMarkerDots(Grey(bgr), cv::Rect(0, 0, 220, 140), DotOptions{}, dots), 1);
  ASSERT_EQ(dots.size(), discs.size());
  // Centred as precisely as a hand-placed point.
  for (const test::Disc& d : discs) EXPECT_LT(Nearest(dots, d.cx, d.cy), 0.05);
  for (const Feature& dot : dots) {
    EXPECT_EQ(dot.kind, FeatureKind::kDot);
    EXPECT_GT(dot.radius, 3.0);
    EXPECT_LT(dot.radius, 6.0);
  }

  DotOptions few;
  few.maxCount = 2;
  ASSERT_EQ(DetectMarkerDots(Grey(bgr), cv::Rect(0, 0, 220, 140), few, dots), 1);
  EXPECT_EQ(dots.size(), 2u);
  ASSERT_EQ(DetectMarkerDots(Grey(bgr), cv::Rect(0, 0, 80, 140), DotOptions{}, dots), 1);
  EXPECT_EQ(dots.size(), 2u);  // the dots at x 20.3 and 50.3
}

TEST(Correlation, IsOneUnderBrightnessChangeAndUndefinedOnFlatOrCutWindows) {
  const cv::Mat grey = Float(Texture(100, 80, 5));
  const cv::Mat brighter = grey * 0.8 + 30.0;
  const FeatureList at = {{40.25, 30.5}, {2.9, 40.0}, {60.0, 50.0}};
  const CorrelationWindow window{7, 9, 1.0, 0.0};
  const WindowSamples a = SampleWindows(grey, at, window);
  const WindowSamples b = SampleWindows(brighter, at, window);
  EXPECT_NEAR(Correlation(a, 0, b, 0), 1.0, 1e-5);
  EXPECT_LT(Correlation(a, 0, b, 2), 0.9);
  EXPECT_EQ(Correlation(a, 1, b, 1), -1.0);  // the window leaves the image

  const cv::Mat flat(80, 100, CV_32F, cv::Scalar(128));
  EXPECT_EQ(Correlation(SampleWindows(flat, at, window), 0, a, 0), -1.0);

  // A window sampled with twice the step on an image scaled by two sees the same content.
  cv::Mat large;
  cv::resize(grey, large, cv::Size(200, 160), 0, 0, cv::INTER_LINEAR);
  const WindowSamples scaled =
      SampleWindows(large, {{2 * 40.0 + 0.5, 2 * 30.0 + 0.5}}, {7, 9, 2.0, 0.0});
  const WindowSamples plain = SampleWindows(grey, {{40.0, 30.0}}, window);
  EXPECT_GT(Correlation(plain, 0, scaled, 0), 0.95);
}

TEST(CrossCheckedMatches, PairTheShiftedFeaturesWithinTheSearchRegion) {
  const cv::Mat grey = Float(Texture(160, 120, 7));
  cv::Mat shifted = cv::Mat(120, 160, CV_32F, cv::Scalar(150));
  grey(cv::Rect(0, 0, 150, 116)).copyTo(shifted(cv::Rect(10, 4, 150, 116)));
  CornerOptions options;
  options.maxCount = 40;
  const FeatureList f1 = DetectCorners(grey, cv::Rect(0, 0, 140, 110), options);
  FeatureList f2 = f1;
  for (Feature& f : f2) {
    f.x += 10;
    f.y += 4;
  }
  std::reverse(f2.begin(), f2.end());  // the order must not matter
  const CorrelationWindow window{7, 7, 1.0, 0.0};
  const WindowSamples s1 = SampleWindows(grey, f1, window);
  const WindowSamples s2 = SampleWindows(shifted, f2, window);
  SearchRules rules;
  rules.maxDx = 20;
  rules.maxDy = 20;
  rules.threshold = 0.4;
  const std::vector<FeatureMatch> matches = CrossCheckedMatches(f1, s1, f2, s2, rules);
  EXPECT_GE(matches.size(), f1.size() - 2);
  for (const FeatureMatch& m : matches) {
    EXPECT_EQ(m.index2, static_cast<int>(f1.size()) - 1 - m.index1);
    EXPECT_GE(m.correlation, 0.4);
  }
  rules.maxDx = 9;  // the true partner is outside the region now
  for (const FeatureMatch& m : CrossCheckedMatches(f1, s1, f2, s2, rules))
    EXPECT_NE(m.index2, static_cast<int>(f1.size()) - 1 - m.index1);
  rules.maxDx = 20;
  rules.threshold = 1.01;
  EXPECT_TRUE(CrossCheckedMatches(f1, s1, f2, s2, rules).empty());
}

}  // namespace
}  // namespace q3d
