#include "numeric/render_pipeline.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numeric>
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

double SigmaOf(const KnownFocal& known) {
  if (known.relative_sigma > 0) return known.relative_sigma;
  return known.source == FocalSource::kExif ? kExifFocalSigma : kEnteredFocalSigma;
}

// What the fit knows: each known focal length with its precision, the weak phone-lens prior
// for an unknown one. Shared cameras have one prior, on camera 1's focal length: the known
// one (the more precise value leading when both are), else the assumed one.
FocalModel ModelOf(const RenderSettings& settings, const std::array<double, 2>& assumed,
                   double ratio) {
  FocalModel model;
  model.shared = settings.shared_focal;
  model.ratio = ratio;
  for (int c = 0; c < 2; ++c) {
    const auto& known = settings.known[c];
    model.priors[c] = known ? FocalPrior{known->f_px, SigmaOf(*known)}
                            : FocalPrior{assumed[c], kAssumedFocalLogSigma};
  }
  if (!model.shared) return model;
  std::optional<FocalPrior> one;
  for (int c = 0; c < 2; ++c) {
    if (!settings.known[c]) continue;
    FocalPrior p = *model.priors[c];
    if (c == 1) p.f_px /= ratio;
    if (!one) {
      one = p;
      continue;
    }
    // Both known: the mean of the logs weighted by precision, no more precise than the
    // better one (two readings of one lens are not independent).
    const double w0 = 1 / (one->relative_sigma * one->relative_sigma);
    const double w1 = 1 / (p.relative_sigma * p.relative_sigma);
    one->f_px = std::exp((w0 * std::log(one->f_px) + w1 * std::log(p.f_px)) / (w0 + w1));
    one->relative_sigma = std::min(one->relative_sigma, p.relative_sigma);
  }
  model.priors[0] = one ? one : model.priors[0];
  model.priors[1].reset();
  return model;
}

bool AnyKnown(const RenderSettings& settings) { return settings.known[0] || settings.known[1]; }

// The focal lengths at the centre of the model's priors.
std::array<double, 2> PriorFocals(const FocalModel& model) {
  const double f1 = model.priors[0]->f_px;
  return {f1, model.shared ? model.ratio * f1 : model.priors[1]->f_px};
}

struct Solution {
  Calibration calibration;
  Matrix XW;  // 3 x n
  bool fitted = false;
};

// Index of the candidate with the lowest full cost: squared reprojection distances over all
// matches, each capped at a few times the smallest median (so that a match one candidate
// explains and another rejects, or puts behind a camera, costs the latter no more than the
// cap), plus the priors' cost at one noise level for all. The same candidates give the same
// choice whatever order they came in; an exact tie keeps the first.
std::vector<double> FullCosts(const CentredPoints& points,
                              const std::vector<Calibration>& candidates, const FocalModel& model) {
  std::vector<Vector> distances;
  double smallest_median = std::numeric_limits<double>::infinity();
  for (const Calibration& c : candidates) {
    distances.push_back(ExplainedDistances(points.m1, points.m2, c));
    const double median = MedianOf(distances.back());
    if (median < smallest_median) smallest_median = median;
  }
  const double cap = kCandidateCapMedians * smallest_median;
  const double noise = std::max(kLocalisationFloorPx, smallest_median / 2);
  std::vector<double> scores;
  for (size_t k = 0; k < distances.size(); ++k) {
    // Half the square of the two images' summed distance: about the squared errors.
    double score = distances[k].array().min(cap).square().sum() / 2;
    const double focals[2] = {std::abs(candidates[k].A1(0, 0)), std::abs(candidates[k].A2(0, 0))};
    for (int c = 0; c < 2; ++c) {
      if (!model.priors[c]) continue;
      const double d =
          noise * std::log(focals[c] / model.priors[c]->f_px) / model.priors[c]->relative_sigma;
      score += d * d;
    }
    scores.push_back(std::isfinite(score) ? score : std::numeric_limits<double>::infinity());
  }
  return scores;
}

// Indices of the candidates from the lowest full cost up; ties keep their order.
std::vector<size_t> ByCost(const std::vector<double>& costs) {
  std::vector<size_t> order(costs.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&costs](size_t a, size_t b) { return costs[a] < costs[b]; });
  while (!order.empty() && !std::isfinite(costs[order.back()])) order.pop_back();
  return order;
}

struct Starts {
  std::vector<Calibration> list;
  size_t seed_free = 0;  // the first ones, which no seed changes
};

