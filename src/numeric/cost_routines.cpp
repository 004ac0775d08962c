#include "numeric/cost_routines.h"

#include <map>

#include "numeric/fundamental_matrix.h"
#include "numeric/motion_cost.h"

namespace q3d {

namespace {
void RequireArgs(const CostArgs& args, size_t count) {
  if (args.size() != count) throw NumericError("Wrong number of arguments to a cost routine.");
}

double Scalar(const Matrix& m) {
  if (m.size() != 1) throw NumericError("A scalar argument is not 1 x 1.");
  return m(0);
}

Vector9 NineVector(const Matrix& m) {
  if (m.size() != 9) throw NumericError("A nine-vector argument has the wrong size.");
  return m.reshaped();
}

const Matrix& Matches(const Matrix& m) {
  if (m.cols() != 4) throw NumericError("The match matrix must have four columns.");
  return m;
}

// dist_epi2(alfa, x, v8, v9)
Matrix DistEpi2Routine(const Matrix& alfa, const CostArgs& args) {
  RequireArgs(args, 3);
  return dist_epi2(Scalar(alfa), Matches(args[0]), NineVector(args[1]), NineVector(args[2]));
}

// grad_alfa(alfa, x, v8, v9)
Matrix GradAlfaRoutine(const Matrix& alfa, const CostArgs& args) {
  RequireArgs(args, 3);
  return grad_alfa(Scalar(alfa), Matches(args[0]), NineVector(args[1]), NineVector(args[2]));
}

// travolen_back_motion(vAo, m1, m2, nptos, sign_t, sign_v, Ao1, Ao2, k); nptos is taken
// from m1.
Matrix TravolenBackMotionRoutine(const Matrix& vAo, const CostArgs& args) {
  RequireArgs(args, 8);
  if (args[0].cols() != 2 || args[1].cols() != 2 || args[1].rows() != args[0].rows()) {
    throw NumericError("The point lists must be n x 2 of the same length.");
  }
  return travolen_back_motion(vAo, args[0], args[1], Scalar(args[3]), Scalar(args[4]), args[5],
                              args[6], Scalar(args[7]));
}
}  // namespace

CostRoutine FindCostRoutine(const std::string& name) {
  static const std::map<std::string, CostRoutine> kRoutines = {
      {"dist_epi2", &DistEpi2Routine},
      {"grad_alfa", &GradAlfaRoutine},
      {"travolen_back_motion", &TravolenBackMotionRoutine},
  };
  const auto found = kRoutines.find(name);
  return found == kRoutines.end() ? nullptr : found->second;
}

Matrix feval(const std::string& name, const Matrix& x, const CostArgs& args) {
  const CostRoutine routine = FindCostRoutine(name);
  if (!routine) throw NumericError("Undefined function '" + name + "'.");
  return routine(x, args);
}

}  // namespace q3d
