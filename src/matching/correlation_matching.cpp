#include "matching/correlation_matching.h"

#include <cmath>

#include "matching/epipolar_check.h"

namespace q3d {
namespace {

struct Best {
  int index = -1;
  double score = -2.0;
};

bool Admissible(const Feature& a, const Feature& b, const SearchRules& rules) {
  if (std::abs(b.x - a.x) > rules.maxDx || std::abs(b.y - a.y) > rules.maxDy) return false;
  return !rules.F || EpipolarDistance(*rules.F, {a.x, a.y, b.x, b.y}) <= rules.maxEpipolar;
}

}  // namespace

std::vector<FeatureMatch> CrossCheckedMatches(const FeatureList& features1,
                                              const WindowSamples& samples1,
                                              const FeatureList& features2,
                                              const WindowSamples& samples2,
                                              const SearchRules& rules) {
  const int n1 = static_cast<int>(features1.size());
  const int n2 = static_cast<int>(features2.size());
  std::vector<Best> best1(static_cast<size_t>(n1)), best2(static_cast<size_t>(n2));
  for (int i = 0; i < n1; ++i) {
    if (!samples1.valid[static_cast<size_t>(i)]) continue;
    for (int j = 0; j < n2; ++j) {
      if (!samples2.valid[static_cast<size_t>(j)]) continue;
      if (!Admissible(features1[static_cast<size_t>(i)], features2[static_cast<size_t>(j)], rules))
        continue;
      const double score = Correlation(samples1, i, samples2, j);
      if (!(score >= rules.threshold)) continue;
      Best& b1 = best1[static_cast<size_t>(i)];
      if (score > b1.score) b1 = {j, score};
      Best& b2 = best2[static_cast<size_t>(j)];
      if (score > b2.score) b2 = {i, score};
    }
  }
  std::vector<FeatureMatch> matches;
  for (int i = 0; i < n1; ++i) {
    const Best& b = best1[static_cast<size_t>(i)];
    if (b.index >= 0 && best2[static_cast<size_t>(b.index)].index == i)
      matches.push_back({i, b.index, b.score});
  }
  return matches;
}

}  // namespace q3d
