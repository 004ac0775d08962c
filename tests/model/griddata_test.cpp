#include "model/griddata.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "model/clough_tocher.h"
#include "model/delaunay.h"

namespace q3d {
namespace {

struct Scattered {
  Matrix x, y;
};

Scattered RandomPoints(unsigned seed, int n) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> d(0, 1);
  Scattered s{Matrix(n, 1), Matrix(n, 1)};
  for (int k = 0; k < n; ++k) {
    s.x(k) = d(rng);
    s.y(k) = d(rng);
  }
  return s;
}

// A 50 x 50 grid over [0, 1]^2, column by column as meshgrid lays it out.
void Grid(Matrix& XI, Matrix& YI, int n = 50) {
  XI.resize(n, n);
  YI.resize(n, n);
  for (int r = 0; r < n; ++r) {
    for (int c = 0; c < n; ++c) {
      XI(r, c) = double(c) / (n - 1);
      YI(r, c) = double(r) / (n - 1);
    }
  }
}

double Quadratic(double x, double y) { return 2 * x * x - 1.5 * x * y + 0.7 * y * y + x - 3 * y + 1; }

TEST(Griddata, BothMethodsReproducePlanes) {
  const auto s = RandomPoints(5, 80);
  const Matrix z = (3 * s.x - 2 * s.y).array() + 0.5;
  Matrix XI, YI;
  Grid(XI, YI);
  for (const char* method : {"linear", "cubic"}) {
    const Matrix Z = griddata(s.x, s.y, z, XI, YI, method);
    ASSERT_EQ(Z.rows(), XI.rows());
    ASSERT_EQ(Z.cols(), XI.cols());
    int inside = 0;
    for (int k = 0; k < Z.size(); ++k) {
      if (std::isnan(Z(k))) continue;
      ++inside;
      EXPECT_NEAR(Z(k), 3 * XI(k) - 2 * YI(k) + 0.5, 1e-12) << method;
    }
    EXPECT_GT(inside, 2000) << method;
  }
}

TEST(Griddata, CubicReproducesAQuadraticWhereLinearCannot) {
  const auto s = RandomPoints(17, 200);
  Matrix z(200, 1);
  for (int k = 0; k < 200; ++k) z(k) = Quadratic(s.x(k), s.y(k));
  Matrix XI, YI;
  Grid(XI, YI);
  const Matrix ZC = griddata(s.x, s.y, z, XI, YI, "cubic");
  const Matrix ZL = griddata(s.x, s.y, z, XI, YI, "linear");
  const double range = z.maxCoeff() - z.minCoeff();
  double cubicError = 0, linearError = 0;
  for (int k = 0; k < ZC.size(); ++k) {
    ASSERT_EQ(std::isnan(ZC(k)), std::isnan(ZL(k)));
    if (std::isnan(ZC(k))) continue;
    const double exact = Quadratic(XI(k), YI(k));
    cubicError = std::max(cubicError, std::abs(ZC(k) - exact));
    linearError = std::max(linearError, std::abs(ZL(k) - exact));
  }
  EXPECT_LT(cubicError, 1e-3 * range);
  EXPECT_LT(cubicError, 1e-9);  // the gradient fit is exact on quadratics
  EXPECT_GT(linearError, 100 * cubicError);
}

TEST(Griddata, CubicIsSmoothOnGeneralData) {
  const auto s = RandomPoints(23, 120);
  Matrix z(120, 1);
  for (int k = 0; k < 120; ++k) z(k) = std::sin(4 * s.x(k)) * std::cos(3 * s.y(k));
  const DelaunayTriangulation t(s.x, s.y);
  const CloughTocherInterpolant ct(s.x, s.y, z, t.Faces());
  const Matrix& f = t.Faces();
  // Data points are interpolated.
  for (int r = 0; r < 10; ++r) {
    for (int c = 0; c < 3; ++c) {
      std::array<double, 3> w{};
      w[c] = 1;
      EXPECT_NEAR(ct.Evaluate(r, w), z(int(f(r, c)) - 1), 1e-12);
    }
  }
  // Across every edge shared by two triangles: equal values and equal slopes on both sides.
  const double h = 1e-7;
  int checked = 0;
  for (int r1 = 0; r1 < f.rows(); ++r1) {
    for (int r2 = r1 + 1; r2 < f.rows(); ++r2) {
      int shared1[2], shared2[2], n = 0;
      for (int a = 0; a < 3 && n < 2; ++a)
        for (int b = 0; b < 3; ++b)
          if (f(r1, a) == f(r2, b)) {
            shared1[n] = a;
            shared2[n] = b;
            ++n;
            break;
          }
      if (n < 2) continue;
      // A point on the shared edge, and points a little inside each triangle.
      const double along = 0.3;
      std::array<double, 3> on1{}, on2{};
      on1[shared1[0]] = 1 - along;
      on1[shared1[1]] = along;
      on2[shared2[0]] = 1 - along;
      on2[shared2[1]] = along;
      EXPECT_NEAR(ct.Evaluate(r1, on1), ct.Evaluate(r2, on2), 1e-12);
      // One-sided differences into each triangle along the same straight line.
      const int third1 = 3 - shared1[0] - shared1[1];
      const int third2 = 3 - shared2[0] - shared2[1];
      auto at = [&](int r, int third) {
        return Eigen::Vector2d(s.x(int(f(r, third)) - 1), s.y(int(f(r, third)) - 1));
      };
      const int a = int(f(r1, shared1[0])) - 1, b = int(f(r1, shared1[1])) - 1;
      const Eigen::Vector2d pa(s.x(a), s.y(a)), pb(s.x(b), s.y(b));
      const Eigen::Vector2d onEdge = (1 - along) * pa + along * pb;
      const Eigen::Vector2d dir = (at(r1, third1) - at(r2, third2)).normalized();
      auto valueAt = [&](const Eigen::Vector2d& p) {
        const auto loc = t.Locate(p.x(), p.y());
        return ct.Evaluate(loc.face, loc.weights);
      };
      const double slope1 = (valueAt(onEdge + h * dir) - valueAt(onEdge)) / h;
      const double slope2 = (valueAt(onEdge) - valueAt(onEdge - h * dir)) / h;
      EXPECT_NEAR(slope1, slope2, 1e-3);
      ++checked;
    }
  }
  EXPECT_GT(checked, 100);
}

TEST(Griddata, NaNOutsideTheConvexHull) {
  Matrix x(4, 1), y(4, 1), z(4, 1);
  x << 0, 1, 1, 0;
  y << 0, 0, 1, 1;
  z << 1, 2, 3, 4;
  Matrix XI(1, 5), YI(1, 5);
  XI << 0.5, 1.5, -0.001, 0.0, 1.0;
  YI << 0.5, 0.5, 0.5, 0.0, 0.5;
  for (const char* method : {"linear", "cubic"}) {
    const Matrix Z = griddata(x, y, z, XI, YI, method);
    EXPECT_FALSE(std::isnan(Z(0))) << method;
    EXPECT_TRUE(std::isnan(Z(1))) << method;
    EXPECT_TRUE(std::isnan(Z(2))) << method;
    EXPECT_NEAR(Z(3), 1.0, 1e-12) << method;  // a data point on the hull
    EXPECT_NEAR(Z(4), 2.5, 1e-12) << method;  // the middle of a hull edge
  }
}

TEST(Griddata, BadArgumentsGiveClearErrors) {
  const auto s = RandomPoints(1, 10);
  const Matrix z = Matrix::Zero(10, 1);
  Matrix XI(2, 2), YI(2, 2);
  XI.setConstant(0.5);
  YI.setConstant(0.5);
  EXPECT_THROW(griddata(s.x, s.y, z, XI, YI, "nearest"), NumericError);
  EXPECT_THROW(griddata(s.x, s.y, Matrix::Zero(9, 1), XI, YI, "linear"), NumericError);
  EXPECT_THROW(griddata(s.x, s.y, z, XI, Matrix(2, 3), "linear"), NumericError);
  Matrix withNaN = z;
  withNaN(3) = std::nan("");
  EXPECT_THROW(griddata(s.x, s.y, withNaN, XI, YI, "cubic"), NumericError);
  Matrix line(3, 1);
  line << 0, 1, 2;
  EXPECT_THROW(griddata(line, line, line, XI, YI, "cubic"), NumericError);
}

}  // namespace
}  // namespace q3d
