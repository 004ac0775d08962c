// The stereo pair's render operations: epipolar geometry, the focal search with pose and
// 3D points, and the re-triangulation of the matches from the stored calibration.
#include "numeric/render_pipeline.h"
#include "numeric/triangulation.h"
#include "base/diagnostics.h"
#include "base/error_stack.h"
#include "stereo/stereo_pair.h"

namespace q3d {

namespace {
const char kFocalsError[] =
    "Error: Focals estimation.\nPlease, try other positions to take the photographs.";
const char kReconstructionError[] =
    "Error: Euclidean Reconstruction.\nPlease, try other positions to take the photographs.";

Matrix MatchMatrix(const CMatchSet& matches) {
  Matrix M;
  matches.ToMatrix(M);
  return M;
}

ImageSize SizeOf(const CCamera& camera) { return {camera.Width(), camera.Height()}; }

bool IsShaped(const Matrix& m, Eigen::Index rows, Eigen::Index cols) {
  return m.rows() == rows && m.cols() == cols && m.allFinite();
}
}  // namespace

int CStereoPair::EstimateEpipolarGeometry() {
  try {
    FundamentalEstimate estimate = EpipolarGeometryOfMatches(MatchMatrix(m_matches));
    if (!estimate.F.allFinite() || !estimate.e1.allFinite() || !estimate.e2.allFinite()) {
      throw NumericError("The matches give no finite epipolar geometry.");
    }
    m_F = std::move(estimate.F);
    m_e1 = std::move(estimate.e1);
    m_e2 = std::move(estimate.e2);
    return 1;
  } catch (const NumericError& error) {
    Diag(error.what());
    PushErrorText(kFocalsError);
    return 0;
  }
}

int CStereoPair::Reconstruct(const RenderOptions& options, Progress* progress) {
  if (!m_camera1 || !m_camera2) {
    PushErrorText(kFocalsError);
    return 0;
  }
  RandomSource random(options.seed);
  RenderSettings settings;
  settings.refine = options.refine;
  RenderOutcome outcome = RenderMatches(MatchMatrix(m_matches), SizeOf(*m_camera1),
                                        SizeOf(*m_camera2), settings, random, progress);
  if (!outcome.ok) {
    ResetResults();
    PushErrorText(kFocalsError);
    return 0;
  }
  m_F = std::move(outcome.F);
  m_e1 = std::move(outcome.e1);
  m_e2 = std::move(outcome.e2);
  m_A1 = std::move(outcome.A1);
  m_Rcam = std::move(outcome.Rcam);
  m_t = std::move(outcome.t);
  m_A2 = std::move(outcome.A2);
  m_XW = std::move(outcome.XW);
  m_rendered = 1;
  return 1;
}

int CStereoPair::TriangulateMatches() {
  // Only a stored calibration can place the rays; the reset values would divide by zero.
  const bool calibrated = m_camera1 && m_camera2 && IsShaped(m_A1, 3, 3) &&
                          IsShaped(m_A2, 3, 3) && IsShaped(m_R1, 3, 3) && IsShaped(m_t1, 3, 1) &&
                          IsShaped(m_Rcam, 3, 3) && IsShaped(m_t, 3, 1) && m_A1(0, 0) != 0 &&
                          m_A1(1, 1) != 0 && m_A2(0, 0) != 0 && m_A2(1, 1) != 0;
  const Matrix matches = MatchMatrix(m_matches);
  if (!calibrated || matches.rows() == 0) {
    PushErrorText(kReconstructionError);
    return 0;
  }
  try {
    const CentredPoints points = CentreMatches(matches, SizeOf(*m_camera1), SizeOf(*m_camera2));
    const Triangulation result = triangulacion(points.m1, points.m2, matches.rows(), m_A1, m_A2,
                                               m_R1, m_t1, m_Rcam, m_t);
    m_XW = result.Xw.transpose();
    return 1;
  } catch (const NumericError& error) {
    Diag(error.what());
    PushErrorText(kReconstructionError);
    return 0;
  }
}

}  // namespace q3d
