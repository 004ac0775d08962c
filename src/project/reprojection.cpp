#include "project/reprojection.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "numeric/triangulation.h"
#include "stereo/stereo_pair.h"

namespace q3d {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

double Distance(double u, double v, double x, double y) {
  const double d = std::hypot(u - x, v - y);
  return std::isfinite(d) ? d : kNaN;
}

double MedianOfFinite(std::vector<double> values) {
  std::erase_if(values, [](double v) { return !std::isfinite(v); });
  if (values.empty()) return kNaN;
  const size_t mid = values.size() / 2;
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(mid), values.end());
  const double upper = values[mid];
  if (values.size() % 2 == 1) return upper;
  const double lower =
      *std::max_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(mid));
  return 0.5 * (lower + upper);
}

bool HasShape(const Matrix& m, int rows, int cols) { return m.rows() == rows && m.cols() == cols; }

}  // namespace

std::optional<ReprojectionErrors> ComputeReprojectionErrors(const CStereoPair& pair) {
  const int n = pair.m_matches.Count();
  if (n == 0 || !pair.m_camera1 || !pair.m_camera2) return std::nullopt;
  if (!HasShape(pair.m_A1, 3, 3) || !HasShape(pair.m_A2, 3, 3) || !HasShape(pair.m_Rcam, 3, 3) ||
      !HasShape(pair.m_t, 3, 1) || !HasShape(pair.m_XW, n, 3))
    return std::nullopt;
  // Zero focal lengths are the reset values of a render that found no calibration.
  if (!std::isnormal(pair.m_A1(0, 0)) || !std::isnormal(pair.m_A2(0, 0))) return std::nullopt;
  const int w1 = pair.m_camera1->Width(), h1 = pair.m_camera1->Height();
  const int w2 = pair.m_camera2->Width(), h2 = pair.m_camera2->Height();
  if (w1 <= 0 || h1 <= 0 || w2 <= 0 || h2 <= 0) return std::nullopt;

  // One 3D point per column, projected with the routine the focal search scores with;
  // its centred coordinates go back to 0-based pixels with the images' integer halves.
  const Matrix world = pair.m_XW.transpose();
  const Matrix m1 = proyec_pto_R(world, n, pair.m_A1, Matrix::Zero(3, 1), Matrix::Identity(3, 3));
  const Matrix m2 = proyec_pto_R(world, n, pair.m_A2, pair.m_t, pair.m_Rcam);

  ReprojectionErrors errors;
  errors.image1_px.reserve(static_cast<size_t>(n));
  errors.image2_px.reserve(static_cast<size_t>(n));
  Eigen::Index row = 0;
  for (const auto& match : pair.m_matches.Matches()) {
    const CSpPoint* p1 = match->m_point1;
    const CSpPoint* p2 = match->m_point2;
    const double d1 =
        p1 ? Distance(m1(row, 0) + w1 / 2, m1(row, 1) + h1 / 2, p1->m_x, p1->m_y) : kNaN;
    const double d2 =
        p2 ? Distance(m2(row, 0) + w2 / 2, m2(row, 1) + h2 / 2, p2->m_x, p2->m_y) : kNaN;
    ++row;
    errors.image1_px.push_back(d1);
    errors.image2_px.push_back(d2);
    if (std::isfinite(d1) && std::isfinite(d2)) ++errors.projected;
  }
  if (errors.projected == 0) return std::nullopt;

  std::vector<double> both = errors.image1_px;
  both.insert(both.end(), errors.image2_px.begin(), errors.image2_px.end());
  errors.median1_px = MedianOfFinite(errors.image1_px);
  errors.median2_px = MedianOfFinite(errors.image2_px);
  errors.median_px = MedianOfFinite(std::move(both));
  return errors;
}

}  // namespace q3d
