#include "model/delaunay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <set>

namespace q3d {
namespace {

Matrix RandomColumn(std::mt19937& rng, int n, double lo, double hi) {
  std::uniform_real_distribution<double> d(lo, hi);
  Matrix m(n, 1);
  for (int k = 0; k < n; ++k) m(k) = d(rng);
  return m;
}

double SignedArea(const Matrix& x, const Matrix& y, const Matrix& f, int r) {
  const int a = int(f(r, 0)) - 1, b = int(f(r, 1)) - 1, c = int(f(r, 2)) - 1;
  return (x(b) - x(a)) * (y(c) - y(a)) - (y(b) - y(a)) * (x(c) - x(a));
}

TEST(Delaunay, TrianglesAreCounterClockwiseOneBasedAndCoverTheHull) {
  std::mt19937 rng(7);
  const int n = 500;
  const Matrix x = RandomColumn(rng, n, 0, 1), y = RandomColumn(rng, n, 0, 1);
  const Matrix f = delaunay(x, y);
  ASSERT_EQ(f.cols(), 3);
  double area = 0;
  std::set<int> used;
  for (int r = 0; r < f.rows(); ++r) {
    for (int c = 0; c < 3; ++c) {
      ASSERT_GE(f(r, c), 1);
      ASSERT_LE(f(r, c), n);
      used.insert(int(f(r, c)));
    }
    const double a = SignedArea(x, y, f, r);
    EXPECT_GT(a, 0) << "triangle " << r << " is degenerate or clockwise";
    area += a / 2;
  }
  EXPECT_EQ(int(used.size()), n);
  // Euler: a triangulation of n points with h on the hull has 2n - 2 - h triangles.
  EXPECT_LE(f.rows(), 2 * n - 5);
  EXPECT_GT(area, 0.9);  // random points in the unit square: the hull covers most of it
  EXPECT_LT(area, 1.0);
}

TEST(Delaunay, EmptyCircumcircles) {
  std::mt19937 rng(11);
  const int n = 150;
  const Matrix x = RandomColumn(rng, n, -3, 3), y = RandomColumn(rng, n, -3, 3);
  const Matrix f = delaunay(x, y);
  for (int r = 0; r < f.rows(); ++r) {
    const int a = int(f(r, 0)) - 1, b = int(f(r, 1)) - 1, c = int(f(r, 2)) - 1;
    for (int k = 0; k < n; ++k) {
      if (k == a || k == b || k == c) continue;
      const double ax = x(a) - x(k), ay = y(a) - y(k), bx = x(b) - x(k), by = y(b) - y(k),
                   cx = x(c) - x(k), cy = y(c) - y(k);
      const double inCircle = (ax * ax + ay * ay) * (bx * cy - cx * by) -
                              (bx * bx + by * by) * (ax * cy - cx * ay) +
                              (cx * cx + cy * cy) * (ax * by - bx * ay);
      ASSERT_LE(inCircle, 1e-9) << "point " << k << " inside circumcircle of " << r;
    }
  }
}

TEST(Delaunay, RegularGridWithCocircularPointsHasNoDegenerateTriangle) {
  const int n = 20;
  Matrix x(n * n, 1), y(n * n, 1);
  for (int k = 0; k < n * n; ++k) {
    x(k) = k % n;
    y(k) = k / n;
  }
  const Matrix f = delaunay(x, y);
  EXPECT_EQ(f.rows(), 2 * (n - 1) * (n - 1));
  for (int r = 0; r < f.rows(); ++r) EXPECT_NEAR(SignedArea(x, y, f, r), 1.0, 1e-12);
}

TEST(Delaunay, RepeatedPointIsUsedOnceByItsFirstOccurrence) {
  Matrix x(5, 1), y(5, 1);
  x << 0, 1, 0, 1, 1;
  y << 0, 0, 1, 1, 0;  // point 5 repeats point 2
  const Matrix f = delaunay(x, y);
  EXPECT_EQ(f.rows(), 2);
  EXPECT_FALSE((f.array() == 5).any());
  EXPECT_TRUE((f.array() == 2).any());
}

TEST(Delaunay, DegenerateInputGivesAClearError) {
  Matrix two(2, 1);
  two << 0, 1;
  EXPECT_THROW(delaunay(two, two), NumericError);
  Matrix x(4, 1), y(4, 1);
  x << 0, 1, 2, 3;
  y << 1, 3, 5, 7;  // on one line
  try {
    delaunay(x, y);
    FAIL() << "collinear points accepted";
  } catch (const NumericError& e) {
    EXPECT_NE(std::string(e.what()).find("line"), std::string::npos);
  }
  Matrix same(3, 1);
  same << 2, 2, 2;
  EXPECT_THROW(delaunay(same, same), NumericError);
  Matrix bad(3, 1);
  bad << 0, std::nan(""), 1;
  Matrix ok(3, 1);
  ok << 0, 1, 0;
  EXPECT_THROW(delaunay(bad, ok), NumericError);
  EXPECT_THROW(delaunay(ok, Matrix(2, 1)), NumericError);
}

TEST(Delaunay, LocateFindsTheTriangleAndItsWeights) {
  std::mt19937 rng(3);
  const Matrix x = RandomColumn(rng, 60, 0, 10), y = RandomColumn(rng, 60, 0, 10);
  const DelaunayTriangulation t(x, y);
  const Matrix& f = t.Faces();
  std::uniform_real_distribution<double> d(-2, 12);
  int inside = 0, last = -1;
  for (int q = 0; q < 400; ++q) {
    const double px = d(rng), py = d(rng);
    const auto loc = t.Locate(px, py, last);
    if (loc.face < 0) continue;
    ++inside;
    last = loc.face;
    double rx = 0, ry = 0, sum = 0;
    for (int c = 0; c < 3; ++c) {
      EXPECT_GE(loc.weights[c], 0.0);
      rx += loc.weights[c] * x(int(f(loc.face, c)) - 1);
      ry += loc.weights[c] * y(int(f(loc.face, c)) - 1);
      sum += loc.weights[c];
    }
    EXPECT_NEAR(sum, 1.0, 1e-12);
    EXPECT_NEAR(rx, px, 1e-9);
    EXPECT_NEAR(ry, py, 1e-9);
  }
  EXPECT_GT(inside, 100);
  EXPECT_EQ(t.Locate(-5, -5).face, -1);
  EXPECT_EQ(t.Locate(std::nan(""), 1).face, -1);
  // The leftmost data point is a hull vertex: it lies on the triangulation.
  Eigen::Index left;
  x.col(0).minCoeff(&left);
  const auto corner = t.Locate(x(left), y(left));
  ASSERT_GE(corner.face, 0);
  EXPECT_NEAR(*std::max_element(corner.weights.begin(), corner.weights.end()), 1.0, 1e-12);
}

}  // namespace
}  // namespace q3d
