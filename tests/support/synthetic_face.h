#pragma once
// Synthetic face photographs with ground truth: a face-like relief (head dome, eye
// sockets, nose, cheeks, lips, chin) on a wall, with skin texture and dark make-up dots,
// seen by two converging perspective cameras of different focal lengths. The truth uses
// the reconstruction's conventions: world = camera 1, R maps camera-2 directions to world,
// t is camera 2's centre scaled so that |t(3)| = 1, calibration [-f, 0, 0; 0, -f, 0; 0, 0, 1]
// on coordinates centred at (floor(W/2), floor(H/2)), 0-based pixels.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "numeric/matrix.h"
#include "stereo/camera.h"

namespace q3d::test {

struct FaceSceneOptions {
  int width = 1024;
  int height = 768;
  int dots = 60;
  double focal1PerWidth = 1.08;   // focal lengths in image widths
  double focal2PerWidth = 1.26;
  double noiseSigma = 0.0;        // grey levels, the same value added to all three channels
  double brightness2 = 1.0;       // image 2's intensity relative to image 1
  uint64_t seed = 1;              // dot layout, skin texture and noise
  // Both cameras aimed at the same point of the face, as people take photographs.
  bool aimAtOnePoint = false;
  // A relief with the depth of a real face (a long nose, deep eye sockets, lips parted by
  // the mouth, a chin) instead of the gentle default; the bundled sample uses it.
  bool sculpted = false;
  double dotSpacing = 0.011;      // least distance between dot centres, metres
};

struct FaceStereoPair {
  FaceSceneOptions options;
  cv::Mat image1, image2;   // 8-bit BGR
  double f1 = 0.0, f2 = 0.0;
  Matrix3 R = Matrix3::Identity();
  Vector3 t = Vector3::Zero();
  double unitsPerMetre = 0.0;        // scale of the conventional world
  std::vector<Vector3> dots3d;       // dot centres, conventional world
  std::vector<Eigen::Vector2d> dots1, dots2;  // their projections, 0-based pixels
  cv::Mat world1;   // CV_64FC3: conventional world point seen at each pixel of image 1
  cv::Mat depth2;   // CV_64F: camera-2 depth seen at each pixel of image 2 (conventional)

  // The pixel of image 2 that shows the surface point seen at (x1, y1) of image 1, or none
  // when it is hidden from camera 2 or outside either image.
  std::optional<Eigen::Vector2d> TrueCorrespondence(double x1, double y1) const;
  // Fundamental matrix in 0-based pixel coordinates, m1' F m2 = 0, unit 2-norm.
  Matrix3 FundamentalMatrix() const;
  Eigen::Vector2d Project2(const Vector3& world) const;
  // Camera 1's true depth map: per pixel of image 1 the depth (conventional units) of the
  // surface seen there, 0 where it sees nothing (CV_32F).
  cv::Mat Depth1() const;
};

FaceStereoPair RenderFaceStereoPair(const FaceSceneOptions& options = {});

// Puts the images into the cameras as Set Images does (colour, grey copy, whole-image
// region); points are removed.
void LoadFaceImages(const FaceStereoPair& pair, CCamera& camera1, CCamera& camera2);

// The ground truth as JSON (sizes, centres, focal lengths, R, t, F, dots).
std::string FaceTruthJson(const FaceStereoPair& pair, const std::string& caseName);

}  // namespace q3d::test
