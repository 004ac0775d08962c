// The whole procedure on rendered face pairs with known correspondences.
#include "matching/automatic_matching.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "base/error_stack.h"
#include "support/status_assertions.h"
#include "support/synthetic_face.h"

namespace q3d {
namespace {

struct Accuracy {
  int matches = 0;
  int within = 0;  // image-2 point within 1.5 px of the true correspondence
  double Share() const { return matches ? static_cast<double>(within) / matches : 0.0; }
};

Accuracy Measure(const test::FaceStereoPair& truth, const std::vector<PointPair>& matches) {
  Accuracy a;
  for (const PointPair& m : matches) {
    ++a.matches;
    const auto correct = truth.TrueCorrespondence(m.x1, m.y1);
    if (correct && std::hypot(correct->x() - m.x2, correct->y() - m.y2) <= 1.5) ++a.within;
  }
  return a;
}

class FacePairs : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    clean_ = std::make_unique<test::FaceStereoPair>(test::RenderFaceStereoPair());
    test::FaceSceneOptions hard;
    hard.noiseSigma = 3.0;
    hard.brightness2 = 0.9;
    hard.seed = 2;
    noisy_ = std::make_unique<test::FaceStereoPair>(test::RenderFaceStereoPair(hard));
  }
  static void TearDownTestSuite() {
    clean_.reset();
    noisy_.reset();
  }

  static Accuracy Run(const test::FaceStereoPair& pair, AutoMatchReport& report) {
    CCamera camera1, camera2;
    test::LoadFaceImages(pair, camera1, camera2);
    std::vector<PointPair> matches;
    EXPECT_TRUE(test::Succeeded(
        FindAutomaticMatches(camera1, camera2, AutoMatchParams{}, matches, &report)));
    return Measure(pair, matches);
  }

  static std::unique_ptr<test::FaceStereoPair> clean_, noisy_;
};

std::unique_ptr<test::FaceStereoPair> FacePairs::clean_;
std::unique_ptr<test::FaceStereoPair> FacePairs::noisy_;

TEST_F(FacePairs, DefaultParametersMatchACleanPairCorrectly) {
  ASSERT_EQ(clean_->dots3d.size(), 60u);
  AutoMatchReport report;
  const Accuracy a = Run(*clean_, report);
  RecordProperty("matches", a.matches);
  RecordProperty("within_1_5_px", a.within);
  EXPECT_GE(a.matches, 40);
  EXPECT_GE(a.Share(), 0.95) << a.within << " of " << a.matches;
  EXPECT_GE(report.dotMatches, 40);
  EXPECT_EQ(report.matches, a.matches);
}

TEST_F(FacePairs, NoiseAndABrightnessDifferenceKeepTheMatchesCorrect) {
  AutoMatchReport report;
  const Accuracy a = Run(*noisy_, report);
  RecordProperty("matches", a.matches);
  RecordProperty("within_1_5_px", a.within);
  EXPECT_GE(a.matches, 40);
  EXPECT_GE(a.Share(), 0.95) << a.within << " of " << a.matches;
}

