#pragma once
// Synthetic stereo scenes with known ground truth: a face-like surface in front of two
// converging cameras with different focal lengths, projected with the reconstruction's
// camera model (camera 1 at the origin looking along +z; camera 2 with rotation R mapping
// its directions to world, centre t with |t(3)| = 1; calibration [-f, 0, 0; 0, -f, 0;
// 0, 0, 1]; centred image coordinates). Optional Gaussian pixel noise and wrong matches.
#include <cstdint>
#include <vector>

#include "numeric/matrix.h"

namespace q3d::test {

struct SceneOptions {
  int num_points = 60;
  double f1_px = 800;
  double f2_px = 1000;
  int width1 = 640, height1 = 480;
  int width2 = 640, height2 = 480;
  // Camera 2's centre (third component +-1 by the scale convention) and the world point it
  // looks at; roll turns it about its viewing axis. The defaults keep the two optical axes
  // skew (the focal lengths cannot be recovered when they meet).
  Eigen::Vector3d camera2_centre{5.0, 1.5, 1.0};
  Eigen::Vector3d camera2_target{0.0, -2.0, 20.0};
  double camera2_roll_rad = 0.05;
  // Face: an ellipsoidal cap of half-width 4, half-height 5 and depth 2.5 centred at
  // distance 20, with a nose bump, bulging towards the cameras.
  double face_distance = 20;
  double pixel_noise_sigma = 0;  // Gaussian, per coordinate, both images
  double outlier_share = 0;      // share of matches whose image-2 point is replaced
  double outlier_min_epipolar_px = 10;  // a wrong match lies at least this far off its line
  uint64_t seed = 1;
};

struct SyntheticScene {
  SceneOptions options;
  double f1 = 0, f2 = 0;
  Matrix A1, A2;         // 3 x 3 calibration matrices
  Matrix R;              // 3 x 3 rotation of camera 2
  Matrix t;              // 3 x 1 centre of camera 2
  Matrix points;         // 3 x n true 3D points
  Matrix m1, m2;         // n x 2 observed centred coordinates (noise and wrong matches)
  Matrix m1_exact, m2_exact;
  std::vector<bool> wrong;  // true for a wrong match

  int Count() const { return static_cast<int>(m1.rows()); }
  // The matches as the match set gives them: n x 4 rows [x1 + 1, y1 + 1, x2 + 1, y2 + 1] of
  // 0-based pixel coordinates.
  Matrix PixelMatches() const;
  // The true fundamental matrix in centred coordinates (m1' F m2 = 0), unit 2-norm.
  Matrix TrueF() const;
  std::vector<Eigen::Index> CorrectRows() const;
};

SyntheticScene MakeSyntheticScene(const SceneOptions& options = {});

// Rotation whose third column (viewing axis) points from centre to target, rolled about it.
Matrix LookAtRotation(const Eigen::Vector3d& centre, const Eigen::Vector3d& target, double roll_rad);

// Largest distance between the points (3 x n) after the best similarity transform that
// maps `estimate` onto `truth`.
double SimilarityAlignedError(const Matrix& estimate, const Matrix& truth);

// Rows of a matrix.
Matrix SelectRows(const Matrix& m, const std::vector<Eigen::Index>& rows);

}  // namespace q3d::test
