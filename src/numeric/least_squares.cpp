#include "numeric/least_squares.h"

#include <cmath>
#include <limits>

#include "numeric/line_search.h"
#include "base/diagnostics.h"

namespace q3d {

namespace {
constexpr double kEps = std::numeric_limits<double>::epsilon();

// A cost routine with its extra arguments, evaluated on the engine's parameter column.
class Problem {
 public:
  Problem(CostRoutine fun, CostRoutine gradfun, const CostArgs& args, const Matrix& start)
      : fun_(fun), gradfun_(gradfun), args_(args), rows_(start.rows()), cols_(start.cols()) {}

  bool HasGradient() const { return gradfun_ != nullptr; }

  Vector Cost(const Vector& XOUT) const { return AsColumn(fun_(Shaped(XOUT), args_)); }

  Matrix Gradient(const Vector& XOUT) const { return gradfun_(Shaped(XOUT), args_); }

  Matrix Shaped(const Vector& XOUT) const { return XOUT.reshaped(rows_, cols_); }

 private:
  static Vector AsColumn(const Matrix& m) { return m.reshaped(); }

  CostRoutine fun_;
  CostRoutine gradfun_;
  const CostArgs& args_;
  Eigen::Index rows_;
  Eigen::Index cols_;
};

struct SingularRange {
  double largest = 0;
  double smallest = 0;
  double Cond() const { return largest / smallest; }
};

SingularRange SingularValuesOf(const Matrix& GRAD) {
  if (GRAD.rows() == 1 || GRAD.cols() == 1) {
    const double n = GRAD.norm();
    return {n, n};
  }
  const Vector s = Eigen::JacobiSVD<Matrix>(GRAD).singularValues();
  return {s(0), s(s.size() - 1)};
}

// -(J'J + lambda I) \ (J'f), with J = GRAD'.
Vector DampedStep(const Matrix& GRAD, const Vector& f, double lambda) {
  Matrix JtJ = GRAD * GRAD.transpose();
  JtJ.diagonal().array() += lambda;
  return -JtJ.partialPivLu().solve(GRAD * f);
}

// ||J SD + f||^2: the sum of squares the linear model predicts after the step.
double PredictedSum(const Matrix& GRAD, const Vector& SD, const Vector& f) {
  return (GRAD.transpose() * SD + f).squaredNorm();
}

double MaxAbs(const Vector& v) { return v.size() ? v.cwiseAbs().maxCoeff() : 0.0; }

std::string MatrixText(const Matrix& m) {
  std::string text;
  char buffer[32];
  for (Eigen::Index r = 0; r < m.rows(); ++r) {
    for (Eigen::Index c = 0; c < m.cols(); ++c) {
      std::snprintf(buffer, sizeof buffer, " %12.6g", m(r, c));
      text += buffer;
    }
    text += '\n';
  }
  return text;
}

// Compares an analytic Jacobian with the finite-difference one (both parameters by
// residuals) and reports the largest discrepancy.
void graderr(const Matrix& finite_diff_deriv, const Matrix& analytic_deriv) {
  if (finite_diff_deriv.rows() != analytic_deriv.rows() ||
      finite_diff_deriv.cols() != analytic_deriv.cols()) {
    throw NumericError("Matrix dimensions must agree.");
  }
  const double err = (finite_diff_deriv - analytic_deriv).cwiseAbs().maxCoeff();
  Diagf("Maximum discrepancy between derivatives  = %g", err);
  const double analytic_norm = Eigen::JacobiSVD<Matrix>(analytic_deriv).singularValues()(0);
  if (err > 1e-6 * analytic_norm + 1e-5) {
    Diag("Warning: Derivatives do not match within tolerance");
    Diag("Derivative from finite difference calculation:");
    Diag(MatrixText(finite_diff_deriv.transpose()));
    Diag("User-supplied derivative,");
    Diag(MatrixText(analytic_deriv.transpose()));
    Diag("Difference:");
    Diag(MatrixText((finite_diff_deriv - analytic_deriv).transpose()));
  }
}

class Display {
 public:
  explicit Display(double level) : level_(level) {}
  bool On() const { return level_ > 0; }
  bool Verbose() const { return std::isinf(level_); }

  void Header(bool gauss_newton) const {
    if (!On()) return;
    if (gauss_newton) {
      Diag(Verbose() ? "f-COUNT      RESID    STEP-SIZE      GRAD/SD  LINE-SEARCH"
                     : "f-COUNT      RESID    STEP-SIZE      GRAD/SD");
    } else {
      Diag(Verbose() ? "f-COUNT      RESID    STEP-SIZE      GRAD/SD        LAMBDA LINE-SEARCH"
                     : "f-COUNT      RESID    STEP-SIZE      GRAD/SD        LAMBDA");
    }
  }

  void Iteration(double count, double NewF, double step, double slope, const double* lambda,
                 const std::string& how) const {
    if (!On()) return;
    char buffer[160];
    int used = std::snprintf(buffer, sizeof buffer, "%5.0f %12.6g %12.3g %12.3g  ", count, NewF,
                             step, slope);
    if (lambda) std::snprintf(buffer + used, sizeof buffer - used, "%12.6g ", *lambda);
    Diag(Verbose() ? std::string(buffer) + how : std::string(buffer));
  }

