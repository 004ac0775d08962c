#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <opencv2/imgproc.hpp>

#include "base/error_stack.h"
#include "stereo/camera.h"
#include "support/status_assertions.h"
#include "support/synthetic_images.h"

namespace q3d {
namespace {

void SetImage(CCamera& camera, const cv::Mat& bgr) {
  camera.m_image = test::ToColorImage(bgr);
  ASSERT_TRUE(test::Succeeded(camera.MakeGray()));
}

const CSpPoint& LastPoint(const CCamera& camera) { return *camera.m_points.Points().back(); }

TEST(CameraGrayTest, EveryChannelHoldsTheLuma) {
  cv::Mat colour(2, 3, CV_8UC3);
  colour.at<cv::Vec3b>(0, 0) = {0, 0, 255};
  colour.at<cv::Vec3b>(0, 1) = {0, 255, 0};
  colour.at<cv::Vec3b>(0, 2) = {255, 0, 0};
  colour.at<cv::Vec3b>(1, 0) = {255, 255, 255};
  colour.at<cv::Vec3b>(1, 1) = {0, 0, 0};
  colour.at<cv::Vec3b>(1, 2) = {150, 175, 220};
  CCamera camera;
  SetImage(camera, colour);
  ASSERT_TRUE(camera.m_gray.HasData());
  EXPECT_EQ(camera.m_gray.Channels(), 3);
  EXPECT_FALSE(camera.m_gray.Roi().has_value());
  const cv::Mat gray = camera.m_gray.Mat();
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) {
      const cv::Vec3b c = colour.at<cv::Vec3b>(y, x);
      const double luma = 0.299 * c[2] + 0.587 * c[1] + 0.114 * c[0];
      const cv::Vec3b g = gray.at<cv::Vec3b>(y, x);
      EXPECT_NEAR(g[0], luma, 0.51) << x << "," << y;
      EXPECT_EQ(g[0], g[1]);
      EXPECT_EQ(g[0], g[2]);
    }
  }
}

TEST(CameraGrayTest, WithoutAnImageThereIsNothingToDo) {
  CCamera camera;
  EXPECT_TRUE(test::Succeeded(camera.MakeGray()));
  EXPECT_FALSE(camera.m_gray.HasData());
}

TEST(CameraGrayTest, ImageWithoutThreeChannelsIsAnImageLibraryError) {
  CCamera camera;
  camera.m_image = test::ToGrayImage(cv::Mat(3, 3, CV_8UC1, cv::Scalar(7)));
  const Status grey = camera.MakeGray();
  EXPECT_FALSE(grey);
  EXPECT_FALSE(camera.m_gray.HasData());
  EXPECT_EQ(grey.Code(), kImageLibraryCode);
}

TEST(CameraLoadTest, LoadsColourAndGreyWithTheWholeImageAsRegion) {
  test::TempDir dir;
  const cv::Mat colour = test::DrawDiscs(30, 20, {{10, 10, 4}});
  const auto path = dir.File("photo.bmp");
  test::WriteBytes(path, test::EncodeBmp(colour, {}));
  CCamera camera;
  camera.m_roi = MakeRoi(0, 1, 2, 3, 4);
  ASSERT_TRUE(test::Succeeded(camera.Load(path.string())));
  EXPECT_EQ(camera.Width(), 30);
  EXPECT_EQ(camera.Height(), 20);
  EXPECT_TRUE(camera.m_gray.HasData());
  EXPECT_EQ(camera.m_roi, MakeRoi(0, 0, 0, 30, 20));
}

TEST(CameraLoadTest, UnreadableFileLeavesNoImage) {
  CCamera camera;
  SetImage(camera, cv::Mat(4, 4, CV_8UC3, cv::Scalar(1, 2, 3)));
  const Status loaded = camera.Load("/nonexistent/face.bmp");
  EXPECT_FALSE(loaded);
  EXPECT_FALSE(camera.HasImage());
  EXPECT_FALSE(camera.m_gray.HasData());
  EXPECT_NE(loaded.Reason().find("/nonexistent/face.bmp"), std::string::npos);
}

