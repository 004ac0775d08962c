#pragma once
// A node of the 3D view's scene: a rigid placement (orientation and position) relative
// to its parent, plus a pending rotation and velocity that Move applies. Coordinates are
// left-handed: +x right, +y up, +z away from a frame looking along its own +z.
#include <QMatrix4x4>
#include <QQuaternion>
#include <QVector3D>

namespace q3d {

class SceneFrame {
 public:
  // A root frame when parent is null. The parent must outlive the frame.
  explicit SceneFrame(const SceneFrame* parent = nullptr) : parent_(parent) {}


  // Placement relative to the parent.
  const QVector3D& Position() const { return position_; }
  const QQuaternion& Orientation() const { return orientation_; }

  // Places the frame's origin at `position` given in `reference` coordinates (null: the
  // scene root's).
  void SetPosition(const SceneFrame* reference, const QVector3D& position);
  // Turns the frame so that its +z points along `direction` and its +y along the part of
  // `up` perpendicular to it, both given in `reference` coordinates. Degenerate vectors
  // (zero, or up parallel to direction) leave the orientation unchanged.
  void SetOrientation(const SceneFrame* reference, const QVector3D& direction, const QVector3D& up);

  // Rotation about `axis` (in `reference` coordinates, through the frame's own origin) at
  // `rate` radians per unit of Move. A zero axis means no rotation.
  void SetRotation(const SceneFrame* reference, const QVector3D& axis, float rate);
  // Velocity in `reference` coordinates, units per unit of Move.
  void SetVelocity(const SceneFrame* reference, const QVector3D& velocity);
  // Applies delta units of the current rotation and velocity.
  void Move(float delta);

  // Frame to root transform: maps this frame's coordinates into the root's.
  QMatrix4x4 RootTransform() const;
  // Orientation of the frame relative to the root.
  QQuaternion RootOrientation() const;

 private:
  // A vector (direction) or point given in `reference` coordinates, expressed in this
  // frame's parent coordinates.
  QVector3D DirectionInParent(const SceneFrame* reference, const QVector3D& direction) const;
  QVector3D PointInParent(const SceneFrame* reference, const QVector3D& point) const;

  const SceneFrame* parent_;
  QVector3D position_;
  QQuaternion orientation_;
  QVector3D rotationAxis_;  // parent coordinates, unit length or zero
  float rotationRate_ = 0.0f;
  QVector3D velocity_;  // parent coordinates
};

}  // namespace q3d
