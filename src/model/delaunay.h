#pragma once
// Delaunay triangulation of scattered points in the plane, and point location in it.
#include <array>
#include <memory>

#include "numeric/matrix.h"

namespace q3d {

// Triangles of the Delaunay triangulation of the points (x(k), y(k)) (x and y of any shape
// with the same number of entries, read in column order): one row per triangle, its three
// one-based point indices counter-clockwise. Predicates are exact, so no triangle is
// degenerate. A point repeated exactly is used once, by its first occurrence.
// Throws NumericError for NaN or infinite coordinates, fewer than three distinct points or
// points that all lie on one line.
Matrix delaunay(const Matrix& x, const Matrix& y);

// A Delaunay triangulation kept for repeated point location (interpolation).
class DelaunayTriangulation {
 public:
  // Throws as delaunay().
  DelaunayTriangulation(const Matrix& x, const Matrix& y);
  ~DelaunayTriangulation();
  DelaunayTriangulation(DelaunayTriangulation&&) noexcept;
  DelaunayTriangulation& operator=(DelaunayTriangulation&&) noexcept;

  // The triangles, as delaunay() returns them.
  const Matrix& Faces() const;

  struct Location {
    int face = -1;  // zero-based row of Faces(); -1 outside the convex hull
    std::array<double, 3> weights{};  // barycentric weights of the row's three points
  };
  // Finds the triangle holding (px, py). The search walks from start_face (a zero-based row,
  // typically the previous result) when it is valid, which makes nearby queries fast.
  Location Locate(double px, double py, int start_face = -1) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace q3d
