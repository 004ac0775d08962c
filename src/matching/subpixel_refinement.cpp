#include "matching/subpixel_refinement.h"

#include <algorithm>

namespace q3d {
namespace {

double ParabolaPeak(double a, double b, double c) {
  const double curvature = a - 2.0 * b + c;
  if (!(curvature < 0.0)) return 0.0;
  return std::clamp(0.5 * (a - c) / curvature, -0.5, 0.5);
}

}  // namespace

PointPair RefineByCorrelation(const cv::Mat& grey1, const cv::Mat& grey2, const PointPair& match,
                              const CorrelationWindow& window, double scale, int radius) {
  const int side = 2 * radius + 1;
  FeatureList positions;
  for (int dy = -radius; dy <= radius; ++dy)
    for (int dx = -radius; dx <= radius; ++dx) positions.push_back({match.x2 + dx, match.y2 + dy});
  const WindowSamples reference = SampleWindows(grey1, {{match.x1, match.y1}}, window);
  CorrelationWindow scaled = window;
  scaled.step *= scale;
  scaled.holeRadius *= scale;
  const WindowSamples around = SampleWindows(grey2, positions, scaled);

  std::vector<double> score(positions.size());
  int best = -1;
  for (int k = 0; k < static_cast<int>(positions.size()); ++k) {
    score[static_cast<size_t>(k)] = Correlation(reference, 0, around, k);
    if (score[static_cast<size_t>(k)] > -1.0 &&
        (best < 0 || score[static_cast<size_t>(k)] > score[static_cast<size_t>(best)]))
      best = k;
  }
  if (best < 0) return match;
  const int bx = best % side, by = best / side;
  const auto at = [&](int x, int y) { return score[static_cast<size_t>(y * side + x)]; };
  PointPair refined = match;
  refined.x2 = positions[static_cast<size_t>(best)].x;
  refined.y2 = positions[static_cast<size_t>(best)].y;
  // A peak on the border of the searched square has no neighbours on one side.
  if (bx > 0 && bx < side - 1 && at(bx - 1, by) > -1.0 && at(bx + 1, by) > -1.0)
    refined.x2 += ParabolaPeak(at(bx - 1, by), at(bx, by), at(bx + 1, by));
  if (by > 0 && by < side - 1 && at(bx, by - 1) > -1.0 && at(bx, by + 1) > -1.0)
    refined.y2 += ParabolaPeak(at(bx, by - 1), at(bx, by), at(bx, by + 1));
  return refined;
}

}  // namespace q3d
