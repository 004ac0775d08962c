#pragma once
// An offscreen OpenGL 3.3 core context with a framebuffer, to draw the scene layer
// without a window and read the pixels back.
#include <QImage>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions_3_3_Core>
#include <memory>

#include "views/gl_mesh.h"
#include "views/gl_render_quality.h"
#include "views/gl_scene_renderer.h"
#include "views/gl_texture.h"

namespace q3d {
class Image;
class MeshBuilder;
class Scene3D;
}  // namespace q3d

namespace q3d::test {

class GlHarness {
 public:
  GlHarness(int width, int height);
  ~GlHarness();
  GlHarness(const GlHarness&) = delete;
  GlHarness& operator=(const GlHarness&) = delete;

  // False when no OpenGL 3.3 core context could be made or the program did not link.
  bool Ok() const { return ok_; }
  QOpenGLFunctions_3_3_Core& Gl() { return *gl_; }

  void SetMesh(const MeshBuilder& mesh);
  // Null removes the texture.
  void SetTexture(const Image* image);
  // Draws the scene and returns the pixels (top row first).
  QImage Render(const Scene3D& scene, const RenderQuality& quality);
  // Draws without reading back; waits for the drawing to finish.
  void RenderAndFinish(const Scene3D& scene, const RenderQuality& quality);

 private:
  int width_;
  int height_;
  bool ok_ = false;
  QOffscreenSurface surface_;
  QOpenGLContext context_;
  QOpenGLFunctions_3_3_Core* gl_ = nullptr;
  std::unique_ptr<QOpenGLFramebufferObject> framebuffer_;
  GlSceneRenderer renderer_;
  GlMesh mesh_;
  GlTexture texture_;
};

}  // namespace q3d::test
