#include "numeric/euclidean_reconstruction.h"

#include <gtest/gtest.h>

#include "numeric/motion_cost.h"
#include "numeric/motion_refinement.h"
#include "numeric/rotation.h"
#include "numeric/triangulation.h"
#include "support/synthetic_scene.h"

namespace q3d {
namespace {

Matrix3 UnitE(const test::SyntheticScene& scene) {
  const Vector3 t = Vector3(scene.t).normalized();
  return calc_antisimetrica(t) * Matrix3(scene.R);
}

TEST(EuclideanReconstruction, TranslationAndRotationOfAnExactEssentialMatrix) {
  const auto scene = test::MakeSyntheticScene();
  const Matrix3 E = UnitE(scene);
  const Vector3 t = Vector3(scene.t).normalized();
  const Translation translation =
      calc_t(E, scene.m1.row(0).transpose(), scene.m2.row(0).transpose(), scene.A1, scene.A2);
  EXPECT_TRUE(translation.t.isApprox(t, 1e-12));
  const Rotation rotation = calc_R(E, translation.T);
  EXPECT_TRUE(rotation.R.isApprox(Matrix3(scene.R), 1e-12));
  EXPECT_TRUE(calc_R_from_teta(rotation.teta, rotation.v).isApprox(rotation.R, 1e-12));
}

TEST(EuclideanReconstruction, HalfTurnKeepsItsRotation) {
  // A half turn about y: the quaternion's w is exactly 0.
  Matrix3 R;
  R << -1, 0, 0, 0, 1, 0, 0, 0, -1;
  const Vector3 t(1, 0, 0);
  const Rotation rotation = calc_R(calc_antisimetrica(t) * R, calc_antisimetrica(t));
  EXPECT_TRUE(rotation.R.isApprox(R, 1e-12));
}

TEST(EuclideanReconstruction, TrueGeometryReconstructsTheScene) {
  const auto scene = test::MakeSyntheticScene();
  const EuclideanReconstruction r = ReconstruccionEuclidea(
      scene.m1, scene.m2, scene.Count(), scene.TrueF(), scene.f1, scene.f2, 1, 1);
  ASSERT_EQ(r.ret, 1);
  EXPECT_TRUE(r.t2.isApprox(scene.t, 1e-9));  // |t(3)| = 1 as the scene's
  EXPECT_TRUE(r.Rcam2.isApprox(scene.R, 1e-9));
  EXPECT_LT((r.Xw - scene.points).cwiseAbs().maxCoeff(), 1e-8);
  EXPECT_LT(r.e_rayos.maxCoeff(), 1e-8);
  EXPECT_LT(r.d, 1e-8);
  EXPECT_EQ(r.A1(0, 0), -scene.f1);
  EXPECT_EQ(r.A2(1, 1), -scene.f2);
}

TEST(EuclideanReconstruction, ReferenceMatchSkipsThePrincipalPoint) {
  Matrix m1 = Matrix::Zero(3, 2), m2 = Matrix::Zero(3, 2);
  m1(1, 0) = 4;
  m1(2, 0) = 9;
  const ReferenceMatch reference = busco_pto_lejano(m1, m2, 3, 0, 0);
  EXPECT_EQ(reference.ret, 1);
  EXPECT_EQ(reference.ind_pto_signo_t, 1);
}

TEST(EuclideanReconstruction, EveryMatchOnThePrincipalPointFails) {
  const auto scene = test::MakeSyntheticScene();
  const Matrix zeros = Matrix::Zero(12, 2);
  EXPECT_EQ(busco_pto_lejano(zeros, zeros, 12, 0, 0).ret, -1);
  const EuclideanReconstruction r =
      ReconstruccionEuclidea(zeros, zeros, 12, scene.TrueF(), scene.f1, scene.f2, 1, 1);
  EXPECT_EQ(r.ret, -1);
  EXPECT_EQ(r.Xw.size(), 0);
  EXPECT_EQ(r.e_rayos.size(), 0);
}

TEST(EuclideanReconstruction, FirstMatchBehindCameraTwoFlipsTheTranslation) {
  const auto scene = test::MakeSyntheticScene();
  // A point in front of camera 1 but behind camera 2.
  const Vector3 centre2 = scene.t;
  const Matrix3 R = scene.R;
  const Matrix behind = Vector3(centre2 - 0.5 * R.col(2) + 0.3 * R.col(0));
  ASSERT_GT(behind(2), 0);
  ASSERT_LT((Vector3(behind) - centre2).dot(R.col(2)), 0);
  Matrix m1 = scene.m1, m2 = scene.m2;
  m1.row(0) = proyec_pto_R(behind, 1, scene.A1, Matrix::Zero(3, 1), Matrix::Identity(3, 3));
  m2.row(0) = proyec_pto_R(behind, 1, scene.A2, scene.t, scene.R);
  const Vector3 t = Vector3(scene.t).normalized();
  const SignCheck checked = verifica_signo_Et(UnitE(scene), t, calc_antisimetrica(t), scene.R,
                                              scene.A1, scene.A2, m1, m2, scene.Count(), 0, 0);
  EXPECT_TRUE(checked.to.isApprox(-t));
  EXPECT_TRUE(checked.To.isApprox(-calc_antisimetrica(t)));
  // All matches in front: the translation stays.
  const SignCheck kept = verifica_signo_Et(UnitE(scene), t, calc_antisimetrica(t), scene.R,
                                           scene.A1, scene.A2, scene.m1, scene.m2, scene.Count(), 0, 0);
  EXPECT_TRUE(kept.to.isApprox(t));
}

TEST(EuclideanReconstruction, ReprojectionCostVanishesOnTheTruth) {
  const auto scene = test::MakeSyntheticScene();
  const MotionParameters p = PackMotion({scene.R, scene.t, scene.A1, scene.A2});
  ASSERT_TRUE(p.ok);
  const Vector dist =
      travolen_back_motion(p.vAo, scene.m1, scene.m2, p.sign_t, p.sign_v, scene.A1, scene.A2, 1);
  ASSERT_EQ(dist.size(), scene.Count());
  EXPECT_LT(dist.cwiseAbs().maxCoeff(), 1e-8);
  // And the packing round-trips.
  const Calibration back = UnpackMotion(p.vAo, p.sign_t, p.sign_v, scene.A1, scene.A2);
  EXPECT_TRUE(back.Rcam.isApprox(scene.R, 1e-12));
  EXPECT_TRUE(back.t.isApprox(scene.t, 1e-12));
}

}  // namespace
}  // namespace q3d
