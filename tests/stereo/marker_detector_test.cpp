#include "stereo/marker_detector.h"

#include <gtest/gtest.h>

#include <cmath>
#include <opencv2/imgproc.hpp>

#include "base/error_stack.h"
#include "support/synthetic_images.h"

namespace q3d {
namespace {

constexpr int kWindow = 41;

cv::Mat Background(uint8_t value = 200) {
  return cv::Mat(kWindow, kWindow, CV_8UC1, cv::Scalar(value));
}

struct Detection {
  CMarkerDetector detector;
  int grow = 0;
  int fit = 0;
};

// Runs the placement sequence with the parameters the camera uses.
void Detect(const cv::Mat& window, int seedX, int seedY, Detection& d) {
  const Image image = test::ToGrayImage(window);
  ASSERT_EQ(d.detector.Setup(window.cols, window.rows, 100, 30), 1);
  d.grow = d.detector.GrowRegion(image, seedX, seedY);
  if (d.grow == 1 && !d.detector.IsEmpty()) d.fit = d.detector.FitCentre();
}

int MarkedCount(const CMarkerDetector& detector, int width, int height) {
  int count = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) count += detector.IsMarked(x, y) ? 1 : 0;
  return count;
}

TEST(MarkerDetectorTest, SeedMustBeDarkerThanTheLimit) {
  cv::Mat window = Background();
  window.at<uint8_t>(20, 20) = 100;
  Detection at100;
  Detect(window, 20, 20, at100);
  EXPECT_EQ(at100.grow, 1);
  EXPECT_EQ(at100.detector.IsEmpty(), 1);

  window.at<uint8_t>(20, 20) = 99;
  Detection at99;
  Detect(window, 20, 20, at99);
  EXPECT_EQ(at99.detector.IsEmpty(), 0);
  EXPECT_EQ(MarkedCount(at99.detector, kWindow, kWindow), 1);
  // One pixel has no outline to fit.
  EXPECT_TRUE(std::isnan(at99.detector.CentreX()));
}

TEST(MarkerDetectorTest, GrowthStopsAtMeanPlusMarginEvenBelowTheDarkLimit) {
  for (const uint8_t ring : {uint8_t{55}, uint8_t{45}}) {
    cv::Mat window = Background();
    cv::rectangle(window, cv::Rect(14, 14, 13, 13), cv::Scalar(ring), cv::FILLED);
    cv::rectangle(window, cv::Rect(17, 17, 7, 7), cv::Scalar(20), cv::FILLED);
    Detection d;
    Detect(window, 20, 20, d);
    // The core's mean is 20: a ring of 55 is 35 above it and stays out; 45 joins.
    const int expected = ring == 55 ? 7 * 7 : 13 * 13;
    EXPECT_EQ(MarkedCount(d.detector, kWindow, kWindow), expected) << "ring " << int(ring);
  }
}

TEST(MarkerDetectorTest, RunningMeanIsRoundedToNearest) {
  // 20 and 21 average to 20.5, which rounds to 21; 50 is then 29 above the mean and joins.
  cv::Mat window = Background();
  window.at<uint8_t>(10, 10) = 20;
  window.at<uint8_t>(10, 11) = 21;
  window.at<uint8_t>(10, 12) = 50;
  Detection d;
  Detect(window, 10, 10, d);
  EXPECT_TRUE(d.detector.IsMarked(12, 10));
  EXPECT_EQ(d.detector.RegionMean(), 30);  // (20 + 21 + 50) / 3 = 30.33
}

TEST(MarkerDetectorTest, SeedOutsideTheWindowMarksNothing) {
  const cv::Mat window = Background(10);
  for (const auto& seed :
       {cv::Point(-1, 5), cv::Point(5, -1), cv::Point(kWindow, 5), cv::Point(5, kWindow)}) {
    Detection d;
    Detect(window, seed.x, seed.y, d);
    EXPECT_EQ(d.grow, 1);
    EXPECT_EQ(d.detector.IsEmpty(), 1);
  }
}

TEST(MarkerDetectorTest, RejectsAnImageUnlikeTheWindow) {
  ClearErrors();
  CMarkerDetector detector;
  ASSERT_EQ(detector.Setup(kWindow, kWindow, 100, 30), 1);
  const Image small = test::ToGrayImage(cv::Mat(10, 10, CV_8UC1, cv::Scalar(0)));
  EXPECT_EQ(detector.GrowRegion(small, 5, 5), 0);
  const Image colour = test::ToColorImage(cv::Mat(kWindow, kWindow, CV_8UC3, cv::Scalar(0, 0, 0)));
  EXPECT_EQ(detector.GrowRegion(colour, 5, 5), 0);
  EXPECT_EQ(ErrorCount(), 2);
  EXPECT_EQ(PopError().code, -8);
  EXPECT_EQ(detector.IsEmpty(), 1);
}

TEST(MarkerDetectorTest, RowsWithOnePixelAreNotRecordedAndEndTheOutline) {
  cv::Mat window = Background();
  cv::line(window, {3, 5}, {7, 5}, cv::Scalar(30));
  window.at<uint8_t>(6, 5) = 30;
  cv::line(window, {4, 7}, {6, 7}, cv::Scalar(30));
  Detection d;
  Detect(window, 5, 5, d);
  const auto& rows = d.detector.Rows();
  EXPECT_EQ(rows[5].start, 3);
  EXPECT_EQ(rows[5].end, 7);
  EXPECT_EQ(rows[5].recorded, 1);
  EXPECT_EQ(rows[6].start, 5);
  EXPECT_EQ(rows[6].recorded, 0);
  EXPECT_EQ(rows[7].start, 4);
  EXPECT_EQ(rows[7].end, 6);
  EXPECT_EQ(rows[7].recorded, 1);
  // Only row 5 contributes, listed twice: a straight line has no circle.
  EXPECT_EQ(BuildMarkerOutline(rows).size(), 10u);
  EXPECT_TRUE(std::isnan(d.detector.CentreX()));
}

TEST(MarkerDetectorTest, OnePixelWideVerticalLineHasNoCentre) {
  cv::Mat window = Background();
  cv::line(window, {20, 5}, {20, 35}, cv::Scalar(30));
  Detection d;
  Detect(window, 20, 20, d);
  EXPECT_EQ(d.detector.IsEmpty(), 0);
  EXPECT_EQ(d.fit, 1);
  EXPECT_TRUE(BuildMarkerOutline(d.detector.Rows()).empty());
  EXPECT_TRUE(std::isnan(d.detector.CentreX()));
  EXPECT_TRUE(std::isnan(d.detector.CentreY()));
}

TEST(MarkerDetectorTest, OnlyTheFirstRunOfRecordedRowsCounts) {
  // Two dots joined by a one-pixel neck: whichever is clicked, the upper dot is fitted.
  const test::Disc upper{20.0, 9.0, 5.0};
  const test::Disc lower{20.0, 31.0, 5.0};
  cv::Mat colour = test::DrawDiscs(kWindow, kWindow, {upper, lower});
  cv::line(colour, {20, 9}, {20, 31}, cv::Scalar(40, 45, 60));
  cv::Mat window;
  cv::cvtColor(colour, window, cv::COLOR_BGR2GRAY);
  Detection d;
  Detect(window, 20, 31, d);
  EXPECT_TRUE(d.detector.IsMarked(20, 31));
  EXPECT_TRUE(d.detector.IsMarked(20, 9));
  EXPECT_NEAR(d.detector.CentreX(), upper.cx, 0.25);
  EXPECT_NEAR(d.detector.CentreY(), upper.cy, 0.25);
}

TEST(MarkerDetectorTest, DotCentredBetweenPixelsIsFoundToAFractionOfAPixel) {
  const cv::Mat colour = test::DrawDiscs(kWindow, kWindow, {{20.5, 20.5, 5.0}});
  cv::Mat window;
  cv::cvtColor(colour, window, cv::COLOR_BGR2GRAY);
  Detection d;
  Detect(window, 20, 20, d);
  EXPECT_EQ(d.fit, 1);
  EXPECT_NEAR(d.detector.CentreX(), 20.5, 0.2);
  EXPECT_NEAR(d.detector.CentreY(), 20.5, 0.2);
}

TEST(MarkerOutlineTest, FollowsBothSidesOfAWideningAndNarrowingShape) {
  // Rows 0..2 span 2..4, 1..5 and 2..4.
  const std::vector<MarkerRowRecord> rows = {{2, 4, 1}, {1, 5, 1}, {2, 4, 1}, {0, 0, 0}};
  const std::vector<std::pair<int, int>> expected = {
      {2, 0}, {3, 0}, {4, 0},          // top row
      {1, 1}, {5, 1},                  // stepping out by one on each side
      {2, 2}, {1, 1}, {4, 2}, {5, 1},  // stepping in: new end and the row above's excess
      {2, 2}, {3, 2}, {4, 2}};         // bottom row
  const std::vector<Pixel> outline = BuildMarkerOutline(rows);
  ASSERT_EQ(outline.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(outline[i].x, expected[i].first) << i;
    EXPECT_EQ(outline[i].y, expected[i].second) << i;
  }
}

TEST(MarkerOutlineTest, WideStepsListEveryNewPixel) {
  const std::vector<MarkerRowRecord> rows = {{5, 6, 1}, {2, 9, 1}};
  const std::vector<Pixel> outline = BuildMarkerOutline(rows);
  // Top row (2), left step 2..4 (3), right step 7..9 (3), bottom row 2..9 (8).
  ASSERT_EQ(outline.size(), 16u);
  EXPECT_EQ(outline[2].x, 2);
  EXPECT_EQ(outline[4].x, 4);
  EXPECT_EQ(outline[5].x, 7);
  EXPECT_EQ(outline[7].x, 9);
  EXPECT_EQ(outline[7].y, 1);
}

TEST(CircleFitTest, PixelsOnACircleGiveItsCentre) {
  // Integer points at distance 5 from (10, 7).
  std::vector<Pixel> points;
  for (const auto& [dx, dy] :
       {std::pair{5, 0}, {-5, 0}, {0, 5}, {0, -5}, {3, 4}, {-3, 4}, {4, -3}, {-4, -3}})
    points.push_back({10 + dx, 7 + dy});
  const CircleCentre c = FitCircleCentre(points);
  EXPECT_NEAR(c.x, 10.0, 1e-9);
  EXPECT_NEAR(c.y, 7.0, 1e-9);
}

TEST(CircleFitTest, DegenerateOutlinesHaveNoCentre) {
  EXPECT_TRUE(std::isnan(FitCircleCentre({}).x));
  EXPECT_TRUE(std::isnan(FitCircleCentre({{4, 4}, {4, 4}}).x));
  EXPECT_TRUE(std::isnan(FitCircleCentre({{1, 2}, {2, 4}, {3, 6}}).y));
}

}  // namespace
}  // namespace q3d
