#pragma once
// Pixel work behind texture retouching: blur, median, sharpen, the make-up cleaner
// (dark dots found by threshold, grown, then replaced by a median) and the soft clone
// brush. All filters treat the region they are given as a whole image and replicate its
// border pixels, so a preview of a region and the final result agree.
#include <opencv2/core.hpp>

#include "stereo/image.h"

namespace q3d {

// Smallest and largest square mask of the filter dialogs (odd sizes only).
constexpr int kMinMaskSize = 3;
constexpr int kMaxMaskSize = 99;

enum class TextureFilterKind { Blur = 1, Median = 2 };

// Filters the 8-bit, 3-channel source into destination (same size; reallocated when it
// differs) with a size x size kernel centred on each pixel. Even sizes are raised to the
// next odd size and sizes are clamped to [kMinMaskSize, kMaxMaskSize]. Returns false when
// the source is empty or not 8-bit BGR, or after pushing the image-library error record
// when a library step fails.
bool ApplyMaskFilter(TextureFilterKind kind, const cv::Mat& source, cv::Mat& destination, int size);

// 3 x 3 sharpening (centre 16/8, the eight neighbours -1/8) of source into destination.
bool ApplySharpen(const cv::Mat& source, cv::Mat& destination);

// Removes dark make-up dots from an 8-bit BGR target in place.
class MakeupCleaner {
 public:
  // Remembers the target (not owned) and computes its grey image once; previews with
  // other values reuse it. Returns false when the target is unusable.
  bool Prepare(cv::Mat target);
  // Pixels darker than threshold are marked, the marks grown with a maximum x maximum
  // window, and the marked pixels replaced by the median of the unmarked pixels of their
  // median x median window (a wider window where that holds none).
  // The threshold is for skin of the region's median brightness; elsewhere it is scaled
  // by the brightness of the skin around the pixel (the grey closed over twice the
  // median's window), so dots are found in shadow and bright skin alike.
  // A failing step pushes the image-library error record and ends the run (false),
  // leaving the target partly processed.
  bool Apply(int threshold, int maximum, int median);
  // The mask of the last Apply (255 where a pixel was replaced).
  const cv::Mat& Mask() const { return mask_; }
  // Forgets the target and releases the working images.
  void Reset();

 private:
  // The local skin level for the window, computed once per window size.
  bool UpdateSkinLevel(int window);
  void FillMarked(int median);

  cv::Mat target_;
  cv::Mat gray_;
  cv::Mat mask_;
  cv::Mat skin_;
  int skinWindow_ = 0;
  double typicalSkin_ = 1.0;
};

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
