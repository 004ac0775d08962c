#include "matching/disparity_prior.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>

namespace q3d {
namespace {

// The thin-plate kernel r^2 log r, written on the squared distance.
double Kernel(double r2) { return r2 > 0 ? 0.5 * r2 * std::log(r2) : 0.0; }

// The spline is smooth: it is evaluated on a grid of this step and interpolated between.
constexpr int kEvaluationStep = 4;

}  // namespace

cv::Mat InterpolateGuides(const std::vector<DisparityGuide>& guides, const cv::Size& size,
                          double smoothing) {
  const auto n = static_cast<Eigen::Index>(guides.size());
  if (n < 3) {
    double mean = 0;
    for (const DisparityGuide& g : guides) mean += g.disparity;
    return cv::Mat(size, CV_32F, cv::Scalar(n > 0 ? mean / static_cast<double>(n) : 0.0));
  }
  // Coordinates scaled to about unit extent keep the system well conditioned.
  const double scale = 1.0 / std::max({size.width, size.height, 1});
  Eigen::MatrixXd system = Eigen::MatrixXd::Zero(n + 3, n + 3);
  Eigen::VectorXd rhs = Eigen::VectorXd::Zero(n + 3);
  for (Eigen::Index i = 0; i < n; ++i) {
    const cv::Point2f& p = guides[static_cast<size_t>(i)].position;
    for (Eigen::Index j = 0; j < n; ++j) {
      const cv::Point2f v = p - guides[static_cast<size_t>(j)].position;
      system(i, j) = Kernel(scale * scale * v.dot(v));
    }
    system(i, i) += smoothing;
    system.block(i, n, 1, 3) << 1, scale * p.x, scale * p.y;
    system.block(n, i, 3, 1) << 1, scale * p.x, scale * p.y;
    rhs(i) = guides[static_cast<size_t>(i)].disparity;
  }
  const Eigen::VectorXd c = system.fullPivLu().solve(rhs);

  const cv::Size grid((size.width + kEvaluationStep - 1) / kEvaluationStep + 1,
                      (size.height + kEvaluationStep - 1) / kEvaluationStep + 1);
  cv::Mat coarse(grid, CV_32F);
  for (int gy = 0; gy < grid.height; ++gy)
    for (int gx = 0; gx < grid.width; ++gx) {
      const double x = scale * gx * kEvaluationStep, y = scale * gy * kEvaluationStep;
      double value = c(n) + c(n + 1) * x + c(n + 2) * y;
      for (Eigen::Index i = 0; i < n; ++i) {
        const cv::Point2f& p = guides[static_cast<size_t>(i)].position;
        const double dx = x - scale * p.x, dy = y - scale * p.y;
        value += c(i) * Kernel(dx * dx + dy * dy);
      }
      coarse.at<float>(gy, gx) = static_cast<float>(value);
    }
  // Grid node k sits on pixel k * step: a linear map of the node grid onto the pixels.
  const cv::Matx23d toPixels(1.0 / kEvaluationStep, 0, 0, 0, 1.0 / kEvaluationStep, 0);
  cv::Mat out;
  cv::warpAffine(coarse, out, cv::Mat(toPixels), size, cv::INTER_LINEAR | cv::WARP_INVERSE_MAP,
                 cv::BORDER_REPLICATE);
  return out;
}

cv::Mat WarpByDisparity(const cv::Mat& right, const cv::Mat& disparity) {
  cv::Mat mapX(disparity.size(), CV_32F), mapY(disparity.size(), CV_32F);
  for (int y = 0; y < disparity.rows; ++y)
    for (int x = 0; x < disparity.cols; ++x) {
      mapX.at<float>(y, x) = static_cast<float>(x) - disparity.at<float>(y, x);
      mapY.at<float>(y, x) = static_cast<float>(y);
    }
  cv::Mat out;  // cubic, as the rectification: the fine texture keeps its sharpness
  cv::remap(right, out, mapX, mapY, cv::INTER_CUBIC, cv::BORDER_REPLICATE);
  return out;
}

}  // namespace q3d
