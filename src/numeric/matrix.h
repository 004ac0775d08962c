#pragma once
// The dense matrix of the numeric routines. Routines take and return Matrix; a result a
// routine could not compute is an empty matrix (0 x 0).
#include <Eigen/Dense>
#include <stdexcept>
#include <string>

namespace q3d {

using Matrix = Eigen::MatrixXd;

// Raised by a numeric routine for a failure that ends the whole numeric call. It never
// leaves the numeric layer's top-level entry points: they turn it into a status.
class NumericError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace q3d
