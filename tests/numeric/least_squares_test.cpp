#include "numeric/least_squares.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "numeric/fundamental_matrix.h"
#include "numeric/motion_cost.h"
#include "numeric/motion_refinement.h"
#include "support/numeric_test_support.h"
#include "support/synthetic_scene.h"

namespace q3d {
namespace {

// The one-parameter epipolar problem of nine noisy matches: normalised points and the two
// smallest right singular vectors of their design matrix.
struct AlfaProblem {
  Matrix X;
  Vector9 v8, v9;
  CostArgs Args() const { return {X, v8, v9}; }
  double Cost(double alfa) const { return dist_epi2(alfa, X, v8, v9).squaredNorm(); }
};

AlfaProblem MakeAlfaProblem(double noise) {
  test::SceneOptions options;
  options.pixel_noise_sigma = noise;
  options.seed = 3;
  const auto scene = test::MakeSyntheticScene(options);
  AlfaProblem p;
  p.X.resize(9, 4);
  p.X << scene.m1.topRows(9) / 200.0, scene.m2.topRows(9) / 200.0;
  Eigen::Matrix<double, 9, 9> A;
  for (int i = 0; i < 9; ++i) {
    const double x = p.X(i, 0), y = p.X(i, 1), xp = p.X(i, 2), yp = p.X(i, 3);
    A.row(i) << xp * x, yp * x, x, xp * y, yp * y, y, xp, yp, 1;
  }
  const Eigen::JacobiSVD<Eigen::Matrix<double, 9, 9>> svd(A, Eigen::ComputeFullV);
  p.v8 = svd.matrixV().col(7);
  p.v9 = svd.matrixV().col(8);
  return p;
}

// The minimiser of the one-parameter cost by a dense scan refined by golden sections.
double ScanMinimum(const AlfaProblem& p) {
  double best = 0;
  for (double a = -2; a <= 3; a += 1e-4) {
    if (p.Cost(a) < p.Cost(best)) best = a;
  }
  double lo = best - 1e-4, hi = best + 1e-4;
  const double g = (std::sqrt(5.0) - 1) / 2;
  for (int k = 0; k < 100; ++k) {
    const double c = hi - g * (hi - lo), d = lo + g * (hi - lo);
    (p.Cost(c) < p.Cost(d) ? hi : lo) = p.Cost(c) < p.Cost(d) ? d : c;
  }
  return (lo + hi) / 2;
}

OptionVector GaussNewton() {
  OptionVector options;
  options(2) = 1e-6;
  options(3) = 1e-6;
  options(5) = 1;
  options(14) = 400;
  return options;
}

TEST(LeastSquares, GaussNewtonWithAnalyticJacobianReachesTheMinimum) {
  const AlfaProblem p = MakeAlfaProblem(0.5);
  const double expected = ScanMinimum(p);
  const LeastSquaresResult fit =
      leastsq("dist_epi2", Matrix::Constant(1, 1, 0.5), GaussNewton(), "grad_alfa", p.Args());
  EXPECT_NEAR(fit.x(0), expected, 1e-4);
  EXPECT_LE(p.Cost(fit.x(0)), p.Cost(expected) * (1 + 1e-6));
  EXPECT_GT(fit.OPTIONS(11), 0);  // analytic Jacobian used
  EXPECT_EQ(fit.JACOB.rows(), 9);
  EXPECT_EQ(fit.JACOB.cols(), 1);
}

TEST(LeastSquares, LevenbergMarquardtWithFiniteDifferencesReachesTheSameMinimum) {
  const AlfaProblem p = MakeAlfaProblem(0.5);
  OptionVector options = GaussNewton();
  options(5) = 0;
  const LeastSquaresResult fit = leastsq("dist_epi2", Matrix::Constant(1, 1, 0.5), options, "", p.Args());
  EXPECT_NEAR(fit.x(0), ScanMinimum(p), 1e-4);
  EXPECT_EQ(fit.OPTIONS(11), 0);
  EXPECT_NEAR(fit.OPTIONS(8), fit.CostFunction.squaredNorm(), 1e-12 + 1e-6 * fit.OPTIONS(8));
}

TEST(LeastSquares, AnalyticJacobianAgreesWithCentralDifferences) {
  const AlfaProblem p = MakeAlfaProblem(0.5);
  for (double alfa : {-0.7, 0.2, 0.9, 1.6}) {
    const Matrix analytic = grad_alfa(alfa, p.X, p.v8, p.v9);
    const double h = 1e-6;
    const Vector numeric =
        (dist_epi2(alfa + h, p.X, p.v8, p.v9) - dist_epi2(alfa - h, p.X, p.v8, p.v9)) / (2 * h);
    EXPECT_LT((analytic.transpose() - numeric).cwiseAbs().maxCoeff(),
              1e-6 * (1 + numeric.cwiseAbs().maxCoeff()))
        << "alfa " << alfa;
  }
}

TEST(LeastSquares, DerivativeCheckReportsAgreement) {
  const AlfaProblem p = MakeAlfaProblem(0.5);
  test::DiagnosticCapture capture;
  OptionVector options = GaussNewton();
  options(9) = 1;
  const LeastSquaresResult fit =
      leastsq("dist_epi2", Matrix::Constant(1, 1, 0.5), options, "grad_alfa", p.Args());
  EXPECT_TRUE(capture.Contains("Maximum discrepancy between derivatives"));
  EXPECT_FALSE(capture.Contains("Warning: Derivatives do not match within tolerance"));
  EXPECT_EQ(fit.OPTIONS(9), 0);
}

TEST(LeastSquares, UnknownRoutinesAreErrors) {
  const AlfaProblem p = MakeAlfaProblem(0.5);
  try {
    leastsq("no_such_cost", Matrix::Constant(1, 1, 0.5), GaussNewton(), "", p.Args());
    FAIL() << "no error";
  } catch (const NumericError& error) {
    EXPECT_STREQ(error.what(), "FUN must be a function name or valid expression.");
  }
  EXPECT_THROW(leastsq("dist_epi2", Matrix::Constant(1, 1, 0.5), GaussNewton(), "no_such_grad",
                       p.Args()),
               NumericError);
  EXPECT_THROW(feval("no_such_cost", Matrix::Constant(1, 1, 0.5), p.Args()), NumericError);
  EXPECT_NO_THROW(feval("dist_epi2", Matrix::Constant(1, 1, 0.5), p.Args()));
  // A known routine given the wrong arguments is an error too, not a crash.
  EXPECT_THROW(feval("dist_epi2", Matrix::Constant(1, 1, 0.5), {p.X}), NumericError);
}

TEST(LeastSquares, DefaultBudgetIsAHundredEvaluationsPerParameter) {
  const AlfaProblem p = MakeAlfaProblem(0.5);
  OptionVector options = GaussNewton();
  options(14) = 0;
  EXPECT_EQ(leastsq("dist_epi2", Matrix::Constant(1, 1, 0.5), options, "grad_alfa", p.Args())
                .OPTIONS(14),
            100);

  const auto scene = test::MakeSyntheticScene();
  const Calibration truth{scene.R, scene.t, scene.A1, scene.A2};
  const MotionParameters start = PackMotion(truth);
  OptionVector defaults;
  const CostArgs args = {scene.m1, scene.m2, Matrix::Constant(1, 1, 60),
                         Matrix::Constant(1, 1, start.sign_t), Matrix::Constant(1, 1, start.sign_v),
                         scene.A1, scene.A2, Matrix::Constant(1, 1, 1)};
  EXPECT_EQ(leastsq("travolen_back_motion", start.vAo, defaults, "", args).OPTIONS(14), 700);
}

TEST(LeastSquares, SilentUnlessTheBudgetRunsOut) {
  const AlfaProblem p = MakeAlfaProblem(0.5);
  {
    test::DiagnosticCapture capture;
    leastsq("dist_epi2", Matrix::Constant(1, 1, 0.5), GaussNewton(), "grad_alfa", p.Args());
    EXPECT_TRUE(capture.lines.empty());
  }
  test::DiagnosticCapture capture;
  OptionVector tight = GaussNewton();
  tight(14) = 2;
  const LeastSquaresResult fit =
      leastsq("dist_epi2", Matrix::Constant(1, 1, 3.0), tight, "grad_alfa", p.Args());
  ASSERT_EQ(capture.lines.size(), 1u);
  EXPECT_EQ(capture.lines[0], "maximum number of iterations has been exceeded");
  EXPECT_TRUE(std::isfinite(fit.x(0)));
}

TEST(LeastSquares, DisplayPrintsHeaderAndTermination) {
  const AlfaProblem p = MakeAlfaProblem(0.5);
  test::DiagnosticCapture capture;
  OptionVector options = GaussNewton();
  options(1) = 1;
  leastsq("dist_epi2", Matrix::Constant(1, 1, 0.5), options, "grad_alfa", p.Args());
  ASSERT_FALSE(capture.lines.empty());
  EXPECT_EQ(capture.lines[0], "f-COUNT      RESID    STEP-SIZE      GRAD/SD");
  EXPECT_GT(capture.lines.size(), 2u);
}

TEST(LeastSquares, ExactSolutionIsKept) {
  const AlfaProblem p = MakeAlfaProblem(0);
  // Noise-free: v9 alone (alfa = 0) satisfies every match up to rounding.
  ASSERT_LT(p.Cost(0), 1e-20);
  const LeastSquaresResult fit =
      leastsq("dist_epi2", Matrix::Constant(1, 1, 0.0), GaussNewton(), "grad_alfa", p.Args());
  EXPECT_LT(std::abs(fit.x(0)), 1e-9);
}

TEST(LeastSquares, NonFiniteCostsEndWithinTheBudget) {
  const AlfaProblem p = MakeAlfaProblem(0.5);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (const double start : {nan, std::numeric_limits<double>::infinity()}) {
    for (const double method : {0.0, 1.0}) {
      OptionVector options = GaussNewton();
      options(5) = method;
      const LeastSquaresResult fit =
          leastsq("dist_epi2", Matrix::Constant(1, 1, start), options, "grad_alfa", p.Args());
      EXPECT_LE(fit.OPTIONS(10), fit.OPTIONS(14) + 2);
    }
  }
  // An infinite budget must not let a NaN cost run for ever.
  OptionVector unbounded = GaussNewton();
  unbounded(14) = std::numeric_limits<double>::infinity();
  const LeastSquaresResult fit =
      leastsq("dist_epi2", Matrix::Constant(1, 1, nan), unbounded, "", p.Args());
  EXPECT_LE(fit.OPTIONS(10), 102);
}

TEST(LeastSquares, ReprojectionCostRecoversAPerturbedMotion) {
  const auto scene = test::MakeSyntheticScene();
  const Calibration truth{scene.R, scene.t, scene.A1, scene.A2};
  MotionParameters start = PackMotion(truth);
  ASSERT_TRUE(start.ok);
  const Matrix exact = start.vAo;
  start.vAo(0) += 0.2;
  start.vAo(2) += 0.01;
  start.vAo(5) *= 1.03;
  start.vAo(6) *= 0.97;
  OptionVector options;
  options(2) = 1e-10;
  options(3) = 1e-10;
  options(14) = 3000;
  const CostArgs args = {scene.m1, scene.m2, Matrix::Constant(1, 1, 60),
                         Matrix::Constant(1, 1, start.sign_t), Matrix::Constant(1, 1, start.sign_v),
                         scene.A1, scene.A2, Matrix::Constant(1, 1, 1)};
  const LeastSquaresResult fit = leastsq("travolen_back_motion", start.vAo, options, "", args);
  EXPECT_LT(fit.CostFunction.cwiseAbs().maxCoeff(), 1e-3);
  EXPECT_NEAR(fit.x(5), exact(5), 1e-3 * std::abs(exact(5)));
  EXPECT_NEAR(fit.x(6), exact(6), 1e-3 * std::abs(exact(6)));
  EXPECT_EQ(fit.x.rows(), 7);
  EXPECT_EQ(fit.x.cols(), 1);
}

}  // namespace
}  // namespace q3d
