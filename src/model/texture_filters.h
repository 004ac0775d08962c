#pragma once
// Pixel work behind texture retouching: blur, median, sharpen and the soft clone brush.
// All filters treat the region they are given as a whole image and replicate its border
// pixels, so a preview of a region and the final result agree.
#include <functional>
#include <opencv2/core.hpp>

#include "stereo/image.h"

namespace q3d {

// Smallest and largest square mask of the filter dialogs (odd sizes only).
constexpr int kMinMaskSize = 3;
constexpr int kMaxMaskSize = 99;

// The size raised to the next odd size and clamped to [kMinMaskSize, kMaxMaskSize].
int OddMaskSize(int size);

// Runs one image-library step; a library failure (out of memory included) pushes the
// image library's error record and gives false instead of an exception.
bool GuardedImageStep(const std::function<void()>& step);

enum class TextureFilterKind { Blur = 1, Median = 2 };

// Filters the 8-bit, 3-channel source into destination (same size; reallocated when it
// differs) with a size x size kernel centred on each pixel. Even sizes are raised to the
// next odd size and sizes are clamped to [kMinMaskSize, kMaxMaskSize]. Returns false when
// the source is empty or not 8-bit BGR, or after pushing the image-library error record
// when a library step fails.
bool ApplyMaskFilter(TextureFilterKind kind, const cv::Mat& source, cv::Mat& destination, int size);

// 3 x 3 sharpening (centre 16/8, the eight neighbours -1/8) of source into destination.
bool ApplySharpen(const cv::Mat& source, cv::Mat& destination);

// The clone brush: a 21 x 22 soft round spot copied from a source rectangle.
constexpr int kBrushWidth = 21;
constexpr int kBrushHeight = 22;

// Per-pixel opacity (0..255, one channel) of the brush: a Gaussian-like spot peaking at
// about 250 between rows 10 and 11 of column 10, near zero at the border.
cv::Mat MakeBrushAlpha();

// The brush rectangle around (x, y): (x - 10, y - 11) to (x + 11, y + 11), right and
// bottom exclusive.
Rect BrushRectAt(int x, int y);
bool RectInside(const Rect& rect, int width, int height);
Rect OffsetRect(const Rect& rect, int dx, int dy);

// Copies the pixels under source and composites them over the brush rectangle at (x, y)
// with the alpha spot: texture := brush * a + texture * (1 - a), a = alpha / 255. Nothing
// is painted (false) unless both rectangles lie wholly inside the texture.
bool StampCloneBrush(cv::Mat& texture, const Rect& source, int x, int y, const cv::Mat& alpha);

}  // namespace q3d