// The starts of a render. Those that no seed changes: the fundamental matrix of all matches
// decomposed at the priors' focal lengths and, where a focal length is unknown, at half and
// twice the assumed one too (a valley the matches leave flat is entered from both sides).
// Then the fundamental matrix of the search's best trial at the priors' focal lengths, and
// each of the search's best trials: as it is when nothing is known and the cameras are two;
// otherwise its fundamental matrix decomposed at the known focal lengths (a shared unknown
// one at the mean of the trial's two).
Starts StartsOf(const CentredPoints& points, const FocalSearchResult& search,
                const RenderSettings& settings, const FocalModel& model) {
  const std::array<double, 2> prior = PriorFocals(model);
  const bool any_known = AnyKnown(settings);
  const Matrix3 all_matches = calc_fmat3(points.m1, points.m2).F;
  Starts result;
  std::vector<Calibration>& starts = result.list;
  const bool all_known = model.shared ? any_known : settings.known[0] && settings.known[1];
  for (const double scale : {1.0, 0.5, 2.0}) {
    if (scale != 1 && all_known) break;
    std::array<double, 2> f = prior;
    for (int c = 0; c < 2; ++c)
      if (model.shared ? !any_known : !settings.known[c]) f[c] *= scale;
    for (const auto& s : EssentialStarts(points.m1, points.m2, {all_matches}, f[0], f[1]))
      starts.push_back(s);
  }
  result.seed_free = starts.size();
  if (!search.best_trials.empty()) {
    const ScoredTrial& best = search.best_trials.front();
    for (const auto& s : EssentialStarts(
             points.m1, points.m2,
             {FundamentalOf(Calibration{best.Rcam, best.t, best.A1, best.A2})}, prior[0], prior[1]))
      starts.push_back(s);
  }
  for (const ScoredTrial& trial : search.best_trials) {
    const Calibration c{trial.Rcam, trial.t, trial.A1, trial.A2};
    if (!any_known && !model.shared) {
      starts.push_back(FacingMatches(points.m1, points.m2, c));
      continue;
    }
    std::array<double, 2> f{std::abs(trial.A1(0, 0)), std::abs(trial.A2(0, 0))};
    if (model.shared) {
      const double one = any_known ? prior[0] : std::sqrt(f[0] * f[1] / model.ratio);
      f = {one, model.ratio * one};
    } else {
      for (int k = 0; k < 2; ++k)
        if (settings.known[k]) f[k] = prior[k];
    }
    for (const auto& s : EssentialStarts(points.m1, points.m2, {FundamentalOf(c)}, f[0], f[1]))
      starts.push_back(s);
  }
  return result;
}

// Every start is fitted on at most this many matches, spread over the list; only the
// best end is fitted on all of them. Which start leads where shows on a sample as well.
constexpr Eigen::Index kStartSelectionMatches = 100;
// The screened ends fitted to convergence on all matches, lowest cost first.
constexpr size_t kFinalFits = 2;

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

// The fit from every distinct start on a sample; the ends of lowest full cost (and the best
// of those no seed changes) fitted on all matches, and of these the lowest full cost wins.
// Without the fit, the start of lowest cost itself.
std::optional<Solution> Solve(const CentredPoints& points, const Starts& starts,
                              const FocalModel& model, bool refine, Progress& progress) {
  std::vector<Calibration> ends;
  std::vector<bool> seed_free;
  std::vector<const Calibration*> tried;
  const CentredPoints sample = SampleOf(points);
  const std::vector<Calibration>& list = starts.list;
  for (size_t k = 0; k < list.size() && refine; ++k) {
    progress.SetPos(static_cast<int>(100 * (k + 1) / list.size()));
    if (std::any_of(tried.begin(), tried.end(),
                    [&](const Calibration* c) { return SameStart(*c, list[k]); }))
      continue;
    tried.push_back(&list[k]);
    // Choosing among the starts needs one pass; the chosen ones get all of them below.
    if (std::optional<BundleFit> fit =
            FitBundle(sample.m1, sample.m2, list[k], model, kScreeningFit)) {
      ends.push_back(fit->calibration);
      seed_free.push_back(k < starts.seed_free);
    }
  }
  Solution solution;
  solution.fitted = !ends.empty();
  if (!solution.fitted) {  // no fit, or no start could be fitted: the starts as they are
    const std::vector<size_t> order = ByCost(FullCosts(points, list, model));
    if (order.empty()) return std::nullopt;
    solution.calibration = list[order.front()];
  } else {
    const std::vector<size_t> order = ByCost(FullCosts(points, ends, model));
    if (order.empty()) return std::nullopt;
    std::vector<size_t> chosen;
    bool seed_free_chosen = false;
    for (size_t k : order) {
      const bool wanted = chosen.size() < kFinalFits || (seed_free[k] && !seed_free_chosen);
      if (!wanted || std::any_of(chosen.begin(), chosen.end(),
                                 [&](size_t j) { return SameStart(ends[j], ends[k]); }))
        continue;
      chosen.push_back(k);
      seed_free_chosen = seed_free_chosen || seed_free[k];
    }
    // Taken to the bottom on the sample first, ends in one valley meet: only distinct ones
    // are fitted on all matches.
    constexpr FitControl kSettling{4, kBundleFitIterations, true, false, false};
    std::vector<Calibration> settled;
    for (size_t k : chosen) {
      const std::optional<BundleFit> fit =
          FitBundle(sample.m1, sample.m2, ends[k], model, kSettling);
      const Calibration& end = fit ? fit->calibration : ends[k];
      if (std::none_of(settled.begin(), settled.end(),
                       [&](const Calibration& c) { return SameStart(c, end); }))
        settled.push_back(end);
    }
    std::vector<Calibration> finals;
    for (const Calibration& start : settled)
      if (std::optional<BundleFit> fit = FitBundle(points.m1, points.m2, start, model))
        finals.push_back(fit->calibration);
    if (finals.empty()) finals.push_back(ends[order.front()]);
    const std::vector<size_t> best = ByCost(FullCosts(points, finals, model));
    if (best.empty()) return std::nullopt;
    solution.calibration = finals[best.front()];
  }
  const Calibration& c = solution.calibration;
  solution.XW = recons_ptos(points.m1, points.m2, points.m1.rows(), c.A1, c.A2, c.Rcam, c.t).Xw;
  return solution;
}

