#pragma once
// Head-scan photograph pairs kept beside the repository: a real head's shape painted with
// make-up dots, with the exact centres of the dots both photographs show, the cameras and
// camera 1's depth map. Used to score automatic matches against the truth.
#include <functional>
#include <opencv2/core.hpp>
#include <optional>
#include <string>
#include <vector>

#include "matching/epipolar_check.h"
#include "numeric/matrix.h"

namespace q3d::test {

struct HeadscanCase {
  std::string dir;
  std::vector<Eigen::Vector2d> dots1, dots2;  // same order: the dots visible in both
  std::vector<Vector3> dots3d;                // camera-1 frame
  double f1 = 0.0, f2 = 0.0;
  Matrix3 R = Matrix3::Identity();
  Vector3 t = Vector3::Zero();
  cv::Size size1, size2;
  double faceWidth = 0.0;
  cv::Mat depth1;  // CV_32F, NaN off the head

  // Where image 2 shows the surface point seen at (x1, y1) of image 1 (occlusion ignored),
  // or none off the head.
  std::optional<Eigen::Vector2d> TrueCorrespondence(double x1, double y1) const;
};

// Reads the case in dir (truth.json, depth1.tiff); none when a file is missing or unreadable.
std::optional<HeadscanCase> LoadHeadscanCase(const std::string& dir);

struct MatchScore {
  int visibleDots = 0;  // dots both images show
  int matchedDots = 0;  // of which matched within 1.5 px of both true centres
  int wrong = 0;        // matches more than 1.5 px off their true partner
  int matches = 0;
  double MatchedShare() const { return visibleDots ? double(matchedDots) / visibleDots : 0.0; }
};

// Scores matches against true dot pairs; a match away from every dot is judged by
// trueCorrespondence when given (skipped where it has none).
MatchScore ScoreMatches(
    const std::vector<Eigen::Vector2d>& dots1, const std::vector<Eigen::Vector2d>& dots2,
    const std::vector<PointPair>& matches,
    const std::function<std::optional<Eigen::Vector2d>(double, double)>& trueCorrespondence);

}  // namespace q3d::test
