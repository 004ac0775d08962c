#pragma once
// Rectification of a rendered pair for dense matching: both images turned by homographies
// so that corresponding points lie on the same row, taken from the render's calibration
// and pose. Both rectified views share one rotation and one calibration, so a point's
// disparity (x1 - x2 in rectified pixels) is positive in front of the cameras.
#include <opencv2/core.hpp>

namespace q3d {

class CStereoPair;

struct Rectification {
  // Full-resolution 0-based pixel of image i -> rectified pixel (homogeneous).
  cv::Matx33d H1, H2;
  cv::Size size;  // size of both rectified images
  int level = 0;  // pyramid level the rectified images are sampled from (scale 2^-level)

  cv::Point2d ToRectified1(const cv::Point2d& p) const { return Apply(H1, p); }
  cv::Point2d ToRectified2(const cv::Point2d& p) const { return Apply(H2, p); }
  cv::Point2d FromRectified2(const cv::Point2d& r) const { return Apply(H2.inv(), r); }
  static cv::Point2d Apply(const cv::Matx33d& H, const cv::Point2d& p);
};

// The rotation shared by both rectified views and the cameras' pixel-to-direction maps,
// from the pair's stored calibration (A1, A2), pose (R1, t1, Rcam, t) and image sizes.
struct RectifyingGeometry {
  cv::Matx33d toRectified1;  // full-resolution pixel of image 1 -> rectified direction
  cv::Matx33d toRectified2;
  double focal1 = 0;  // camera 1's focal length in pixels
  bool valid = false;
};
RectifyingGeometry RectifyingGeometryOf(const CStereoPair& pair);

// Homographies onto a rectified frame at pyramid `level` whose row range covers image 1's
// `region1` (full-resolution pixels) and whose columns cover that region plus `pad` columns
// on both sides (pad at least the disparity range). minDisparity is subtracted from image
// 2's columns, so rectified disparities start at 0.
Rectification MakeRectification(const RectifyingGeometry& geometry, const cv::Rect& region1,
                                int level, double minDisparity, int pad);

// Samples a full-resolution image through the pyramid level into the rectified frame.
cv::Mat WarpToRectified(const cv::Mat& levelImage, const cv::Matx33d& H, int level,
                        const cv::Size& size);

}  // namespace q3d