TEST_F(FacePairs, ReplacesThePairsPointsMatchesAndResults) {
  CCamera camera1, camera2;
  test::LoadFaceImages(*clean_, camera1, camera2);
  CStereoPair pair(&camera1, &camera2);
  // Earlier work: a point without a match and a matched pair, and a rendered state.
  camera1.m_points.Add(std::make_unique<CSpPoint>(5.0, 5.0));
  auto a = std::make_unique<CSpPoint>(10.0, 10.0);
  auto b = std::make_unique<CSpPoint>(12.0, 11.0);
  CSpPoint* pa = a.get();
  CSpPoint* pb = b.get();
  camera1.m_points.Add(std::move(a));
  camera2.m_points.Add(std::move(b));
  pair.m_matches.Add(std::make_unique<CMatch>(pa, pb));
  pair.m_rendered = 1;

  AutoMatchReport report;
  ASSERT_TRUE(test::Succeeded(AutomaticMatching(pair, AutoMatchParams{}, nullptr, &report)));
  EXPECT_EQ(pair.m_rendered, 0);
  EXPECT_GE(pair.m_matches.Count(), 40);
  EXPECT_EQ(pair.m_matches.Count(), report.matches);
  EXPECT_EQ(camera1.m_points.Count(), pair.m_matches.Count());
  EXPECT_EQ(camera2.m_points.Count(), pair.m_matches.Count());
  int expectedId = 0;
  std::vector<PointPair> stored;
  for (const auto& m : pair.m_matches.Matches()) {
    EXPECT_EQ(m->m_id, expectedId);
    EXPECT_EQ(m->m_id1, expectedId);
    EXPECT_EQ(m->m_id2, expectedId);
    EXPECT_EQ(camera1.m_points.FindById(m->m_id1), m->m_point1);
    EXPECT_EQ(camera2.m_points.FindById(m->m_id2), m->m_point2);
    stored.push_back({m->m_point1->m_x, m->m_point1->m_y, m->m_point2->m_x, m->m_point2->m_y});
    ++expectedId;
  }
  EXPECT_GE(Measure(*clean_, stored).Share(), 0.95);
}

TEST_F(FacePairs, FeaturesStayInsideTheRegionOfInterest) {
  CCamera camera1, camera2;
  test::LoadFaceImages(*clean_, camera1, camera2);
  camera1.m_roi = MakeRoi(0, 0, 0, 520, 768);  // the left half of the face
  std::vector<PointPair> matches;
  ASSERT_TRUE(test::Succeeded(FindAutomaticMatches(camera1, camera2, AutoMatchParams{}, matches)));
  EXPECT_GE(matches.size(), 10u);
  for (const PointPair& m : matches) EXPECT_LT(m.x1, 520);
}

TEST_F(FacePairs, FailureLeavesEarlierWorkUntouched) {
  CCamera camera1, camera2;
  test::LoadFaceImages(*clean_, camera1, camera2);
  CStereoPair pair(&camera1, &camera2);
  camera1.m_points.Add(std::make_unique<CSpPoint>(5.0, 5.0));

  // A correlation threshold no window reaches.
  AutoMatchParams strict;
  strict.threshold = 1.1;
  EXPECT_FALSE(AutomaticMatching(pair, strict));

  // A flat image has no features: nothing to match.
  camera2.m_image.Mat().setTo(cv::Scalar(128, 128, 128));
  ASSERT_TRUE(camera2.MakeGray());
  const Status nothing = AutomaticMatching(pair, AutoMatchParams{});
  EXPECT_FALSE(nothing);
  EXPECT_NE(nothing.Reason().find("at least 9"), std::string::npos);

  // A missing image.
  camera2.Clear();
  EXPECT_EQ(AutomaticMatching(pair, AutoMatchParams{}).Reason(),
            "Automatic matching needs both images.");
  EXPECT_EQ(camera1.m_points.Count(), 1);
  EXPECT_EQ(pair.m_matches.Count(), 0);
}

TEST(AutomaticMatching, TinyImagesFailCleanly) {
  test::FaceSceneOptions options;
  options.width = 16;
  options.height = 12;
  const test::FaceStereoPair pair = test::RenderFaceStereoPair(options);
  for (const int size : {1, 2, 8}) {
    CCamera camera1, camera2;
    test::FaceStereoPair tiny = pair;
    tiny.image1 = pair.image1(cv::Rect(0, 0, size, size)).clone();
    tiny.image2 = pair.image2(cv::Rect(0, 0, size, size)).clone();
    test::LoadFaceImages(tiny, camera1, camera2);
    CStereoPair stereo(&camera1, &camera2);
    const Status matched = AutomaticMatching(stereo, AutoMatchParams{});
    EXPECT_FALSE(matched) << size;
    EXPECT_FALSE(matched.Reason().empty()) << size;
  }
}

}  // namespace
}  // namespace q3d
