#pragma once
// The model's texture image as a GL texture: repeated outside [0, 1] (the point mesh's
// coordinates reach up to a pixel beyond the region), nearest or bilinear filtering, no mipmaps.
#include <QOpenGLFunctions_3_3_Core>

namespace q3d {

class Image;

class GlTexture {
 public:
  // Copies a 3-channel 8-bit BGR image. Returns false (and holds no texture) for an image
  // without pixels or of another layout.
  bool Upload(QOpenGLFunctions_3_3_Core& gl, const Image& image);
  void SetLinearFilter(QOpenGLFunctions_3_3_Core& gl, bool linear);
  void Bind(QOpenGLFunctions_3_3_Core& gl, int unit) const;
  void Release(QOpenGLFunctions_3_3_Core& gl);

  bool IsValid() const { return id_ != 0; }

 private:
  GLuint id_ = 0;
  bool linear_ = false;
};

}  // namespace q3d
