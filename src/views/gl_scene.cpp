#include "views/gl_scene.h"

#include <algorithm>
#include <cmath>

namespace q3d {

Scene3D::Scene3D() {
  const QVector3D forward(0.0f, 0.0f, 1.0f);
  const QVector3D up(0.0f, 1.0f, 0.0f);
  lightFrame.SetPosition(&root, QVector3D(2.0f, 0.0f, 22.0f));
  camera.SetPosition(&root, QVector3D(0.0f, 0.0f, 0.0f));
  camera.SetOrientation(&root, forward, up);
  model.SetPosition(&root, QVector3D(0.0f, 0.0f, 15.0f));
  model.SetOrientation(&root, forward, up);
}

QVector3D Scene3D::LightDirection() const {
  return lightFrame.RootOrientation().rotatedVector(QVector3D(0.0f, 0.0f, 1.0f)).normalized();
}

QMatrix4x4 Scene3D::RootToClip(int width, int height) const {
  const float aspect =
      static_cast<float>(std::max(width, 1)) / static_cast<float>(std::max(height, 1));
  QMatrix4x4 projection;
  projection.perspective(qRadiansToDegrees(2.0f * std::atan(perspective.field)), aspect,
                         perspective.front, perspective.back);
  QMatrix4x4 flipZ;
  flipZ.scale(1.0f, 1.0f, -1.0f);
  return projection * flipZ * camera.RootTransform().inverted();
}

}  // namespace q3d
