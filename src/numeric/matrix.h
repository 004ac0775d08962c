#pragma once
// The dense matrix of the numeric routines. Routines take and return Matrix; a result a
// routine could not compute is an empty matrix (0 x 0). Hot loops use the fixed-size types.
#include <Eigen/Dense>
#include <stdexcept>
#include <string>

namespace q3d {

using Matrix = Eigen::MatrixXd;
using Vector = Eigen::VectorXd;
using Matrix3 = Eigen::Matrix3d;
using Vector2 = Eigen::Vector2d;
using Vector3 = Eigen::Vector3d;
using Vector4 = Eigen::Vector4d;
using Vector9 = Eigen::Matrix<double, 9, 1>;

// Raised by a numeric routine for a failure that ends the whole numeric call. It never
// leaves the numeric layer's top-level entry points: they turn it into a status.
class NumericError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace q3d
