#include "model/fill_mesh_builder.h"

#include <cstdint>
#include <new>
#include <vector>

namespace q3d {

int FillMeshBuilder(MeshBuilder& builder, const Matrix& V, const Matrix& T, const Matrix& F,
                    int roiWidth, int roiHeight) {
  if (V.cols() != 3 || T.cols() != 2 || T.rows() != V.rows() ||
      (F.size() != 0 && F.cols() != 3) || roiWidth <= 0 || roiHeight <= 0) {
    return kMeshInvalidArgument;
  }
  const int m = static_cast<int>(V.rows()), f = static_cast<int>(F.rows());
  std::vector<float> vertexArray;
  std::vector<int32_t> faceData;
  try {
    vertexArray.reserve(3 * static_cast<size_t>(m));
    for (int i = 0; i < m; ++i) {
      vertexArray.push_back(static_cast<float>(-V(i, 0)));
      vertexArray.push_back(static_cast<float>(V(i, 1)));
      vertexArray.push_back(static_cast<float>(V(i, 2)));
    }
    faceData.reserve(4 * static_cast<size_t>(f) + 1);
    for (int i = 0; i < f; ++i) {
      faceData.push_back(3);
      for (int c = 0; c < 3; ++c) {
        if (!(F(i, c) >= 1 && F(i, c) <= m)) return kMeshBadFaceData;
        faceData.push_back(static_cast<int32_t>(F(i, c)) - 1);
      }
    }
    faceData.push_back(0);
  } catch (const std::bad_alloc&) {
    return kMeshOutOfMemory;
  }

  int status = builder.ReserveSpace(m, 0, f);
  if (status < 0) return status;
  status = builder.AddFaces(m, vertexArray, 0, {}, faceData);
  if (status < 0) return status;
  status = builder.GenerateNormals();
  if (status < 0) return status;
  // AddFaces appends: this mesh's vertices are the last m.
  const int first = builder.VertexCount() - m;
  for (int i = 0; i < m; ++i) {
    status = builder.SetTextureCoordinates(first + i, static_cast<float>(T(i, 0) / roiWidth),
                                           static_cast<float>(T(i, 1) / roiHeight));
    if (status < 0) return status;
  }
  MeshBox box;
  status = builder.GetBox(&box);
  if (status < 0) return status;
  return builder.Translate(-(box.min[0] + box.max[0]) / 2, -(box.min[1] + box.max[1]) / 2,
                           -(box.min[2] + box.max[2]) / 2);
}

}  // namespace q3d
