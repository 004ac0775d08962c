#pragma once
// The drawable result of a render: the 512 x 512 texture resampled from image 1 and the
// mesh built into a mesh builder owned by the caller (the 3D view, an exporter).
#include <cstdint>
#include <memory>
#include <opencv2/core.hpp>

#include "base/result.h"
#include "matching/dense_matching.h"
#include "model/metric_scale.h"
#include "stereo/image.h"

namespace q3d {

class Archive;
class CStereoPair;
class MeshBuilder;
class Progress;
struct DenseSurface;

class C3DModel {
 public:
  static constexpr int kTextureSize = 512;
  static constexpr int kDenseTextureSize = 2048;  // largest side of a dense mesh's texture
  static constexpr int kGridSize = 50;

  explicit C3DModel(CStereoPair* stereoPair);
  C3DModel(const C3DModel&) = delete;
  C3DModel& operator=(const C3DModel&) = delete;

  // Resamples image 1's region around its points into the texture, unless the region is
  // unchanged (texture edits are kept).
  void UpdateTexture();
  // Smooth and cubic: the interpolated grid; otherwise the point mesh, refined once when
  // smooth. Returns a status (negative = failure).
  int BuildMesh(MeshBuilder& builder, int cubic, int gridSize, int smooth);
  int BuildPointMesh(MeshBuilder& builder, int refine);
  int BuildGridMesh(MeshBuilder& builder, int gridSize);
  static constexpr const char* kDenseStep = "Matching every pixel of the face...";

  // The dense surface (every matched pixel of image 1 on a regular grid), in the points
  // mesh's frame: the same triangulation, mirroring and centring. A failure says why;
  // Cancelled() when the progress's cancel was requested.
  Status BuildDenseMesh(MeshBuilder& builder, const DenseMatchParams& params = {},
                        Progress* progress = nullptr);
  // The second half of BuildDenseMesh, for a surface built elsewhere (off the GUI thread).
  Status FillDenseMesh(MeshBuilder& builder, const DenseSurface& surface);
  // Image 1's region under the last dense mesh, resampled so that its larger side is at
  // most maxSide pixels (never enlarged), with the texture's retouching carried over; the
  // dense mesh's texture coordinates refer to it. Empty before a dense build.
  cv::Mat DenseTexture(int maxSide) const;
  // Copies the retouched pixels of the texture onto a texture of image 1's region.
  void CarryRetouchingOnto(cv::Mat& texture, const cv::Rect& region) const;
  // The model's block of the 3D model file.
  void WriteModel(Archive& ar) const;

  // Releases the texture pixels and zeroes the source region.
  void Clear();
  void Serialize(Archive& ar);

  const Image& Texture() const { return m_texture; }
  Image& Texture() { return m_texture; }
  int32_t PolygonCount() const { return m_polygonCount; }

  CStereoPair* m_stereoPair;
  Image m_texture;
  int32_t m_polygonCount = 0;
  IplROI m_sourceRoi;
  IplROI m_textureRoi{0, 0, 0, kTextureSize, kTextureSize};
  cv::Rect m_denseRegion;     // image 1's region under the last dense mesh; not stored
  MetricScale m_metricScale;  // stored by the document after the model's own record
  // Margin of the GUI's dense surface around the matches (DenseMatchParams::hullMargin);
  // stored with the project while the dense surface is shown.
  double m_denseMargin = DenseMatchParams{}.hullMargin;
  // The 3D view draws the dense surface rather than the points' meshes: the project's
  // choice, kept across views and stored with the project.
  bool m_showDense = false;
  // The dense surface drawn last and a key of what it was built from (the render and the
  // parameters), so that a view made again shows it without matching again; not stored.
  struct DrawnDense {
    uint64_t inputs = 0;
    std::shared_ptr<const DenseSurface> surface;
  };
  DrawnDense m_drawnDense;
};

}  // namespace q3d
