#include "project/project_doc.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/archive.h"
#include "base/error_stack.h"
#include "base/file_output.h"
#include "base/progress.h"
#include "model/model_file.h"
#include "project/optional_records.h"
#include "stereo/loaded_records.h"

namespace q3d {
namespace {

// The user hears of every failure that reaches the document.
Status Reported(Status status) {
  if (!status) PushErrorText(status.Reason(), status.Code(), status.Severity());
  return status;
}

void CheckLoadedCamera(const CCamera& camera, int imageNumber) {
  const bool bounded = camera.HasImage();
  CheckLoadedPoints(camera.m_points, bounded ? camera.Width() : 0, bounded ? camera.Height() : 0,
                    imageNumber);
}

}  // namespace

CProjectDoc::CProjectDoc() : m_stereoPair(&m_camera1, &m_camera2), m_model(&m_stereoPair) {}

void CProjectDoc::DeleteContents() {
  m_stereoPair.ResetAll();
  m_camera1.Clear();
  m_camera2.Clear();
  m_model.Clear();
  m_model.m_metricScale = {};
  m_model.m_showDense = false;
  if (m_resetPanes) m_resetPanes();
}

void CProjectDoc::AddObserver(DocumentObserver* observer) {
  if (std::find(m_observers.begin(), m_observers.end(), observer) == m_observers.end())
    m_observers.push_back(observer);
}

void CProjectDoc::RemoveObserver(DocumentObserver* observer) { std::erase(m_observers, observer); }

void CProjectDoc::UpdateAllViews(DocumentObserver* sender, int hint) {
  // An observer may detach itself while being notified: iterate over a copy.
  const auto observers = m_observers;
  for (DocumentObserver* o : observers)
    if (std::find(m_observers.begin(), m_observers.end(), o) != m_observers.end())
      o->OnDocumentUpdate(sender, hint);
}

bool CProjectDoc::HasNoImages() const { return !m_camera1.HasImage() && !m_camera2.HasImage(); }

bool CProjectDoc::ImagesLoaded() const { return m_camera1.HasImage() && m_camera2.HasImage(); }

bool CProjectDoc::ReadyToRender() const {
  return m_stereoPair.m_matches.Count() > 9 && !IsRendered();
}

Status CProjectDoc::SetImages(const std::string& path1, const std::string& path2) {
  // Both photographs load before anything changes: a file that does not load leaves the
  // project as it was, never half set.
  CCamera loaded[2];
  const std::string* paths[2] = {&path1, &path2};
  Status result = Status::Ok();
  for (int i = 0; i < 2; ++i) {
    if (paths[i]->empty()) continue;
    if (Status read = Reported(loaded[i].Load(*paths[i])); !read && result) result = read;
  }
  if (!result) return result;
  DeleteContents();
  for (int i = 0; i < 2; ++i) {
    if (paths[i]->empty()) continue;
    Camera(i).TakePhotograph(loaded[i]);
    SetModifiedFlag();
  }
  m_history.Clear(!IsModified());
  UpdateAllViews(nullptr, kHintImage1Replaced);
  UpdateAllViews(nullptr, kHintImage2Replaced);
  return result;
}

Status CProjectDoc::Render(const RenderOptions& options, Progress* progress) {
  EditScope edit(*this, "Render");
  Status result = Reported(m_stereoPair.Reconstruct(options, progress));
  if (result) SetModifiedFlag();
  return result;
}

void CProjectDoc::RemoveRenderData() {
  EditScope edit(*this, "Remove Render Data");
  m_model.Clear();
  m_stereoPair.ResetResults();
  if (m_resetPanes) m_resetPanes();
  m_model.Clear();
  SetModifiedFlag();
}

Status CProjectDoc::SetEnteredFocal(int cameraIndex, double pixels, double precision) {
  char text[160];
  if (pixels != 0 && !(pixels >= kSmallestFocalPx && pixels <= kLargestFocalPx)) {
    std::snprintf(text, sizeof text,
                  "A focal length of %g pixels is no lens: give one from %g to %g pixels.", pixels,
                  kSmallestFocalPx, kLargestFocalPx);
    return Reported(Status::Fail(text));
  }
  if (precision != 0 &&
      !(precision >= kSmallestFocalPrecision && precision <= kLargestFocalPrecision)) {
    std::snprintf(text, sizeof text,
                  "A focal length known to %g %% is no precision: give one from %g %% to %g %%.",
                  100 * precision, 100 * kSmallestFocalPrecision, 100 * kLargestFocalPrecision);
    return Reported(Status::Fail(text));
  }
  CameraFocal& focal = Camera(cameraIndex).m_focal;
  if (pixels == 0) precision = 0;
  if (focal.entered_px != pixels || focal.entered_sigma != precision) {
    EditScope edit(*this, "Focal Length");
    focal.entered_px = pixels;
    focal.entered_sigma = precision;
    SetModifiedFlag();
  }
  return Status::Ok();
}

void CProjectDoc::SetCameraSharing(CameraSharing sharing) {
  if (m_stereoPair.m_cameraSharing == sharing) return;
  EditScope edit(*this, "Cameras");
  m_stereoPair.m_cameraSharing = sharing;
  SetModifiedFlag();
}

double CProjectDoc::RenderedFocal(int cameraIndex) const {
  if (!IsRendered()) return 0;
  const Matrix& A = cameraIndex == 0 ? m_stereoPair.m_A1 : m_stereoPair.m_A2;
  return A.rows() == 3 && A.cols() == 3 ? std::abs(A(0, 0)) : 0;
}

DeletedCounts CProjectDoc::DeleteSelected(DocumentObserver* sender) {
  EditScope edit(*this, "Delete");
  DeletedCounts deleted;
  deleted.matches = m_stereoPair.m_matches.Count();
  deleted.points = m_camera1.m_points.Count() + m_camera2.m_points.Count();
  m_stereoPair.m_matches.RemoveWithSelection(1);
  m_camera1.m_points.RemoveWithSelection(1);
  m_camera2.m_points.RemoveWithSelection(1);
  deleted.matches -= m_stereoPair.m_matches.Count();
  deleted.points -= m_camera1.m_points.Count() + m_camera2.m_points.Count();
  edit.Rename(deleted.points == 1 ? std::string("Delete 1 Point")
                                  : "Delete " + std::to_string(deleted.points) + " Points");
  UpdateAllViews(sender, kHintPointsChanged);
  if (IsRendered()) UpdateAllViews(sender, kHintRebuildModel);
  SetModifiedFlag();
  return deleted;
}

void CProjectDoc::SelectAll(int cameraIndex, DocumentObserver* sender) {
  Camera(cameraIndex).m_points.SetAllSelected(1);
  m_stereoPair.m_matches.SyncSelection(cameraIndex);
  UpdateAllViews(sender, kHintPointsChanged);
}

void CProjectDoc::InvertSelection(int cameraIndex, DocumentObserver* sender) {
  Camera(cameraIndex).m_points.InvertSelection();
  m_stereoPair.m_matches.SyncSelection(cameraIndex);
  UpdateAllViews(sender, kHintPointsChanged);
}

Status CProjectDoc::AddMatch(double x1, double y1, double x2, double y2) {
  EditScope edit(*this, "Add Match");
  auto p1 = std::make_unique<CSpPoint>(x1, y1);
  auto p2 = std::make_unique<CSpPoint>(x2, y2);
  CSpPoint* a = p1.get();
  CSpPoint* b = p2.get();
  // The point sets and the match set push their own out-of-memory record.
  if (!m_camera1.m_points.Add(std::move(p1))) return OutOfMemory();
  if (!m_camera2.m_points.Add(std::move(p2))) {
    m_camera1.m_points.m_list.pop_back();
    return OutOfMemory();
  }
  if (!m_stereoPair.m_matches.Add(std::make_unique<CMatch>(a, b))) {
    m_camera1.m_points.m_list.pop_back();
    m_camera2.m_points.m_list.pop_back();
    return OutOfMemory();
  }
  SetModifiedFlag();
  return Status::Ok();
}

void CProjectDoc::Serialize(Archive& ar, Progress* external) {
  ScopedProgress progress(external);
  const std::string prefix = ar.IsLoading() ? "Loading " : "Saving ";
  progress->SetStep(prefix + "Image 1...");
  m_camera1.Serialize(ar);
  if (ar.IsLoading()) CheckLoadedCamera(m_camera1, 1);
  progress->SetStep(prefix + "Image 2...");
  progress->SetPos(25);
  m_camera2.Serialize(ar);
  if (ar.IsLoading()) CheckLoadedCamera(m_camera2, 2);
  progress->SetStep(prefix + "Stereo Pair...");
  progress->SetPos(50);
  m_stereoPair.Serialize(ar);
  progress->SetStep(prefix + "3D Reconstruction...");
  progress->SetPos(75);
  m_model.Serialize(ar);
  SerializeOptionalRecords(ar, *this);
  progress->SetPos(100);
}

Status CProjectDoc::SaveProject(const std::string& path, Progress* progress) {
  Status saved = Status::Ok();
  try {
    Archive ar = Archive::ForStoring();
    Serialize(ar, progress);
    saved = WriteFileAtomically(path, ar.Buffer());
  } catch (const std::bad_alloc&) {
    saved = OutOfMemory();
  }
  if (!saved) return Reported(std::move(saved));
  m_pathName = path;
  SetModifiedFlag(false);
  m_history.MarkSaved();
  return saved;
}

Status CProjectDoc::LoadProject(const std::string& path, Progress* progress) {
  std::vector<uint8_t> bytes;
  if (Status read = ReadWholeFile(path, bytes); !read)
    return Reported(Status::Fail("Error: The file could not be opened\n" + read.Reason()));
  Status loaded = LoadProjectBytes(bytes, progress);
  if (loaded) m_pathName = path;
  m_history.Clear(loaded.ok());
  return loaded;
}

Status CProjectDoc::LoadProjectBytes(const std::vector<uint8_t>& bytes, Progress* progress) {
  Status loaded = ReadProjectBytes(bytes, progress);
  if (!loaded) return Reported(std::move(loaded));
  SetModifiedFlag(false);
  UpdateAllViews(nullptr, kHintDefault);
  return loaded;
}

Status CProjectDoc::ReadProjectBytes(const std::vector<uint8_t>& bytes, Progress* progress) {
  DeleteContents();
  Status loaded = Status::Ok();
  try {
    Archive ar = Archive::ForLoading(bytes.data(), bytes.size());
    Serialize(ar, progress);
  } catch (const ArchiveError& e) {
    // The reader stops at the first record it cannot take; the reason names it.
    loaded = Status::Fail(std::string(kInvalidFormat) + "\n" + e.what());
  } catch (const std::bad_alloc&) {
    loaded = OutOfMemory();
  }
  if (!loaded) DeleteContents();
  return loaded;
}

Status CProjectDoc::ExportModel(const std::string& path) {
  return Reported(WriteModelFile(path, m_stereoPair, m_model));
}

}  // namespace q3d
