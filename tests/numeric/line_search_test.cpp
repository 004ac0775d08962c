#include "numeric/line_search.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace q3d {
namespace {

// f(s) = s^3/3 - 2 s^2 + 3 s + 5: local minimum at s = 3 with f(3) = 5.
double Cubic(double s) { return s * s * s / 3 - 2 * s * s + 3 * s + 5; }
double CubicSlope(double s) { return s * s - 4 * s + 3; }

TEST(LineSearchInterpolation, CubicsThroughACubicFindItsMinimum) {
  const double step = 4;
  // cubici1 measures the minimum back from the step: 4 - 3.
  EXPECT_NEAR(cubici1(Cubic(step), Cubic(0), CubicSlope(step), CubicSlope(0), step), 1, 1e-12);
  const CubicMinimum m = cubici3(Cubic(step), Cubic(0), CubicSlope(step), CubicSlope(0), step);
  EXPECT_NEAR(m.stepmin, 3, 1e-12);
  EXPECT_NEAR(m.fbest, 5, 1e-12);
  EXPECT_NEAR(cubici2(CubicSlope(0), {Cubic(1), Cubic(2), Cubic(4)}, {1, 2, 4}), 3, 1e-10);
}

TEST(LineSearchInterpolation, QuadraticCases) {
  // Parabola (s - 3)^2 + 1.
  auto parabola = [](double s) { return (s - 3) * (s - 3) + 1; };
  EXPECT_NEAR(quadi({1, 2, 4}, {parabola(1), parabola(2), parabola(4)}), 3, 1e-12);
  // On a parabola the cubic term vanishes and cubici2 falls back to the parabola's vertex.
  EXPECT_NEAR(cubici2(-6, {parabola(1), parabola(2), parabola(4)}, {1, 2, 4}), 3, 1e-9);
  // cubici3 with a = 0 takes the parabola's minimiser -gold / b.
  EXPECT_NEAR(cubici3(parabola(4), parabola(0), 2, -6, 4).stepmin, 3, 1e-12);
}

TEST(LineSearchInterpolation, InfiniteObjectiveIsCapped) {
  const double capped = cubici1(1 / std::numeric_limits<double>::epsilon(), 1, 1, -1, 1);
  EXPECT_EQ(cubici1(std::numeric_limits<double>::infinity(), 1, 1, -1, 1), capped);
  EXPECT_TRUE(std::isfinite(capped));
}

TEST(LineSearchStep, PhasesFollowTheSamples) {
  LineSearchState s;
  s.PCNT = 1;
  s.MATL = {10, 0, 0};
  s.step = 1;
  s.fnew = 8;  // decrease: extrapolate
  searchq(s, -4);
  EXPECT_EQ(s.PCNT, 2);
  EXPECT_EQ(s.MATX[1], 1);
  EXPECT_EQ(s.MATL[1], 8);
  EXPECT_GE(s.step, 1.2);

  LineSearchState r;
  r.PCNT = 1;
  r.MATL = {10, 0, 0};
  r.step = 1;
  r.fnew = 12;  // no decrease: shrink
  searchq(r, -4);
  EXPECT_EQ(r.PCNT, 3);
  EXPECT_EQ(r.how, "r");
  EXPECT_LT(r.step, 1);
  EXPECT_GT(r.step, 0);

  LineSearchState f;
  f.PCNT = 4;
  f.MATL = {10, 7, 9};
  f.MATX = {0, 2, 3};
  f.step = -2.5;
  f.fnew = 8;  // worse than the best sample: take the best sample
  searchq(f, -4);
  EXPECT_EQ(f.PCNT, 0);
  EXPECT_EQ(f.how, "f");
  EXPECT_EQ(f.step, 2);
  EXPECT_EQ(f.fnew, 7);
}

TEST(LineSearchStep, OnlyOneCaseRunsPerCall) {
  // Phase 1 with a decrease moves to phase 2; a second case of the chain must not run in
  // the same call (it would move on to phase 4).
  LineSearchState s;
  s.PCNT = 1;
  s.MATL = {10, 0, 0};
  s.step = 1;
  s.fnew = 2;
  searchq(s, -20);
  EXPECT_EQ(s.PCNT, 2);
}

TEST(LineSearchStep, NaNObjectiveMatchesNoCaseOfThePhase) {
  LineSearchState s;
  s.PCNT = 2;
  s.MATL = {10, 8, 0};
  s.MATX = {0, 1, 0};
  s.step = 1.5;
  s.fnew = std::numeric_limits<double>::quiet_NaN();
  searchq(s, -4);
  EXPECT_EQ(s.PCNT, 2);
  EXPECT_EQ(s.step, 1.5);
}

}  // namespace
}  // namespace q3d
