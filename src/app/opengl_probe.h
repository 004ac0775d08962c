#pragma once
// What the system offers for the 3D view: one device per working OpenGL renderer,
// described as hardware or software, RGB, at the usual display depths.
#include <vector>

#include "app/device_choice.h"

namespace q3d {

// Creates a context on an off-screen surface and reads the renderer's name; empty when
// no OpenGL context can be made.
std::vector<OfferedDevice> ProbeOpenGLDevices();

// Mesa's and Microsoft's software rasterisers count as software devices.
bool IsSoftwareRenderer(const std::string& rendererName);

}  // namespace q3d
