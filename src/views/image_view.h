#pragma once
// The image part of the camera and texture panes: one image shown at a zoom factor,
// centred when it is smaller than the pane, panned and zoomed with the mouse or the
// keyboard, with its region of interest shown and edited by a rubber band. Each paint
// resamples only the visible part of the image into one off-screen surface, lets the
// derived view draw its overlays there and copies the surface to the screen at once.
#include <QCursor>
#include <QImage>
#include <QPoint>
#include <QWidget>
#include <optional>
#include <vector>

#include "stereo/image.h"
#include "views/content_view.h"

class QMenu;
class QPainter;

namespace q3d {

// Add 0.5, then truncate toward zero: the rounding of every view coordinate conversion.
// Values beyond the integer range are clamped; NaN gives 0.
int RoundHalf(double value);

enum ToolMode : int { kToolArrow = 0, kToolPan = 1, kToolZoom = 2, kToolRoi = 3 };

class CImageView : public QWidget, public ContentView {
  Q_OBJECT

 public:
  explicit CImageView(QWidget* parent = nullptr);
  ~CImageView() override;

  QWidget* Widget() override { return this; }

  double Zoom() const { return m_zoom; }
  int ScrollX() const { return m_scrollX; }
  int ScrollY() const { return m_scrollY; }
  int MarginX() const { return m_marginX; }
  int MarginY() const { return m_marginY; }
  int CurrentToolMode() const { return m_toolMode; }
  bool IsToolLocked() const { return m_toolLocked != 0; }
  const Image* ShownImage() const { return m_image; }

  QPoint PaneToImage(QPoint pane) const;
  QPoint ImageToPane(QPoint image) const;
  Rect PaneToImage(const Rect& pane) const;
  Rect ImageToPane(const Rect& image) const;

  void CentreOn(int x, int y);
  // About the anchor (image coordinates), or the pane centre without one.
  void ZoomIn(std::optional<QPoint> anchor = std::nullopt);
  void ZoomOut(std::optional<QPoint> anchor = std::nullopt);
  void FitToWindow();

  // Draws the whole pane (image, overlays, region of interest) into the off-screen
  // surface and returns it; painting copies it to the screen.
  const QImage& RenderFrame();

  // The context menu shown on a right click; owned by the main window.
  void SetContextMenu(QMenu* menu) { m_contextMenu = menu; }
  // Asked to make this pane the frame's active one (the pointer moved over it while
  // matching by hand). The frame installs it.
  std::function<void()> onActivateRequest;

 protected:
  // The caption's size and zoom part, " - W x H - [Z%]"; empty without pixels.
  QString SizeAndZoomCaption() const;
  bool HasPixels() const { return m_image && m_image->HasData(); }
  int ImageWidth() const { return HasPixels() ? m_image->Width() : 0; }
  int ImageHeight() const { return HasPixels() ? m_image->Height() : 0; }
  // The part of the image visible at the last render (image coordinates).
  const Rect& VisibleImageRect() const { return m_visible; }

  // The commands all image panes share; needPixels gives the camera view's stricter
  // rules for Fit To Window, Zoom In and Zoom Out.
  bool HandleImageCommand(int id);
  bool UpdateImageCommand(int id, CommandState& state, bool needPixels) const;

  // Derived views set their info bar text; the base only tells the frame.
  virtual void UpdateCaption() { NotifyStateChanged(); }
  virtual void OnRoiChanged() {}
  // Overlays drawn over the rendered image, in pane coordinates.
  virtual void DrawOverlays(QPainter& painter, QImage& surface) {
    (void)painter;
    (void)surface;
  }
  // Cursor for the arrow tool; a tool mode's cursor takes precedence.
  virtual QCursor ArrowModeCursor() const { return QCursor(Qt::ArrowCursor); }
  void UpdateCursor();

  // The behaviour of the base, which the derived views call for the tool modes.
  void BaseMousePress(QMouseEvent* event);
  void BaseMouseMove(QMouseEvent* event);
  void BaseMouseRelease(QMouseEvent* event);
  // True when the key chose a tool.
  bool BaseKeyPress(QKeyEvent* event);

  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override { BaseMousePress(event); }
  void mouseMoveEvent(QMouseEvent* event) override { BaseMouseMove(event); }
  void mouseReleaseEvent(QMouseEvent* event) override { BaseMouseRelease(event); }
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

  double m_zoom = 1.0;
  double m_minZoom = 0.25;
  double m_maxZoom = 16.0;
  Image* m_image = nullptr;  // not owned
  int m_scrollX = 0;
  int m_scrollY = 0;
  int m_marginX = 0;
  int m_marginY = 0;
  QColor m_backgroundColour;
  QColor m_frameColour = Qt::black;
  IplROI* m_roi = nullptr;  // not owned; none: the view has no region of interest
  int m_toolMode = kToolArrow;
  int m_lastX = 0;
  int m_lastY = 0;
  QPoint m_zoomAnchor;
  int m_toolLocked = 0;
  QCursor m_panCursor;
  QCursor m_zoomCursor;

 private:
  void SetToolMode(int mode, bool locked);
  void RenderImage();
  void ResampleVisiblePart(const Rect& source, const Rect& destination);
  void TintRoi(const Rect& destination);
  struct RoiHandle {
    QRect area;
    Qt::CursorShape shape;
  };
  std::vector<RoiHandle> RoiHandles() const;
  QCursor RoiModeCursor(QPoint pane) const;
  void DrawRoiTracker(QPainter& painter) const;
  void FinishRoiRubberBand();

  QImage m_surface;
  Rect m_visible;
  bool m_spaceDown = false;
  bool m_rDown = false;
  bool m_roiTracking = false;
  QPoint m_roiStart;
  QPoint m_roiEnd;
  QMenu* m_contextMenu = nullptr;
};

}  // namespace q3d
