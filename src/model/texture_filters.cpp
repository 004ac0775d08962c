#include "model/texture_filters.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "base/error_stack.h"

namespace q3d {

int OddMaskSize(int size) {
  size = std::clamp(size, kMinMaskSize, kMaxMaskSize);
  return size % 2 == 0 ? size + 1 : size;
}

bool GuardedImageStep(const std::function<void()>& step) {
  try {
    step();
    return true;
  } catch (const cv::Exception&) {
  } catch (const std::bad_alloc&) {
  }
  PushImageLibraryError();
  return false;
}

namespace {

bool IsColour8u(const cv::Mat& m) { return !m.empty() && m.type() == CV_8UC3; }

// A region cut out of a larger image would let OpenCV read pixels beyond its edge; the
// filters must see only the region, with its own border replicated.
cv::Mat Isolated(const cv::Mat& m) { return m.isSubmatrix() ? m.clone() : m; }

}  // namespace

bool ApplyMaskFilter(TextureFilterKind kind, const cv::Mat& source, cv::Mat& destination, int size) {
  if (!IsColour8u(source)) return false;
  const int k = OddMaskSize(size);
  return GuardedImageStep([&] {
    const cv::Mat src = Isolated(source);
    cv::Mat result;
    if (kind == TextureFilterKind::Blur)
      cv::blur(src, result, cv::Size(k, k), cv::Point(k / 2, k / 2), cv::BORDER_REPLICATE);
    else
      cv::medianBlur(src, result, k);  // replicates the border; constant time per pixel
    if (destination.size() == result.size() && destination.type() == result.type())
      result.copyTo(destination);  // keeps a caller's view into a larger image
    else
      destination = result;
  });
}

bool ApplySharpen(const cv::Mat& source, cv::Mat& destination) {
  if (!IsColour8u(source)) return false;
  return GuardedImageStep([&] {
    const cv::Mat kernel = (cv::Mat_<float>(3, 3) << -1, -1, -1, -1, 16, -1, -1, -1, -1) / 8.0f;
    cv::Mat result;
    cv::filter2D(Isolated(source), result, -1, kernel, cv::Point(1, 1), 0, cv::BORDER_REPLICATE);
    if (destination.size() == result.size() && destination.type() == result.type())
      result.copyTo(destination);
    else
      destination = result;
  });
}

cv::Mat MakeBrushAlpha() {
  // A spot centred on column 10, half-way between rows 10 and 11, falling off as
  // exp(-d^2 / 18): half opacity about 3.5 pixels out, the corners fully transparent.
  constexpr double kPeak = 252.0;
  constexpr double kCentreX = 10.0;
  constexpr double kCentreY = 10.5;
  cv::Mat alpha(kBrushHeight, kBrushWidth, CV_8UC1);
  for (int y = 0; y < kBrushHeight; ++y)
    for (int x = 0; x < kBrushWidth; ++x) {
      const double d2 = (x - kCentreX) * (x - kCentreX) + (y - kCentreY) * (y - kCentreY);
      alpha.at<uint8_t>(y, x) = static_cast<uint8_t>(kPeak * std::exp(-d2 / 18.0) + 0.5);
    }
  return alpha;
}

Rect BrushRectAt(int x, int y) { return {x - 10, y - 11, x + 11, y + 11}; }

bool RectInside(const Rect& rect, int width, int height) {
  return rect.left >= 0 && rect.top >= 0 && rect.right <= width && rect.bottom <= height &&
         rect.left < rect.right && rect.top < rect.bottom;
}

Rect OffsetRect(const Rect& rect, int dx, int dy) {
  return {rect.left + dx, rect.top + dy, rect.right + dx, rect.bottom + dy};
}

bool StampCloneBrush(cv::Mat& texture, const Rect& source, int x, int y, const cv::Mat& alpha) {
  if (!IsColour8u(texture) || alpha.type() != CV_8UC1 ||
      alpha.size() != cv::Size(kBrushWidth, kBrushHeight))
    return false;
  const Rect destination = BrushRectAt(x, y);
  if (source.right - source.left != kBrushWidth || source.bottom - source.top != kBrushHeight ||
      !RectInside(source, texture.cols, texture.rows) ||
      !RectInside(destination, texture.cols, texture.rows))
    return false;
  // Picked up first: source and destination may overlap.
  const cv::Mat brush =
      texture(cv::Rect(source.left, source.top, kBrushWidth, kBrushHeight)).clone();
  for (int row = 0; row < kBrushHeight; ++row) {
    const uint8_t* a = alpha.ptr<uint8_t>(row);
    const uint8_t* b = brush.ptr<uint8_t>(row);
    uint8_t* t = texture.ptr<uint8_t>(destination.top + row) + 3 * destination.left;
    for (int col = 0; col < kBrushWidth; ++col) {
      const int opacity = a[col];
      for (int c = 0; c < 3; ++c) {
        const int i = 3 * col + c;
        t[i] = static_cast<uint8_t>((b[i] * opacity + t[i] * (255 - opacity) + 127) / 255);
      }
    }
  }
  return true;
}

}  // namespace q3d
