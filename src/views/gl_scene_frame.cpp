#include "views/gl_scene_frame.h"

#include <cmath>

namespace q3d {
namespace {

constexpr float kTinyLength = 1e-12f;

QQuaternion RootOrientationOf(const SceneFrame* frame) {
  return frame ? frame->RootOrientation() : QQuaternion();
}

QMatrix4x4 RootTransformOf(const SceneFrame* frame) {
  return frame ? frame->RootTransform() : QMatrix4x4();
}

}  // namespace

QQuaternion SceneFrame::RootOrientation() const {
  return RootOrientationOf(parent_) * orientation_;
}

QMatrix4x4 SceneFrame::RootTransform() const {
  QMatrix4x4 local;
  local.translate(position_);
  local.rotate(orientation_);
  return RootTransformOf(parent_) * local;
}

QVector3D SceneFrame::DirectionInParent(const SceneFrame* reference,
                                        const QVector3D& direction) const {
  const QQuaternion parentFromRoot = RootOrientationOf(parent_).inverted();
  return parentFromRoot.rotatedVector(RootOrientationOf(reference).rotatedVector(direction));
}

QVector3D SceneFrame::PointInParent(const SceneFrame* reference, const QVector3D& point) const {
  const QVector3D inRoot = RootTransformOf(reference).map(point);
  return RootTransformOf(parent_).inverted().map(inRoot);
}

void SceneFrame::SetPosition(const SceneFrame* reference, const QVector3D& position) {
  position_ = PointInParent(reference, position);
}

void SceneFrame::SetOrientation(const SceneFrame* reference, const QVector3D& direction,
                                const QVector3D& up) {
  const QVector3D z = DirectionInParent(reference, direction);
  const QVector3D upInParent = DirectionInParent(reference, up);
  if (z.length() < kTinyLength) return;
  const QVector3D zUnit = z.normalized();
  const QVector3D y = upInParent - QVector3D::dotProduct(upInParent, zUnit) * zUnit;
  if (y.length() < kTinyLength) return;
  const QVector3D yUnit = y.normalized();
  // x = y × z gives the right-handed basis matrix that, applied to coordinates, maps the
  // frame's axes onto (x, y, z); the same matrix serves the left-handed reading.
  const QVector3D xUnit = QVector3D::crossProduct(yUnit, zUnit);
  orientation_ = QQuaternion::fromAxes(xUnit, yUnit, zUnit).normalized();
}

void SceneFrame::SetRotation(const SceneFrame* reference, const QVector3D& axis, float rate) {
  const QVector3D inParent = DirectionInParent(reference, axis);
  if (inParent.length() < kTinyLength || !std::isfinite(rate)) {
    rotationAxis_ = QVector3D();
    rotationRate_ = 0.0f;
    return;
  }
  rotationAxis_ = inParent.normalized();
  rotationRate_ = rate;
}

void SceneFrame::SetVelocity(const SceneFrame* reference, const QVector3D& velocity) {
  velocity_ = DirectionInParent(reference, velocity);
}

void SceneFrame::Move(float delta) {
  if (!std::isfinite(delta)) return;
  if (rotationRate_ != 0.0f && !rotationAxis_.isNull()) {
    const float degrees = qRadiansToDegrees(rotationRate_ * delta);
    orientation_ =
        (QQuaternion::fromAxisAndAngle(rotationAxis_, degrees) * orientation_).normalized();
  }
  position_ += velocity_ * delta;
}

}  // namespace q3d