// On a uniformly dark image the region fills the whole window, so the fitted centre
// shows where the window lies: exactly across the rows; a little low along the columns,
// since the outline lists the two bottom corners twice.
class MarkerWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { SetImage(camera_, cv::Mat(80, 100, CV_8UC3, cv::Scalar(30, 30, 30))); }

  CSpPoint Place(int x, int y) {
    int found = 0;
    EXPECT_EQ(camera_.AddPointAt(x, y, found), 1);
    EXPECT_EQ(found, 1);
    return camera_.m_points.Count() ? LastPoint(camera_) : CSpPoint();
  }

  CCamera camera_;
};

TEST_F(MarkerWindowTest, WindowSpansTwentyPixelsBeforeAndNineteenAfterTheClick) {
  // Columns 30..69 and rows 20..59.
  const CSpPoint p = Place(50, 40);
  EXPECT_NEAR(p.m_x, 49.5, 1e-9);
  EXPECT_NEAR(p.m_y, 39.5 + 0.12, 0.05);
}

TEST_F(MarkerWindowTest, WindowIsClippedAtTheTopLeft) {
  // A click at (5, 5) cuts the 25 x 25 window at the origin.
  const CSpPoint p = Place(5, 5);
  EXPECT_NEAR(p.m_x, 12.0, 1e-9);
  EXPECT_NEAR(p.m_y, 12.0 + 0.12, 0.05);
}

TEST_F(MarkerWindowTest, WindowIsClippedAtTheBottomRight) {
  // A click on the last pixel cuts columns 79..99 and rows 59..79.
  const CSpPoint p = Place(99, 79);
  EXPECT_NEAR(p.m_x, 89.0, 1e-9);
  EXPECT_NEAR(p.m_y, 69.0 + 0.12, 0.05);
}

TEST(CameraAddPointTest, PlacesNumberedPointsOnDots) {
  CCamera camera;
  SetImage(camera, test::DrawDiscs(120, 80, {{30.3, 40.6, 5}, {90.8, 20.2, 6}}));
  int found = 0;
  ASSERT_EQ(camera.AddPointAt(31, 42, found), 1);
  EXPECT_EQ(found, 1);
  ASSERT_EQ(camera.AddPointAt(89, 19, found), 1);
  EXPECT_EQ(found, 1);
  ASSERT_EQ(camera.m_points.Count(), 2);
  const CSpPoint& first = *camera.m_points.Points().front();
  EXPECT_EQ(first.m_id, 0);
  EXPECT_NEAR(first.m_x, 30.3, 0.3);
  EXPECT_NEAR(first.m_y, 40.6, 0.3);
  EXPECT_EQ(LastPoint(camera).m_id, 1);
  EXPECT_NEAR(LastPoint(camera).m_x, 90.8, 0.3);
  EXPECT_NEAR(LastPoint(camera).m_y, 20.2, 0.3);
}

TEST(CameraAddPointTest, BrightPixelsAndClicksOffTheImagePlaceNothing) {
  CCamera camera;
  SetImage(camera, test::DrawDiscs(60, 50, {{30, 25, 5}}));
  for (const auto& click : {cv::Point(5, 5), cv::Point(-1, 25), cv::Point(30, -3),
                            cv::Point(60, 25), cv::Point(30, 50), cv::Point(1000000, 1000000)}) {
    int found = -1;
    EXPECT_EQ(camera.AddPointAt(click.x, click.y, found), 1);
    EXPECT_EQ(found, 0);
  }
  CCamera empty;
  int found = -1;
  EXPECT_EQ(empty.AddPointAt(3, 3, found), 1);
  EXPECT_EQ(found, 0);
  EXPECT_EQ(camera.m_points.Count() + empty.m_points.Count(), 0);
}

