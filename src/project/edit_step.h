#pragma once
// One step of the undo history. An edit may change the points of each photograph, the
// matches, the render's results with the settings that go with them, and the texture; a
// step keeps only what its edit changed, as it was on the other side of the edit: of a
// list, the stretch the edit replaced; of the texture, the bounding box of the changed
// pixels. Undo and redo are the same move: the step's side goes into the document and the
// document's side into the step. The photographs are not among the parts: only Set Images
// replaces them, and it starts a new history.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <opencv2/core.hpp>
#include <optional>
#include <string>
#include <vector>

#include "model/metric_scale.h"
#include "numeric/matrix.h"
#include "stereo/camera_focal.h"
#include "stereo/camera_sharing.h"
#include "stereo/image.h"

namespace q3d {

class CProjectDoc;

struct PointRecord {
  int32_t id = 0;
  double x = 0;
  double y = 0;
  int32_t selected = 0;
};

struct MatchRecord {
  int32_t id = 0;
  int32_t id1 = 0;
  int32_t id2 = 0;
};

// The render's results and what a render or the user's settings change with them.
struct RenderState {
  static constexpr size_t kMatrixCount = 10;
  int32_t rendered = 0;
  std::array<Matrix, kMatrixCount> matrices;
  std::array<FocalSource, 2> focalSource{};
  std::array<CameraFocal, 2> focal;
  CameraSharing cameraSharing = CameraSharing::kAutomatic;
  MetricScale scale;
  IplROI sourceRoi;
  int32_t polygonCount = 0;
  bool showDense = false;
  double denseMargin = 0;
};

// The document as an edit starts: what the step is worked out against when it ends.
struct ProjectSnapshot {
  std::array<std::vector<PointRecord>, 2> points;
  std::array<int32_t, 2> nextPointId{};
  std::vector<MatchRecord> matches;
  int32_t nextMatchId = 0;
  RenderState render;
  Image texture;
};

// Throws std::bad_alloc when memory is short.
ProjectSnapshot TakeSnapshot(const CProjectDoc& doc);

// A stretch of a list: count records from offset in the document, and the records that
// stood there on the other side of the edit, with the list's identifier counter.
template <class Record>
struct ListSplice {
  size_t offset = 0;
  size_t count = 0;
  std::vector<Record> records;
  int32_t nextId = 0;
};

// The texture's pixels in rect as they were on the other side of the edit, row after row;
// or the whole texture when the edit created, released or resized it.
struct TexturePatch {
  cv::Rect rect;
  std::vector<uint8_t> pixels;
  std::optional<Image> whole;
};

class EditStep {
 public:
  // The step from the snapshot taken before an edit to the document after it (the
  // snapshot is consumed); null when the edit changed nothing. Throws std::bad_alloc when
  // memory is short.
  static std::unique_ptr<EditStep> Between(ProjectSnapshot& before, const CProjectDoc& after,
                                           std::string name);

  // Puts the step's side of the edit into the document and keeps the document's.
  void Swap(CProjectDoc& doc);

  const std::string& Name() const { return name_; }
  // Memory the step holds.
  size_t Bytes() const;
  bool ChangesPoints() const { return points_[0] || points_[1] || matches_; }
  bool ChangesRender() const { return render_.has_value(); }
  bool ChangesTexture() const { return texture_.has_value(); }

 private:
  std::string name_;
  std::array<std::optional<ListSplice<PointRecord>>, 2> points_;
  std::optional<ListSplice<MatchRecord>> matches_;
  std::optional<RenderState> render_;
  std::optional<TexturePatch> texture_;
};

}  // namespace q3d
