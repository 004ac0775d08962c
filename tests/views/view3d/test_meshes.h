#pragma once
// Small meshes with known geometry for the drawing tests, built through the mesh builder
// as the model's build does.
#include "model/mesh_builder.h"
#include "stereo/image.h"

namespace q3d::test {

// A square of side 2·half in the model frame's z = 0 plane, facing the camera (normals
// along -z), texture coordinates (u0 .. u0 + 1, v0 .. v0 + 1) from left to right and top
// to bottom.
MeshBuilder FacingSquare(float half, float u0 = 0.0f, float v0 = 0.0f);
// A tent: two planes meeting on the vertical line x = 0, each tilted by `slopeDegrees`
// away from facing the camera, with smoothed normals along the ridge.
MeshBuilder Tent(float half, float slopeDegrees);

// A texture of this system's layout (3 channels, BGR, rows aligned to 8).
Image SolidTexture(int size, uint8_t b, uint8_t g, uint8_t r);
// Left half (b1, g1, r1), right half (b2, g2, r2).
Image SplitTexture(int size, const uint8_t left[3], const uint8_t right[3]);
// Cells of `cell` pixels alternating black and white.
Image CheckerTexture(int size, int cell);

}  // namespace q3d::test