TEST(CameraAddPointTest, CentreBeyondTheImageBorderAddsNoPoint) {
  // A dark ring centred 10 px outside the image shows only an arc, to which the circle
  // fit puts the centre 2 to 3 px beyond the border, at each border in turn.
  const int size = 60;
  const int radius = 14;
  for (int border = 0; border < 4; ++border) {
    const cv::Point centre = border == 0   ? cv::Point(-10, 30)
                             : border == 1 ? cv::Point(30, -10)
                             : border == 2 ? cv::Point(size + 9, 30)
                                           : cv::Point(30, size + 9);
    cv::Mat gray(size, size, CV_8UC1, cv::Scalar(186));
    cv::circle(gray, centre, radius, cv::Scalar(40), 3);
    cv::Mat colour;
    cv::cvtColor(gray, colour, cv::COLOR_GRAY2BGR);
    CCamera camera;
    SetImage(camera, colour);
    // Click where the arc crosses the line from the ring's centre to the image's.
    const cv::Point2d toMiddle = cv::Point2d(30, 30) - cv::Point2d(centre);
    const cv::Point2d onArc =
        cv::Point2d(centre) + toMiddle * (radius / std::hypot(toMiddle.x, toMiddle.y));
    const int clickX = static_cast<int>(std::lround(onArc.x));
    const int clickY = static_cast<int>(std::lround(onArc.y));
    ASSERT_LT(gray.at<uint8_t>(clickY, clickX), 100) << border;
    int found = -1;
    EXPECT_EQ(camera.AddPointAt(clickX, clickY, found), 1) << border;
    EXPECT_EQ(found, 0) << border;
    EXPECT_EQ(camera.m_points.Count(), 0) << border;
  }
}

struct CentreErrors {
  double rms = 0.0;
  double worst = 0.0;
  int missed = 0;
};

// Dots at sub-pixel centres on a 4 x 4 grid of offsets, clicked at the nearest pixel.
CentreErrors MeasureCentreErrors(double radius, double blurSigma) {
  CentreErrors errors;
  double sumSquares = 0.0;
  int placed = 0;
  for (int oy = 0; oy < 4; ++oy) {
    for (int ox = 0; ox < 4; ++ox) {
      const double cx = 32 + ox * 0.25;
      const double cy = 32 + oy * 0.25;
      CCamera camera;
      camera.m_image = test::ToColorImage(test::DrawDiscs(64, 64, {{cx, cy, radius}}, blurSigma));
      EXPECT_TRUE(camera.MakeGray());
      int found = 0;
      camera.AddPointAt(static_cast<int>(std::lround(cx)), static_cast<int>(std::lround(cy)),
                        found);
      if (!found) {
        ++errors.missed;
        continue;
      }
      const double error = std::hypot(LastPoint(camera).m_x - cx, LastPoint(camera).m_y - cy);
      sumSquares += error * error;
      errors.worst = std::max(errors.worst, error);
      ++placed;
    }
  }
  errors.rms = placed ? std::sqrt(sumSquares / placed) : 0.0;
  return errors;
}

TEST(CameraAddPointTest, CentreErrorOnSyntheticDots) {
  std::printf("radius  blur sigma  rms error  worst error  (px, 16 sub-pixel centres)\n");
  for (const double blur : {0.0, 1.0}) {
    for (int radius = 3; radius <= 8; ++radius) {
      const CentreErrors e = MeasureCentreErrors(radius, blur);
      std::printf("%6d  %10.1f  %9.3f  %11.3f\n", radius, blur, e.rms, e.worst);
      EXPECT_EQ(e.missed, 0) << "radius " << radius << " blur " << blur;
      EXPECT_LT(e.worst, 0.5) << "radius " << radius << " blur " << blur;
    }
  }
}

}  // namespace
}  // namespace q3d
