#include "project/project_doc.h"

#include <algorithm>

#include "model/model_file.h"
#include "project/metric_scale_record.h"
#include "base/archive.h"
#include "base/error_stack.h"
#include "base/progress.h"

namespace q3d {

CProjectDoc::CProjectDoc() : m_stereoPair(&m_camera1, &m_camera2), m_model(&m_stereoPair) {}

void CProjectDoc::DeleteContents() {
  m_stereoPair.ResetAll();
  m_camera1.Clear();
  m_camera2.Clear();
  m_model.Clear();
  m_model.m_metricScale = {};
  if (m_resetPanes) m_resetPanes();
}

void CProjectDoc::AddObserver(DocumentObserver* observer) {
  if (std::find(m_observers.begin(), m_observers.end(), observer) == m_observers.end())
    m_observers.push_back(observer);
}

void CProjectDoc::RemoveObserver(DocumentObserver* observer) {
  std::erase(m_observers, observer);
}

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

int CProjectDoc::SetImages(const std::string& path1, const std::string& path2) {
  DeleteContents();
  int result = 1;
  const std::string* paths[2] = {&path1, &path2};
  for (int i = 0; i < 2; ++i) {
    if (paths[i]->empty()) continue;
    if (Camera(i).Load(*paths[i]))
      SetModifiedFlag();
    else
      result = 0;
  }
  UpdateAllViews(nullptr, kHintImage1Replaced);
  UpdateAllViews(nullptr, kHintImage2Replaced);
  return result;
}

int CProjectDoc::Render(const RenderOptions& options, Progress* progress) {
  const int result = m_stereoPair.Reconstruct(options, progress);
  if (result == 1) SetModifiedFlag();
  return result;
}

void CProjectDoc::RemoveRenderData() {
  m_model.Clear();
  m_stereoPair.ResetResults();
  if (m_resetPanes) m_resetPanes();
  m_model.Clear();
  SetModifiedFlag();
}

void CProjectDoc::DeleteSelected(DocumentObserver* sender) {
  m_stereoPair.m_matches.RemoveWithSelection(1);
  m_camera1.m_points.RemoveWithSelection(1);
  m_camera2.m_points.RemoveWithSelection(1);
  UpdateAllViews(sender, kHintPointsChanged);
  if (IsRendered()) UpdateAllViews(sender, kHintRebuildModel);
  SetModifiedFlag();
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

int CProjectDoc::AddMatch(double x1, double y1, double x2, double y2) {
  auto p1 = std::make_unique<CSpPoint>(x1, y1);
  auto p2 = std::make_unique<CSpPoint>(x2, y2);
  CSpPoint* a = p1.get();
  CSpPoint* b = p2.get();
  if (!m_camera1.m_points.Add(std::move(p1))) return 0;
  if (!m_camera2.m_points.Add(std::move(p2))) {
    m_camera1.m_points.m_list.pop_back();
    return 0;
  }
  if (!m_stereoPair.m_matches.Add(std::make_unique<CMatch>(a, b))) {
    m_camera1.m_points.m_list.pop_back();
    m_camera2.m_points.m_list.pop_back();
    return 0;
  }
  SetModifiedFlag();
  return 1;
}

void CProjectDoc::Serialize(Archive& ar, Progress* external) {
  ScopedProgress progress(external);
  const std::string prefix = ar.IsLoading() ? "Loading " : "Saving ";
  progress->SetStep(prefix + "Image 1...");
  m_camera1.Serialize(ar);
  progress->SetStep(prefix + "Image 2...");
  progress->SetPos(25);
  m_camera2.Serialize(ar);
  progress->SetStep(prefix + "Stereo Pair...");
  progress->SetPos(50);
  m_stereoPair.Serialize(ar);
  progress->SetStep(prefix + "3D Reconstruction...");
  progress->SetPos(75);
  m_model.Serialize(ar);
  SerializeMetricScale(ar, m_model.m_metricScale);
  progress->SetPos(100);
}

bool CProjectDoc::SaveProject(const std::string& path, std::string* error, Progress* progress) {
  std::string message;
  try {
    Archive ar = Archive::ForStoring();
    Serialize(ar, progress);
    message = WriteFileAtomically(path, ar.Buffer());
  } catch (const std::bad_alloc&) {
    message = "Error: Out of memory";
  }
  if (!message.empty()) {
    PushErrorText(message);
    if (error) *error = message;
    return false;
  }
  m_pathName = path;
  SetModifiedFlag(false);
  return true;
}

bool CProjectDoc::LoadProject(const std::string& path, std::string* error, Progress* progress) {
  std::vector<uint8_t> bytes;
  const std::string readError = ReadWholeFile(path, bytes);
  if (!readError.empty()) {
    const std::string message = "Error: The file could not be opened\n" + readError;
    PushErrorText(message);
    if (error) *error = message;
    return false;
  }
  if (!LoadProjectBytes(bytes, error, progress)) return false;
  m_pathName = path;
  return true;
}

bool CProjectDoc::LoadProjectBytes(const std::vector<uint8_t>& bytes, std::string* error,
                                   Progress* progress) {
  DeleteContents();
  std::string message;
  try {
    Archive ar = Archive::ForLoading(bytes.data(), bytes.size());
    Serialize(ar, progress);
  } catch (const ArchiveError& e) {
    message = std::string("Error: Invalid format\n") + e.what();
  } catch (const std::bad_alloc&) {
    message = "Error: Out of memory";
  }
  if (!message.empty()) {
    DeleteContents();
    PushErrorText(message);
    if (error) *error = message;
    return false;
  }
  SetModifiedFlag(false);
  UpdateAllViews(nullptr, kHintDefault);
  return true;
}

}  // namespace q3d

namespace q3d {

bool CProjectDoc::ExportModel(const std::string& path, std::string* error) {
  const std::string message = WriteModelFile(path, m_stereoPair, m_model);
  if (message.empty()) return true;
  if (error) *error = message;
  return false;
}

}  // namespace q3d
