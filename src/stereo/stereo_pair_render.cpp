// The stereo pair's render operations: epipolar geometry, the focal search with pose and
// 3D points, and the re-triangulation of the matches from the stored calibration.
#include "base/diagnostics.h"
#include "numeric/render_pipeline.h"
#include "numeric/triangulation.h"
#include "stereo/match_degeneracy.h"
#include "stereo/stereo_pair.h"

namespace q3d {

namespace {
// The render's messages: what failed, the reason when one is known, and what to do.
Status FocalsError(const std::string& reason = {}) {
  return Status::Fail("Error: Focals estimation.\n" + (reason.empty() ? "" : reason + "\n") +
                      "Please, try other positions to take the photographs.");
}
Status ReconstructionError(const std::string& reason = {}) {
  return Status::Fail("Error: Euclidean Reconstruction.\n" + (reason.empty() ? "" : reason + "\n") +
                      "Please, try other positions to take the photographs.");
}

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

Status CStereoPair::EstimateEpipolarGeometry() {
  try {
    FundamentalEstimate estimate = EpipolarGeometryOfMatches(MatchMatrix(m_matches));
    if (!estimate.F.allFinite() || !estimate.e1.allFinite() || !estimate.e2.allFinite())
      return FocalsError("The matches give no epipolar geometry (too few, or all on a line).");
    m_F = std::move(estimate.F);
    m_e1 = std::move(estimate.e1);
    m_e2 = std::move(estimate.e2);
    return Status::Ok();
  } catch (const NumericError& error) {
    Diag(error.what());
    return FocalsError(error.what());
  }
}

bool CStereoPair::SharesFocal() const {
  return m_camera1 && m_camera2 && SharesFocalLength(m_cameraSharing, *m_camera1, *m_camera2);
}

Status CStereoPair::Reconstruct(const RenderOptions& options, Progress* progress) {
  if (!m_camera1 || !m_camera2) return FocalsError("The pair has no cameras.");
  if (Status usable = CheckMatchesUsable(m_matches); !usable) {
    ResetResults();
    return usable;
  }
  RandomSource random(options.seed);
  RenderSettings settings;
  settings.refine = options.refine;
  settings.known = {m_camera1->m_focal.Known(), m_camera2->m_focal.Known()};
  settings.shared_focal = SharesFocal();
  Result<RenderOutcome> rendered = RenderMatches(MatchMatrix(m_matches), SizeOf(*m_camera1),
                                                 SizeOf(*m_camera2), settings, random, progress);
  if (!rendered) {
    ResetResults();
    return FocalsError(rendered.Reason());
  }
  RenderOutcome& outcome = rendered.Value();
  m_F = std::move(outcome.F);
  m_e1 = std::move(outcome.e1);
  m_e2 = std::move(outcome.e2);
  m_A1 = std::move(outcome.A1);
  m_Rcam = std::move(outcome.Rcam);
  m_t = std::move(outcome.t);
  m_A2 = std::move(outcome.A2);
  m_XW = std::move(outcome.XW);
  m_focalSource = outcome.focal_source;
  m_rendered = 1;
  return Status::Ok();
}

Status CStereoPair::TriangulateMatches() {
  // Only a stored calibration can place the rays; the reset values would divide by zero.
  const bool calibrated = m_camera1 && m_camera2 && IsShaped(m_A1, 3, 3) && IsShaped(m_A2, 3, 3) &&
                          IsShaped(m_R1, 3, 3) && IsShaped(m_t1, 3, 1) && IsShaped(m_Rcam, 3, 3) &&
                          IsShaped(m_t, 3, 1) && m_A1(0, 0) != 0 && m_A1(1, 1) != 0 &&
                          m_A2(0, 0) != 0 && m_A2(1, 1) != 0;
  const Matrix matches = MatchMatrix(m_matches);
  if (!calibrated) return ReconstructionError("The pair holds no camera calibration.");
  if (matches.rows() == 0) return ReconstructionError("The pair has no matches.");
  try {
    const CentredPoints points = CentreMatches(matches, SizeOf(*m_camera1), SizeOf(*m_camera2));
    const Triangulation result =
        triangulacion(points.m1, points.m2, matches.rows(), m_A1, m_A2, m_R1, m_t1, m_Rcam, m_t);
    m_XW = result.Xw.transpose();
    return Status::Ok();
  } catch (const NumericError& error) {
    Diag(error.what());
    return ReconstructionError(error.what());
  }
}

}  // namespace q3d
