#include "gl_harness.h"

#include <QOpenGLVersionFunctionsFactory>
#include <QVector3D>

#include "model/mesh_builder.h"
#include "stereo/image.h"
#include "views/gl_scene.h"

namespace q3d::test {

GlHarness::GlHarness(int width, int height) : width_(width), height_(height) {
  QSurfaceFormat format;
  format.setRenderableType(QSurfaceFormat::OpenGL);
  format.setVersion(3, 3);
  format.setProfile(QSurfaceFormat::CoreProfile);
  format.setDepthBufferSize(24);
  surface_.setFormat(format);
  surface_.create();
  context_.setFormat(format);
  if (!context_.create() || !context_.makeCurrent(&surface_)) return;
  gl_ = QOpenGLVersionFunctionsFactory::get<QOpenGLFunctions_3_3_Core>(&context_);
  if (!gl_ || !gl_->initializeOpenGLFunctions()) return;
  framebuffer_ = std::make_unique<QOpenGLFramebufferObject>(
      width, height, QOpenGLFramebufferObject::CombinedDepthStencil);
  ok_ = framebuffer_->isValid() && renderer_.Initialize();
}

GlHarness::~GlHarness() {
  if (!gl_) return;
  context_.makeCurrent(&surface_);
  mesh_.Release(*gl_);
  texture_.Release(*gl_);
  renderer_.Release();
  framebuffer_.reset();
  context_.doneCurrent();
}

void GlHarness::SetMesh(const MeshBuilder& mesh) {
  context_.makeCurrent(&surface_);
  mesh_.Upload(*gl_, mesh);
}

void GlHarness::SetTexture(const Image* image) {
  context_.makeCurrent(&surface_);
  if (image)
    texture_.Upload(*gl_, *image);
  else
    texture_.Release(*gl_);
}

void GlHarness::RenderAndFinish(const Scene3D& scene, const RenderQuality& quality) {
  context_.makeCurrent(&surface_);
  framebuffer_->bind();
  texture_.SetLinearFilter(*gl_, quality.linearFilter);
  renderer_.Render(*gl_, scene, mesh_, &texture_, QVector3D(1.0f, 1.0f, 1.0f), quality, width_,
                   height_);
  gl_->glFinish();
}

QImage GlHarness::Render(const Scene3D& scene, const RenderQuality& quality) {
  RenderAndFinish(scene, quality);
  return framebuffer_->toImage(false).convertToFormat(QImage::Format_RGB32);
}

}  // namespace q3d::test
