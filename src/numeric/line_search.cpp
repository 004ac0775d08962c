#include "numeric/line_search.h"

#include <Eigen/Dense>
#include <cmath>
#include <limits>

namespace q3d {

namespace {
constexpr double kEps = std::numeric_limits<double>::epsilon();

// The library's min and max ignore a NaN operand.
double MinOf(double a, double b) {
  if (std::isnan(a)) return b;
  if (std::isnan(b)) return a;
  return a < b ? a : b;
}
double MaxOf(double a, double b) {
  if (std::isnan(a)) return b;
  if (std::isnan(b)) return a;
  return a > b ? a : b;
}

// Real part of the square root: 0 for a negative argument.
double RealSqrt(double x) { return x < 0 ? 0.0 : std::sqrt(x); }

// The root of a s^2 + b s + g = 0 (the stationary point of a s^3/3 + b s^2/2 + g s) at
// which the cubic has positive curvature.
double CubicMinimiser(double a, double b, double g) {
  const double root = RealSqrt(b * b - 4 * a * g);
  const double x1 = (-b + root) / (2 * a);
  if (2 * a * x1 + b > 0) return x1;
  return (-b - root) / (2 * a);
}
}  // namespace

double cubici1(double fnew, double fold, double gnew, double gold, double step) {
  if (std::isinf(fnew)) fnew = 1 / kEps;
  const double z = 3 * (fold - fnew) / step + gold + gnew;
  const double w = RealSqrt(z * z - gnew * gold);
  return step * (gnew + w - z) / (gnew - gold + 2 * w);
}

double cubici2(double gold, const LineSamples& matl, const LineSamples& matx) {
  Eigen::Matrix3d system;
  Eigen::Vector3d rhs;
  for (int k = 0; k < 3; ++k) {
    const double s = matx[k];
    system.row(k) << s * s * s / 3, s * s / 2, 1;
    rhs(k) = matl[k] - gold * s;
  }
  const Eigen::Vector3d abd = system.partialPivLu().solve(rhs);
  double stepmin = CubicMinimiser(abd(0), abd(1), gold);
  if (stepmin < 0 || !std::isfinite(stepmin)) {
    stepmin = std::abs(quadi(matx, matl));
    if (std::isnan(stepmin)) stepmin = matx[1] / 2;
  }
  return stepmin;
}

CubicMinimum cubici3(double fnew, double fold, double gnew, double gold, double step) {
  if (std::isinf(fnew)) fnew = 1 / kEps;
  // [step^3/3, step^2/2; step^2, step] \ [r1; r2] by Cramer's rule.
  const double m11 = step * step * step / 3, m12 = step * step / 2;
  const double m21 = step * step, m22 = step;
  const double r1 = fnew - gold * step - fold, r2 = gnew - gold;
  const double det = m11 * m22 - m12 * m21;
  const double a = (r1 * m22 - m12 * r2) / det;
  const double b = (m11 * r2 - m21 * r1) / det;
  CubicMinimum result;
  if (a == 0) {
    result.stepmin = -gold / b;
  } else {
    result.stepmin = CubicMinimiser(a, b, gold);
    if (result.stepmin < 0) result.stepmin = std::abs(result.stepmin);
  }
  const double s = result.stepmin;
  result.fbest = a * s * s * s / 3 + b * s * s / 2 + gold * s + fold;
  return result;
}

double quadi(const LineSamples& x, const LineSamples& y) {
  Eigen::Matrix3d system;
  for (int k = 0; k < 3; ++k) system.row(k) << x[k] * x[k], x[k], 1;
  const Eigen::Vector3d abc = system.partialPivLu().solve(Eigen::Vector3d(y[0], y[1], y[2]));
  return -abc(1) / (2 * abc(0));
}

void searchq(LineSearchState& s, double GDOLD) {
  const double step = s.step;
  const double fnew = s.fnew;
  if (s.PCNT == 1 && fnew < s.MATL[0]) {
    // Decrease at the first trial step: extrapolate.
    s.MATX[1] = step;
    s.MATL[1] = fnew;
    double newstep = -0.5 * GDOLD * step * step / (fnew - GDOLD * step - s.MATL[0] + kEps);
    if (newstep < step) {
      s.how += "QEF ";
      newstep = 1.2 * step;
    }
    s.step = 1.2 * newstep;
    s.PCNT = 2;
  } else if (s.PCNT == 1) {
    // No decrease: interpolate back towards the start.
    s.MATX[2] = step;
    s.MATL[2] = fnew;
    s.step = MaxOf(1e-8 * step, -GDOLD * 0.5 * step * step / (fnew - GDOLD * step - s.MATL[0] + kEps));
    s.how += "r";
    s.PCNT = 3;
  } else if (s.PCNT == 2 && fnew < s.MATL[1]) {
    // Still decreasing: extrapolate further.
    const double newstep = cubici2(GDOLD, {s.MATL[0], s.MATL[1], fnew}, {s.MATX[0], s.MATX[1], step});
    if (newstep < step) s.how += "CEF ";
    s.MATL[0] = s.MATL[1];
    s.MATX[0] = s.MATX[1];
    s.MATL[1] = fnew;
    s.MATX[1] = step;
    s.step = MinOf(newstep, 1) + 1.5 * step;
    s.step = MaxOf(1.2 * newstep, 1.2 * s.step);
  } else if (s.PCNT == 3 && fnew >= s.MATL[0]) {
    // Still no decrease: shrink.
    s.MATL[1] = fnew;
    s.MATX[1] = step;
    double newstep;
    if (step < 1e-6) {
      newstep = -step / 2;
      if (std::abs(newstep) < kEps * kEps) s.PCNT = 0;
    } else {
      newstep = cubici2(GDOLD, {s.MATL[0], s.MATL[2], fnew}, {s.MATX[0], s.MATX[2], step});
    }
    s.MATX[2] = step;
    s.step = std::isnan(newstep) ? step / 2 : newstep;
    s.MATL[2] = fnew;
  } else if (s.PCNT == 2 && fnew >= s.MATL[1]) {
    // Bracketed after extrapolation: interpolate over the three samples.
    s.MATX[2] = step;
    s.MATL[2] = fnew;
    s.step = cubici2(GDOLD, s.MATL, s.MATX);
    s.PCNT = 4;
  } else if (s.PCNT == 3 && fnew < s.MATL[0]) {
    // Bracketed after shrinking.
    s.MATX[1] = step;
    s.MATL[1] = fnew;
    s.step = cubici2(GDOLD, s.MATL, s.MATX);
    s.PCNT = 4;
  } else if (s.PCNT == 4) {
    s.PCNT = 0;
    s.step = std::abs(step);
    if (fnew > s.MATL[1]) {
      s.fnew = s.MATL[1];
      s.how.assign(1, 'f');  // (not = "f": GCC 12 warns falsely)
      s.step = s.MATX[1];
    }
  }
}

}  // namespace q3d
