#pragma once
// Hands a built mesh to the mesh builder.
#include "model/mesh_builder.h"
#include "numeric/matrix.h"

namespace q3d {

// Fills `builder` with vertices V (m x 3), texture points T (m x 2) and faces F (f x 3,
// one-based): x is mirrored for the renderer's coordinate system, texture coordinates are T
// divided by the source region's width and height, normals are generated and the mesh is
// centred on its bounding box. Returns the status of the first failing builder step (the
// partly filled mesh stays), kMeshInvalidArgument for inconsistent input, or kMeshOk.
int FillMeshBuilder(MeshBuilder& builder, const Matrix& V, const Matrix& T, const Matrix& F,
                    int roiWidth, int roiHeight);

}  // namespace q3d
