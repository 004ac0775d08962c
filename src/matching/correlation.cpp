#include "matching/correlation.h"

#include <algorithm>
#include <cmath>

namespace q3d {
namespace {

// Bilinear grey value; the caller keeps (x, y) inside [0, cols - 1] x [0, rows - 1].
float Bilinear(const cv::Mat& grey, double x, double y) {
  const int x0 = std::min(static_cast<int>(x), grey.cols - 2);
  const int y0 = std::min(static_cast<int>(y), grey.rows - 2);
  const float fx = static_cast<float>(x - x0);
  const float fy = static_cast<float>(y - y0);
  const float* r0 = grey.ptr<float>(y0);
  const float* r1 = grey.ptr<float>(y0 + 1);
  const float top = r0[x0] + fx * (r0[x0 + 1] - r0[x0]);
  const float bottom = r1[x0] + fx * (r1[x0 + 1] - r1[x0]);
  return top + fy * (bottom - top);
}

// Fills one row; false when the window leaves the image or is flat.
bool SampleOne(const cv::Mat& grey, double x, double y, const CorrelationWindow& window,
               float* out) {
  const double halfW = 0.5 * (window.width - 1) * window.step;
  const double halfH = 0.5 * (window.height - 1) * window.step;
  if (!(x - halfW >= 0.0 && y - halfH >= 0.0 && x + halfW <= grey.cols - 1 &&
        y + halfH <= grey.rows - 1))
    return false;
  const double hole2 = window.holeRadius * window.holeRadius;
  double sum = 0.0;
  int count = 0;
  std::vector<char> inside(static_cast<size_t>(window.width) * window.height, 1);
  for (int j = 0; j < window.height; ++j) {
    const double dy = j * window.step - halfH;
    for (int i = 0; i < window.width; ++i) {
      const double dx = i * window.step - halfW;
      const size_t k = static_cast<size_t>(j) * window.width + i;
      if (dx * dx + dy * dy < hole2) {
        inside[k] = 0;
        out[k] = 0.0f;
        continue;
      }
      out[k] = Bilinear(grey, x + dx, y + dy);
      sum += out[k];
      ++count;
    }
  }
  if (count < 2) return false;
  const float mean = static_cast<float>(sum / count);
  double norm2 = 0.0;
  for (size_t k = 0; k < inside.size(); ++k)
    if (inside[k]) {
      out[k] -= mean;
      norm2 += static_cast<double>(out[k]) * out[k];
    }
  // Flat windows (less than a hundredth of a grey level of variation) say nothing.
  if (!(norm2 > 1e-4 * count)) return false;
  const float scale = static_cast<float>(1.0 / std::sqrt(norm2));
  for (size_t k = 0; k < inside.size(); ++k) out[k] *= scale;
  return true;
}

}  // namespace

WindowSamples SampleWindows(const cv::Mat& grey, const FeatureList& features,
                            const CorrelationWindow& window) {
  WindowSamples samples;
  const int size = std::max(window.width, 1) * std::max(window.height, 1);
  samples.rows = cv::Mat::zeros(static_cast<int>(features.size()), size, CV_32F);
  samples.valid.assign(features.size(), 0);
  CorrelationWindow w = window;
  w.width = std::max(w.width, 1);
  w.height = std::max(w.height, 1);
  if (grey.cols < 2 || grey.rows < 2) return samples;
  for (size_t i = 0; i < features.size(); ++i)
    samples.valid[i] = SampleOne(grey, features[i].x, features[i].y, w,
                                 samples.rows.ptr<float>(static_cast<int>(i)));
  return samples;
}

double Correlation(const WindowSamples& a, int i, const WindowSamples& b, int j) {
  if (!a.valid[static_cast<size_t>(i)] || !b.valid[static_cast<size_t>(j)]) return -1.0;
  const float* p = a.rows.ptr<float>(i);
  const float* q = b.rows.ptr<float>(j);
  float dot = 0.0f;
  for (int k = 0; k < a.rows.cols; ++k) dot += p[k] * q[k];
  return dot;
}

}  // namespace q3d
