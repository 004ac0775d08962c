#pragma once
// Cost routines the least-squares engine calls by name. A routine takes the parameter
// matrix and the extra arguments given to leastsq, and returns a residual column (or, for
// an analytic Jacobian, one row per parameter and one column per residual).
#include <string>
#include <vector>

#include "numeric/matrix.h"

namespace q3d {

using CostArgs = std::vector<Matrix>;
using CostRoutine = Matrix (*)(const Matrix& x, const CostArgs& args);

// The routine of that name ("dist_epi2", "grad_alfa", "travolen_back_motion"), or nullptr.
CostRoutine FindCostRoutine(const std::string& name);

// Calls the routine of that name; an unknown name raises NumericError.
Matrix feval(const std::string& name, const Matrix& x, const CostArgs& args);

}  // namespace q3d
