#pragma once
// How well a render explains its matches: each match's 3D point projected back into
// both images with the stored calibration and pose, compared with the placed points.
#include <optional>
#include <vector>

namespace q3d {

class CStereoPair;

struct ReprojectionErrors {
  // Pixel distance per match in match-list order; NaN where the point cannot be
  // projected (non-finite, or on a camera's focal plane).
  std::vector<double> image1_px;
  std::vector<double> image2_px;
  // Medians of the finite distances: of image 1, of image 2, and of both together.
  double median1_px = 0.0;
  double median2_px = 0.0;
  double median_px = 0.0;
  int projected = 0;  // matches whose point projects into both images
};

// Nothing when the pair holds no usable result: calibrations that are not 3 x 3 with
// non-zero focal lengths, a rotation that is not 3 x 3 or a translation that is not a
// 3-vector, a 3D point matrix without one row per match, cameras without image sizes,
// or no match that projects.
std::optional<ReprojectionErrors> ComputeReprojectionErrors(const CStereoPair& pair);

}  // namespace q3d
