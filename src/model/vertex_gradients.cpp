#include "model/vertex_gradients.h"

#include <algorithm>
#include <cmath>

#include <Eigen/QR>

namespace q3d {
namespace {

// Sorted, duplicate-free neighbour lists of the triangulation's points.
std::vector<std::vector<int>> Neighbours(int pointCount, const Matrix& faces) {
  std::vector<std::vector<int>> ring(pointCount);
  for (Eigen::Index f = 0; f < faces.rows(); ++f) {
    for (int c = 0; c < 3; ++c) {
      const int a = static_cast<int>(faces(f, c)) - 1;
      const int b = static_cast<int>(faces(f, (c + 1) % 3)) - 1;
      ring[a].push_back(b);
      ring[b].push_back(a);
    }
  }
  for (auto& r : ring) {
    std::sort(r.begin(), r.end());
    r.erase(std::unique(r.begin(), r.end()), r.end());
  }
  return ring;
}

// Least-squares fit of dz over the columns of `design`; false when they are not independent.
bool FitGradient(const Eigen::MatrixXd& design, const Eigen::VectorXd& dz, double scale,
                 Eigen::Vector2d& gradient) {
  if (design.rows() < design.cols()) return false;
  Eigen::ColPivHouseholderQR<Eigen::MatrixXd> qr(design);
  qr.setThreshold(1e-10);
  if (qr.rank() < design.cols()) return false;
  const Eigen::VectorXd coefficients = qr.solve(dz);
  gradient = coefficients.head<2>() / scale;
  return gradient.allFinite();
}

}  // namespace

std::vector<Eigen::Vector2d> EstimateVertexGradients(const Matrix& x, const Matrix& y,
                                                     const Matrix& z, const Matrix& faces) {
  const int n = static_cast<int>(x.size());
  const auto ring = Neighbours(n, faces);
  std::vector<Eigen::Vector2d> gradients(n, Eigen::Vector2d::Zero());
  std::vector<int> twoRing;
  for (int k = 0; k < n; ++k) {
    if (ring[k].empty()) continue;
    twoRing.clear();
    for (int j : ring[k]) {
      twoRing.push_back(j);
      twoRing.insert(twoRing.end(), ring[j].begin(), ring[j].end());
    }
    std::sort(twoRing.begin(), twoRing.end());
    twoRing.erase(std::unique(twoRing.begin(), twoRing.end()), twoRing.end());
    twoRing.erase(std::remove(twoRing.begin(), twoRing.end(), k), twoRing.end());

    // Offsets scaled to unit RMS length keep the normal equations well conditioned.
    const int m = static_cast<int>(twoRing.size());
    Eigen::MatrixXd offsets(m, 2);
    Eigen::VectorXd dz(m);
    for (int r = 0; r < m; ++r) {
      const int j = twoRing[r];
      offsets(r, 0) = x(j) - x(k);
      offsets(r, 1) = y(j) - y(k);
      dz(r) = z(j) - z(k);
    }
    const double scale = std::sqrt(offsets.squaredNorm() / m);
    offsets /= scale;
    Eigen::MatrixXd quadratic(m, 5);
    quadratic.leftCols<2>() = offsets;
    quadratic.col(2) = offsets.col(0).array().square();
    quadratic.col(3) = offsets.col(0).array() * offsets.col(1).array();
    quadratic.col(4) = offsets.col(1).array().square();
    if (!FitGradient(quadratic, dz, scale, gradients[k]) &&
        !FitGradient(offsets, dz, scale, gradients[k])) {
      gradients[k].setZero();
    }
  }
  return gradients;
}

}  // namespace q3d
