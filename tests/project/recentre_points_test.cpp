#include "project/recentre_points.h"

#include <gtest/gtest.h>

#include <cmath>

#include "support/synthetic_images.h"

namespace q3d {
namespace {

struct HintLog : DocumentObserver {
  std::vector<int> hints;
  void OnDocumentUpdate(DocumentObserver*, int hint) override { hints.push_back(hint); }
};

TEST(RecentrePoints, MovesPointsNearADotsCentreOntoItAndLeavesTheOthers) {
  CProjectDoc doc;
  const std::vector<test::Disc> discs = {{20.3, 20.6, 3.0}, {60.7, 20.2, 9.0}};
  for (int index = 0; index < 2; ++index) {
    doc.Camera(index).m_image = test::ToColorImage(test::DrawDiscs(90, 45, discs, 0.7));
    ASSERT_TRUE(doc.Camera(index).MakeGray());
  }
  // Image 1: near the small dot's centre, 3.5 px off the large dot's, on the skin.
  ASSERT_TRUE(doc.AddMatch(20.9, 20.1, 60.7 + 3.5, 20.2));
  ASSERT_TRUE(doc.AddMatch(5.0, 40.0, 20.0, 21.0));
  HintLog log;
  doc.AddObserver(&log);

  RecentreReport report;
  ASSERT_EQ(RecentrePointsOnDots(doc, DotCentring::kPrecise, &report), 1);
  EXPECT_EQ(report.moved, 2);
  EXPECT_EQ(report.unchanged, 2);
  const auto& points1 = doc.m_camera1.m_points.Points();
  const auto& points2 = doc.m_camera2.m_points.Points();
  EXPECT_LT(std::hypot(points1.front()->m_x - 20.3, points1.front()->m_y - 20.6), 0.05);
  EXPECT_EQ(points1.back()->m_x, 5.0);
  EXPECT_EQ(points2.front()->m_x, 60.7 + 3.5);
  EXPECT_LT(std::hypot(points2.back()->m_x - 20.3, points2.back()->m_y - 20.6), 0.05);
  EXPECT_EQ(doc.m_stereoPair.m_matches.Count(), 2);
  EXPECT_TRUE(doc.IsModified());
  EXPECT_EQ(log.hints, std::vector<int>{kHintPointsChanged});

  // Already centred: nothing moves, the document is not touched.
  doc.SetModifiedFlag(false);
  log.hints.clear();
  ASSERT_EQ(RecentrePointsOnDots(doc, DotCentring::kPrecise, &report), 1);
  EXPECT_EQ(report.moved, 0);
  EXPECT_FALSE(doc.IsModified());
  EXPECT_TRUE(log.hints.empty());
  doc.RemoveObserver(&log);
}

}  // namespace
}  // namespace q3d
