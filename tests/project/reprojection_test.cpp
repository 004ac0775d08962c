#include "project/reprojection.h"

#include <gtest/gtest.h>

#include <cmath>

#include "stereo/stereo_pair.h"

namespace q3d {
namespace {

// Two 200 x 100 cameras with 500-pixel focal lengths; camera 2 half a unit to the right,
// turned about the y axis. Matches are the exact projections of three world points.
class ReprojectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CreateColorImage(camera1_.m_image, 200, 100));
    ASSERT_TRUE(CreateColorImage(camera2_.m_image, 200, 100));
    const double f = 500.0;
    pair_.m_A1 = Matrix::Zero(3, 3);
    pair_.m_A1.diagonal() << -f, -f, 1.0;
    pair_.m_A2 = pair_.m_A1;
    pair_.m_Rcam = Eigen::AngleAxisd(0.1, Eigen::Vector3d::UnitY()).toRotationMatrix();
    pair_.m_t = Eigen::Vector3d(0.5, 0.0, 1.0);
    pair_.m_XW = Matrix(3, 3);
    pair_.m_XW << 0.1, 0.2, 5.0, -0.3, 0.1, 6.0, 0.2, -0.2, 5.5;
    for (Eigen::Index i = 0; i < 3; ++i) {
      const Vector3 X = pair_.m_XW.row(i).transpose();
      const Vector3 c2 = Matrix3(pair_.m_Rcam).transpose() * (X - Vector3(pair_.m_t));
      pair_.m_matches.Add(std::make_unique<CMatch>(
          Add(camera1_, -f * X.x() / X.z() + 100, -f * X.y() / X.z() + 50),
          Add(camera2_, -f * c2.x() / c2.z() + 100, -f * c2.y() / c2.z() + 50)));
    }
  }

  static CSpPoint* Add(CCamera& camera, double x, double y) {
    auto point = std::make_unique<CSpPoint>(x, y);
    CSpPoint* raw = point.get();
    camera.m_points.Add(std::move(point));
    return raw;
  }

  CSpPoint& Point(CCamera& camera, int index) {
    auto it = camera.m_points.m_list.begin();
    std::advance(it, index);
    return **it;
  }

  CCamera camera1_, camera2_;
  CStereoPair pair_{&camera1_, &camera2_};
};

TEST_F(ReprojectionTest, ExactProjectionsGiveZeroError) {
  const auto errors = ComputeReprojectionErrors(pair_);
  ASSERT_TRUE(errors);
  EXPECT_EQ(errors->projected, 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_NEAR(errors->image1_px[static_cast<size_t>(i)], 0.0, 1e-9);
    EXPECT_NEAR(errors->image2_px[static_cast<size_t>(i)], 0.0, 1e-9);
  }
  EXPECT_NEAR(errors->median_px, 0.0, 1e-9);
}

TEST_F(ReprojectionTest, MovedPointsShowInTheirImageAndTheMedians) {
  Point(camera2_, 0).m_x += 3.0;
  Point(camera2_, 1).m_y -= 4.0;
  Point(camera1_, 2).m_x += 1.0;
  const auto errors = ComputeReprojectionErrors(pair_);
  ASSERT_TRUE(errors);
  EXPECT_NEAR(errors->image2_px[0], 3.0, 1e-9);
  EXPECT_NEAR(errors->image2_px[1], 4.0, 1e-9);
  EXPECT_NEAR(errors->image1_px[2], 1.0, 1e-9);
  EXPECT_NEAR(errors->median1_px, 0.0, 1e-9);
  EXPECT_NEAR(errors->median2_px, 3.0, 1e-9);
  EXPECT_NEAR(errors->median_px, 0.5, 1e-9);  // of 0, 0, 0, 1, 3, 4
}

TEST_F(ReprojectionTest, APointOnTheFocalPlaneIsLeftOut) {
  pair_.m_XW(1, 2) = 0.0;  // in camera 1's focal plane
  const auto errors = ComputeReprojectionErrors(pair_);
  ASSERT_TRUE(errors);
  EXPECT_TRUE(std::isnan(errors->image1_px[1]));
  EXPECT_EQ(errors->projected, 2);
  EXPECT_TRUE(std::isfinite(errors->median_px));
}

TEST_F(ReprojectionTest, NoUsableResultGivesNothing) {
  CStereoPair fresh{&camera1_, &camera2_};
  EXPECT_FALSE(ComputeReprojectionErrors(fresh));  // reset values: no matches, zero calibration

  pair_.m_XW.conservativeResize(2, 3);  // the points no longer follow the matches
  EXPECT_FALSE(ComputeReprojectionErrors(pair_));
}

TEST_F(ReprojectionTest, AZeroCalibrationGivesNothing) {
  pair_.m_A2 = Matrix::Zero(3, 3);  // what a render whose focal search found nothing stores
  EXPECT_FALSE(ComputeReprojectionErrors(pair_));
}

}  // namespace
}  // namespace q3d
