#include "app/opengl_probe.h"

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <algorithm>
#include <cctype>

namespace q3d {

bool IsSoftwareRenderer(const std::string& rendererName) {
  std::string lower = rendererName;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  for (const char* soft : {"llvmpipe", "softpipe", "swrast", "software", "gdi generic"})
    if (lower.find(soft) != std::string::npos) return true;
  return false;
}

std::vector<OfferedDevice> ProbeOpenGLDevices() {
  QOpenGLContext context;
  if (!context.create()) return {};
  QOffscreenSurface surface;
  surface.setFormat(context.format());
  surface.create();
  if (!surface.isValid() || !context.makeCurrent(&surface)) return {};
  const auto* renderer = reinterpret_cast<const char*>(context.functions()->glGetString(GL_RENDERER));
  OfferedDevice device;
  device.name = renderer ? renderer : "OpenGL";
  context.doneCurrent();

  DeviceDescription rgb;
  rgb.colourModel = kColourModelRgb;
  rgb.renderDepths = DepthFlag(16) | DepthFlag(24) | DepthFlag(32);
  if (IsSoftwareRenderer(device.name))
    device.software = rgb;
  else
    device.hardware = rgb;
  return {device};
}

}  // namespace q3d
