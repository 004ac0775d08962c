// export: the rendered model as the system's .q3d file or as a textured mesh.
#include <algorithm>
#include <cctype>
#include <filesystem>

#include "base/error_stack.h"
#include "base/file_output.h"
#include "cli/commands.h"
#include "cli/project_files.h"
#include "model/mesh_export.h"
#include "model/model_file.h"
#include "project/project_doc.h"

namespace q3d::cli {
namespace {

struct MeshChoice {
  const char* name;
  int smooth;
  int cubic;
  bool dense;
};

// The 3D view's Mesh menu: smoothing off, on by subdivision, on by cubic interpolation,
// and the dense surface.
constexpr MeshChoice kMeshChoices[] = {
    {"points", 0, 0, false},
    {"subdivision", 1, 0, false},
    {"cubic", 1, 1, false},
    {"dense", 0, 0, true},
};

std::string LowerExtension(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext.empty() ? ext : ext.substr(1);
}

CommandResult RunExport(const ParsedArguments& arguments) {
  const std::string& path = arguments.Positionals()[0];
  const std::string output = *arguments.Value("--output");
  const std::string meshName = arguments.Value("--mesh").value_or("points");
  const MeshChoice* mesh = nullptr;
  for (const MeshChoice& choice : kMeshChoices)
    if (meshName == choice.name) mesh = &choice;
  if (!mesh)
    return Failure("--mesh: '" + meshName + "' is not points, subdivision, cubic or dense");
  ModelExportOptions options;
  if (const auto margin = arguments.Value("--dense-margin")) {
    std::string error;
    const auto percent = ParseReal("--dense-margin", *margin, 0, 50, error);
    if (!percent) return Failure(error);
    options.denseParams.hullMargin = *percent / 100;
  }

  if (const auto refused = RefuseOutputOntoInput(output, {{"the project", path}}))
    return Failure(*refused);
  // The files written beside the model must spare the project too.
  for (const std::string& written : ExportedFilePaths(output))
    if (written != output && IsSameFile(written, path))
      return Failure(output + ": exporting there writes " + written +
                     ", which is the project of this command (choose another output file)");
  CProjectDoc doc;
  if (const auto error = OpenProject(doc, path)) return Failure(*error);
  if (!doc.IsRendered())
    return Failure(path + ": the project is not rendered; run 'quorvan3d-cli render' first");

  options.smooth = mesh->smooth;
  options.cubic = mesh->cubic;
  options.dense = mesh->dense;
  ExportedMesh built;
  const Status exported = ExportModel3D(output, doc.m_stereoPair, doc.m_model, options, &built);
  if (!exported) return Failure(exported.Reason());

  const std::string format = LowerExtension(output);
  CommandResult result;
  result.json.Set("command", "export");
  result.json.Set("project", path);
  result.json.Set("output", output);
  result.json.Set("format", format);
  if (format == "q3d") {
    result.json.Set("matches", doc.m_stereoPair.m_matches.Count());
    result.text.push_back("Exported the 3D model file " + output + " (" +
                          std::to_string(doc.m_stereoPair.m_matches.Count()) + " matches)");
    return result;
  }
  result.json.Set("mesh", mesh->name);
  result.json.Set("vertices", built.vertices);
  result.json.Set("triangles", built.triangles);
  result.text.push_back("Exported " + output + ": " + std::to_string(built.vertices) +
                        " vertices, " + std::to_string(built.triangles) + " triangles (" +
                        mesh->name + " mesh)");
  return result;
}

}  // namespace

Command ExportCommand() {
  CommandSpec spec;
  spec.name = "export";
  spec.positionals = "P.qvp";
  spec.positionalCount = 1;
  spec.summary =
      "Exports the rendered model. The extension of MODEL chooses the format: .q3d (the 3D "
      "model file), .wrl (VRML 2.0), .obj, .ply, .glb (glTF binary) or .stl (binary, for "
      "printing, no texture); the textured formats store the texture as a PNG beside the "
      "file, .glb inside it.";
  spec.options = {
      {"--output", "-o", "MODEL.{q3d,wrl,obj,ply,glb,stl}", "the file to write", true},
      {"--mesh", "", "points|subdivision|cubic|dense",
       "mesh of the mesh formats: the points' own triangles (default), refined once, the "
       "cubic grid, or the dense surface matched at every pixel of the face"},
      {"--dense-margin", "", "PERCENT",
       "margin of the dense surface around the matches, in percent of their extent "
       "(default 4)"},
  };
  return {spec, &RunExport};
}

}  // namespace q3d::cli
