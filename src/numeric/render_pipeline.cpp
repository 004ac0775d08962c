#include "numeric/render_pipeline.h"

#include "numeric/focal_search.h"
#include "numeric/motion_refinement.h"
#include "project/diagnostics.h"

namespace q3d {

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
      RefinedCalibration refined = RefineMotionAndFocals(points.m1, points.m2, calibration);
      outcome.refined = refined.refined;
      calibration = std::move(refined.calibration);
      XW = std::move(refined.XW);
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
