#include "matching/dense_rectification.h"

#include <cmath>
#include <opencv2/imgproc.hpp>

#include "base/fitting_int.h"
#include "stereo/stereo_pair.h"

namespace q3d {
namespace {

bool IsShaped(const Matrix& m, Eigen::Index rows, Eigen::Index cols) {
  return m.rows() == rows && m.cols() == cols && m.allFinite();
}

cv::Matx33d ToCv(const Matrix& m) {
  cv::Matx33d out;
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) out(r, c) = m(r, c);
  return out;
}

cv::Vec3d ToVec3(const Matrix& v) { return {v(0), v(1), v(2)}; }

// 0-based pixel -> direction in the camera's frame, with the render's conventions:
// coordinates centred on (floor(W/2), floor(H/2)) and the calibration A applied to them.
cv::Matx33d PixelToDirection(const Matrix& A, int width, int height) {
  const double cx = width / 2 + A(0, 2), cy = height / 2 + A(1, 2);
  return {1 / A(0, 0), 0, -cx / A(0, 0), 0, 1 / A(1, 1), -cy / A(1, 1), 0, 0, 1};
}

cv::Matx33d Scale(double s) { return {s, 0, 0, 0, s, 0, 0, 0, 1}; }
cv::Matx33d Shift(double dx, double dy) { return {1, 0, dx, 0, 1, dy, 0, 0, 1}; }

}  // namespace

cv::Point2d Rectification::Apply(const cv::Matx33d& H, const cv::Point2d& p) {
  const cv::Vec3d q = H * cv::Vec3d(p.x, p.y, 1);
  return {q[0] / q[2], q[1] / q[2]};
}

RectifyingGeometry RectifyingGeometryOf(const CStereoPair& pair) {
  RectifyingGeometry g;
  if (!pair.m_camera1 || !pair.m_camera2 || !IsShaped(pair.m_A1, 3, 3) ||
      !IsShaped(pair.m_A2, 3, 3) || !IsShaped(pair.m_R1, 3, 3) || !IsShaped(pair.m_t1, 3, 1) ||
      !IsShaped(pair.m_Rcam, 3, 3) || !IsShaped(pair.m_t, 3, 1) || pair.m_A1(0, 0) == 0 ||
      pair.m_A1(1, 1) == 0 || pair.m_A2(0, 0) == 0 || pair.m_A2(1, 1) == 0) {
    return g;
  }
  const cv::Matx33d R1 = ToCv(pair.m_R1), R2 = ToCv(pair.m_Rcam);
  const cv::Vec3d baseline = ToVec3(pair.m_t) - ToVec3(pair.m_t1);
  if (cv::norm(baseline) == 0) return g;
  // x along the baseline; z the mean viewing direction made perpendicular to it.
  const cv::Vec3d x = cv::normalize(baseline);
  const cv::Vec3d axis1 = R1 * cv::Vec3d(0, 0, 1), axis2 = R2 * cv::Vec3d(0, 0, 1);
  cv::Vec3d z = axis1 + axis2;
  z -= z.dot(x) * x;
  if (cv::norm(z) < 1e-9) return g;
  z = cv::normalize(z);
  const cv::Vec3d y = z.cross(x);
  const cv::Matx33d worldToRectified(x[0], x[1], x[2], y[0], y[1], y[2], z[0], z[1], z[2]);
  g.toRectified1 = worldToRectified * R1 *
                   PixelToDirection(pair.m_A1, pair.m_camera1->Width(), pair.m_camera1->Height());
  g.toRectified2 = worldToRectified * R2 *
                   PixelToDirection(pair.m_A2, pair.m_camera2->Width(), pair.m_camera2->Height());
  g.focal1 = std::abs(pair.m_A1(0, 0));
  g.valid = true;
  return g;
}

Rectification MakeRectification(const RectifyingGeometry& geometry, const cv::Rect& region1,
                                int level, double minDisparity, int pad) {
  const double f = geometry.focal1 / (1 << level);
  const cv::Matx33d K(f, 0, 0, 0, f, 0, 0, 0, 1);
  const cv::Matx33d H1 = K * geometry.toRectified1;
  // Bounds of the region's corners in the rectified frame.
  double xMin = 1e300, xMax = -1e300, yMin = 1e300, yMax = -1e300;
  for (const cv::Point2d corner :
       {cv::Point2d(region1.x, region1.y), cv::Point2d(region1.br().x, region1.y),
        cv::Point2d(region1.x, region1.br().y), cv::Point2d(region1.br().x, region1.br().y)}) {
    const cv::Point2d r = Rectification::Apply(H1, corner);
    xMin = std::min(xMin, r.x);
    xMax = std::max(xMax, r.x);
    yMin = std::min(yMin, r.y);
    yMax = std::max(yMax, r.y);
  }
  const double left = std::floor(xMin) - pad, top = std::floor(yMin) - 1;
  Rectification rect;
  rect.level = level;
  rect.H1 = Shift(-left, -top) * H1;
  rect.H2 = Shift(-left + minDisparity, -top) * K * geometry.toRectified2;
  // Cameras whose rays run almost along the baseline spread the region beyond any image:
  // such a frame stays empty and is refused.
  const std::optional<int> width = FittingInt(std::ceil(xMax) - left + pad + 1);
  const std::optional<int> height = FittingInt(std::ceil(yMax) - top + 2);
  if (width && height) rect.size = cv::Size(*width, *height);
  return rect;
}

cv::Mat WarpToRectified(const cv::Mat& levelImage, const cv::Matx33d& H, int level,
                        const cv::Size& size) {
  // Rectified pixel -> full-resolution pixel -> pixel of the pyramid level (a level pixel
  // is centred on full-resolution pixel 2^level times its index).
  const cv::Matx33d toLevel = Scale(1.0 / (1 << level)) * H.inv();
  // Lanczos: linear sampling blurs each pixel by an amount that varies with its sub-pixel
  // position, and the matching reads the skin's fine texture, blurred differently in the two
  // photographs, as a shift; cubic sampling still softens that texture, which is what the
  // matching lives on.
  cv::Mat out;
  cv::warpPerspective(levelImage, out, cv::Mat(toLevel), size,
                      cv::INTER_LANCZOS4 | cv::WARP_INVERSE_MAP, cv::BORDER_CONSTANT);
  return out;
}

}  // namespace q3d
