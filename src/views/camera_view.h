#pragma once
// One photograph of the stereo pair with its feature points, their match numbers, the
// disparity vectors and, after a render, the epipolar line of the point selected in the
// other image. Points are selected, nudged and deleted here, and matched by hand: in
// manual matching mode a click in each image adds a point to each camera and pairs them.
#include <QCursor>
#include <memory>

#include "views/epipolar_line.h"
#include "views/image_view.h"

namespace q3d {

class ManualMatchingState;

class CCameraView : public CImageView {
  Q_OBJECT

 public:
  // cameraIndex 0 shows Image 1, 1 shows Image 2.
  explicit CCameraView(int cameraIndex, QWidget* parent = nullptr);
  ~CCameraView() override;

  ViewKind Kind() const override { return m_cameraIndex == 0 ? ViewKind::Image1 : ViewKind::Image2; }
  QString Caption() const override { return m_caption; }

  bool OnCommand(int id) override;
  bool OnUpdateCommand(int id, CommandState& state) override;
  void OnDocumentUpdate(DocumentObserver* sender, int hint) override;

  bool IsMatching() const;
  // The epipolar line drawn at the last paint, if any.
  const std::optional<EpipolarLine>& DrawnEpipolarLine() const { return m_drawnLine; }

 protected:
  void UpdateCaption() override;
  void OnRoiChanged() override;
  void DrawOverlays(QPainter& painter, QImage& surface) override;
  QCursor ArrowModeCursor() const override;

  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void DrawFirstStepHint(QPainter& painter, const QRect& area);
  CCamera& ThisCamera() const;
  CCamera& OtherCamera() const;
  int RoiHint() const { return m_cameraIndex == 0 ? kHintImage1Settings : kHintImage2Settings; }
  void FirstUpdate();
  void ToggleManualMatching();
  // The status bar's line after a Delete.
  void SayDeleted(const DeletedCounts& deleted);
  void SetWholeImageRoi();
  void SetFixedSizeRoi();
  void ShowColour(bool gray);
  void SelectAt(QPoint pane, bool addToSelection);
  void PlaceMatchingPoint(QPoint pane, bool onMarker);
  // Esc in manual matching, the arrow keys after a render. True when the key was used.
  bool EditPointsByKey(int key);
  void DrawVectors(QPainter& painter) const;
  void DrawPoints(QImage& surface) const;
  void DrawMatchNumbers(QPainter& painter) const;
  void DrawEpipolarLine(QPainter& painter);
  QRect SelectionBandOnPane() const;

  EpipolarLine m_epipolarLine;
  int m_cameraIndex;
  int m_showGray = 0;
  int m_showPoints = 1;
  int m_showIds = 1;
  int m_showVectors = 0;
  QCursor m_matchCursor;
  QCursor m_pendingCursor;
  Rect m_selectRect;
  bool m_selecting = false;

  QString m_caption;
  std::shared_ptr<ManualMatchingState> m_matching;  // shared by the document's camera views
  const CProjectDoc* m_matchingDoc = nullptr;
  std::optional<EpipolarLine> m_drawnLine;
};

}  // namespace q3d
