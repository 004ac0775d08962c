#include "stereo/marker_detector.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <limits>
#include <new>

#include "base/error_stack.h"

namespace q3d {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

void AppendRowPixels(std::vector<Pixel>& outline, int row, int first, int last) {
  for (int x = first; x <= last; ++x) outline.push_back({x, row});
}

}  // namespace

std::vector<Pixel> BuildMarkerOutline(const std::vector<MarkerRowRecord>& rows) {
  std::vector<Pixel> outline;
  const int height = static_cast<int>(rows.size());
  int top = 0;
  while (top < height && !rows[static_cast<size_t>(top)].recorded) ++top;
  if (top == height) return outline;

  AppendRowPixels(outline, top, rows[static_cast<size_t>(top)].start,
                  rows[static_cast<size_t>(top)].end);
  int i = top;
  while (i + 1 < height && rows[static_cast<size_t>(i + 1)].recorded) {
    const MarkerRowRecord& a = rows[static_cast<size_t>(i)];
    const MarkerRowRecord& b = rows[static_cast<size_t>(i + 1)];
    // Left side: the pixels the region steps out by, or the new start and the pixels it
    // steps in by.
    const int d = a.start - b.start;
    if (d > 1) {
      AppendRowPixels(outline, i + 1, b.start, a.start - 1);
    } else {
      outline.push_back({b.start, i + 1});
      if (d < 0) AppendRowPixels(outline, i, a.start, b.start - 1);
    }
    // Right side, mirrored.
    const int e = b.end - a.end;
    if (e > 1) {
      AppendRowPixels(outline, i + 1, a.end + 1, b.end);
    } else {
      outline.push_back({b.end, i + 1});
      if (e < 0) AppendRowPixels(outline, i, b.end + 1, a.end);
    }
    ++i;
  }
  // The bottom row closes the outline (a single row is thus listed twice).
  AppendRowPixels(outline, i, rows[static_cast<size_t>(i)].start, rows[static_cast<size_t>(i)].end);
  return outline;
}

CircleCentre FitCircleCentre(const std::vector<Pixel>& outline) {
  const double k = static_cast<double>(outline.size());
  if (outline.empty()) return {kNaN, kNaN};
  double mx = 0.0, my = 0.0;
  for (const Pixel& p : outline) {
    mx += p.x;
    my += p.y;
  }
  mx /= k;
  my /= k;
  double spread = 0.0;
  for (const Pixel& p : outline) spread += (p.x - mx) * (p.x - mx) + (p.y - my) * (p.y - my);
  const double g = std::sqrt(spread / k);
  if (!(g > 0.0)) return {kNaN, kNaN};

  double sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0, b1 = 0, b2 = 0, b3 = 0;
  for (const Pixel& p : outline) {
    const double x = (p.x - mx) / g;
    const double y = (p.y - my) / g;
    const double r2 = x * x + y * y;
    sx += x;
    sy += y;
    sxx += x * x;
    syy += y * y;
    sxy += x * y;
    b1 += r2 * x;
    b2 += r2 * y;
    b3 += r2;
  }
  // Inverse of the symmetric normal matrix [sxx sxy sx; sxy syy sy; sx sy k] by its adjugate.
  const double det =
      2 * sxy * sy * sx + k * syy * sxx - sx * sx * syy - sxx * sy * sy - sxy * sxy * k;
  // The normalised entries are at most k, so det is at most of the order of k³; far below
  // that the pixels lie on a line and the circle is undefined.
  if (!(std::abs(det) > 1e-10 * k * k * k)) return {kNaN, kNaN};
  const double m11 = (k * syy - sy * sy) / det;
  const double m12 = (sy * sx - k * sxy) / det;
  const double m13 = (sxy * sy - syy * sx) / det;
  const double m22 = (k * sxx - sx * sx) / det;
  const double m23 = (sxy * sx - sxx * sy) / det;
  const double p1 = m11 * b1 + m12 * b2 + m13 * b3;
  const double p2 = m12 * b1 + m22 * b2 + m23 * b3;
  return {p1 * 0.5 * g + mx, p2 * 0.5 * g + my};
}

