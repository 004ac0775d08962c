#include "views/epipolar_line.h"

#include <cmath>
#include <optional>

namespace q3d {
namespace {

// Add 0.5 and truncate toward zero; none for values that are no usable coordinate.
std::optional<int> RoundCoordinate(double v) {
  v += 0.5;
  if (!std::isfinite(v) || std::fabs(v) > 1e9) return std::nullopt;
  return static_cast<int>(v);
}

bool InRange(const std::optional<int>& v, int limit) { return v && *v >= 0 && *v <= limit; }

}  // namespace

bool ClipEpipolarLine(EpipolarLine& line, int w, int h) {
  const double e = line.intercept;
  const double d = line.slope;
  if (!std::isfinite(e) || !std::isfinite(d)) return false;
  auto set = [&line](int x1, int y1, int x2, int y2) {
    line.x1 = x1;
    line.y1 = y1;
    line.x2 = x2;
    line.y2 = y2;
    return true;
  };
  const auto atBottom = RoundCoordinate((h - e) / d);  // x where y = h
  const auto atRight = RoundCoordinate(e + d * w);     // y where x = w
  const auto atTop = RoundCoordinate(-e / d);          // x where y = 0

  // 1. Entering through the left edge.
  const std::optional<int> f =
      std::fabs(e) < 1e9 ? std::optional<int>(static_cast<int>(e)) : std::nullopt;
  if (InRange(f, h)) {
    if (InRange(atBottom, w)) return set(0, *f, *atBottom, h);
    if (InRange(atRight, h)) return set(0, *f, w, *atRight);
    if (InRange(atTop, w)) return set(0, *f, *atTop, 0);
  }
  // 2. Entering through the top edge.
  if (InRange(atTop, w)) {
    if (InRange(atBottom, w)) return set(*atTop, 0, *atBottom, h);
    if (InRange(atRight, h)) return set(*atTop, 0, w, *atRight);
  }
  // 3. From the right edge to the bottom edge.
  if (!atRight || !atBottom) return false;
  return set(w, *atRight, *atBottom, h);
}

}  // namespace q3d
