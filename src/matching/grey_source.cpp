#include "matching/grey_source.h"

#include <opencv2/imgproc.hpp>

namespace q3d {

cv::Mat CameraGrey(const CCamera& camera) {
  cv::Mat grey;
  if (camera.m_gray.HasData() && camera.m_gray.Width() == camera.Width() &&
      camera.m_gray.Height() == camera.Height()) {
    cv::extractChannel(camera.m_gray.Mat(), grey, 0);
  } else if (camera.m_image.HasData()) {
    cv::cvtColor(camera.m_image.Mat(), grey, cv::COLOR_BGR2GRAY);
  }
  return grey;
}

cv::Rect FeatureArea(const CCamera& camera) {
  const cv::Rect whole(0, 0, camera.Width(), camera.Height());
  const IplROI& roi = camera.m_roi;
  const cv::Rect clipped = cv::Rect(roi.xOffset, roi.yOffset, roi.width, roi.height) & whole;
  return clipped.area() > 0 ? clipped : whole;
}

}  // namespace q3d
