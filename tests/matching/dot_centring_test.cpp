// Automatic matching's dots are centred as precisely as hand-placed points.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <opencv2/imgproc.hpp>

#include "matching/marker_dots.h"
#include "support/synthetic_face.h"

namespace q3d {
namespace {

// Distances of the detected dots from the true centres they lie on (within a pixel).
std::vector<double> ErrorsOfDetectedDots(const cv::Mat& grey, const test::FaceStereoPair& truth,
                                         DotCentring centring) {
  DotOptions options;
  options.centring = centring;
  FeatureList dots;
  EXPECT_EQ(DetectMarkerDots(grey, cv::Rect(0, 0, grey.cols, grey.rows), options, dots), 1);
  std::vector<double> errors;
  for (const Feature& dot : dots) {
    double nearest = 1.0;
    for (const Eigen::Vector2d& d : truth.dots1)
      nearest = std::min(nearest, std::hypot(dot.x - d.x(), dot.y - d.y()));
    if (nearest < 1.0) errors.push_back(nearest);
  }
  std::sort(errors.begin(), errors.end());
  return errors;
}

TEST(AutomaticMatchingDots, PreciseCentresAreLessThanHalfAsFarFromTheTruthAsPlainOnes) {
  test::FaceSceneOptions options;
  options.width = 640;
  options.height = 480;
  options.noiseSigma = 2.0;
  const test::FaceStereoPair truth = test::RenderFaceStereoPair(options);
  cv::Mat grey;
  cv::cvtColor(truth.image1, grey, cv::COLOR_BGR2GRAY);
  cv::GaussianBlur(grey, grey, cv::Size(), 0.7);
  const std::vector<double> plain = ErrorsOfDetectedDots(grey, truth, DotCentring::kPlain);
  const std::vector<double> precise = ErrorsOfDetectedDots(grey, truth, DotCentring::kPrecise);
  ASSERT_GE(plain.size(), 50u);
  ASSERT_EQ(precise.size(), plain.size());
  const double plainMedian = plain[plain.size() / 2];
  const double preciseMedian = precise[precise.size() / 2];
  std::printf("dots %zu  median error: plain %.3f px, precise %.3f px\n", plain.size(), plainMedian,
              preciseMedian);
  EXPECT_LT(preciseMedian, plainMedian / 2);
}

}  // namespace
}  // namespace q3d
