#include "model/texture_filters.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "base/error_stack.h"

namespace q3d {
namespace {

int OddMaskSize(int size) {
  size = std::clamp(size, kMinMaskSize, kMaxMaskSize);
  return size % 2 == 0 ? size + 1 : size;
}

bool IsColour8u(const cv::Mat& m) { return !m.empty() && m.type() == CV_8UC3; }

// A region cut out of a larger image would let OpenCV read pixels beyond its edge; the
// filters must see only the region, with its own border replicated.
cv::Mat Isolated(const cv::Mat& m) { return m.isSubmatrix() ? m.clone() : m; }

// Runs one OpenCV step; a library failure (out of memory included) becomes the image
// library's error record and a false result instead of an exception.
template <typename Step>
bool Guarded(Step step) {
  try {
    step();
    return true;
  } catch (const cv::Exception&) {
  } catch (const std::bad_alloc&) {
  }
  PushImageLibraryError();
  return false;
}

}  // namespace

bool ApplyMaskFilter(TextureFilterKind kind, const cv::Mat& source, cv::Mat& destination, int size) {
  if (!IsColour8u(source)) return false;
  const int k = OddMaskSize(size);
  return Guarded([&] {
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
  return Guarded([&] {
    const cv::Mat kernel = (cv::Mat_<float>(3, 3) << -1, -1, -1, -1, 16, -1, -1, -1, -1) / 8.0f;
    cv::Mat result;
    cv::filter2D(Isolated(source), result, -1, kernel, cv::Point(1, 1), 0, cv::BORDER_REPLICATE);
    if (destination.size() == result.size() && destination.type() == result.type())
      result.copyTo(destination);
    else
      destination = result;
  });
}

bool MakeupCleaner::Prepare(cv::Mat target) {
  Reset();
  if (!IsColour8u(target)) return false;
  if (!Guarded([&] { cv::cvtColor(target, gray_, cv::COLOR_BGR2GRAY); })) return false;
  target_ = target;
  return true;
}

bool MakeupCleaner::Apply(int threshold, int maximum, int median) {
  if (target_.empty()) return false;
  threshold = std::clamp(threshold, 0, 255);
  const int window = OddMaskSize(median);
  if (!UpdateSkinLevel(window)) return false;
  bool anyMarked = false;
  const int m = std::clamp(maximum, 1, kMaxMaskSize);
  const bool grown = Guarded([&] {
    // The threshold holds for skin of the region's typical brightness and follows the
    // skin around each pixel: in a shadow, dots are darker than the shadowed skin only.
    cv::Mat limit;
    skin_.convertTo(limit, CV_32F, threshold / typicalSkin_);
    cv::Mat grey;
    gray_.convertTo(grey, CV_32F);
    cv::compare(grey, limit, mask_, cv::CMP_LT);
    anyMarked = cv::countNonZero(mask_) > 0;
    if (!anyMarked) return;
    const cv::Mat grow = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(m, m));
    cv::dilate(mask_, mask_, grow, cv::Point(m / 2, m / 2), 1, cv::BORDER_REPLICATE);
  });
  if (!grown) return false;
  if (!anyMarked) return true;

  return Guarded([&] { FillMarked(median); });
}

void MakeupCleaner::FillMarked(int median) {
  // Each marked pixel takes the median of the unmarked pixels in its median x median
  // window: the skin around a dot, never the dot itself, so a dot larger than half the
  // window leaves no dark core and no ring. Pixels whose window holds no skin wait for
  // the next pass, which doubles the window.
  const cv::Mat source = target_.clone();
  cv::Mat pending = mask_.clone();
  std::vector<uint8_t> values[3];
  for (int half = OddMaskSize(median) / 2; cv::countNonZero(pending) > 0; half *= 2) {
    cv::Mat filled = pending.clone();
    for (int y = 0; y < source.rows; ++y) {
      for (int x = 0; x < source.cols; ++x) {
        if (!pending.at<uint8_t>(y, x)) continue;
        for (auto& v : values) v.clear();
        for (int v = std::max(0, y - half); v <= std::min(source.rows - 1, y + half); ++v)
          for (int u = std::max(0, x - half); u <= std::min(source.cols - 1, x + half); ++u)
            if (!mask_.at<uint8_t>(v, u))
              for (int c = 0; c < 3; ++c) values[c].push_back(source.at<cv::Vec3b>(v, u)[c]);
        if (values[0].empty()) continue;
        for (int c = 0; c < 3; ++c) {
          auto middle = values[c].begin() + static_cast<std::ptrdiff_t>(values[c].size() / 2);
          std::nth_element(values[c].begin(), middle, values[c].end());
          target_.at<cv::Vec3b>(y, x)[c] = *middle;
        }
        filled.at<uint8_t>(y, x) = 0;
      }
    }
    // A region marked all over has no skin to take: it keeps its colours.
    if (cv::countNonZero(filled) == cv::countNonZero(pending) && half > std::max(source.rows, source.cols)) break;
    pending = filled;
  }
}

bool MakeupCleaner::UpdateSkinLevel(int window) {
  if (window == skinWindow_ && !skin_.empty()) return true;
  skinWindow_ = window;
  return Guarded([&] {
    // Closing fills the dots with the skin around them and keeps the edges of larger
    // areas such as a shadow. Its window is two medians wide: the median must cover most
    // of a dot to replace it, so twice that covers a whole dot.
    const int wide = 2 * window + 1;
    const cv::Mat disc = cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(wide, wide));
    cv::morphologyEx(gray_, skin_, cv::MORPH_CLOSE, disc, cv::Point(-1, -1), 1, cv::BORDER_REPLICATE);
    std::vector<uint8_t> levels(skin_.begin<uint8_t>(), skin_.end<uint8_t>());
    const auto middle = levels.begin() + static_cast<std::ptrdiff_t>(levels.size() / 2);
    std::nth_element(levels.begin(), middle, levels.end());
    typicalSkin_ = std::max<int>(*middle, 1);
  });
}

void MakeupCleaner::Reset() {
  target_ = cv::Mat();
  gray_.release();
  mask_.release();
  skin_.release();
  skinWindow_ = 0;
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
