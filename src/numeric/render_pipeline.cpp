#include "numeric/render_pipeline.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

#include "base/diagnostics.h"
#include "numeric/essential_starts.h"
#include "numeric/focal_search.h"
#include "numeric/match_support.h"
#include "numeric/triangulation.h"

namespace q3d {

namespace {
// Cap, in medians, on a match's reprojection distance when calibrations are compared.
constexpr double kCandidateCapMedians = 3.0;

std::string FormatDeviation(const FocalUncertainty& deviation) {
  char text[96];
  std::snprintf(text, sizeof text, "focal length deviation f1 %.3g %%, f2 %.3g %%",
                100 * deviation.f1, 100 * deviation.f2);
  return text;
}

double SigmaOf(FocalSource source) {
  return source == FocalSource::kExif ? kExifFocalSigma : kEnteredFocalSigma;
}

FocalPriors PriorsOf(const std::array<std::optional<KnownFocal>, 2>& known) {
  FocalPriors priors;
  for (int c = 0; c < 2; ++c)
    if (known[c]) priors[c] = FocalPrior{known[c]->f_px, SigmaOf(known[c]->source)};
  return priors;
}

struct Solution {
  Calibration calibration;
  Matrix XW;  // 3 x n
  bool fitted = false;
};

// Index of the calibration that explains the matches best: squared reprojection distances
// over all matches, each capped at a few times the smallest median, so that a match one
// calibration explains and another rejects (or puts behind a camera) costs the latter no
// more than the cap. The fitted cost is not comparable: each fit chose its own matches.
std::optional<size_t> BestExplaining(const CentredPoints& points,
                                     const std::vector<Calibration>& calibrations) {
  std::vector<Vector> distances;
  double smallest_median = std::numeric_limits<double>::infinity();
  for (const Calibration& c : calibrations) {
    distances.push_back(ExplainedDistances(points.m1, points.m2, c));
    const double median = MedianOf(distances.back());
    if (median < smallest_median) smallest_median = median;
  }
  const double cap = kCandidateCapMedians * smallest_median;
  std::optional<size_t> best;
  double best_score = std::numeric_limits<double>::infinity();
  for (size_t k = 0; k < distances.size(); ++k) {
    const double score = distances[k].array().min(cap).square().sum();
    if (score < best_score) {
      best_score = score;
      best = k;
    }
  }
  return best;
}

// The starts of a render: the search's best trials when no focal length is known;
// otherwise the essential-matrix decompositions of every candidate fundamental matrix
// (that of all matches and those of the best trials) under the known focal lengths, a
// focal length still unknown taken from each trial.
std::vector<Calibration> StartsOf(const CentredPoints& points, const FocalSearchResult& search,
                                  const FocalPriors& priors, double assumed_f) {
  std::vector<Calibration> starts;
  if (!priors[0] && !priors[1]) {
    for (const ScoredTrial& trial : search.best_trials)
      starts.push_back(FacingMatches(points.m1, points.m2,
                                     Calibration{trial.Rcam, trial.t, trial.A1, trial.A2}));
    return starts;
  }
  const auto focal = [&](int c, double own) { return priors[c] ? priors[c]->f_px : own; };
  const Matrix3 all_matches = calc_fmat3(points.m1, points.m2).F;
  for (const auto& s : EssentialStarts(points.m1, points.m2, {all_matches}, focal(0, assumed_f),
                                       focal(1, assumed_f)))
    starts.push_back(s);
  for (const ScoredTrial& trial : search.best_trials) {
    const Calibration c{trial.Rcam, trial.t, trial.A1, trial.A2};
    for (const auto& s :
         EssentialStarts(points.m1, points.m2, {FundamentalOf(c)},
                         focal(0, std::abs(trial.A1(0, 0))), focal(1, std::abs(trial.A2(0, 0)))))
      starts.push_back(s);
  }
  return starts;
}

// Every start is fitted on at most this many matches, spread over the list; only the
// best end is fitted on all of them. Which start leads where shows on a sample as well.
constexpr Eigen::Index kStartSelectionMatches = 100;
// Which basin a start falls into shows after a few steps; only the chosen end is fitted
// to convergence.
constexpr int kScreeningIterations = 30;

CentredPoints SampleOf(const CentredPoints& points) {
  const Eigen::Index n = points.m1.rows();
  if (n <= kStartSelectionMatches) return points;
  std::vector<Eigen::Index> rows;
  for (Eigen::Index k = 0; k < kStartSelectionMatches; ++k)
    rows.push_back(k * n / kStartSelectionMatches);
  return {RowsOf(points.m1, rows), RowsOf(points.m2, rows)};
}

// Starts this close lead to the same end: the search's best trials and the decompositions
// of their essential matrices are often one calibration several times over.
bool SameStart(const Calibration& a, const Calibration& b) {
  constexpr double kFocalRatio = 0.01, kAngleRad = 0.005;
  const auto close_focal = [](const Matrix& x, const Matrix& y) {
    return std::abs(x(0, 0) / y(0, 0) - 1) < kFocalRatio;
  };
  if (!close_focal(a.A1, b.A1) || !close_focal(a.A2, b.A2)) return false;
  const Matrix3 turn = Matrix3(a.Rcam).transpose() * Matrix3(b.Rcam);
  const double rotation = Eigen::AngleAxisd(turn).angle();
  const Vector3 ta = Vector3(a.t).normalized(), tb = Vector3(b.t).normalized();
  return rotation < kAngleRad && std::acos(std::clamp(ta.dot(tb), -1.0, 1.0)) < kAngleRad;
}

// The fit from every distinct start, the one explaining the matches best kept and fitted
// on all matches; without the fit, the best start itself.
std::optional<Solution> Solve(const CentredPoints& points, const std::vector<Calibration>& starts,
                              const FocalPriors& priors, bool refine, Progress& progress) {
  std::vector<Calibration> ends;
  std::vector<const Calibration*> tried;
  const CentredPoints sample = SampleOf(points);
  for (size_t k = 0; k < starts.size() && refine; ++k) {
    progress.SetPos(static_cast<int>(100 * (k + 1) / starts.size()));
    if (std::any_of(tried.begin(), tried.end(),
                    [&](const Calibration* c) { return SameStart(*c, starts[k]); }))
      continue;
    tried.push_back(&starts[k]);
    // Choosing among the starts needs one pass; the chosen one gets all of them below.
    if (std::optional<BundleFit> fit =
            FitBundle(sample.m1, sample.m2, starts[k], priors, 1, kScreeningIterations))
      ends.push_back(fit->calibration);
  }
  const bool fitted = !ends.empty();
  if (!fitted) ends = starts;  // no fit, or no start could be fitted: the starts as they are
  const std::optional<size_t> best = BestExplaining(points, ends);
  if (!best) return std::nullopt;
  Solution solution;
  solution.calibration = ends[*best];
  solution.fitted = fitted;
  if (fitted) {
    if (std::optional<BundleFit> fit = FitBundle(points.m1, points.m2, ends[*best], priors))
      solution.calibration = fit->calibration;
  }
  const Calibration& c = solution.calibration;
  solution.XW = recons_ptos(points.m1, points.m2, points.m1.rows(), c.A1, c.A2, c.Rcam, c.t).Xw;
  return solution;
}

// The starts once a focal length is assumed: the solution so far with the assumed focal
// lengths, and the fundamental matrix of all matches, each in its decompositions.
std::vector<Calibration> AssumedStarts(const CentredPoints& points, const Calibration& solved,
                                       const FocalPriors& priors) {
  const auto focal = [&](int c, const Matrix& A) {
    return priors[c] ? priors[c]->f_px : std::abs(A(0, 0));
  };
  const double f1 = focal(0, solved.A1), f2 = focal(1, solved.A2);
  return EssentialStarts(points.m1, points.m2,
                         {FundamentalOf(solved), calc_fmat3(points.m1, points.m2).F}, f1, f2);
}
}  // namespace

const char* FocalSourceName(FocalSource source) {
  switch (source) {
    case FocalSource::kMeasured:
      return "measured";
    case FocalSource::kExif:
      return "exif";
    case FocalSource::kEntered:
      return "entered";
    case FocalSource::kAssumed:
      return "assumed";
  }
  return "measured";
}

CentredPoints CentreMatches(const Matrix& matches, ImageSize image1, ImageSize image2) {
  if (matches.cols() != 4) throw NumericError("The match matrix must have four columns.");
  const Eigen::Index n = matches.rows();
  CentredPoints points;
  points.m1.resize(n, 2);
  points.m2.resize(n, 2);
  points.m1.col(0) = matches.col(0).array() - (image1.width / 2) - 1;
  points.m1.col(1) = matches.col(1).array() - (image1.height / 2) - 1;
  points.m2.col(0) = matches.col(2).array() - (image2.width / 2) - 1;
  points.m2.col(1) = matches.col(3).array() - (image2.height / 2) - 1;
  return points;
}

FundamentalEstimate EpipolarGeometryOfMatches(const Matrix& matches) {
  if (matches.cols() != 4) throw NumericError("The match matrix must have four columns.");
  return calc_fmat3(matches.leftCols(2), matches.rightCols(2));
}

Result<RenderOutcome> RenderMatches(const Matrix& matches, ImageSize image1, ImageSize image2,
                                    const RenderSettings& settings, RandomSource& random,
                                    Progress* external_progress) {
  const auto fail = [](const std::string& reason) {
    Diag(reason);
    return Status::Fail(reason);
  };
  if (matches.rows() < kMinimumRenderMatches || matches.cols() != 4)
    return fail("A render needs at least " + std::to_string(kMinimumRenderMatches) + " matches.");
  if (!matches.allFinite()) return fail("Some matched points have no valid coordinates.");
  for (const auto& known : settings.known)
    if (known && !(known->f_px > 0 && std::isfinite(known->f_px)))
      return fail("A focal length must be a positive number of pixels.");
  try {
    RenderOutcome outcome;
    FundamentalEstimate epipolar = EpipolarGeometryOfMatches(matches);
    const CentredPoints points = CentreMatches(matches, image1, image2);
    const FocalSearchResult search = LMedSFocales(points.m1, points.m2, random, external_progress);
    FocalPriors priors = PriorsOf(settings.known);
    const bool any_known = priors[0] || priors[1];
    if (search.best_trial < 0 && !any_known)
      return fail("No sample of the matches gave a camera calibration.");
    outcome.F = std::move(epipolar.F);
    outcome.e1 = std::move(epipolar.e1);
    outcome.e2 = std::move(epipolar.e2);
    outcome.best_median = search.best_median;
    outcome.best_trial = search.best_trial;
    for (int c = 0; c < 2; ++c)
      if (settings.known[c]) outcome.focal_source[c] = settings.known[c]->source;
    const ImageSize sizes[2] = {image1, image2};
    const auto assumed = [&](int c) {
      return kAssumedFocalPerShortSide * std::min(sizes[c].width, sizes[c].height);
    };

    std::optional<Solution> solution;
    // The fit reports its own pass to 100 %, after the search's.
    std::optional<ScopedProgress> progress;
    const auto fitting = [&]() -> Progress& {
      if (!progress) {
        progress.emplace(external_progress);
        (*progress)->SetStep("Fitting the cameras to the matches, please wait...");
      }
      return **progress;
    };
    if (!any_known && !settings.refine) {
      Calibration winner{search.Rcam, search.t, search.A1, search.A2};
      Matrix XW = search.XW;
      // The search's score cannot tell a motion from its mirror image (t negated, every
      // point reflected through camera 1's centre); the mirror is turned back.
      const Calibration facing = FacingMatches(points.m1, points.m2, winner);
      if (facing.t != winner.t) XW = -XW;
      solution = Solution{facing, XW, false};
    } else {
      solution = Solve(points, StartsOf(points, search, priors, assumed(0)), priors,
                       settings.refine, fitting());
    }
    if (!solution) return fail("No sample of the matches gave a camera calibration.");

    // A focal length the matches leave undetermined is never shown as measured: the
    // render is redone with the assumed one, and says so. Assuming one can leave the
    // other undetermined in turn (a nearly affine view), so the check is repeated.
    FocalUncertainty deviation =
        FocalLengthUncertainty(points.m1, points.m2, solution->calibration);
    Diag(FormatDeviation(deviation));
    outcome.f1_deviation = deviation.f1;
    outcome.f2_deviation = deviation.f2;
    for (int round = 0; round < 2; ++round) {
      const double deviations[2] = {deviation.f1, deviation.f2};
      bool assumed_any = false;
      for (int c = 0; c < 2; ++c) {
        if (priors[c] || deviations[c] <= kDeterminedFocalDeviation) continue;
        priors[c] = FocalPrior{assumed(c), kEnteredFocalSigma};
        outcome.focal_source[c] = FocalSource::kAssumed;
        assumed_any = true;
      }
      if (!assumed_any) break;
      solution = Solve(points, AssumedStarts(points, solution->calibration, priors), priors,
                       settings.refine, fitting());
      if (!solution)
        return fail("No camera geometry fits the matches with the assumed focal lengths.");
      deviation = FocalLengthUncertainty(points.m1, points.m2, solution->calibration);
    }
    outcome.refined = solution->fitted;
    Calibration& calibration = solution->calibration;
    outcome.A1 = std::move(calibration.A1);
    outcome.Rcam = std::move(calibration.Rcam);
    outcome.t = std::move(calibration.t);
    outcome.A2 = std::move(calibration.A2);
    outcome.XW = solution->XW.transpose();
    return outcome;
  } catch (const NumericError& error) {
    return fail(std::string("The matches fix no camera geometry: ") + error.what());
  }
}

}  // namespace q3d
