#pragma once
// The two cameras of a project joined: the matches between their points and every
// result of the reconstruction.
#include <array>
#include <cstdint>
#include <optional>

#include "base/result.h"
#include "numeric/matrix.h"
#include "numeric/render_pipeline.h"
#include "stereo/camera.h"
#include "stereo/camera_sharing.h"
#include "stereo/match.h"

namespace q3d {

class Archive;
class Progress;

struct RenderOptions {
  std::optional<uint64_t> seed;  // unseeded (a fresh random sequence) when absent
  bool refine = true;            // end with the maximum-likelihood fit (false: the search alone)
};

class CStereoPair {
 public:
  // The pair of the document, on its two cameras.
  CStereoPair(CCamera* camera1, CCamera* camera2);
  // Created by name: no cameras, empty matrices.
  CStereoPair();
  CStereoPair(const CStereoPair&) = delete;
  CStereoPair& operator=(const CStereoPair&) = delete;

  // Back to not rendered with every result at its reset value; matches kept.
  void ResetResults();
  // As ResetResults, and all matches removed.
  void ResetAll();

  // Fundamental matrix and epipoles of all matches into m_F, m_e1, m_e2.
  Status EstimateEpipolarGeometry();
  // Recomputes m_XW from the stored calibration and pose.
  Status TriangulateMatches();
  // The render: epipolar geometry, robust focal search, pose and 3D points. Sets
  // m_rendered on success; a failure leaves the pair not rendered and says why.
  Status Reconstruct(const RenderOptions& options = {}, Progress* progress = nullptr);

  // The pair's block of the 3D model file.
  void WriteModelData(Archive& ar) const;
  void Serialize(Archive& ar);

  int32_t m_rendered = 0;
  CCamera* m_camera1 = nullptr;
  CCamera* m_camera2 = nullptr;
  CMatchSet m_matches;
  Matrix m_F;
  Matrix m_e1;
  Matrix m_e2;
  Matrix m_R1;
  Matrix m_t1;
  Matrix m_A1;
  Matrix m_Rcam;
  Matrix m_t;
  Matrix m_A2;
  Matrix m_XW;
  // Where the rendered focal lengths came from; kept with the project (see focal_record.h).
  std::array<FocalSource, 2> m_focalSource{FocalSource::kMeasured, FocalSource::kMeasured};
  // Whether the photographs are fitted as one camera: the user's choice, kept with the
  // project; automatic by the photographs' metadata.
  CameraSharing m_cameraSharing = CameraSharing::kAutomatic;
  bool SharesFocal() const;
};

// Writes rows x cols doubles row by row; entries outside M (a matrix of another shape)
// are written as zeros, so a file can always be written with its fixed shapes.
void WriteFixedMatrix(Archive& ar, const Matrix& M, int rows, int cols);
Matrix ReadFixedMatrix(Archive& ar, int rows, int cols);

}  // namespace q3d
