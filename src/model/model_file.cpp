#include "model/model_file.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "base/archive.h"
#include "base/error_stack.h"
#include "base/file_output.h"
#include "model/c3d_model.h"
#include "model/mesh_builder.h"
#include "model/mesh_export.h"
#include "stereo/stereo_pair.h"

namespace q3d {
namespace {

bool HasShape(const Matrix& m, Eigen::Index rows, Eigen::Index cols) {
  return m.rows() == rows && m.cols() == cols && m.allFinite();
}

bool IsModelFilePath(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext == ".q3d";
}

const char* const kNoRender = "There is no rendered model to export: render the project first.";

}  // namespace

bool HasRenderResults(const CStereoPair& pair) {
  return pair.m_rendered == 1 && HasShape(pair.m_F, 3, 3) && HasShape(pair.m_A1, 3, 3) &&
         HasShape(pair.m_A2, 3, 3) && HasShape(pair.m_Rcam, 3, 3) && pair.m_t.size() == 3 &&
         pair.m_t.allFinite();
}

Status WriteModelFile(const std::string& path, const CStereoPair& pair, const C3DModel& model) {
  if (!HasRenderResults(pair)) return Status::Fail(kNoRender);
  Archive ar = Archive::ForStoring();
  ar.WriteBytes("QV3D", 4);
  const uint8_t version[2] = {1, 0};
  ar.WriteBytes(version, 2);
  const uint8_t reserved[256] = {};
  ar.WriteBytes(reserved, sizeof reserved);
  pair.WriteModelData(ar);
  model.WriteModel(ar);
  return WriteFileAtomically(path, ar.Buffer());
}

Status ExportModel3D(const std::string& path, CStereoPair& pair, C3DModel& model,
                     const ModelExportOptions& options, ExportedMesh* written, Progress* progress) {
  const bool modelFile = IsModelFilePath(path);
  if (!modelFile && !IsMeshExportPath(path)) {
    return Status::Fail("\"" + path +
                        "\" has no known 3D model extension (.q3d, .wrl, .obj, .ply, .glb, .stl).");
  }
  if (!HasRenderResults(pair)) return Status::Fail(kNoRender);
  const int errorsBefore = ErrorCount();
  // Any record a step pushes becomes this export's message.
  auto failure = [&](const std::string& fallback) {
    std::string message = fallback;
    if (ErrorCount() > errorsBefore) message = PopError().Message();
    while (ErrorCount() > errorsBefore) PopError();
    return Status::Fail(message);
  };
  if (modelFile) {
    model.UpdateTexture();
    if (!model.m_texture.HasData() || ErrorCount() > errorsBefore) {
      return failure("The texture could not be made from Image 1.");
    }
    return WriteModelFile(path, pair, model);
  }
  MeshBuilder mesh;
  if (options.dense) {
    const Status built = options.denseSurface
                             ? model.FillDenseMesh(mesh, *options.denseSurface)
                             : model.BuildDenseMesh(mesh, options.denseParams, progress);
    if (!built) return built;
  } else if (model.BuildMesh(mesh, options.cubic, options.gridSize, options.smooth) < 0) {
    return failure("The model has no triangles to export: it needs matches around a surface.");
  }
  if (mesh.FaceCount() == 0) {
    return failure("The model has no triangles to export: it needs matches around a surface.");
  }
  // A mesh without its texture would export as a success with a blank surface. The dense
  // surface takes its texture from Image 1 at the resolution it deserves.
  const cv::Mat texture =
      options.dense ? model.DenseTexture(options.denseTextureSize) : model.m_texture.Mat();
  if (texture.empty() || ErrorCount() > errorsBefore)
    return failure("The texture could not be made from Image 1.");
  if (model.m_metricScale.IsSet()) {
    const Result<double> mmPerUnit = MillimetresPerUnit(pair, model.m_metricScale);
    if (!mmPerUnit) return failure(mmPerUnit.Reason());
    const auto s = static_cast<float>(*mmPerUnit);
    mesh.Scale(s, s, s);
  }
  if (written) *written = {mesh.VertexCount(), mesh.FaceCount()};
  return ExportMesh(path, mesh, texture);
}

}  // namespace q3d
