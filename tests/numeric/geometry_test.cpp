#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "numeric/rotation.h"
#include "numeric/triangulation.h"
#include "support/numeric_test_support.h"

namespace q3d {
namespace {

const Matrix kIdentity = Matrix::Identity(3, 3);

Matrix Column(double a, double b, double c) { return Vector3(a, b, c); }

TEST(Rotation, CrossProductMatrix) {
  Matrix3 expected;
  expected << 0, -3, 2, 3, 0, -1, -2, 1, 0;
  EXPECT_EQ(calc_antisimetrica(Vector3(1, 2, 3)), expected);
  const Vector3 u(0.3, -2, 5);
  EXPECT_TRUE((calc_antisimetrica(Vector3(1, 2, 3)) * u).isApprox(Vector3(1, 2, 3).cross(u)));
}

TEST(Rotation, QuaternionAndAngleAxisExamples) {
  EXPECT_TRUE(calc_R_from_q2(Vector4(1, 0, 0, 0)).isApprox(Matrix3::Identity()));
  Matrix3 quarter;
  quarter << 0, 1, 0, -1, 0, 0, 0, 0, 1;
  EXPECT_TRUE(calc_R_from_teta(M_PI / 2, Vector3(0, 0, 1)).isApprox(quarter, 1e-15));
  const AngleAxis aa = calc_teta_from_q(Vector4(std::cos(0.3), 0, std::sin(0.3), 0));
  EXPECT_NEAR(aa.teta, 0.6, 1e-15);
  EXPECT_TRUE(aa.v.isApprox(Vector3(0, 1, 0)));
}

TEST(Rotation, QuaternionOfRotationInvertsTheTable) {
  std::mt19937_64 engine(5);
  std::normal_distribution<double> normal;
  for (int k = 0; k < 200; ++k) {
    Vector4 q(normal(engine), normal(engine), normal(engine), normal(engine));
    if (k % 50 == 0) q(0) = 0;  // half turns
    q.normalize();
    if (q(0) < 0) q = -q;
    const Vector4 back = QuaternionOfRotation(calc_R_from_q2(q));
    EXPECT_TRUE(calc_R_from_q2(back).isApprox(calc_R_from_q2(q), 1e-12)) << k;
    EXPECT_GE(back(0), 0);
  }
}

TEST(Triangulation, MatchOnABaselineGivesItsPoint) {
  const Triangulation r = triangulacion(Matrix::Zero(1, 2), (Matrix(1, 2) << -0.5, 0).finished(),
                                        1, kIdentity, kIdentity, kIdentity, Matrix::Zero(3, 1),
                                        kIdentity, Column(1, 0, 0));
  EXPECT_TRUE(r.Xw.col(0).isApprox(Vector3(0, 0, 2), 1e-15));
  EXPECT_NEAR(r.e_rayos(0), 0, 1e-15);
}

TEST(Triangulation, IntersectingSkewAndParallelRays) {
  const Vector3 origin = Vector3::Zero();
  // Intersecting: both rays pass through (1, 1, 1).
  RayIntersection hit = intersecta_rayos(Vector3(1, 1, 1).normalized(), Vector3(-1, 1, 1).normalized(),
                                         origin, Vector3(2, 0, 0));
  EXPECT_EQ(hit.error_, 1);
  EXPECT_NEAR(hit.e, 0, 1e-14);
  EXPECT_TRUE(hit.Xw.isApprox(Vector3(1, 1, 1), 1e-14));
  // Skew: the x axis and the line through (0, 0, 1) along y; common perpendicular from the
  // origin to (0, 0, 1) shifted along both.
  hit = intersecta_rayos(Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(-3, 0, 0), Vector3(0, -2, 1));
  EXPECT_EQ(hit.error_, 1);
  EXPECT_NEAR(hit.e, 1, 1e-14);
  EXPECT_TRUE(hit.Xw.isApprox(Vector3(0, 0, 0.5), 1e-14));
  // Parallel rays are rejected and say so.
  test::DiagnosticCapture capture;
  hit = intersecta_rayos(Vector3(0, 0, 1), Vector3(0, 0, 1), origin, Vector3(1, 0, 0));
  EXPECT_EQ(hit.error_, -1);
  EXPECT_FALSE(hit.has_point);
  EXPECT_EQ(hit.e, 0);
  ASSERT_EQ(capture.lines.size(), 1u);
  EXPECT_EQ(capture.lines[0], "Error de angulo minimo");
}

TEST(Triangulation, PointBehindACameraIsReturnedWithFailure) {
  // The rays meet at (0, 0, -2), behind both cameras looking along +z.
  const RayIntersection hit = intersecta_rayos(Vector3(0, 0, 1), Vector3(-0.5, 0, 1).normalized(),
                                               Vector3::Zero(), Vector3(-1, 0, 0));
  EXPECT_EQ(hit.error_, -1);
  EXPECT_TRUE(hit.has_point);
  EXPECT_TRUE(hit.Xw.isApprox(Vector3(0, 0, -2), 1e-14));
}

TEST(Triangulation, RejectedPairKeepsAZeroColumnInListOrder) {
  test::DiagnosticCapture capture;
  Matrix m1(3, 2), m2(3, 2);
  m1 << 0, 0, 0, 0, 0.2, 0.1;
  m2 << -0.5, 0, 0, 0, 0.2 - 0.25, 0.1;
  const Triangulation r = triangulacion(m1, m2, 3, kIdentity, kIdentity, kIdentity,
                                        Matrix::Zero(3, 1), kIdentity, Column(1, 0, 0));
  EXPECT_TRUE(r.Xw.col(0).isApprox(Vector3(0, 0, 2)));
  EXPECT_EQ(r.Xw.col(1), Vector3::Zero());  // parallel rays
  EXPECT_EQ(r.e_rayos(1), 0);
  EXPECT_TRUE(r.Xw.col(2).isApprox(Vector3(0.8, 0.4, 4)));
  EXPECT_TRUE(capture.Contains("Error de angulo minimo"));
}

TEST(Triangulation, ProjectionIsTheInverseOfTheRays) {
  const double f = 700;
  Matrix A = Matrix::Identity(3, 3);
  A(0, 0) = A(1, 1) = -f;
  const Matrix X = Column(0.4, -0.3, 5);
  const Matrix m = proyec_pto_R(X, 1, A, Matrix::Zero(3, 1), kIdentity);
  EXPECT_NEAR(m(0, 0), -f * 0.4 / 5, 1e-12);
  EXPECT_NEAR(m(0, 1), f * 0.3 / 5, 1e-12);

  // A rotated, displaced camera: the ray through the projection passes through the point.
  const Matrix R = calc_R_from_teta(0.4, Vector3(0.2, 1, 0.1).normalized());
  const Matrix C = Column(1.5, 0.2, -0.3);
  const Matrix p = proyec_pto_R(X, 1, A, C, R);
  const Vector3 direction = calc_dir_rayo(Vector2(p(0, 0), p(0, 1)), A, R);
  const Vector3 to_point = (Vector3(X) - Vector3(C)).normalized();
  EXPECT_TRUE(direction.isApprox(to_point, 1e-12));
}

TEST(Triangulation, WrongShapesAreErrors) {
  EXPECT_THROW(triangulacion(Matrix::Zero(2, 2), Matrix::Zero(2, 2), 3, kIdentity, kIdentity,
                             kIdentity, Matrix::Zero(3, 1), kIdentity, Matrix::Zero(3, 1)),
               NumericError);
  EXPECT_THROW(recons_ptos(Matrix::Zero(2, 2), Matrix::Zero(2, 2), 2, Matrix::Zero(1, 3),
                           kIdentity, kIdentity, Matrix::Zero(3, 1)),
               NumericError);
}

}  // namespace
}  // namespace q3d
