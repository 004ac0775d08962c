#include "project/calibration_quality.h"

#include <cmath>

#include "numeric/render_pipeline.h"
#include "numeric/view_degeneracy.h"
#include "stereo/stereo_pair.h"

namespace q3d {

std::optional<CalibrationQuality> AssessCalibration(const CStereoPair& pair) {
  if (pair.m_matches.Count() < kMinimumRenderMatches || !pair.m_camera1 || !pair.m_camera2)
    return std::nullopt;
  const auto shaped = [](const Matrix& m, int rows, int cols) {
    return m.rows() == rows && m.cols() == cols && m.allFinite();
  };
  if (!shaped(pair.m_A1, 3, 3) || !shaped(pair.m_A2, 3, 3) || !shaped(pair.m_Rcam, 3, 3) ||
      !shaped(pair.m_t, 3, 1) || !std::isnormal(pair.m_A1(0, 0)) ||
      !std::isnormal(pair.m_A2(0, 0)))
    return std::nullopt;
  Matrix matches;
  pair.m_matches.ToMatrix(matches);
  const CentredPoints points =
      CentreMatches(matches, {pair.m_camera1->Width(), pair.m_camera1->Height()},
                    {pair.m_camera2->Width(), pair.m_camera2->Height()});
  const Calibration calibration{pair.m_Rcam, pair.m_t, pair.m_A1, pair.m_A2};
  const PrincipalPointSeparation separation = SeparationOf(points.m1, points.m2, calibration);
  const FocalUncertainty deviation = FocalLengthUncertainty(points.m1, points.m2, calibration);
  return CalibrationQuality{deviation.f1, deviation.f2, separation.distance_px,
                            separation.scatter_px};
}

}  // namespace q3d
