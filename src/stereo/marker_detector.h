#pragma once
// Finds the centre of the dark make-up dot under a clicked pixel: grows the dark region
// from the click, takes the region's outline row by row and fits a circle to it.
// A working object for one placement inside a small grey window.
#include <array>
#include <cstdint>
#include <vector>

#include "stereo/image.h"
#include "stereo/sp_point.h"

namespace q3d {

// Extent of the region in one row. A row is recorded only when it holds at least two
// marked pixels; start is set by the first marked pixel even when the row is not.
struct MarkerRowRecord {
  int32_t start = 0;
  int32_t end = 0;
  int32_t recorded = 0;
};

// Outline pixels of the first run of recorded rows: the top row, the pixels that step
// out or in along both sides, and the bottom row. Rows after the first unrecorded one
// are ignored. Without a recorded row the outline is empty.
std::vector<Pixel> BuildMarkerOutline(const std::vector<MarkerRowRecord>& rows);

struct CircleCentre {
  double x = 0.0;
  double y = 0.0;
};

// Algebraic least-squares circle x² + y² = p1·x + p2·y + p3 through the pixels, solved on
// coordinates centred on their mean and scaled to unit spread so that the 3 x 3 normal
// equations stay well conditioned. Both coordinates are NaN when the fit is undefined
// (no pixels, all pixels equal, or all on one line).
CircleCentre FitCircleCentre(const std::vector<Pixel>& outline);

class CMarkerDetector {
 public:
  // Sizes and zeroes the working data for a width x height window. A pixel may join the
  // region only when darker than darkLimit and less than meanMargin above the region's
  // mean. Returns 1, or 0 after pushing the out-of-memory record.
  int Setup(int width, int height, uint8_t darkLimit, uint8_t meanMargin);
  // Grows the region from the seed over 8-neighbours in breadth-first order, then fills
  // the row records. The image must be a 1-channel 8-bit image at least as large as the
  // window. A seed outside the window or not darker than the limit marks nothing.
  // Returns 1; 0 after pushing an error record (out of memory, or an unusable image).
  int GrowRegion(const Image& image, int seedX, int seedY);
  // 1 when no pixel is marked.
  int IsEmpty() const;
  // Fits the circle to the outline of the region; the centre is NaN when undefined.
  // Returns 1, or 0 after pushing the out-of-memory record.
  int FitCentre();
  void Release();

  double CentreX() const { return centre_x_; }
  double CentreY() const { return centre_y_; }
  bool IsMarked(int x, int y) const {
    return marks_[static_cast<size_t>(y) * static_cast<size_t>(window_.right) +
                  static_cast<size_t>(x)] != 0;
  }
  const std::vector<MarkerRowRecord>& Rows() const { return rows_; }

  // Grey-level mean of the accepted pixels, rounded to nearest.
  int RegionMean() const;

 private:
  struct Offset {
    int dx = 0;
    int dy = 0;
  };

  bool Accepts(const Image& image, int x, int y) const;
  void Accept(const Image& image, int x, int y);
  void RecordRows();

  double centre_x_ = 0.0;
  double centre_y_ = 0.0;
  std::vector<uint8_t> marks_;
  std::vector<MarkerRowRecord> rows_;
  std::vector<Offset> neighbours_;
  Rect window_;  // left and top inclusive, right and bottom exclusive
  uint8_t dark_limit_ = 0;
  uint8_t mean_margin_ = 0;
  std::vector<uint64_t> histogram_;  // accepted pixels per grey value
  int mean_ = 0;                     // RegionMean(), refreshed on every acceptance
};

}  // namespace q3d
