#pragma once
// The project: two cameras, the stereo pair joining them and the 3D model, with the
// logic of the project commands. The GUI and the command-line tool both drive it.
#include <functional>
#include <string>
#include <vector>

#include "base/result.h"
#include "model/c3d_model.h"
#include "project/edit_history.h"
#include "stereo/camera.h"
#include "stereo/stereo_pair.h"

namespace q3d {

class Archive;
class Progress;

// The first line of the message of a project file that cannot be read.
inline constexpr const char* kInvalidFormat = "Error: Invalid format";

// Update hints broadcast to the views after a change.
enum UpdateHint : int {
  kHintDefault = 0,
  kHintImage1Settings = 1,
  kHintImage2Settings = 2,
  kHintPointsChanged = 3,
  kHintImage1Replaced = 4,
  kHintImage2Replaced = 5,
  kHintManualMatchingEnded = 6,
  kHintManualMatchingStarted = 7,
  kHintRebuildModel = 8,
  kHintTextureChanged = 9,
};

class DocumentObserver {
 public:
  virtual ~DocumentObserver() = default;
  // sender is the observer that caused the change (it may skip its own update), or null.
  virtual void OnDocumentUpdate(DocumentObserver* sender, int hint) = 0;
};

// What a Delete removed.
struct DeletedCounts {
  int points = 0;
  int matches = 0;
};

class CProjectDoc {
 public:
  CProjectDoc();
  CProjectDoc(const CProjectDoc&) = delete;
  CProjectDoc& operator=(const CProjectDoc&) = delete;

  // Empties the project: matches and results, both cameras, the model; the frame's panes
  // go back to their initial views through the reset hook.
  void DeleteContents();

  bool IsModified() const { return m_modified; }
  void SetModifiedFlag(bool modified = true) { m_modified = modified; }
  const std::string& PathName() const { return m_pathName; }
  void SetPathName(const std::string& path) { m_pathName = path; }

  void AddObserver(DocumentObserver* observer);
  void RemoveObserver(DocumentObserver* observer);
  void UpdateAllViews(DocumentObserver* sender, int hint);

  // State tests behind every enabling rule.
  bool HasNoImages() const;
  bool ImagesLoaded() const;
  bool ReadyToRender() const;
  bool IsRendered() const { return m_stereoPair.m_rendered == 1; }
  bool HasAnyImage() const { return m_camera1.HasImage() || m_camera2.HasImage(); }

  CCamera& Camera(int index) { return index == 0 ? m_camera1 : m_camera2; }
  const CCamera& Camera(int index) const { return index == 0 ? m_camera1 : m_camera2; }

  // The operations below are where the core's failures become the user's error records:
  // a failed Status has also been pushed onto the error stack.

  // Set Images after confirmation: loads each non-empty name, then empties the project and
  // takes them. When a named file does not load, nothing changes (one error record per
  // failure; the status holds the first).
  Status SetImages(const std::string& path1, const std::string& path2);
  // Render; the modified flag is set on success. The failure says why.
  Status Render(const RenderOptions& options = {}, Progress* progress = nullptr);
  void RemoveRenderData();
  // The focal length the user knows for a photograph (camera index 0 or 1), in pixels; 0
  // forgets it. It takes part in the next render with its precision (a share of it; 0: the
  // usual precision of an entered value). A value no lens has is refused.
  Status SetEnteredFocal(int cameraIndex, double pixels, double precision = 0);
  // Whether the render fits the photographs as one camera; marks the project modified when
  // the choice changes.
  void SetCameraSharing(CameraSharing sharing);
  // The focal length the last render used for a photograph, in pixels; 0 when not rendered.
  double RenderedFocal(int cameraIndex) const;

  // Point editing of a camera view (camera index 0 or 1).
  DeletedCounts DeleteSelected(DocumentObserver* sender = nullptr);
  void SelectAll(int cameraIndex, DocumentObserver* sender = nullptr);
  void InvertSelection(int cameraIndex, DocumentObserver* sender = nullptr);
  // Adds a match of two new points (image-1 point, image-2 point), taking both; nothing is
  // added on failure.
  Status AddMatch(double x1, double y1, double x2, double y2);

  // Project file. A failed load leaves the document empty and a failed save leaves the
  // previous file intact.
  Status SaveProject(const std::string& path, Progress* progress = nullptr);
  Status LoadProject(const std::string& path, Progress* progress = nullptr);
  Status LoadProjectBytes(const std::vector<uint8_t>& bytes, Progress* progress = nullptr);
  // The load without its error record, views or modified flag: a document of its own reads
  // a file this way to check it before the shown project is emptied.
  Status ReadProjectBytes(const std::vector<uint8_t>& bytes, Progress* progress = nullptr);
  void Serialize(Archive& ar, Progress* progress = nullptr);
  // Writes the 3D model file (.q3d); on failure the file is left as it was.
  Status ExportModel(const std::string& path);

  CCamera m_camera1;
  CCamera m_camera2;
  CStereoPair m_stereoPair;
  C3DModel m_model;

  // Installed by the main frame: puts the panes back to their initial views.
  std::function<void()> m_resetPanes;
  // Undo and redo of the edits. New, Open and Set Images start it afresh; Save marks
  // where the file stands in it.
  EditHistory m_history{*this};

 private:
  bool m_modified = false;
  std::string m_pathName;
  std::vector<DocumentObserver*> m_observers;
};

}  // namespace q3d
