#include "views/gl_texture.h"

#include <cstring>
#include <vector>

#include "stereo/image.h"

namespace q3d {

bool GlTexture::Upload(QOpenGLFunctions_3_3_Core& gl, const Image& image) {
  Release(gl);
  if (!image.HasData() || image.Channels() != 3 || image.Depth() != 8 || image.Width() <= 0 ||
      image.Height() <= 0) {
    return false;
  }
  const size_t width = static_cast<size_t>(image.Width());
  const size_t height = static_cast<size_t>(image.Height());
  const size_t tightRow = 3 * width;
  if (image.RowStep() < tightRow || image.ByteSize() < image.RowStep() * height) return false;
  // GL reads rows padded to 1, 2, 4 or 8 bytes; any other padding is removed by a copy.
  GLint alignment = 0;
  for (GLint a : {1, 2, 4, 8}) {
    if ((tightRow + a - 1) / a * a == image.RowStep()) {
      alignment = a;
      break;
    }
  }
  std::vector<uint8_t> tight;
  const uint8_t* pixels = image.Data();
  if (alignment == 0) {
    tight.resize(tightRow * height);
    for (size_t y = 0; y < height; ++y)
      std::memcpy(tight.data() + y * tightRow, image.Row(static_cast<int>(y)), tightRow);
    pixels = tight.data();
    alignment = 1;
  }
  gl.glGenTextures(1, &id_);
  gl.glBindTexture(GL_TEXTURE_2D, id_);
  gl.glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
  gl.glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, image.Width(), image.Height(), 0, GL_BGR,
                  GL_UNSIGNED_BYTE, pixels);
  gl.glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  SetLinearFilter(gl, linear_);
  return true;
}

void GlTexture::SetLinearFilter(QOpenGLFunctions_3_3_Core& gl, bool linear) {
  linear_ = linear;
  if (id_ == 0) return;
  const GLint filter = linear ? GL_LINEAR : GL_NEAREST;
  gl.glBindTexture(GL_TEXTURE_2D, id_);
  gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
  gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
}

void GlTexture::Bind(QOpenGLFunctions_3_3_Core& gl, int unit) const {
  gl.glActiveTexture(static_cast<GLenum>(GL_TEXTURE0 + unit));
  gl.glBindTexture(GL_TEXTURE_2D, id_);
}

void GlTexture::Release(QOpenGLFunctions_3_3_Core& gl) {
  if (id_ != 0) gl.glDeleteTextures(1, &id_);
  id_ = 0;
}

}  // namespace q3d
