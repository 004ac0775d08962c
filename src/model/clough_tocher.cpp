#include "model/clough_tocher.h"

#include <utility>

#include "model/vertex_gradients.h"

namespace q3d {
namespace {

double Cross(const Eigen::Vector2d& a, const Eigen::Vector2d& b) {
  return a.x() * b.y() - a.y() * b.x();
}

}  // namespace

CloughTocherInterpolant::CloughTocherInterpolant(const Matrix& x, const Matrix& y,
                                                 const Matrix& z, const Matrix& faces)
    : CloughTocherInterpolant(x, y, z, faces, EstimateVertexGradients(x, y, z, faces)) {}

CloughTocherInterpolant::CloughTocherInterpolant(const Matrix& x, const Matrix& y,
                                                 const Matrix& z, const Matrix& faces,
                                                 std::vector<Eigen::Vector2d> gradients)
    : x_(x), y_(y), z_(z), faces_(faces), gradients_(std::move(gradients)) {}

double CloughTocherInterpolant::Evaluate(int face, const std::array<double, 3>& weights) const {
  std::array<Eigen::Vector2d, 3> p;
  std::array<double, 3> f;
  std::array<Eigen::Vector2d, 3> g;
  for (int c = 0; c < 3; ++c) {
    const int k = static_cast<int>(faces_(face, c)) - 1;
    p[c] = Eigen::Vector2d(x_(k), y_(k));
    f[c] = z_(k);
    g[c] = gradients_[k];
  }
  const Eigen::Vector2d centre = (p[0] + p[1] + p[2]) / 3.0;

  // Bezier ordinates, named by the sub-triangle (edge i-j, centre) they belong to.
  // nearCentre[i]: at (2 p_i + centre) / 3; edgeSide[e][0|1]: on edge e = (i, j) at a third
  // from i and from j; edgeInner[e]: the sub-triangle's middle ordinate.
  std::array<double, 3> nearCentre, edgeInner;
  std::array<std::array<double, 2>, 3> edgeSide;
  for (int i = 0; i < 3; ++i) nearCentre[i] = f[i] + g[i].dot(centre - p[i]) / 3.0;
  for (int e = 0; e < 3; ++e) {
    const int i = (e + 1) % 3, j = (e + 2) % 3;  // edge e lies opposite point e
    const Eigen::Vector2d along = p[j] - p[i];
    const Eigen::Vector2d toCentre = centre - p[i];
    edgeSide[e][0] = f[i] + g[i].dot(along) / 3.0;
    edgeSide[e][1] = f[j] - g[j].dot(along) / 3.0;
    // The edge normal in the sub-triangle's barycentric directions (a_i, a_j, a_c).
    const Eigen::Vector2d normal(-along.y(), along.x());
    const double det = Cross(along, toCentre);
    const double aj = Cross(normal, toCentre) / det;
    const double ac = along.squaredNorm() / det;
    const double ai = -aj - ac;
    // A linear normal derivative: its middle Bezier coefficient is the ends' mean.
    const double middle = (g[i] + g[j]).dot(normal) / 6.0;
    edgeInner[e] = (middle - ai * edgeSide[e][0] - aj * edgeSide[e][1]) / ac;
  }
  // Continuity of the first derivatives across the inner edges and at the centre.
  std::array<double, 3> innerRing;
  for (int i = 0; i < 3; ++i) {
    innerRing[i] = (nearCentre[i] + edgeInner[(i + 1) % 3] + edgeInner[(i + 2) % 3]) / 3.0;
  }
  const double centreValue = (innerRing[0] + innerRing[1] + innerRing[2]) / 3.0;

  // The sub-triangle holding the point lies opposite its smallest weight.
  int e = 0;
  if (weights[1] < weights[e]) e = 1;
  if (weights[2] < weights[e]) e = 2;
  const int i = (e + 1) % 3, j = (e + 2) % 3;
  const double u = weights[i] - weights[e];
  const double v = weights[j] - weights[e];
  const double w = 3.0 * weights[e];
  return f[i] * u * u * u + f[j] * v * v * v + centreValue * w * w * w +
         3.0 * (edgeSide[e][0] * u * u * v + edgeSide[e][1] * u * v * v +
                nearCentre[i] * u * u * w + nearCentre[j] * v * v * w +
                innerRing[i] * u * w * w + innerRing[j] * v * w * w) +
         6.0 * edgeInner[e] * u * v * w;
}

}  // namespace q3d
