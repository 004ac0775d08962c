#pragma once
// Regularised refinement of a dense disparity map: the disparities that best align the two
// photographs (a robust, windowed intensity term) while bending as little as the face allows
// (a penalty on the disparity's second derivatives), found jointly for all pixels by a few
// Gauss-Newton rounds, each a sparse linear system solved by conjugate gradients. The
// matching noise that a pixel-by-pixel alignment follows is removed instead, and pixels
// without a trustworthy match take the smooth continuation of their surroundings.
#include <opencv2/core.hpp>

#include "base/progress.h"

namespace q3d {

// Grey levels added to every window's spread when the photographs are correlated (which
// takes out their differences in brightness and contrast): where the skin shows almost no
// texture, its noise must not be magnified into a match.
inline constexpr float kSpreadFloor = 2.0f;

// The mean of `image` (CV_32F) over a Gaussian window of `sigma` pixels around each pixel.
cv::Mat WindowMean(const cv::Mat& image, double sigma);

// The spread of `image` (CV_32F) over a Gaussian window of `sigma` pixels around each pixel,
// `mean` being its window mean, with kSpreadFloor added in quadrature.
cv::Mat WindowSpread(const cv::Mat& image, const cv::Mat& mean, double sigma);

struct RegularisationParams {
  int rounds = 6;
  // Pixels: the Gaussian window of the intensity term's correlation; a narrow one keeps the
  // skin's fine texture and drops the shading.
  double windowSigma = 1.5;
  double smoothness = 12.0;  // weight of the bending penalty against the intensity term
  // Grey levels per pixel of image 1's slope at which the bending penalty has halved: the
  // face's creases (the mouth, the sides of the nose, the eyelids) show as shading edges, and
  // the surface may fold there.
  double creaseEdge = 3.0;
  // Disparity slope (pixels per pixel) beyond which the bending penalty fades, so that the
  // steep sides of the nose keep their shape.
  double steepSlope = 0.3;
  double priorWeight = 1e-5;  // pull towards the dots' interpolation, for pixels with no data
  float maxStep = 5.0f;       // pixels a disparity may move per round
};

// The stretch of a progress bar that the rounds move through, one step per round.
struct RoundsProgress {
  Progress* progress = nullptr;
  int from = 0, to = 100;
};

// disparity: CV_32F in rectified image 1, a value at every pixel of `region` (CV_8U,
// non-zero inside); `reliable` (CV_8U) marks the pixels whose match may be trusted, the
// others follow their surroundings. `dots` (CV_8U, or empty) marks the painted dots'
// footprints: they follow their surroundings too, and their outlines are no creases of the
// face. prior: the dots' disparity field. left, right: the rectified grey images
// (x2 = x1 - d). Returns false, with `disparity` as it was, when a cancel is requested
// part-way.
[[nodiscard]] bool RegulariseDisparity(cv::Mat& disparity, const cv::Mat& region,
                                       const cv::Mat& reliable, const cv::Mat& dots,
                                       const cv::Mat& prior, const cv::Mat& left,
                                       const cv::Mat& right,
                                       const RegularisationParams& params = {},
                                       const RoundsProgress& report = {});

// Gives every pixel of `region` that has no disparity one continued from its matched
// surroundings: the difference from `prior` spread outwards at growing scales.
void FillFromSurroundings(cv::Mat& disparity, const cv::Mat& region, const cv::Mat& prior);

}  // namespace q3d
