#include "numeric/render_pipeline.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "numeric/focal_search.h"
#include "numeric/match_support.h"
#include "numeric/motion_refinement.h"
#include "project/diagnostics.h"

namespace q3d {

namespace {
// Cap, in medians, on a match's reprojection distance when refined results are compared.
constexpr double kCandidateCapMedians = 3.0;
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

RenderOutcome RenderMatches(const Matrix& matches, ImageSize image1, ImageSize image2,
                            const RenderSettings& settings, RandomSource& random,
                            Progress* progress) {
  RenderOutcome outcome;
  if (matches.rows() < kMinimumRenderMatches || matches.cols() != 4) {
    outcome.failure = "fewer than 10 matches";
    Diag(outcome.failure);
    return outcome;
  }
  try {
    FundamentalEstimate epipolar = EpipolarGeometryOfMatches(matches);
    const CentredPoints points = CentreMatches(matches, image1, image2);
    FocalSearchResult search = LMedSFocales(points.m1, points.m2, random, progress);
    if (search.best_trial < 0) {
      outcome.failure = "no trial of the focal search succeeded";
      Diag(outcome.failure);
      return outcome;
    }
    outcome.F = std::move(epipolar.F);
    outcome.e1 = std::move(epipolar.e1);
    outcome.e2 = std::move(epipolar.e2);
    outcome.best_median = search.best_median;
    outcome.best_trial = search.best_trial;
    Calibration calibration{search.Rcam, search.t, search.A1, search.A2};
    Matrix XW = std::move(search.XW);
    if (settings.refine) {
      // Refine the best few trials: a start can lead the refinement to adopt a wrong match
      // that another start leaves out. The results are compared by their squared
      // reprojection distances over all matches, each capped at a few times the smallest
      // median, so that a match one result explains and another rejects (or puts behind a
      // camera) costs the latter no more than the cap.
      std::vector<RefinedCalibration> candidates;
      std::vector<Vector> distances;
      double smallest_median = std::numeric_limits<double>::infinity();
      for (const ScoredTrial& trial : search.best_trials) {
        RefinedCalibration refined = RefineMotionAndFocals(
            points.m1, points.m2, Calibration{trial.Rcam, trial.t, trial.A1, trial.A2});
        if (!refined.refined) continue;
        const Calibration& c = refined.calibration;
        distances.push_back(ExplainedDistances(points.m1, points.m2, c));
        smallest_median = std::min(smallest_median, MedianOf(distances.back()));
        candidates.push_back(std::move(refined));
      }
      const double cap = kCandidateCapMedians * smallest_median;
      double best_score = std::numeric_limits<double>::infinity();
      for (size_t k = 0; k < candidates.size(); ++k) {
        const double score = distances[k].array().min(cap).square().sum();
        if (score < best_score) {
          best_score = score;
          outcome.refined = true;
          calibration = candidates[k].calibration;
          XW = candidates[k].XW;
        }
      }
    }
    outcome.A1 = std::move(calibration.A1);
    outcome.Rcam = std::move(calibration.Rcam);
    outcome.t = std::move(calibration.t);
    outcome.A2 = std::move(calibration.A2);
    outcome.XW = XW.transpose();
    outcome.ok = true;
  } catch (const NumericError& error) {
    outcome = RenderOutcome{};
    outcome.failure = error.what();
    Diag(outcome.failure);
  }
  return outcome;
}

}  // namespace q3d