  void Message(const char* text) const {
    if (On()) Diag(text);
  }

 private:
  double level_;
};
}  // namespace

OptionVector foptions(const OptionVector& given) {
  static const std::array<double, 18> kDefaults = {0, 1e-4, 1e-4, 1e-6, 0, 0, 0, 0, 0,
                                                   0, 0,    0,    0,    0, 0, 1e-8, 0.1, 0};
  OptionVector options = given;
  for (int entry = 1; entry <= 18; ++entry) {
    if (options(entry) == 0) options(entry) = kDefaults[entry - 1];
  }
  return options;
}

LeastSquaresResult leastsq(const std::string& FUN, const Matrix& x, const OptionVector& options_in,
                           const std::string& GRADFUN, const CostArgs& args) {
  const CostRoutine fun = FindCostRoutine(FUN);
  if (!fun) throw NumericError("FUN must be a function name or valid expression.");
  CostRoutine gradfun = nullptr;
  if (!GRADFUN.empty()) {
    gradfun = FindCostRoutine(GRADFUN);
    if (!gradfun) throw NumericError("GRADFUN must be a function name or valid expression.");
  }
  if (x.size() == 0) throw NumericError("leastsq requires a start point.");
  const Problem problem(fun, gradfun, args, x);

  // Start.
  Vector XOUT = x.reshaped();
  const Eigen::Index nvars = XOUT.size();
  Vector CostFunction = problem.Cost(XOUT);
  const Eigen::Index nfun = CostFunction.size();
  Matrix GRAD = Matrix::Zero(nvars, nfun);
  Vector OLDX = XOUT;
  LineSearchState line;
  line.MATL = {CostFunction.squaredNorm(), 0, 0};
  Vector OLDF = CostFunction;
  Vector OX = XOUT;

  OptionVector OPTIONS = foptions(options_in);
  // An unbounded budget could let a cost that never settles (NaN, Inf) run for ever.
  if (OPTIONS(14) == 0 || !std::isfinite(OPTIONS(14))) OPTIONS(14) = 100.0 * nvars;
  const Display display(OPTIONS(1));
  display.Header(OPTIONS(5) > 0);
  std::string how;

  double EstSum = 0.5;
  double GradFactor = 1;
  Vector CHG = 1e-7 * XOUT.cwiseAbs().array() + 1e-7;
  OPTIONS(10) = 1;
  int status = -1;
  Vector SD = Vector::Zero(nvars);
  Vector GradF;
  double NewF = 0, FIRSTF = 0, GDOLD = 0;

  auto evaluate = [&](const Vector& at) {
    Vector f = problem.Cost(at);
    if (f.size() != nfun) throw NumericError("The cost routine changed its number of residuals.");
    return f;
  };

  while (status != 1) {
    // Jacobian.
    if (!problem.HasGradient() || OPTIONS(9) != 0) {
      OLDF = CostFunction;
      for (Eigen::Index k = 0; k < nvars; ++k) {
        const double sign = CHG(k) + kEps > 0 ? 1.0 : (CHG(k) + kEps < 0 ? -1.0 : 0.0);
        CHG(k) = sign * std::min(std::max(std::abs(CHG(k)), OPTIONS(16)), OPTIONS(17));
      }
      for (Eigen::Index k = 0; k < nvars; ++k) {
        const double saved = XOUT(k);
        XOUT(k) += CHG(k);
        GRAD.row(k) = (evaluate(XOUT) - OLDF).transpose() / CHG(k);
        XOUT(k) = saved;
      }
      CostFunction = OLDF;
      OPTIONS(10) += static_cast<double>(nvars);
      if (OPTIONS(9) == 1 && problem.HasGradient()) {
        graderr(GRAD, problem.Gradient(XOUT));
        OPTIONS(9) = 0;
      }
    } else {
      OPTIONS(11) += 1;
      GRAD = problem.Gradient(XOUT);
      if (GRAD.rows() != nvars || GRAD.cols() != nfun) {
        throw NumericError("The Jacobian routine gave a matrix of the wrong size.");
      }
    }

    GradF = 2 * GRAD * CostFunction;
    NewF = CostFunction.squaredNorm();
    const bool levenberg = OPTIONS(5) == 0;

    if (status == -1) {
      // First direction.
      const SingularRange sv = SingularValuesOf(GRAD);
      if (sv.Cond() > 1e8) {
        SD = DampedStep(GRAD, CostFunction, sv.largest + 1);
        if (levenberg) GradFactor = sv.largest + 1;
        how = "COND";
      } else {
        SD = DampedStep(GRAD, CostFunction, GradFactor);
      }
      FIRSTF = NewF;
      GDOLD = GradF.dot(SD);
      if (OPTIONS(18) == 0) OPTIONS(18) = 1;
      display.Iteration(OPTIONS(10), NewF, OPTIONS(18), GDOLD, nullptr, how);
      XOUT += OPTIONS(18) * SD;
      if (levenberg) {
        GradFactor = PredictedSum(GRAD, SD, CostFunction);
        SD = DampedStep(GRAD, CostFunction, GradFactor);
      }
      EstSum = PredictedSum(GRAD, SD, CostFunction);
      XOUT += OPTIONS(18) * SD;
      status = 0;
      if (OPTIONS(7) == 0) line.PCNT = 1;
    } else {
      double gdnew = GradF.dot(SD);
      bool new_direction_lm = false;
      if (gdnew > 0 && NewF > FIRSTF) {
        how = "inter";
        OPTIONS(18) = 0.9 * cubici1(NewF, FIRSTF, gdnew, GDOLD, OPTIONS(18));
      } else if (NewF < FIRSTF) {
        CubicMinimum cubic = cubici3(NewF, FIRSTF, gdnew, GDOLD, OPTIONS(18));
        if (cubic.fbest > NewF) cubic.fbest = 0.9 * NewF;
        if (gdnew < 0) {
          how = "incstep";
          if (cubic.stepmin < OPTIONS(18)) {
            cubic.stepmin = 2 * OPTIONS(18) + 1e-4;
            how += "IF";
          }
          OPTIONS(18) = std::abs(cubic.stepmin);
        } else if (OPTIONS(18) > 0.9) {
          how = "int_step";
          const double shrunk = std::abs(cubic.stepmin);
          OPTIONS(18) = std::isnan(shrunk) ? 1.0 : std::min(1.0, shrunk);
        }
        if (!levenberg) {
          if (OPTIONS(18) > 1e-8 && SingularValuesOf(GRAD).Cond() < 1e8) {
            const Matrix J = GRAD.transpose();
            SD = J.colPivHouseholderQr().solve(J * XOUT - CostFunction) - XOUT;
            if (SD.dot(GradF) > kEps) how = "ERROR- GN not descent direction";
          } else {
            display.Message("Conditioning of Gradient Poor - Switching To LM method");
            how = "CHG2LM";
            OPTIONS(5) = 0;
            OPTIONS(18) = std::abs(OPTIONS(18));
          }
        } else {
          if (EstSum > cubic.fbest) {
            GradFactor /= (1 + OPTIONS(18));
          } else {
            GradFactor += (cubic.fbest - EstSum) / (OPTIONS(18) + kEps);
          }
          SD = DampedStep(GRAD, CostFunction, GradFactor);
          OPTIONS(18) = 1;
          EstSum = PredictedSum(GRAD, SD, CostFunction);
          new_direction_lm = true;
        }
        gdnew = GradF.dot(SD);
        OLDX = XOUT;
        FIRSTF = NewF;
        GDOLD = gdnew;
        if (OPTIONS(7) == 0) {
          line.PCNT = 1;
          line.MATX = {0, 0, 0};
          line.MATL[0] = NewF;
        }
      } else {
        how = "Red_Step";
        if (NewF == FIRSTF) {
          display.Message("No improvement in search direction: Terminating");
          status = 1;
        } else {
          OPTIONS(18) /= 8;
          if (OPTIONS(18) < 1e-8) OPTIONS(18) = -OPTIONS(18);
        }
      }
      XOUT = OLDX + OPTIONS(18) * SD;
      display.Iteration(OPTIONS(10), NewF, OPTIONS(18), gdnew,
                        new_direction_lm ? &GradFactor : nullptr, how);
    }

    // Termination.
    if (MaxAbs(SD) < OPTIONS(2) && GradF.dot(SD) < OPTIONS(3) &&
        MaxAbs(GradF) < 10 * (OPTIONS(3) + OPTIONS(2))) {
      display.Message("Optimization Terminated Successfully");
      status = 1;
    } else if (OPTIONS(10) > OPTIONS(14)) {
      Diag("maximum number of iterations has been exceeded");
      display.Message("The fit stopped at its limit of function evaluations");
      status = 1;
    } else if (line.PCNT != 0) {
      // Line search; the evaluation budget also bounds it, so that a cost that turns NaN
      // mid-search cannot keep it going.
      while (line.PCNT > 0 && OPTIONS(10) <= OPTIONS(14)) {
        CostFunction = evaluate(XOUT);
        OPTIONS(10) += 1;
        NewF = CostFunction.squaredNorm();
        if (NewF <= OLDF.squaredNorm()) {
          OX = XOUT;
          OLDF = CostFunction;
        }
        line.step = OPTIONS(18);
        line.fnew = NewF;
        searchq(line, GDOLD);
        OPTIONS(18) = line.step;
        NewF = line.fnew;
        XOUT = OLDX + OPTIONS(18) * SD;
        if (NewF == FIRSTF) line.PCNT = 0;
      }
      XOUT = OX;
      CostFunction = OLDF;
    } else {
      CostFunction = evaluate(XOUT);
      OPTIONS(10) += 1;
    }
  }

  LeastSquaresResult result;
  OPTIONS(8) = NewF;
  result.x = problem.Shaped(OLDX);
  result.OPTIONS = OPTIONS;
  result.CostFunction = CostFunction;
  result.JACOB = GRAD.transpose();
  return result;
}

}  // namespace q3d