// Whether a focal length the render had to find is measured or assumed: assumed when the
// matches and the prior leave it wide open. The other cameras keep their known source;
// shared cameras take the source of the one known value (the entered one first).
std::array<FocalSource, 2> SourcesOf(const RenderSettings& settings, const FocalUncertainty& found,
                                     bool shared) {
  std::array<FocalSource, 2> sources{};
  const double deviations[2] = {found.f1, found.f2};
  for (int c = 0; c < 2; ++c) {
    if (settings.known[c]) {
      sources[c] = settings.known[c]->source;
      continue;
    }
    const double s = kAssumedFocalLogSigma, d = deviations[c];
    const double posterior = 1 / std::sqrt(1 / (s * s) + 1 / (d * d));
    sources[c] =
        posterior > kAssumedPosteriorWidth ? FocalSource::kAssumed : FocalSource::kMeasured;
  }
  if (shared && AnyKnown(settings)) {
    const bool entered =
        (settings.known[0] && settings.known[0]->source == FocalSource::kEntered) ||
        (settings.known[1] && settings.known[1]->source == FocalSource::kEntered);
    sources.fill(entered ? FocalSource::kEntered : FocalSource::kExif);
  }
  return sources;
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
    if (search.best_trial < 0 && !AnyKnown(settings))
      return fail("No sample of the matches gave a camera calibration.");
    outcome.F = std::move(epipolar.F);
    outcome.e1 = std::move(epipolar.e1);
    outcome.e2 = std::move(epipolar.e2);
    outcome.best_median = search.best_median;
    outcome.best_trial = search.best_trial;
    const ImageSize sizes[2] = {image1, image2};
    std::array<double, 2> assumed{};
    for (int c = 0; c < 2; ++c)
      assumed[c] = kAssumedFocalPerShortSide * std::min(sizes[c].width, sizes[c].height);
    const double ratio =
        std::hypot(image2.width, image2.height) / std::hypot(image1.width, image1.height);
    // The search alone keeps its two focal lengths: one shared length is the fit's.
    RenderSettings used = settings;
    used.shared_focal = settings.shared_focal && settings.refine;
    const FocalModel model = ModelOf(used, assumed, ratio);

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
    if (!AnyKnown(used) && !used.refine) {
      Calibration winner{search.Rcam, search.t, search.A1, search.A2};
      Matrix XW = search.XW;
      // The search's score cannot tell a motion from its mirror image (t negated, every
      // point reflected through camera 1's centre); the mirror is turned back.
      const Calibration facing = FacingMatches(points.m1, points.m2, winner);
      if (facing.t != winner.t) XW = -XW;
      solution = Solution{facing, XW, false};
    } else {
      solution =
          Solve(points, StartsOf(points, search, used, model), model, used.refine, fitting());
    }
    if (!solution) return fail("No sample of the matches gave a camera calibration.");

    const auto uncertainty = [&](const Calibration& c) {
      return FocalLengthUncertainty(points.m1, points.m2, c, model.shared ? ratio : 0);
    };
    const FocalUncertainty deviation = uncertainty(solution->calibration);
    Diag(FormatDeviation(deviation));
    outcome.f1_deviation = deviation.f1;
    outcome.f2_deviation = deviation.f2;
    outcome.focal_source = SourcesOf(used, deviation, model.shared);
    // The search alone has no prior to lean on: a focal length it cannot measure is set to
    // the assumed one, the pose found anew for it.
    if (!used.refine && !AnyKnown(used)) {
      RenderSettings fixed = used;
      for (int c = 0; c < 2; ++c)
        if (outcome.focal_source[c] == FocalSource::kAssumed)
          fixed.known[c] = KnownFocal{assumed[c], FocalSource::kEntered, 0};
      if (AnyKnown(fixed)) {
        const FocalModel fixed_model = ModelOf(fixed, assumed, ratio);
        const Calibration& c = solution->calibration;
        const std::array<double, 2> f{fixed.known[0] ? assumed[0] : std::abs(c.A1(0, 0)),
                                      fixed.known[1] ? assumed[1] : std::abs(c.A2(0, 0))};
        solution = Solve(
            points,
            {EssentialStarts(points.m1, points.m2,
                             {FundamentalOf(c), calc_fmat3(points.m1, points.m2).F}, f[0], f[1]),
             0},
            fixed_model, false, fitting());
        if (!solution)
          return fail("No camera geometry fits the matches with the assumed focal lengths.");
      }
    }
    outcome.refined = solution->fitted;
    outcome.shared_focal = model.shared;
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
