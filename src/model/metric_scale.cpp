#include "model/metric_scale.h"

#include <cmath>

#include "stereo/stereo_pair.h"

namespace q3d {
namespace {

// Row of the match in the pair's match matrix (list order), or -1.
int RowOf(const CStereoPair& pair, int32_t id) {
  int row = 0;
  for (const auto& match : pair.m_matches.Matches()) {
    if (match->m_id == id) return row;
    ++row;
  }
  return -1;
}

}  // namespace

Result<double> MillimetresPerUnit(CStereoPair& pair, const MetricScale& scale) {
  if (!scale.IsSet()) return Status::Fail("No real distance is set.");
  const int a = RowOf(pair, scale.match1), b = RowOf(pair, scale.match2);
  if (a < 0 || b < 0)
    return Status::Fail("The matches " + std::to_string(scale.match1) + " and " +
                        std::to_string(scale.match2) + " of the real distance no longer exist.");
  if (pair.m_rendered != 1 || !pair.TriangulateMatches() || pair.m_XW.rows() <= std::max(a, b))
    return Status::Fail("The matches have no 3D points: render the project first.");
  const double units = (pair.m_XW.row(a) - pair.m_XW.row(b)).norm();
  if (!(units > 0) || !std::isfinite(units))
    return Status::Fail("The two matches of the real distance fall on one 3D point.");
  // Exports scale single-precision vertices: a factor they cannot hold is no scale.
  const double mmPerUnit = scale.millimetres / units;
  if (!(mmPerUnit > 1e-30 && mmPerUnit < 1e30))
    return Status::Fail("The real distance gives a scale the model's units cannot hold.");
  return mmPerUnit;
}

Status SetMetricScale(CStereoPair& pair, int32_t match1, int32_t match2, double millimetres,
                      MetricScale& scale) {
  if (!(millimetres >= kSmallestScaleMm && millimetres <= kLargestScaleMm))
    return Status::Fail("The real distance must be between 0.000001 and 1000000000 millimetres.");
  if (match1 == match2) return Status::Fail("The real distance needs two different matches.");
  const MetricScale candidate{match1, match2, millimetres};
  if (const Result<double> mmPerUnit = MillimetresPerUnit(pair, candidate); !mmPerUnit)
    return mmPerUnit.GetStatus();
  scale = candidate;
  return Status::Ok();
}

}  // namespace q3d
