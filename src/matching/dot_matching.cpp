#include "matching/dot_matching.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "matching/disparity_check.h"
#include "matching/epipolar_check.h"

namespace q3d {
namespace {

// Matched neighbours the local map is fitted to.
constexpr size_t kNeighbours = 5;
// A partner must lie this close to its prediction, in shares of the typical spacing of the
// dots in image 2: the close ones are paired first, so that their neighbours' predictions
// rest on more matches.
constexpr std::array<double, 4> kGates = {0.15, 0.3, 0.5, 0.8};
// The nearest dot on the line must be nearer than this share of the next one's distance.
constexpr double kAmbiguityRatio = 0.65;
constexpr double kMapTolerance = 1.0;  // pixels; the trimming limit of the local map
constexpr size_t kMinForGeometry = 9;

// The median distance from a dot to its nearest neighbour.
double TypicalSpacing(const FeatureList& dots) {
  std::vector<double> nearest;
  for (size_t i = 0; i < dots.size(); ++i) {
    double best = std::numeric_limits<double>::infinity();
    for (size_t j = 0; j < dots.size(); ++j)
      if (j != i) best = std::min(best, std::hypot(dots[j].x - dots[i].x, dots[j].y - dots[i].y));
    if (std::isfinite(best)) nearest.push_back(best);
  }
  if (nearest.empty()) return 0.0;
  const auto middle = nearest.begin() + static_cast<std::ptrdiff_t>(nearest.size() / 2);
  std::nth_element(nearest.begin(), middle, nearest.end());
  return *middle;
}

struct Geometry {
  Matrix3 F;
  double limit = 0.0;  // pixels from the epipolar line
};

// The dot of to on dot's epipolar line (F relates dot's image to to's, as m' F m_to = 0)
// nearest where the affine map of the matches (from dot's image to to's) nearest dot,
// other than match skip, puts it: none when they give no map, it lies farther than gate
// from there, or the next dot on the line is not much farther (either could be it).
int NearestOnLine(const Feature& dot, const FeatureList& to, const std::vector<PointPair>& matches,
                  const Matrix3& F, double epipolarLimit, double gate, int skip, double* distance) {
  const std::vector<int> near = NearestInImage1(matches, dot.x, dot.y, kNeighbours, skip);
  const auto predicted = PredictFromNeighbours(matches, near, dot.x, dot.y, kMapTolerance);
  if (!predicted) return -1;
  int best = -1;
  double bestDistance = std::numeric_limits<double>::infinity();
  double secondDistance = bestDistance;
  for (size_t j = 0; j < to.size(); ++j) {
    const Feature& other = to[j];
    if (EpipolarDistance(F, {dot.x, dot.y, other.x, other.y}) > epipolarLimit) continue;
    const double d = std::hypot(other.x - predicted->x2, other.y - predicted->y2);
    if (d < bestDistance) {
      secondDistance = bestDistance;
      bestDistance = d;
      best = static_cast<int>(j);
    } else if (d < secondDistance) {
      secondDistance = d;
    }
  }
  if (best < 0 || bestDistance > gate || bestDistance > kAmbiguityRatio * secondDistance) return -1;
  *distance = bestDistance;
  return best;
}

class Growth {
 public:
  Growth(const FeatureList& dots1, const FeatureList& dots2)
      : dots1_(dots1), dots2_(dots2), partner1_(dots1.size(), -1), partner2_(dots2.size(), -1) {}

  void Add(const DotPair& pair) {
    if (partner1_[static_cast<size_t>(pair.index1)] >= 0 ||
        partner2_[static_cast<size_t>(pair.index2)] >= 0)
      return;
    partner1_[static_cast<size_t>(pair.index1)] = pair.index2;
    partner2_[static_cast<size_t>(pair.index2)] = pair.index1;
    pairs_.push_back(pair);
    points_.push_back(PointOf(pair));
  }

  // Keeps the pairs marked in keep.
  void Keep(const std::vector<char>& keep) {
    const std::vector<DotPair> pairs = std::move(pairs_);
    pairs_.clear();
    points_.clear();
    std::fill(partner1_.begin(), partner1_.end(), -1);
    std::fill(partner2_.begin(), partner2_.end(), -1);
    for (size_t k = 0; k < pairs.size(); ++k)
      if (keep[k]) Add(pairs[k]);
  }

