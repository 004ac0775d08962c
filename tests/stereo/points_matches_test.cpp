#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "base/archive.h"
#include "base/error_stack.h"
#include "stereo/loaded_records.h"
#include "stereo/match.h"
#include "stereo/sp_point.h"

namespace q3d {
namespace {

CSpPoint* AddPoint(CSpPointSet& set, double x, double y) {
  auto p = std::make_unique<CSpPoint>(x, y);
  CSpPoint* raw = p.get();
  EXPECT_EQ(set.Add(std::move(p)), 1);
  return raw;
}

TEST(PointSetTest, IdentifiersAreNotReusedUntilEmptied) {
  CSpPointSet set;
  AddPoint(set, 0, 0);
  CSpPoint* second = AddPoint(set, 1, 1);
  AddPoint(set, 2, 2);
  second->m_selected = 1;
  set.RemoveWithSelection(1);
  EXPECT_EQ(AddPoint(set, 3, 3)->m_id, 3);
  EXPECT_EQ(set.FindById(1), nullptr);
  set.RemoveAll();
  EXPECT_EQ(set.m_nextId, 0);
  EXPECT_EQ(AddPoint(set, 4, 4)->m_id, 0);
}

TEST(PointSetTest, FindNearestTiesAndMaximumDistance) {
  CSpPointSet set;
  EXPECT_EQ(set.FindNearest({0, 0}, 100), nullptr);
  CSpPoint* a = AddPoint(set, 10, 0);
  AddPoint(set, 0, 10);
  EXPECT_EQ(set.FindNearest({0, 0}, 100), a);  // equal distance: the earlier wins
  EXPECT_EQ(set.FindNearest({0, 0}, 9.99), nullptr);
  EXPECT_EQ(set.FindNearest({0, 0}, 10.0), a);  // exactly at the maximum is returned
}

TEST(PointSetTest, SelectionOperations) {
  CSpPointSet set;
  AddPoint(set, 9.5, 5);  // rounds to column 10
  AddPoint(set, 9.4, 5);  // rounds to column 9
  AddPoint(set, 2, 2);
  AddPoint(set, 3, 3);
  set.SelectInRect(Rect{0, 0, 10, 10}, 1);
  EXPECT_EQ(set.CountSelected(1), 3);
  EXPECT_EQ(set.FindFirstSelected(0)->m_x, 9.5);
  set.SetAllSelected(0);
  set.FindById(2)->m_selected = 1;
  set.InvertSelection();
  EXPECT_EQ(set.CountSelected(1), 3);
  EXPECT_EQ(set.FindFirstSelected(0)->m_id, 2);
}

TEST(PointSetTest, BoundingRoi) {
  CSpPointSet set;
  IplROI roi{7, 1, 2, 3, 4};
  set.GetBoundingRoi(roi);
  EXPECT_EQ(roi, IplROI{});
  AddPoint(set, 10.4, 20.7);
  roi.coi = 3;
  set.GetBoundingRoi(roi);
  EXPECT_EQ(roi, (IplROI{3, 10, 20, 1, 1}));  // channel kept
  AddPoint(set, 30.9, 5.2);
  set.GetBoundingRoi(roi);
  EXPECT_EQ(roi, (IplROI{3, 10, 5, 21, 16}));
}

TEST(MatchSetTest, MatrixIsOneBasedInListOrder) {
  CSpPointSet s1, s2;
  CMatchSet matches(&s1, &s2);
  Matrix M = Matrix::Constant(1, 1, 42.0);
  matches.ToMatrix(M);
  EXPECT_EQ(M(0, 0), 42.0);  // unchanged when empty
  CSpPoint* a = AddPoint(s1, 0, 0);
  CSpPoint* b = AddPoint(s2, 5, 7);
  CSpPoint* c = AddPoint(s1, 1.5, 2.5);
  CSpPoint* d = AddPoint(s2, 3, 4);
  matches.Add(std::make_unique<CMatch>(a, b));
  matches.Add(std::make_unique<CMatch>(d, c, true));  // swapped order
  matches.ToMatrix(M);
  ASSERT_EQ(M.rows(), 2);
  EXPECT_EQ(M.row(0), (Eigen::RowVector4d(1, 1, 6, 8)));
  EXPECT_EQ(M.row(1), (Eigen::RowVector4d(2.5, 3.5, 4, 5)));
  EXPECT_EQ(matches.Matches().back()->m_id1, c->m_id);
}

TEST(MatchSetTest, SelectionSyncAndRemoval) {
  CSpPointSet s1, s2;
  CMatchSet matches(&s1, &s2);
  for (int i = 0; i < 3; ++i)
    matches.Add(std::make_unique<CMatch>(AddPoint(s1, i, i), AddPoint(s2, i, i)));
  s1.FindById(1)->m_selected = 1;
  matches.SyncSelection(0);
  EXPECT_EQ(s2.FindById(1)->m_selected, 1);
  EXPECT_EQ(s2.CountSelected(1), 1);
  s2.FindById(2)->m_selected = 1;
  matches.SyncSelection(1);
  EXPECT_EQ(s1.FindById(2)->m_selected, 1);

  matches.RemoveWithSelection(1);
  EXPECT_EQ(matches.Count(), 1);
  EXPECT_EQ(matches.m_nextId, 3);  // some left: next identifier kept
  s1.SetAllSelected(1);
  matches.RemoveWithSelection(1);
  EXPECT_EQ(matches.Count(), 0);
  EXPECT_EQ(matches.m_nextId, 0);  // emptied: numbering starts again
}

// Loaded records: links made through the identifiers; each fault names its record.
TEST(LoadedRecordsTest, LinksMatchesAndRefusesWhatTheFileCannotHold) {
  CSpPointSet s1, s2;
  CMatchSet matches(&s1, &s2);
  matches.Add(std::make_unique<CMatch>(AddPoint(s1, 1, 1), AddPoint(s2, 2, 2)));
  matches.Add(std::make_unique<CMatch>(AddPoint(s1, 3, 1), AddPoint(s2, 4, 2)));
  for (auto& m : matches.m_list) m->m_point1 = m->m_point2 = nullptr;
  LinkLoadedMatches(matches, s1, s2);
  EXPECT_EQ(matches.Matches().back()->m_point2, s2.FindById(1));
  EXPECT_NO_THROW(CheckLoadedPoints(s1, 5, 4, 1));

  const auto refusal = [](auto&& check) -> std::string {
    try {
      check();
    } catch (const ArchiveError& e) {
      return e.what();
    }
    return "accepted";
  };
  matches.m_list.back()->m_id2 = 99;
  EXPECT_EQ(refusal([&] { LinkLoadedMatches(matches, s1, s2); }),
            "Match 1 refers to point 99 of image 2, which the file does not hold.");
  matches.m_list.back()->m_id2 = 1;
  matches.m_list.back()->m_id = 0;
  EXPECT_EQ(refusal([&] { LinkLoadedMatches(matches, s1, s2); }),
            "Match 1 repeats the identifier 0.");
  s1.m_list.back()->m_x = 2.3e7;  // one flipped exponent bit
  EXPECT_NE(
      refusal([&] { CheckLoadedPoints(s1, 5, 4, 1); }).find("Point 1 of image 1 lies outside"),
      std::string::npos);
  s1.m_list.back()->m_x = std::nan("");
  EXPECT_NE(refusal([&] { CheckLoadedPoints(s1, 5, 4, 1); }).find("not a number"),
            std::string::npos);
  s1.m_list.back()->m_x = 3;
  s1.m_nextId = 1;  // a counter that would give identifier 1 twice
  EXPECT_NE(refusal([&] { CheckLoadedPoints(s1, 5, 4, 1); }).find("next identifier 1"),
            std::string::npos);
  s1.m_nextId = std::numeric_limits<int32_t>::max();  // would overflow on the next point
  EXPECT_NE(refusal([&] { CheckLoadedPoints(s1, 5, 4, 1); }).find("impossible"), std::string::npos);
}

}  // namespace
}  // namespace q3d

namespace q3d {
namespace {

TEST(PointSetTest, BoundingRoiOfExtremeCoordinatesDoesNotOverflow) {
  CSpPointSet set;
  AddPoint(set, -1e300, 4);
  AddPoint(set, 1e300, std::nan(""));
  IplROI roi;
  set.GetBoundingRoi(roi);
  EXPECT_EQ(roi.xOffset, std::numeric_limits<int32_t>::min());
  EXPECT_EQ(roi.width, std::numeric_limits<int32_t>::max());
}

}  // namespace
}  // namespace q3d
