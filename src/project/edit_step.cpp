#include "project/edit_step.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <list>
#include <new>
#include <unordered_map>
#include <utility>

#include "base/error_stack.h"
#include "project/project_doc.h"

namespace q3d {
namespace {

template <class Pair>
auto PairMatrices(Pair& pair) {
  return std::array{&pair.m_F,  &pair.m_e1,   &pair.m_e2, &pair.m_R1, &pair.m_t1,
                    &pair.m_A1, &pair.m_Rcam, &pair.m_t,  &pair.m_A2, &pair.m_XW};
}
static_assert(std::tuple_size_v<decltype(PairMatrices(std::declval<CStereoPair&>()))> ==
              RenderState::kMatrixCount);

// Bit for bit: a result that is NaN is unchanged when it is still the same NaN.
bool SameMatrix(const Matrix& a, const Matrix& b) {
  return a.rows() == b.rows() && a.cols() == b.cols() &&
         (a.size() == 0 || std::memcmp(a.data(), b.data(), sizeof(double) * a.size()) == 0);
}

bool SameFocal(const CameraFocal& a, const CameraFocal& b) {
  return a.exif_px == b.exif_px && a.entered_px == b.entered_px && a.make == b.make &&
         a.model == b.model && a.exif_sigma == b.exif_sigma && a.entered_sigma == b.entered_sigma;
}

bool SameRender(const RenderState& a, const RenderState& b) {
  for (size_t i = 0; i < RenderState::kMatrixCount; ++i)
    if (!SameMatrix(a.matrices[i], b.matrices[i])) return false;
  return a.rendered == b.rendered && a.focalSource == b.focalSource &&
         SameFocal(a.focal[0], b.focal[0]) && SameFocal(a.focal[1], b.focal[1]) &&
         a.scale.match1 == b.scale.match1 && a.scale.match2 == b.scale.match2 &&
         a.scale.millimetres == b.scale.millimetres && a.sourceRoi == b.sourceRoi &&
         a.polygonCount == b.polygonCount && a.showDense == b.showDense &&
         a.denseMargin == b.denseMargin && a.cameraSharing == b.cameraSharing;
}

RenderState CaptureRender(const CProjectDoc& doc) {
  RenderState state;
  const CStereoPair& pair = doc.m_stereoPair;
  state.rendered = pair.m_rendered;
  const auto matrices = PairMatrices(pair);
  for (size_t i = 0; i < RenderState::kMatrixCount; ++i) state.matrices[i] = *matrices[i];
  state.focalSource = pair.m_focalSource;
  state.cameraSharing = pair.m_cameraSharing;
  state.focal = {doc.m_camera1.m_focal, doc.m_camera2.m_focal};
  state.scale = doc.m_model.m_metricScale;
  state.sourceRoi = doc.m_model.m_sourceRoi;
  state.polygonCount = doc.m_model.m_polygonCount;
  state.showDense = doc.m_model.m_showDense;
  state.denseMargin = doc.m_model.m_denseMargin;
  return state;
}

void SwapRender(CProjectDoc& doc, RenderState& state) {
  CStereoPair& pair = doc.m_stereoPair;
  std::swap(pair.m_rendered, state.rendered);
  const auto matrices = PairMatrices(pair);
  for (size_t i = 0; i < RenderState::kMatrixCount; ++i) matrices[i]->swap(state.matrices[i]);
  std::swap(pair.m_focalSource, state.focalSource);
  std::swap(pair.m_cameraSharing, state.cameraSharing);
  std::swap(doc.m_camera1.m_focal, state.focal[0]);
  std::swap(doc.m_camera2.m_focal, state.focal[1]);
  std::swap(doc.m_model.m_metricScale, state.scale);
  std::swap(doc.m_model.m_sourceRoi, state.sourceRoi);
  std::swap(doc.m_model.m_polygonCount, state.polygonCount);
  std::swap(doc.m_model.m_showDense, state.showDense);
  std::swap(doc.m_model.m_denseMargin, state.denseMargin);
}

size_t RenderBytes(const RenderState& state) {
  size_t bytes = 0;
  for (const Matrix& m : state.matrices) bytes += sizeof(double) * static_cast<size_t>(m.size());
  for (const CameraFocal& f : state.focal) bytes += f.make.capacity() + f.model.capacity();
  return bytes;
}

PointRecord ToRecord(const CSpPoint& p) { return {p.m_id, p.m_x, p.m_y, p.m_selected}; }
MatchRecord ToRecord(const CMatch& m) { return {m.m_id, m.m_id1, m.m_id2}; }

std::unique_ptr<CSpPoint> FromRecord(const PointRecord& r) {
  auto point = std::make_unique<CSpPoint>(r.x, r.y);
  point->m_id = r.id;
  point->m_selected = r.selected;
  return point;
}

std::unique_ptr<CMatch> FromRecord(const MatchRecord& r) {
  auto match = std::make_unique<CMatch>();
  match->m_id = r.id;
  match->m_id1 = r.id1;
  match->m_id2 = r.id2;
  return match;
}

// The selection counts: a point waiting for its partner in manual matching is the
// selected one, and an undone match must leave it waiting again.
bool SameEdited(const PointRecord& a, const PointRecord& b) {
  return a.id == b.id && a.x == b.x && a.y == b.y && a.selected == b.selected;
}
bool SameEdited(const MatchRecord& a, const MatchRecord& b) {
  return a.id == b.id && a.id1 == b.id1 && a.id2 == b.id2;
}

template <class Item>
auto Records(const std::list<std::unique_ptr<Item>>& list) {
  std::vector<decltype(ToRecord(std::declval<const Item&>()))> records;
  records.reserve(list.size());
  for (const auto& item : list) records.push_back(ToRecord(*item));
  return records;
}

// The stretch between the longest common start and end of the two lists; none when the
// lists and their counters are the same.
template <class Record>
std::optional<ListSplice<Record>> Difference(const std::vector<Record>& before,
                                             int32_t beforeNextId, const std::vector<Record>& after,
                                             int32_t afterNextId) {
  const size_t shorter = std::min(before.size(), after.size());
  size_t start = 0;
  while (start < shorter && SameEdited(before[start], after[start])) ++start;
  size_t end = 0;
  while (end < shorter - start &&
         SameEdited(before[before.size() - 1 - end], after[after.size() - 1 - end]))
    ++end;
  if (before.size() == after.size() && start + end == before.size() && beforeNextId == afterNextId)
    return std::nullopt;
  ListSplice<Record> splice;
  splice.offset = start;
  splice.count = after.size() - start - end;
  splice.records.assign(before.begin() + static_cast<std::ptrdiff_t>(start),
                        before.end() - static_cast<std::ptrdiff_t>(end));
  splice.nextId = beforeNextId;
  return splice;
}

template <class Item, class Record>
void SwapSplice(std::list<std::unique_ptr<Item>>& list, int32_t& nextId,
                ListSplice<Record>& splice) {
  // A list changed outside the history cannot be put back exactly; it is never read
  // beyond its end.
  splice.offset = std::min(splice.offset, list.size());
  splice.count = std::min(splice.count, list.size() - splice.offset);
  const auto first = std::next(list.begin(), static_cast<std::ptrdiff_t>(splice.offset));
  const auto last = std::next(first, static_cast<std::ptrdiff_t>(splice.count));
  std::vector<Record> taken;
  taken.reserve(splice.count);
  for (auto it = first; it != last; ++it) taken.push_back(ToRecord(**it));
  std::list<std::unique_ptr<Item>> restored;
  for (const Record& r : splice.records) restored.push_back(FromRecord(r));
  list.splice(list.erase(first, last), restored);
  splice.count = splice.records.size();
  splice.records = std::move(taken);
  std::swap(nextId, splice.nextId);
}

// Matches refer to points by identifier in the records; the links follow them.
void RelinkMatches(CProjectDoc& doc) {
  std::unordered_map<int32_t, CSpPoint*> byId[2];
  for (int c = 0; c < 2; ++c) {
    byId[c].reserve(doc.Camera(c).m_points.m_list.size());
    for (const auto& p : doc.Camera(c).m_points.m_list) byId[c].emplace(p->m_id, p.get());
  }
  const auto find = [](const std::unordered_map<int32_t, CSpPoint*>& map, int32_t id) {
    const auto it = map.find(id);
    return it == map.end() ? nullptr : it->second;
  };
  for (const auto& m : doc.m_stereoPair.m_matches.m_list) {
    m->m_point1 = find(byId[0], m->m_id1);
    m->m_point2 = find(byId[1], m->m_id2);
  }
}

size_t PixelBytes(const Image& image) {
  return static_cast<size_t>(image.Channels()) *
         static_cast<size_t>(std::max(1, image.Depth() / 8));
}

bool SameLayout(const Image& a, const Image& b) {
  return a.HasData() == b.HasData() && a.Width() == b.Width() && a.Height() == b.Height() &&
         a.Channels() == b.Channels() && a.Depth() == b.Depth() && a.RowStep() == b.RowStep() &&
         a.ColorModel() == b.ColorModel() && a.ChannelSeq() == b.ChannelSeq() &&
         a.Align() == b.Align() && a.AlphaChannel() == b.AlphaChannel();
}

// The pixels of before that after changed: the bounding box of the changed pixels.
std::optional<TexturePatch> TextureDifference(Image& before, const Image& after) {
  if (!SameLayout(before, after)) {
    TexturePatch patch;
    patch.whole = std::move(before);
    return patch;
  }
  if (!after.HasData()) return std::nullopt;
  const size_t pixelBytes = PixelBytes(after);
  const size_t rowBytes = pixelBytes * static_cast<size_t>(after.Width());
  int top = -1, bottom = -1;
  size_t left = rowBytes, right = 0;  // bytes, right exclusive
  for (int y = 0; y < after.Height(); ++y) {
    const uint8_t* a = before.Row(y);
    const uint8_t* b = after.Row(y);
    if (std::memcmp(a, b, rowBytes) == 0) continue;
    if (top < 0) top = y;
    bottom = y;
    size_t first = 0;
    while (a[first] == b[first]) ++first;
    size_t last = rowBytes;
    while (a[last - 1] == b[last - 1]) --last;
    left = std::min(left, first);
    right = std::max(right, last);
  }
  if (top < 0) return std::nullopt;
  const int x0 = static_cast<int>(left / pixelBytes);
  const int x1 = static_cast<int>((right + pixelBytes - 1) / pixelBytes);
  TexturePatch patch;
  patch.rect = cv::Rect(x0, top, x1 - x0, bottom - top + 1);
  const size_t patchRow = pixelBytes * static_cast<size_t>(patch.rect.width);
  patch.pixels.resize(patchRow * static_cast<size_t>(patch.rect.height));
  for (int y = 0; y < patch.rect.height; ++y)
    std::memcpy(patch.pixels.data() + patchRow * static_cast<size_t>(y),
                before.Row(top + y) + pixelBytes * static_cast<size_t>(x0), patchRow);
  return patch;
}

void SwapTexture(Image& texture, TexturePatch& patch) {
  if (patch.whole) {
    std::swap(texture, *patch.whole);
    return;
  }
  const size_t pixelBytes = PixelBytes(texture);
  const size_t patchRow = pixelBytes * static_cast<size_t>(patch.rect.width);
  for (int y = 0; y < patch.rect.height; ++y) {
    uint8_t* row = texture.Row(patch.rect.y + y) + pixelBytes * static_cast<size_t>(patch.rect.x);
    uint8_t* kept = patch.pixels.data() + patchRow * static_cast<size_t>(y);
    std::swap_ranges(row, row + patchRow, kept);
  }
}

}  // namespace

ProjectSnapshot TakeSnapshot(const CProjectDoc& doc) {
  ProjectSnapshot snapshot;
  for (int c = 0; c < 2; ++c) {
    snapshot.points[c] = Records(doc.Camera(c).m_points.m_list);
    snapshot.nextPointId[c] = doc.Camera(c).m_points.m_nextId;
  }
  snapshot.matches = Records(doc.m_stereoPair.m_matches.m_list);
  snapshot.nextMatchId = doc.m_stereoPair.m_matches.m_nextId;
  snapshot.render = CaptureRender(doc);
  if (!CloneImage(doc.m_model.m_texture, snapshot.texture)) {
    PopError(true);  // the caller reports the shortage
    throw std::bad_alloc();
  }
  return snapshot;
}

std::unique_ptr<EditStep> EditStep::Between(ProjectSnapshot& before, const CProjectDoc& after,
                                            std::string name) {
  auto step = std::make_unique<EditStep>();
  for (int c = 0; c < 2; ++c) {
    const CSpPointSet& points = after.Camera(c).m_points;
    step->points_[c] = Difference(before.points[c], before.nextPointId[c], Records(points.m_list),
                                  points.m_nextId);
  }
  const CMatchSet& matches = after.m_stereoPair.m_matches;
  step->matches_ =
      Difference(before.matches, before.nextMatchId, Records(matches.m_list), matches.m_nextId);
  if (!SameRender(before.render, CaptureRender(after))) step->render_ = std::move(before.render);
  step->texture_ = TextureDifference(before.texture, after.m_model.m_texture);
  if (!step->ChangesPoints() && !step->ChangesRender() && !step->ChangesTexture()) return nullptr;
  step->name_ = std::move(name);
  return step;
}

void EditStep::Swap(CProjectDoc& doc) {
  for (int c = 0; c < 2; ++c)
    if (points_[c]) {
      CSpPointSet& points = doc.Camera(c).m_points;
      SwapSplice(points.m_list, points.m_nextId, *points_[c]);
    }
  if (matches_) {
    CMatchSet& matches = doc.m_stereoPair.m_matches;
    SwapSplice(matches.m_list, matches.m_nextId, *matches_);
  }
  if (ChangesPoints()) RelinkMatches(doc);
  if (render_) SwapRender(doc, *render_);
  if (texture_) SwapTexture(doc.m_model.m_texture, *texture_);
}

size_t EditStep::Bytes() const {
  size_t bytes = sizeof(EditStep) + name_.capacity();
  for (const auto& points : points_)
    if (points) bytes += points->records.capacity() * sizeof(PointRecord);
  if (matches_) bytes += matches_->records.capacity() * sizeof(MatchRecord);
  if (render_) bytes += RenderBytes(*render_);
  if (texture_)
    bytes += texture_->pixels.capacity() + (texture_->whole ? texture_->whole->ByteSize() : 0);
  return bytes;
}

}  // namespace q3d
