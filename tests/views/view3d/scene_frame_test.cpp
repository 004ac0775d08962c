#include <gtest/gtest.h>

#include <QVector4D>
#include <cmath>

#include "views/gl_scene.h"
#include "views/gl_scene_frame.h"

namespace q3d {
namespace {

void ExpectNear(const QVector3D& actual, const QVector3D& expected, float tolerance = 1e-5f) {
  EXPECT_NEAR(actual.x(), expected.x(), tolerance);
  EXPECT_NEAR(actual.y(), expected.y(), tolerance);
  EXPECT_NEAR(actual.z(), expected.z(), tolerance);
}

QVector3D ToRoot(const SceneFrame& frame, const QVector3D& point) {
  return frame.RootTransform().map(point);
}

TEST(SceneFrame, DefaultSceneLayout) {
  Scene3D scene;
  ExpectNear(ToRoot(scene.model, QVector3D(0, 0, -1)), QVector3D(0, 0, 14));
  ExpectNear(ToRoot(scene.camera, QVector3D(1, 2, 3)), QVector3D(1, 2, 3));
  ExpectNear(ToRoot(scene.lightFrame, QVector3D()), QVector3D(2, 0, 22));
  ExpectNear(scene.LightDirection(), QVector3D(0, 0, 1));
}

TEST(SceneFrame, RotationTurnsAboutOwnOriginByRateTimesDelta) {
  Scene3D scene;
  // Rate -1 about +y for half a unit: the side facing the camera swings towards +x.
  scene.model.SetRotation(&scene.root, QVector3D(0, 1, 0), -1.0f);
  scene.model.Move(0.5f);
  ExpectNear(scene.model.Position(), QVector3D(0, 0, 15));
  ExpectNear(ToRoot(scene.model, QVector3D(0, 0, -1)),
             QVector3D(std::sin(0.5f), 0, 15 - std::cos(0.5f)));
  // Moving again with the rotation reset changes nothing.
  scene.model.SetRotation(&scene.root, QVector3D(), 0.0f);
  scene.model.Move(0.5f);
  ExpectNear(ToRoot(scene.model, QVector3D(0, 0, -1)),
             QVector3D(std::sin(0.5f), 0, 15 - std::cos(0.5f)));
}

TEST(SceneFrame, RotationAxisIsTakenInTheReferenceFrame) {
  Scene3D scene;
  scene.model.SetRotation(&scene.root, QVector3D(0, 1, 0), 1.0f);
  scene.model.Move(static_cast<float>(M_PI / 2));
  // The model's x axis now lies along root -z. About the root's x axis it turns onto +y;
  // about the model's own x axis it would not move.
  scene.model.SetRotation(&scene.root, QVector3D(1, 0, 0), 1.0f);
  scene.model.Move(static_cast<float>(M_PI / 2));
  const QVector3D xAxis = ToRoot(scene.model, QVector3D(1, 0, 0)) - scene.model.Position();
  ExpectNear(xAxis, QVector3D(0, 1, 0));
}

TEST(SceneFrame, VelocityIsTakenInTheReferenceFrame) {
  Scene3D scene;
  scene.camera.SetOrientation(&scene.root, QVector3D(1, 0, 0), QVector3D(0, 1, 0));
  scene.model.SetVelocity(&scene.camera, QVector3D(0, 0, 10));
  scene.model.Move(0.2f);
  ExpectNear(scene.model.Position(), QVector3D(2, 0, 15));
}

TEST(SceneFrame, DegenerateOrientationIsIgnored) {
  Scene3D scene;
  scene.model.SetOrientation(&scene.root, QVector3D(0, 1, 0), QVector3D(0, 1, 0));
  ExpectNear(ToRoot(scene.model, QVector3D(1, 0, 0)), QVector3D(1, 0, 15));
  scene.model.SetOrientation(&scene.root, QVector3D(), QVector3D(0, 1, 0));
  ExpectNear(ToRoot(scene.model, QVector3D(1, 0, 0)), QVector3D(1, 0, 15));
}

TEST(SceneFrame, PerspectiveUsesFieldAndClippingPlanes) {
  Scene3D scene;
  const int width = 400;
  const int height = 200;
  const QMatrix4x4 toClip = scene.RootToClip(width, height);
  auto ndc = [&](const QVector3D& p) {
    const QVector4D c = toClip * QVector4D(p, 1.0f);
    return QVector3D(c.x() / c.w(), c.y() / c.w(), c.z() / c.w());
  };
  ExpectNear(ndc(QVector3D(0, 0, 15)).toVector2D().toVector3D(), QVector3D());
  // Half the view's height at distance d is 0.5·d; the width follows the aspect ratio.
  EXPECT_NEAR(ndc(QVector3D(0, 0.5f * 15, 15)).y(), 1.0f, 1e-5f);
  EXPECT_NEAR(ndc(QVector3D(0.5f * 15 * 2, 0, 15)).x(), 1.0f, 1e-5f);
  // +x of the left-handed camera is to the right, +y up.
  EXPECT_GT(ndc(QVector3D(1, 0, 15)).x(), 0.0f);
  EXPECT_GT(ndc(QVector3D(0, 1, 15)).y(), 0.0f);
  EXPECT_NEAR(ndc(QVector3D(0, 0, 1)).z(), -1.0f, 1e-5f);
  EXPECT_NEAR(ndc(QVector3D(0, 0, 100)).z(), 1.0f, 1e-4f);
}

}  // namespace
}  // namespace q3d
