#include "model/griddata.h"

#include <cmath>
#include <limits>
#include <optional>

#include "model/clough_tocher.h"
#include "model/delaunay.h"

namespace q3d {

Matrix griddata(const Matrix& x, const Matrix& y, const Matrix& z, const Matrix& XI,
                const Matrix& YI, const std::string& method) {
  const bool cubic = method == "cubic";
  if (!cubic && method != "linear") {
    throw NumericError("griddata: unknown method \"" + method + "\"");
  }
  if (x.size() != z.size() || y.size() != z.size()) {
    throw NumericError("griddata: x, y and z have different numbers of entries");
  }
  if (XI.rows() != YI.rows() || XI.cols() != YI.cols()) {
    throw NumericError("griddata: XI and YI have different shapes");
  }
  if (!z.allFinite()) throw NumericError("griddata: data values must be finite numbers");

  const DelaunayTriangulation triangulation(x, y);
  const Matrix& faces = triangulation.Faces();
  std::optional<CloughTocherInterpolant> interpolant;
  if (cubic) interpolant.emplace(x, y, z, faces);

  Matrix result(XI.rows(), XI.cols());
  int lastFace = -1;
  for (Eigen::Index k = 0; k < XI.size(); ++k) {
    const auto location = triangulation.Locate(XI(k), YI(k), lastFace);
    if (location.face < 0) {
      result(k) = std::numeric_limits<double>::quiet_NaN();
      continue;
    }
    lastFace = location.face;
    if (cubic) {
      result(k) = interpolant->Evaluate(location.face, location.weights);
    } else {
      double value = 0.0;
      for (int c = 0; c < 3; ++c) {
        value += location.weights[c] * z(static_cast<Eigen::Index>(faces(location.face, c)) - 1);
      }
      result(k) = value;
    }
  }
  return result;
}

}  // namespace q3d
