#include "numeric/essential_starts.h"

#include <limits>

#include "numeric/euclidean_reconstruction.h"
#include "numeric/rotation.h"

namespace q3d {

Matrix3 FundamentalOf(const Calibration& c) {
  const Matrix3 A1 = c.A1, A2 = c.A2, R = c.Rcam;
  return A1.inverse().transpose() * calc_antisimetrica(Vector3(c.t)) * R * A2.inverse();
}

std::array<Calibration, 4> Decompositions(const Calibration& c) {
  const Vector3 baseline = Vector3(c.t).normalized();
  // Half a turn about the baseline keeps every epipolar plane, so the matches fit alike.
  const Matrix3 half_turn = 2 * baseline * baseline.transpose() - Matrix3::Identity();
  std::array<Calibration, 4> result{c, c, c, c};
  result[1].t = -c.t;
  result[2].Rcam = half_turn * Matrix3(c.Rcam);
  result[3].Rcam = result[2].Rcam;
  result[3].t = -c.t;
  return result;
}

std::vector<Calibration> EssentialStarts(const Matrix& m1, const Matrix& m2,
                                         const std::vector<Matrix3>& candidates, double f1,
                                         double f2) {
  std::vector<Calibration> starts;
  for (const Matrix3& F : candidates) {
    if (!F.allFinite()) continue;
    const EuclideanReconstruction r =
        ReconstruccionEuclidea(m1, m2, m1.rows(), Matrix(F), f1, f2, 1, 1);
    if (r.ret < 0 || !r.Rcam2.allFinite() || !r.t2.allFinite()) continue;
    // A decomposition that puts most matches behind a camera is no start: the fit could
    // not bring them round without passing them through a camera's focal plane.
    for (const Calibration& c : Decompositions(Calibration{r.Rcam2, r.t2, r.A1, r.A2})) {
      const Vector dist = ExplainedDistances(m1, m2, c);
      if (2 * (dist.array() < std::numeric_limits<double>::infinity()).count() >= dist.size())
        starts.push_back(c);
    }
  }
  return starts;
}

}  // namespace q3d