int CMarkerDetector::Setup(int width, int height, uint8_t darkLimit, uint8_t meanMargin) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  dark_limit_ = darkLimit;
  mean_margin_ = meanMargin;
  window_ = {0, 0, width, height};
  mean_ = 0;
  try {
    marks_.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    neighbours_ = {{-1, -1}, {0, -1}, {1, -1}, {-1, 0}, {1, 0}, {-1, 1}, {0, 1}, {1, 1}};
    histogram_.assign(256, 0);
    rows_.assign(static_cast<size_t>(height), MarkerRowRecord{});
  } catch (const std::bad_alloc&) {
    Release();
    PushOutOfMemory();
    return 0;
  }
  return 1;
}

int CMarkerDetector::RegionMean() const {
  uint64_t count = 0, sum = 0;
  for (size_t v = 0; v < histogram_.size(); ++v) {
    count += histogram_[v];
    sum += v * histogram_[v];
  }
  if (count == 0) return 0;
  return static_cast<int>(static_cast<double>(sum) / static_cast<double>(count) + 0.5);
}

bool CMarkerDetector::Accepts(const Image& image, int x, int y) const {
  if (IsMarked(x, y)) return false;
  const int v = image.Row(y)[x];
  return v < dark_limit_ && v - mean_ < mean_margin_;
}

void CMarkerDetector::Accept(const Image& image, int x, int y) {
  marks_[static_cast<size_t>(y) * static_cast<size_t>(window_.right) + static_cast<size_t>(x)] = 1;
  ++histogram_[image.Row(y)[x]];
  mean_ = RegionMean();
}

int CMarkerDetector::GrowRegion(const Image& image, int seedX, int seedY) {
  const bool windowEmpty = marks_.empty();
  if (!windowEmpty && (!image.HasData() || image.Channels() != 1 || image.Depth() != 8 ||
                       image.Width() < window_.right || image.Height() < window_.bottom)) {
    PushImageLibraryError();
    return 0;
  }
  const auto inside = [this](int x, int y) {
    return x >= window_.left && y >= window_.top && x < window_.right && y < window_.bottom;
  };
  try {
    std::deque<Pixel> queue;
    if (inside(seedX, seedY) && image.Row(seedY)[seedX] < dark_limit_ && !IsMarked(seedX, seedY)) {
      Accept(image, seedX, seedY);
      queue.push_back({seedX, seedY});
    }
    while (!queue.empty()) {
      const Pixel p = queue.front();
      queue.pop_front();
      for (const Offset& o : neighbours_) {
        const int x = p.x + o.dx;
        const int y = p.y + o.dy;
        if (inside(x, y) && Accepts(image, x, y)) {
          Accept(image, x, y);
          queue.push_back({x, y});
        }
      }
    }
  } catch (const std::bad_alloc&) {
    PushOutOfMemory();
    return 0;
  }
  RecordRows();
  return 1;
}

void CMarkerDetector::RecordRows() {
  for (int y = 0; y < window_.bottom; ++y) {
    MarkerRowRecord& row = rows_[static_cast<size_t>(y)];
    int first = -1, last = -1;
    for (int x = 0; x < window_.right; ++x) {
      if (!IsMarked(x, y)) continue;
      if (first < 0) first = x;
      last = x;
    }
    if (first < 0) continue;
    row.start = first;
    if (last > first) {
      row.end = last;
      row.recorded = 1;
    }
  }
}

int CMarkerDetector::IsEmpty() const {
  return std::none_of(marks_.begin(), marks_.end(), [](uint8_t m) { return m != 0; }) ? 1 : 0;
}

int CMarkerDetector::FitCentre() {
  std::vector<Pixel> outline;
  try {
    outline = BuildMarkerOutline(rows_);
  } catch (const std::bad_alloc&) {
    PushOutOfMemory();
    return 0;
  }
  const CircleCentre centre = FitCircleCentre(outline);
  centre_x_ = centre.x;
  centre_y_ = centre.y;
  return 1;
}

void CMarkerDetector::Release() {
  marks_.clear();
  histogram_.clear();
  neighbours_.clear();
  rows_.clear();
  window_ = {};
  mean_ = 0;
}

}  // namespace q3d
