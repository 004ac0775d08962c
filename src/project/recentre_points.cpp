#include "project/recentre_points.h"

#include <cmath>
#include <optional>

namespace q3d {
namespace {

// The centre found from another pixel of the same dot may differ by the precise step's
// convergence limit; a point that near is already centred.
constexpr double kCentredTolerance = 0.01;  // pixels

}  // namespace

int RecentrePointsOnDots(CProjectDoc& doc, DotCentring centring, RecentreReport* report) {
  RecentreReport local;
  RecentreReport& r = report ? *report : local;
  r = {};
  EditScope edit(doc, "Re-centre Points");
  int result = 1;
  for (int index = 0; index < 2 && result == 1; ++index) {
    CCamera& camera = doc.Camera(index);
    for (const auto& point : camera.m_points.m_list) {
      std::optional<cv::Point2d> centre;
      const int x = static_cast<int>(std::lround(point->m_x));
      const int y = static_cast<int>(std::lround(point->m_y));
      if (!camera.FindDotCentre(x, y, centring, centre)) {
        result = 0;
        break;
      }
      const double shift =
          centre ? std::hypot(centre->x - point->m_x, centre->y - point->m_y) : 0.0;
      if (!centre || shift < kCentredTolerance || shift > kMaxRecentreShift) {
        ++r.unchanged;
        continue;
      }
      point->m_x = centre->x;
      point->m_y = centre->y;
      ++r.moved;
    }
  }
  if (r.moved > 0) {
    doc.SetModifiedFlag();
    doc.UpdateAllViews(nullptr, kHintPointsChanged);
    if (doc.IsRendered()) doc.UpdateAllViews(nullptr, kHintRebuildModel);
  }
  return result;
}

}  // namespace q3d
