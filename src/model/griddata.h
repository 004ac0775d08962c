#pragma once
// Interpolation of scattered data onto arbitrary query points.
#include <string>

#include "numeric/matrix.h"

namespace q3d {

// Values at the query points (XI(k), YI(k)) of the surface through the scattered data
// z(x, y), on the Delaunay triangulation of the data points. The result has XI's shape;
// points outside the convex hull of the data (or with NaN coordinates) get NaN.
// method "linear": barycentric interpolation on the triangles.
// method "cubic": C1 piecewise-cubic Clough-Tocher interpolation with gradients estimated
// from the data; it reproduces quadratic data exactly.
// Throws NumericError for an unknown method, mismatched sizes, non-finite data, or data the
// triangulation rejects (delaunay).
Matrix griddata(const Matrix& x, const Matrix& y, const Matrix& z, const Matrix& XI,
                const Matrix& YI, const std::string& method);

}  // namespace q3d
