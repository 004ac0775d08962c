#include "numeric/render_pipeline.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <future>
#include <limits>
#include <optional>
#include <system_error>
#include <vector>

#include "numeric/focal_search.h"
#include "numeric/match_support.h"
#include "numeric/motion_refinement.h"
#include "numeric/view_degeneracy.h"
#include "base/diagnostics.h"

namespace q3d {

namespace {
// Cap, in medians, on a match's reprojection distance when refined results are compared.
constexpr double kCandidateCapMedians = 3.0;
constexpr std::chrono::milliseconds kProgressPumpInterval{50};

std::string FormatSeparation(const PrincipalPointSeparation& separation) {
  char text[128];
  std::snprintf(text, sizeof text,
                "principal points %.3g px off each other's epipolar lines, match scatter %.3g px",
                separation.distance_px, separation.scatter_px);
  return text;
}

std::string FormatDeviation(const FocalUncertainty& deviation) {
  char text[96];
  std::snprintf(text, sizeof text, "focal length deviation f1 %.3g %%, f2 %.3g %%",
                100 * deviation.f1, 100 * deviation.f2);
  return text;
}

// Refines the best few trials: a start can lead the refinement to adopt a wrong match
// that another start leaves out. The results are compared by their squared reprojection
// distances over all matches, each capped at a few times the smallest median, so that a
// match one result explains and another rejects (or puts behind a camera) costs the
// latter no more than the cap. Nothing when no trial could be refined. Progress goes by
// the trials refined; a NumericError of any refinement ends the whole call.
std::optional<RefinedCalibration> RefineBestTrials(const CentredPoints& points,
                                                   const std::vector<ScoredTrial>& trials,
                                                   Progress* external_progress) {
  ScopedProgress progress(external_progress);
  progress->SetStep("Refining the focal lengths, please wait...");
  progress->SetPos(0);
  // The trials are refined side by side; each refinement is independent of the others.
  std::vector<std::future<RefinedCalibration>> running;
  for (const ScoredTrial& trial : trials) {
    auto refine = [&points, &trial] {
      return RefineMotionAndFocals(points.m1, points.m2,
                                   Calibration{trial.Rcam, trial.t, trial.A1, trial.A2});
    };
    try {
      running.push_back(std::async(std::launch::async, refine));
    } catch (const std::system_error&) {  // no thread to be had: refine when collected
      running.push_back(std::async(std::launch::deferred, refine));
    }
  }
  std::vector<RefinedCalibration> candidates;
  std::vector<Vector> distances;
  double smallest_median = std::numeric_limits<double>::infinity();
  for (size_t k = 0; k < running.size(); ++k) {
    // Keep the progress window alive while waiting.
    while (running[k].wait_for(kProgressPumpInterval) == std::future_status::timeout)
      progress->SetPos(progress->Pos());
    RefinedCalibration refined = running[k].get();
    progress->SetPos(static_cast<int>(100 * (k + 1) / running.size()));
    if (!refined.refined) continue;
    distances.push_back(ExplainedDistances(points.m1, points.m2, refined.calibration));
    smallest_median = std::min(smallest_median, MedianOf(distances.back()));
    candidates.push_back(std::move(refined));
  }
  const double cap = kCandidateCapMedians * smallest_median;
  std::optional<RefinedCalibration> best;
  double best_score = std::numeric_limits<double>::infinity();
  for (size_t k = 0; k < candidates.size(); ++k) {
    const double score = distances[k].array().min(cap).square().sum();
    if (score < best_score) {
      best_score = score;
      best = std::move(candidates[k]);
    }
  }
  return best;
}
}  // namespace

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
                                    Progress* progress) {
  const auto fail = [](const std::string& reason) {
    Diag(reason);
    return Status::Fail(reason);
  };
  if (matches.rows() < kMinimumRenderMatches || matches.cols() != 4)
    return fail("A render needs at least " + std::to_string(kMinimumRenderMatches) + " matches.");
  if (!matches.allFinite()) return fail("Some matched points have no valid coordinates.");
  try {
    RenderOutcome outcome;
    FundamentalEstimate epipolar = EpipolarGeometryOfMatches(matches);
    const CentredPoints points = CentreMatches(matches, image1, image2);
    FocalSearchResult search = LMedSFocales(points.m1, points.m2, random, progress);
    if (search.best_trial < 0) return fail("No sample of the matches gave a camera calibration.");
    outcome.F = std::move(epipolar.F);
    outcome.e1 = std::move(epipolar.e1);
    outcome.e2 = std::move(epipolar.e2);
    outcome.best_median = search.best_median;
    outcome.best_trial = search.best_trial;
    Calibration calibration{search.Rcam, search.t, search.A1, search.A2};
    Matrix XW = std::move(search.XW);
    // The search's score cannot tell a motion from its mirror image (t negated, every
    // point reflected through camera 1's centre, behind both cameras), and a wrong match
    // can decide the sign of t; the mirror is turned back towards the matches.
    const Calibration facing = FacingMatches(points.m1, points.m2, calibration);
    if (facing.t != calibration.t) {
      calibration = facing;
      XW = -XW;
    }
    if (settings.refine) {
      const std::optional<RefinedCalibration> refined =
          RefineBestTrials(points, search.best_trials, progress);
      if (refined) {
        outcome.refined = true;
        calibration = refined->calibration;
        XW = refined->XW;
      }
    }
    const PrincipalPointSeparation separation = SeparationOf(points.m1, points.m2, calibration);
    const FocalUncertainty deviation = FocalLengthUncertainty(points.m1, points.m2, calibration);
    Diag(FormatSeparation(separation) + "; " + FormatDeviation(deviation));
    if (OpticalAxesMeet(separation)) {
      Diag("optical axes meet: " + FormatSeparation(separation));
      return fail(
          "The two photographs were aimed at the same point (their optical axes meet), so the "
          "matches leave the focal lengths undetermined.");
    }
    outcome.f1_deviation = deviation.f1;
    outcome.f2_deviation = deviation.f2;
    outcome.A1 = std::move(calibration.A1);
    outcome.Rcam = std::move(calibration.Rcam);
    outcome.t = std::move(calibration.t);
    outcome.A2 = std::move(calibration.A2);
    outcome.XW = XW.transpose();
    return outcome;
  } catch (const NumericError& error) {
    return fail(std::string("The matches fix no camera geometry: ") + error.what());
  }
}

}  // namespace q3d
