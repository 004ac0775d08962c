#pragma once
// Draws a Scene3D's model frame with one mesh, optionally textured, under the render
// quality. All calls need the owning widget's context to be current.
#include <QOpenGLFunctions_3_3_Core>
#include <QOpenGLShaderProgram>
#include <QString>
#include <QVector3D>
#include <memory>

#include "views/gl_render_quality.h"

namespace q3d {

class GlMesh;
class GlTexture;
class Scene3D;

class GlSceneRenderer {
 public:
  // Compiles and links the program. False when the driver refused it (see Log()).
  bool Initialize();
  bool IsReady() const { return program_ != nullptr; }
  const QString& Log() const { return log_; }

  // Clears to the background and draws the mesh in the model frame. A null or invalid
  // texture draws the mesh in its colour alone.
  void Render(QOpenGLFunctions_3_3_Core& gl, const Scene3D& scene, const GlMesh& mesh,
              const GlTexture* texture, const QVector3D& meshColor, const RenderQuality& quality,
              int width, int height);
  void Release();

 private:
  std::unique_ptr<QOpenGLShaderProgram> program_;
  QString log_;
};

}  // namespace q3d
