#include "matching/dense_matching.h"

#include <algorithm>
#include <cmath>
#include <opencv2/calib3d.hpp>
#include <opencv2/imgproc.hpp>

#include "base/fitting_int.h"
#include "base/progress.h"
#include "matching/dense_filters.h"
#include "matching/dense_refinement.h"
#include "matching/dense_sweep.h"
#include "matching/disparity_prior.h"
#include "matching/dot_footprint.h"
#include "stereo/stereo_pair.h"

namespace q3d {
namespace {

constexpr int kBlockSize = 5;
// Pixels of disparity searched on either side of the dots' interpolation.
constexpr int kResidualRange = 16;
// Disparity slope beyond which the margin is left out: there the head turns away.
constexpr float kMaxMarginSlope = 0.5f;
// Bending allowed to the interpolation of the dots' disparities, whose matches are noisy.
constexpr double kPriorSmoothing = 1e-4;
// Pixels (of the matched level) over which the margin's outline is smoothed at the most.
constexpr int kMaxOutlineRadius = 24;
// Pixels of the margin's outline that the surface gives up.
constexpr int kLooseOutline = 2;
// Pixels beyond a dot's rim that the refinement's correlation windows still see it from.
constexpr double kDotWindowReach = 2.5;

void Report(Progress* progress, int pos) {
  if (progress) progress->SetPos(pos);
}

// The grey image at the pyramid level (each level halves both sides).
cv::Mat GreyLevel(const Image& colour, int level) {
  cv::Mat grey;
  cv::cvtColor(colour.Mat(), grey, cv::COLOR_BGR2GRAY);
  for (int i = 0; i < level; ++i) cv::pyrDown(grey, grey);
  return grey;
}

// Local contrast equalised, so that the skin's texture in shadow matches as well as in light.
cv::Mat Equalised(const cv::Mat& grey) {
  cv::Mat out;
  cv::createCLAHE(3.0, cv::Size(8, 8))->apply(grey, out);
  return out;
}

// Disparities of the right image against the left (x_left = x_right + d), by matching the
// mirrored pair.
cv::Mat RightDisparity(cv::StereoSGBM& sgbm, const cv::Mat& left, const cv::Mat& right,
                       int minDisparity) {
  cv::Mat leftFlipped, rightFlipped, fixedPoint;
  cv::flip(left, leftFlipped, 1);
  cv::flip(right, rightFlipped, 1);
  sgbm.compute(rightFlipped, leftFlipped, fixedPoint);
  cv::flip(fixedPoint, fixedPoint, 1);
  return ToFloatDisparity(fixedPoint, minDisparity);
}

}  // namespace

std::optional<cv::Point2d> DenseDisparity::Match(const cv::Point2d& p1) const {
  const cv::Point2d r = rect.ToRectified1(p1);
  const std::optional<int> column = FittingInt(std::floor(r.x)), row = FittingInt(std::floor(r.y));
  if (!column || !row) return std::nullopt;
  const int x = *column, y = *row;
  if (x < 0 || y < 0 || x + 1 >= disparity.cols || y + 1 >= disparity.rows) return std::nullopt;
  const float a = disparity.at<float>(y, x), b = disparity.at<float>(y, x + 1);
  const float c = disparity.at<float>(y + 1, x), d = disparity.at<float>(y + 1, x + 1);
  if (std::isnan(a) || std::isnan(b) || std::isnan(c) || std::isnan(d)) return std::nullopt;
  const double fx = r.x - x, fy = r.y - y;
  const double disp = (1 - fy) * ((1 - fx) * a + fx * b) + fy * ((1 - fx) * c + fx * d);
  return rect.FromRectified2({r.x - disp, r.y});
}

Status MatchDense(const CStereoPair& pair, const DenseMatchParams& params, Progress* progress,
                  DenseDisparity& out) {
  const RectifyingGeometry geometry = RectifyingGeometryOf(pair);
  if (!geometry.valid)
    return Status::Fail("The pair has no render to match along: render it first.");
  const CCamera& camera1 = *pair.m_camera1;
  const CCamera& camera2 = *pair.m_camera2;
  if (!camera1.HasImage() || !camera2.HasImage() || camera1.m_image.Channels() != 3 ||
      camera2.m_image.Channels() != 3 || camera1.m_image.Depth() != 8 ||
      camera2.m_image.Depth() != 8) {
    return Status::Fail("Dense matching needs both colour images.");
  }
  Matrix matches;
  pair.m_matches.ToMatrix(matches);
  if (matches.rows() < 3) return Status::Fail("Dense matching needs at least three matches.");

  // The region: the hull of image 1's matched points widened by the margin.
  std::vector<cv::Point2f> points1, hull;
  for (Eigen::Index i = 0; i < matches.rows(); ++i)
    points1.emplace_back(static_cast<float>(matches(i, 0) - 1),
                         static_cast<float>(matches(i, 1) - 1));
  cv::convexHull(points1, hull);
  const cv::Rect hullBox = cv::boundingRect(hull);
  const int margin =
      static_cast<int>(std::ceil(params.hullMargin * std::max(hullBox.width, hullBox.height)));
  const cv::Rect image1(0, 0, camera1.Width(), camera1.Height());
  const cv::Rect region = cv::Rect(hullBox.x - margin, hullBox.y - margin,
                                   hullBox.width + 2 * margin, hullBox.height + 2 * margin) &
                          image1;
  if (region.area() == 0) return Status::Fail("The matches of image 1 enclose no region to match.");

  int level = 0;
  while (std::max(region.width, region.height) >> level > params.maxWorkingSide) ++level;

  // The dots' disparities bound the search and guide the result.
  auto dotDisparities = [&](const Rectification& rect) {
    std::vector<DisparityGuide> guides;
    for (Eigen::Index i = 0; i < matches.rows(); ++i) {
      const cv::Point2d r1 = rect.ToRectified1({matches(i, 0) - 1, matches(i, 1) - 1});
      const cv::Point2d r2 = rect.ToRectified2({matches(i, 2) - 1, matches(i, 3) - 1});
      guides.push_back({cv::Point2f(r1), static_cast<float>(r1.x - r2.x)});
    }
    return guides;
  };
  float dMin = 1e30f, dMax = -1e30f;
  for (const DisparityGuide& guide :
       dotDisparities(MakeRectification(geometry, region, level, 0, 0))) {
    dMin = std::min(dMin, guide.disparity);
    dMax = std::max(dMax, guide.disparity);
  }
  if (!std::isfinite(dMin) || !std::isfinite(dMax))
    return Status::Fail("The render's cameras cannot be rectified around the matches.");
  const float pad = 0.1f * (dMax - dMin) + 4;
  const double minDisparity = std::floor(dMin - pad);
  const double spread = std::ceil(dMax + pad - minDisparity);
  if (!(spread <= 4096))
    return Status::Fail("The matches' disparities are too spread to match densely.");
  const int range = (static_cast<int>(spread) + 15) / 16 * 16;
  out.rect = MakeRectification(geometry, region, level, minDisparity, range + kBlockSize);
  // A rectified frame far larger than the image means rays nearly along the baseline.
  const double levelArea =
      static_cast<double>(camera1.Width() >> level) * (camera1.Height() >> level);
  if (out.rect.size.width <= 0 || out.rect.size.height <= 0 ||
      static_cast<double>(out.rect.size.width) * out.rect.size.height > 16 * levelArea)
    return Status::Fail("The render's cameras cannot be rectified around the matches.");
  out.bounds1 = region;
  const std::vector<DisparityGuide> guides = dotDisparities(out.rect);
  Report(progress, 5);

  const cv::Mat leftGrey =
      WarpToRectified(GreyLevel(camera1.m_image, level), out.rect.H1, level, out.rect.size);
  const cv::Mat rightGrey =
      WarpToRectified(GreyLevel(camera2.m_image, level), out.rect.H2, level, out.rect.size);
  const cv::Mat left = Equalised(leftGrey), right = Equalised(rightGrey);
  // The region in the rectified frame.
  std::vector<cv::Point> outline;
  cv::Mat regionMask(out.rect.size, CV_8U, cv::Scalar(0));
  for (const cv::Point2f& p : hull) outline.push_back(out.rect.ToRectified1(p));
  cv::fillConvexPoly(regionMask, outline, cv::Scalar(255));
  const cv::Mat hullMask = regionMask.clone();
  const int marginLevel = std::max(1, margin >> level);
  cv::dilate(regionMask, regionMask,
             cv::getStructuringElement(cv::MORPH_ELLIPSE,
                                       cv::Size(2 * marginLevel + 1, 2 * marginLevel + 1)));
  Report(progress, 15);
  if (ShouldCancel(progress)) return Cancelled();

  // Semi-global matching searches only a small range around the dots' interpolation:
  // image 2 is first warped by it, so the search finds what the dots leave unexplained.
  const cv::Mat prior = InterpolateGuides(guides, out.rect.size, kPriorSmoothing);
  const cv::Mat rightWarped = Equalised(WarpByDisparity(rightGrey, prior));
  const cv::Ptr<cv::StereoSGBM> sgbm = cv::StereoSGBM::create(
      -kResidualRange, 2 * kResidualRange, kBlockSize, 8 * kBlockSize * kBlockSize,
      32 * kBlockSize * kBlockSize, -1, 31, 15, 0, 0, cv::StereoSGBM::MODE_SGBM_3WAY);
  cv::Mat fixedPoint;
  sgbm->compute(left, rightWarped, fixedPoint);
  // Speckles: patches under 1/1000 of the region that differ by more than a pixel.
  const int regionArea = cv::countNonZero(regionMask);
  cv::filterSpeckles(fixedPoint, static_cast<double>(-kResidualRange - 1) * 16,
                     std::max(50, regionArea / 1000), 16);
  cv::Mat disparity = ToFloatDisparity(fixedPoint, -kResidualRange);
  Report(progress, 45);
  if (ShouldCancel(progress)) return Cancelled();
  KeepLeftRightConsistent(disparity, RightDisparity(*sgbm, left, rightWarped, -kResidualRange),
                          1.0f);
  disparity += prior;
  disparity.setTo(std::numeric_limits<float>::quiet_NaN(), regionMask == 0);
  Report(progress, 70);
  if (ShouldCancel(progress)) return Cancelled();
  // What the photographs do not both show, or show too faintly to match, continues its
  // surroundings; the refinement then aligns the photographs everywhere else.
  cv::Mat reliable = MatchedMask(disparity);
  // The outline is smoothed at the margin's own width, so that teeth and notches narrower
  // than the margin go; within a bound, as the smoothing's work grows with its square.
  const int outlineRadius = std::clamp(marginLevel, 2, kMaxOutlineRadius);
  cv::Mat extent = SurfaceExtent(reliable, hullMask, regionMask, outlineRadius);
  disparity.setTo(std::numeric_limits<float>::quiet_NaN(), extent == 0);
  FillFromSurroundings(disparity, extent, prior);
  // Semi-global matching's fronto-parallel windows go astray on steep skin beside the nose,
  // by more pixels than the refinement reaches: a sweep with windows that follow the
  // surface's slant brings those pixels back. The margin keeps what it matched, as the head
  // turning away there correlates poorly. The left-right check above fails on much of that
  // steep skin: where the slanted windows found a match, the refinement trusts it too.
  const SweptDisparity swept = SweepAroundSurface(disparity, extent, leftGrey, rightGrey);
  const cv::Mat sweptInside = hullMask & extent;
  swept.disparity.copyTo(disparity, sweptInside);
  reliable |= swept.matched & sweptInside;
  // Windows on a dot's rim follow the dot's outline, not the skin: the skin around carries them.
  std::vector<cv::Point2f> dotCentres;
  for (const DisparityGuide& guide : guides) dotCentres.push_back(guide.position);
  const cv::Mat dots = DotFootprints(leftGrey, dotCentres, kDotWindowReach);
  if (!RegulariseDisparity(disparity, extent, reliable, dots, prior, leftGrey, rightGrey, {},
                           {progress, 75, 95}))
    return Cancelled();
  Report(progress, 95);
  // The margin ends where the head turns away from the cameras, with a smooth outline.
  ClearSteepMargin(disparity, hullMask, kMaxMarginSlope);
  extent = SurfaceExtent(MatchedMask(disparity), hullMask, regionMask, outlineRadius);
  disparity.setTo(std::numeric_limits<float>::quiet_NaN(), extent == 0);
  FillFromSurroundings(disparity, extent, prior);
  // The outermost pixels of the margin have half their neighbours missing, so neither the
  // matching nor the smoothing holds them: the outline gives them up.
  cv::Mat held;
  cv::erode(extent, held,
            cv::getStructuringElement(cv::MORPH_ELLIPSE,
                                      cv::Size(2 * kLooseOutline + 1, 2 * kLooseOutline + 1)));
  disparity.setTo(std::numeric_limits<float>::quiet_NaN(), (held | (hullMask & extent)) == 0);
  out.coverage = regionArea > 0 ? cv::countNonZero(MatchedMask(disparity) & regionMask) /
                                      static_cast<double>(regionArea)
                                : 0.0;
  out.disparity = disparity;
  Report(progress, 100);
  return Status::Ok();
}

}  // namespace q3d
