// The only translation unit that sees CGAL: the triangulation and its point location.
#include "model/delaunay.h"

#include <CGAL/Delaunay_triangulation_2.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/Triangulation_face_base_with_info_2.h>
#include <CGAL/Triangulation_vertex_base_with_info_2.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <utility>
#include <vector>

namespace q3d {
namespace {

using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
using VertexBase = CGAL::Triangulation_vertex_base_with_info_2<int, Kernel>;
using FaceBase = CGAL::Triangulation_face_base_with_info_2<int, Kernel>;
using DataStructure = CGAL::Triangulation_data_structure_2<VertexBase, FaceBase>;
using Triangulation = CGAL::Delaunay_triangulation_2<Kernel, DataStructure>;
using Point = Kernel::Point_2;

// The input points with exact repeats removed (first occurrence kept), tagged with their
// zero-based input index.
std::vector<std::pair<Point, int>> DistinctPoints(const Matrix& x, const Matrix& y) {
  if (x.size() != y.size()) {
    throw NumericError("delaunay: x and y have different numbers of entries");
  }
  const int n = static_cast<int>(x.size());
  for (int k = 0; k < n; ++k) {
    if (!std::isfinite(x(k)) || !std::isfinite(y(k))) {
      throw NumericError("delaunay: point coordinates must be finite numbers");
    }
  }
  std::vector<int> order(n);
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(), [&](int a, int b) {
    if (x(a) != x(b)) return x(a) < x(b);
    if (y(a) != y(b)) return y(a) < y(b);
    return a < b;
  });
  std::vector<std::pair<Point, int>> points;
  points.reserve(n);
  for (int k = 0; k < n; ++k) {
    const int i = order[k];
    if (k > 0 && x(i) == x(order[k - 1]) && y(i) == y(order[k - 1])) continue;
    points.emplace_back(Point(x(i), y(i)), i);
  }
  return points;
}

}  // namespace

struct DelaunayTriangulation::Impl {
  Triangulation triangulation;
  std::vector<Triangulation::Face_handle> faces;  // by row of `rows`
  Matrix rows;                                     // one-based point indices
};

DelaunayTriangulation::DelaunayTriangulation(const Matrix& x, const Matrix& y)
    : impl_(std::make_unique<Impl>()) {
  const auto points = DistinctPoints(x, y);
  if (points.size() < 3) {
    throw NumericError("delaunay: at least three distinct points are needed");
  }
  Triangulation& t = impl_->triangulation;
  t.insert(points.begin(), points.end());
  if (t.dimension() < 2) {
    throw NumericError("delaunay: all points lie on one line");
  }
  impl_->faces.reserve(t.number_of_faces());
  for (auto f = t.finite_faces_begin(); f != t.finite_faces_end(); ++f) {
    f->info() = static_cast<int>(impl_->faces.size());
    impl_->faces.push_back(f);
  }
  Matrix& rows = impl_->rows;
  rows.resize(static_cast<Eigen::Index>(impl_->faces.size()), 3);
  for (Eigen::Index r = 0; r < rows.rows(); ++r) {
    for (int c = 0; c < 3; ++c) rows(r, c) = impl_->faces[r]->vertex(c)->info() + 1;
  }
}

DelaunayTriangulation::~DelaunayTriangulation() = default;
DelaunayTriangulation::DelaunayTriangulation(DelaunayTriangulation&&) noexcept = default;
DelaunayTriangulation& DelaunayTriangulation::operator=(DelaunayTriangulation&&) noexcept =
    default;

const Matrix& DelaunayTriangulation::Faces() const { return impl_->rows; }

DelaunayTriangulation::Location DelaunayTriangulation::Locate(double px, double py,
                                                              int start_face) const {
  Location result;
  if (!std::isfinite(px) || !std::isfinite(py)) return result;
  const Triangulation& t = impl_->triangulation;
  const Point p(px, py);
  Triangulation::Locate_type type;
  int li = 0;
  Triangulation::Face_handle hint;
  if (start_face >= 0 && start_face < static_cast<int>(impl_->faces.size())) {
    hint = impl_->faces[start_face];
  }
  Triangulation::Face_handle f = t.locate(p, type, li, hint);
  switch (type) {
    case Triangulation::FACE:
      break;
    case Triangulation::EDGE:
      if (t.is_infinite(f)) f = f->neighbor(li);
      break;
    case Triangulation::VERTEX:
      if (t.is_infinite(f)) {
        // A hull vertex: any finite triangle around it will do.
        auto around = t.incident_faces(f->vertex(li)), done = around;
        do {
          if (!t.is_infinite(around)) {
            f = around;
            break;
          }
        } while (++around != done);
      }
      break;
    default:  // outside the convex hull
      return result;
  }
  const Point& a = f->vertex(0)->point();
  const Point& b = f->vertex(1)->point();
  const Point& c = f->vertex(2)->point();
  const double area = (b.x() - a.x()) * (c.y() - a.y()) - (b.y() - a.y()) * (c.x() - a.x());
  double w0 = ((b.x() - px) * (c.y() - py) - (b.y() - py) * (c.x() - px)) / area;
  double w1 = ((c.x() - px) * (a.y() - py) - (c.y() - py) * (a.x() - px)) / area;
  double w2 = ((a.x() - px) * (b.y() - py) - (a.y() - py) * (b.x() - px)) / area;
  // The point is inside or on the triangle exactly; rounding may leave tiny negatives.
  w0 = std::max(w0, 0.0);
  w1 = std::max(w1, 0.0);
  w2 = std::max(w2, 0.0);
  const double sum = w0 + w1 + w2;
  result.face = f->info();
  result.weights = {w0 / sum, w1 / sum, w2 / sum};
  return result;
}

Matrix delaunay(const Matrix& x, const Matrix& y) {
  return DelaunayTriangulation(x, y).Faces();
}

}  // namespace q3d
