#include "model/retouched_texture.h"

#include <opencv2/imgproc.hpp>

namespace q3d {

void CarryRetouching(const cv::Mat& display, const cv::Mat& pristine, const cv::Rect& displayRegion,
                     const cv::Rect& outRegion, cv::Mat& out) {
  CV_Assert(display.type() == CV_8UC3 && pristine.type() == CV_8UC3 &&
            display.size() == pristine.size() && out.type() == CV_8UC3);
  if (displayRegion.empty() || outRegion.empty() || out.empty()) return;
  cv::Mat difference, changed;
  cv::absdiff(display, pristine, difference);
  cv::transform(difference, changed, cv::Matx13f(1, 1, 1));  // any channel changed
  if (cv::countNonZero(changed) == 0) return;
  cv::Mat weight;
  cv::Mat(changed > 0).convertTo(weight, CV_32F, 1.0 / 255);

  // Each pixel of out at its place in the display texture (pixel centres map onto pixel
  // centres, as the resampling that made both textures does).
  const double outToImageX = static_cast<double>(outRegion.width) / out.cols;
  const double outToImageY = static_cast<double>(outRegion.height) / out.rows;
  const double imageToDisplayX = static_cast<double>(display.cols) / displayRegion.width;
  const double imageToDisplayY = static_cast<double>(display.rows) / displayRegion.height;
  cv::Mat mapX(out.size(), CV_32F), mapY(out.size(), CV_32F);
  for (int u = 0; u < out.cols; ++u) {
    const double x = outRegion.x + (u + 0.5) * outToImageX - 0.5;
    mapX.at<float>(0, u) = static_cast<float>((x - displayRegion.x + 0.5) * imageToDisplayX - 0.5);
  }
  for (int v = 1; v < out.rows; ++v) mapX.row(0).copyTo(mapX.row(v));
  for (int v = 0; v < out.rows; ++v) {
    const double y = outRegion.y + (v + 0.5) * outToImageY - 0.5;
    mapY.row(v).setTo(static_cast<float>((y - displayRegion.y + 0.5) * imageToDisplayY - 0.5));
  }
  cv::Mat retouched, share;
  cv::remap(display, retouched, mapX, mapY, cv::INTER_LINEAR, cv::BORDER_REPLICATE);
  cv::remap(weight, share, mapX, mapY, cv::INTER_LINEAR, cv::BORDER_CONSTANT, 0);
  for (int v = 0; v < out.rows; ++v) {
    const float* w = share.ptr<float>(v);
    const cv::Vec3b* r = retouched.ptr<cv::Vec3b>(v);
    cv::Vec3b* o = out.ptr<cv::Vec3b>(v);
    for (int u = 0; u < out.cols; ++u)
      if (w[u] > 0)
        for (int c = 0; c < 3; ++c)
          o[u][c] = cv::saturate_cast<uchar>(w[u] * r[u][c] + (1 - w[u]) * o[u][c]);
  }
}

}  // namespace q3d
