#pragma once
// Export of a rendered project's 3D model: the system's own model file (.q3d) and the mesh
// formats of mesh_export.h, chosen by the file's extension.
#include <string>

#include "base/result.h"
#include "matching/dense_matching.h"

namespace q3d {

class C3DModel;
class CStereoPair;
class Progress;
struct DenseSurface;

// Size of a .q3d file with a 512 x 512 texture: kModelFileBaseSize + 32 bytes per match.
constexpr long kModelFileBaseSize = 787078;

// True when the pair holds the results of a render (rendered flag and the fixed shapes of
// F, A1, A2, R and t).
bool HasRenderResults(const CStereoPair& pair);

// Writes the .q3d file: the magic "QV3D", version 1, 0, 256 reserved zero bytes, the pair's
// block and the model's block. Returns an empty string on success, otherwise a message;
// the file is written complete or not at all. Refuses a pair without render results.
Status WriteModelFile(const std::string& path, const CStereoPair& pair, const C3DModel& model);

// Mesh chosen for the mesh formats, as the 3D view's Mesh menu.
struct ModelExportOptions {
  int smooth = 0;  // 0: the points' own mesh; otherwise refined once (subdivision) ...
  int cubic = 0;   // ... or, when this is set too, the interpolated grid
  int gridSize = 50;
  bool dense = false;  // the dense surface instead, textured at up to denseTextureSize
  DenseMatchParams denseParams;
  const DenseSurface* denseSurface = nullptr;  // built already (off the GUI thread), or built here
  int denseTextureSize = 2048;                 // C3DModel::kDenseTextureSize
};

// Size of the mesh an export wrote.
struct ExportedMesh {
  int vertices = 0;
  int triangles = 0;
};

// Export 3D Model: by extension (case ignored) the .q3d file, or the mesh built with the
// options and the texture as .wrl, .obj, .ply, .glb or .stl (no texture); `written`, when
// given, receives the mesh's size. With a metric scale set the mesh is in millimetres. The texture
// is brought up to date first (unchanged regions keep their retouching). A failure writes nothing
// and leaves no error record on the stack.
Status ExportModel3D(const std::string& path, CStereoPair& pair, C3DModel& model,
                     const ModelExportOptions& options = {}, ExportedMesh* written = nullptr,
                     Progress* progress = nullptr);

}  // namespace q3d
