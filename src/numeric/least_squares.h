#pragma once
// Nonlinear least squares: Levenberg-Marquardt or Gauss-Newton with a mixed
// quadratic/cubic line search, on a cost routine named in the cost routine table.
#include <array>
#include <string>

#include "numeric/cost_routines.h"
#include "numeric/matrix.h"

namespace q3d {

// The 18-entry option vector, addressed from 1 as in the option table:
//  1 display level, 2 step tolerance, 3 objective tolerance, 5 method (0 LM, 1 GN),
//  7 line search (0 mixed), 8 final sum of squares, 9 check the analytic Jacobian,
//  10 cost evaluations, 11 Jacobian evaluations, 14 evaluation budget,
//  16/17 smallest/largest finite-difference step, 18 current step length.
class OptionVector {
 public:
  double& operator()(int entry) { return entries_.at(entry - 1); }
  double operator()(int entry) const { return entries_.at(entry - 1); }

 private:
  std::array<double, 18> entries_{};
};

// The given options with every zero entry replaced by its default.
OptionVector foptions(const OptionVector& given = {});

struct LeastSquaresResult {
  Matrix x;             // best point, in the shape of the start point
  OptionVector OPTIONS;
  Matrix CostFunction;  // residuals at the best point
  Matrix JACOB;         // residuals by parameters
};

// Minimises the sum of squares of FUN(x, args...). GRADFUN names an analytic Jacobian
// routine or is empty for finite differences. Raises NumericError for an unknown routine.
LeastSquaresResult leastsq(const std::string& FUN, const Matrix& x, const OptionVector& OPTIONS,
                           const std::string& GRADFUN, const CostArgs& args);

}  // namespace q3d