  // Pairs unmatched dots of image 1 with the unmatched dot nearest the prediction of their
  // neighbours on their epipolar line, within gate pixels of it, until none is left.
  void Grow(const Geometry& geometry, double gate) {
    for (;;) {
      std::vector<Proposal> proposals;
      for (size_t i = 0; i < dots1_.size(); ++i)
        if (partner1_[i] < 0) Propose(static_cast<int>(i), geometry, gate, proposals);
      std::sort(proposals.begin(), proposals.end(),
                [](const Proposal& a, const Proposal& b) { return a.distance < b.distance; });
      const size_t before = pairs_.size();
      for (const Proposal& p : proposals) Add({p.index1, p.index2});
      if (pairs_.size() == before) return;
    }
  }

  const std::vector<DotPair>& Pairs() const { return pairs_; }
  const std::vector<PointPair>& Points() const { return points_; }

  // The dot of image 2 on dot i's epipolar line nearest where the affine map of i's
  // matched neighbours (other than pair skip) puts it (see NearestOnLine).
  int Nearest(int i, const Geometry& geometry, double gate, int skip, double* distance) const {
    return NearestOnLine(dots1_[static_cast<size_t>(i)], dots2_, points_, geometry.F,
                         geometry.limit, gate, skip, distance);
  }

  // The same from image 2 to image 1: the neighbours' arrangement must point both ways.
  int NearestBack(int j, const Geometry& geometry, double gate, int skip) const {
    std::vector<PointPair> reversed;
    for (const PointPair& p : points_) reversed.push_back({p.x2, p.y2, p.x1, p.y1});
    double distance = 0.0;
    return NearestOnLine(dots2_[static_cast<size_t>(j)], dots1_, reversed, geometry.F.transpose(),
                         geometry.limit, gate, skip, &distance);
  }

 private:
  struct Proposal {
    int index1 = 0;
    int index2 = 0;
    double distance = 0.0;
  };

  PointPair PointOf(const DotPair& pair) const {
    const Feature& a = dots1_[static_cast<size_t>(pair.index1)];
    const Feature& b = dots2_[static_cast<size_t>(pair.index2)];
    return {a.x, a.y, b.x, b.y};
  }

  void Propose(int i, const Geometry& geometry, double gate,
               std::vector<Proposal>& proposals) const {
    double distance = 0.0;
    const int j = Nearest(i, geometry, gate, -1, &distance);
    // The nearest dot on the line may already be another's partner: this dot's own is then
    // hidden or not found, and the next one along the line is no safer.
    if (j >= 0 && partner2_[static_cast<size_t>(j)] < 0) proposals.push_back({i, j, distance});
  }

  const FeatureList& dots1_;
  const FeatureList& dots2_;
  std::vector<int> partner1_, partner2_;
  std::vector<DotPair> pairs_;
  std::vector<PointPair> points_;  // the pairs' positions, in the same order
};

// Refits the geometry to the pairs, and keeps those on their lines whose partner is still
// the one its neighbours point to when it is left out of the map, from either image (the
// arrangement of neighbouring dots is kept); the geometry stays as it was when the pairs
// give none.
void Prune(Growth& growth, Geometry& geometry, double gate) {
  const std::vector<PointPair>& points = growth.Points();
  std::vector<char> keep(points.size(), 1);
  if (points.size() >= kMinForGeometry) {
    const EpipolarCheck check = CheckEpipolar(points);
    if (check.found) {
      geometry = {check.F, check.threshold};
      keep = check.inlier;
    }
  }
  const std::vector<DotPair>& pairs = growth.Pairs();
  for (size_t k = 0; k < pairs.size(); ++k) {
    double distance = 0.0;
    const int skip = static_cast<int>(k);
    if (keep[k] &&
        (growth.Nearest(pairs[k].index1, geometry, gate, skip, &distance) != pairs[k].index2 ||
         growth.NearestBack(pairs[k].index2, geometry, gate, skip) != pairs[k].index1))
      keep[k] = 0;
  }
  growth.Keep(keep);
}

}  // namespace

DotMatching MatchEveryDot(const FeatureList& dots1, const FeatureList& dots2,
                          const std::vector<DotPair>& seeds, const Matrix3& F,
                          double epipolarLimit) {
  Growth growth(dots1, dots2);
  for (const DotPair& seed : seeds) growth.Add(seed);
  Geometry geometry{F, epipolarLimit};
  const double spacing = TypicalSpacing(dots2);
  // The second pass grows again along the lines of the geometry the first one refined.
  for (int pass = 0; pass < 2; ++pass) {
    for (const double share : kGates) growth.Grow(geometry, share * spacing);
    Prune(growth, geometry, kGates.back() * spacing);
  }
  DotMatching result;
  result.pairs = growth.Pairs();
  result.F = geometry.F;
  result.epipolarLimit = geometry.limit;
  return result;
}

}  // namespace q3d
