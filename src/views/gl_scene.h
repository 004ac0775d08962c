#pragma once
// The 3D view's scene: root, camera, light and model frames, the two lights and the
// projection. The camera sits at the root's origin looking along +z with +y up; the
// model frame is 15 units in front of it.
#include <QMatrix4x4>
#include <QVector3D>

#include "views/gl_scene_frame.h"

namespace q3d {

// Perspective through the camera: clipping planes in front of the camera and the half
// height of the view at distance 1.
struct ScenePerspective {
  float front = 1.0f;
  float back = 100.0f;
  float field = 0.5f;
};

class Scene3D {
 public:
  Scene3D();
  Scene3D(const Scene3D&) = delete;
  Scene3D& operator=(const Scene3D&) = delete;

  // Direction in which the directional light shines (its frame's +z), root coordinates.
  QVector3D LightDirection() const;
  // Root coordinates to GL clip coordinates for a viewport of that size (the z flip
  // turns the left-handed camera space into GL's right-handed eye space).
  QMatrix4x4 RootToClip(int width, int height) const;

  SceneFrame root;
  SceneFrame camera{&root};
  SceneFrame lightFrame{&root};
  SceneFrame model{&root};
  QVector3D directionalColor{0.9f, 0.9f, 0.9f};
  QVector3D ambientColor{0.1f, 0.1f, 0.1f};
  QVector3D background{0.0f, 0.0f, 0.0f};
  ScenePerspective perspective;
  // Uniform scale of the mesh within the model frame: whatever the units of the
  // reconstruction, the model is shown at the size the view fits it to.
  float modelScale = 1.0f;
};

}  // namespace q3d
