#pragma once
// Writers of the current mesh and its texture in formats other programs load. Each returns
// an empty string on success, otherwise a message; the files appear complete or not at all.
// The texture is an 8-bit 3-channel BGR image; it is stored as a PNG (embedded in .glb,
// beside the file as "<name>_texture.png" or "<name>_texture2.png" otherwise: a new export
// takes the name the file it replaces does not use).
#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "base/result.h"
#include "model/mesh_builder.h"

namespace q3d {

// VRML 2.0: one textured IndexedFaceSet with coordinates, normals and texture coordinates.
Status WriteVrml(const std::string& path, const MeshBuilder& mesh, const cv::Mat& texture);
// Wavefront OBJ with a material file "<name>.mtl" or "<name>_material2.mtl".
Status WriteObj(const std::string& path, const MeshBuilder& mesh, const cv::Mat& texture);
// Binary little-endian PLY with normals and texture coordinates (s, t).
Status WritePly(const std::string& path, const MeshBuilder& mesh, const cv::Mat& texture);
// glTF 2.0 binary with the texture embedded.
Status WriteGlb(const std::string& path, const MeshBuilder& mesh, const cv::Mat& texture);
// Binary STL for printing: the triangles with their facet normals, no texture.
Status WriteStl(const std::string& path, const MeshBuilder& mesh);

// True when the extension of path names one of the formats above (case ignored).
bool IsMeshExportPath(const std::string& path);
// Every file an export to path may write or remove: the model file and both names of each
// of its companions.
std::vector<std::string> ExportedFilePaths(const std::string& path);
// Chooses the writer by the extension (.wrl, .obj, .ply, .glb, .stl; case ignored).
Status ExportMesh(const std::string& path, const MeshBuilder& mesh, const cv::Mat& texture);

}  // namespace q3d
