#include "views/gl_scene_renderer.h"

#include "views/gl_mesh.h"
#include "views/gl_scene.h"
#include "views/gl_shaders.h"
#include "views/gl_texture.h"

namespace q3d {

namespace {
constexpr float kPointSize = 3.0f;
}  // namespace

bool GlSceneRenderer::Initialize() {
  auto program = std::make_unique<QOpenGLShaderProgram>();
  const bool ok = program->addShaderFromSourceCode(QOpenGLShader::Vertex, kMeshVertexShader) &&
                  program->addShaderFromSourceCode(QOpenGLShader::Fragment, kMeshFragmentShader) &&
                  program->link();
  log_ = program->log();
  if (ok) program_ = std::move(program);
  return ok;
}

void GlSceneRenderer::Render(QOpenGLFunctions_3_3_Core& gl, const Scene3D& scene,
                             const GlMesh& mesh, const GlTexture* texture,
                             const QVector3D& meshColor, const RenderQuality& quality, int width,
                             int height) {
  gl.glViewport(0, 0, width, height);
  gl.glClearColor(scene.background.x(), scene.background.y(), scene.background.z(), 1.0f);
  gl.glClearDepth(1.0);
  gl.glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  if (!program_) return;

  gl.glEnable(GL_DEPTH_TEST);
  gl.glDepthFunc(GL_LESS);
  gl.glDisable(GL_CULL_FACE);
  switch (quality.fill) {
    case FillMode::Points:
      gl.glPolygonMode(GL_FRONT_AND_BACK, GL_POINT);
      // Single-pixel vertices are too small to see on a face of many thousand points.
      gl.glPointSize(kPointSize);
      break;
    case FillMode::Wireframe:
      gl.glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
      break;
    case FillMode::Solid:
      gl.glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
      break;
  }

  QMatrix4x4 modelToRoot = scene.model.RootTransform();
  modelToRoot.scale(scene.modelScale);
  const bool textured = texture != nullptr && texture->IsValid();
  program_->bind();
  program_->setUniformValue("uModelToRoot", modelToRoot);
  program_->setUniformValue("uRootToClip", scene.RootToClip(width, height));
  program_->setUniformValue("uNormalToRoot", modelToRoot.normalMatrix());
  program_->setUniformValue("uCameraPosition", scene.camera.RootTransform().map(QVector3D()));
  program_->setUniformValue("uLightDirection", scene.LightDirection());
  program_->setUniformValue("uLightColor", scene.directionalColor);
  program_->setUniformValue("uAmbientColor", scene.ambientColor);
  program_->setUniformValue("uLighting", quality.lighting);
  program_->setUniformValue("uFlat", quality.shade == ShadeMode::Flat);
  program_->setUniformValue("uTextured", textured);
  program_->setUniformValue("uMeshColor", meshColor);
  program_->setUniformValue("uTexture", 0);
  if (textured) texture->Bind(gl, 0);
  mesh.Draw(gl);
  program_->release();
  gl.glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
}

void GlSceneRenderer::Release() { program_.reset(); }

}  // namespace q3d
