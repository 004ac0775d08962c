#include "views/image_view.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QResizeEvent>
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

#include "views/command_ids.h"
#include "views/view_cursors.h"

namespace q3d {

int RoundHalf(double value) {
  const double v = value + 0.5;
  if (std::isnan(v)) return 0;
  if (v >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (v <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(v);  // truncates toward zero
}

namespace {

Rect Intersect(const Rect& a, const Rect& b) {
  Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
         std::min(a.bottom, b.bottom)};
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  return r;
}

bool IsEmpty(const Rect& r) { return r.right <= r.left || r.bottom <= r.top; }

QRect ToQRect(const Rect& r) { return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top); }

}  // namespace

CImageView::CImageView(QWidget* parent)
    : QWidget(parent),
      m_backgroundColour(QApplication::palette().color(QPalette::Button)),
      m_panCursor(Qt::OpenHandCursor),
      m_zoomCursor(ZoomToolCursor()) {
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);  // the surface covers every pixel
}

CImageView::~CImageView() { DetachDocument(); }

// ---- Coordinates ---------------------------------------------------------------------

QPoint CImageView::PaneToImage(QPoint pane) const {
  return {RoundHalf((pane.x() - m_marginX) / m_zoom) + m_scrollX,
          RoundHalf((pane.y() - m_marginY) / m_zoom) + m_scrollY};
}

QPoint CImageView::ImageToPane(QPoint image) const {
  return {RoundHalf(m_zoom * (image.x() - m_scrollX)) + m_marginX,
          RoundHalf(m_zoom * (image.y() - m_scrollY)) + m_marginY};
}

Rect CImageView::PaneToImage(const Rect& pane) const {
  const QPoint a = PaneToImage(QPoint(pane.left, pane.top));
  const QPoint b = PaneToImage(QPoint(pane.right, pane.bottom));
  return {a.x(), a.y(), b.x(), b.y()};
}

Rect CImageView::ImageToPane(const Rect& image) const {
  const QPoint a = ImageToPane(QPoint(image.left, image.top));
  const QPoint b = ImageToPane(QPoint(image.right, image.bottom));
  return {a.x(), a.y(), b.x(), b.y()};
}

// ---- Zoom and scroll -----------------------------------------------------------------

void CImageView::CentreOn(int x, int y) {
  m_scrollX = x - RoundHalf((width() / 2) / m_zoom);
  m_scrollY = y - RoundHalf((height() / 2) / m_zoom);
  update();
}

void CImageView::ZoomIn(std::optional<QPoint> anchor) {
  const QPoint centre = anchor.value_or(PaneToImage(QPoint(width() / 2, height() / 2)));
  const int a = RoundHalf(100.0 * (m_zoom + 0.25));
  m_zoom = std::min((a - a % 25) / 100.0, m_maxZoom);
  CentreOn(centre.x(), centre.y());
  UpdateCaption();
}

void CImageView::ZoomOut(std::optional<QPoint> anchor) {
  const QPoint centre = anchor.value_or(PaneToImage(QPoint(width() / 2, height() / 2)));
  const int a = RoundHalf(100.0 * (m_zoom - 0.25));
  m_zoom = std::max((a - a % 25) / 100.0, m_minZoom);
  CentreOn(centre.x(), centre.y());
  UpdateCaption();
}

void CImageView::FitToWindow() {
  int w = width();
  int h = height();
  if (!HasPixels() || w <= 0 || h <= 0) return;
  const double c = static_cast<double>(ImageWidth()) / ImageHeight();
  const double d = static_cast<double>(w) / h;
  if (c > d) h = static_cast<int>(w / c);
  if (c < d) w = static_cast<int>(c * h);
  // Deliberately not limited to the zoom range: the next Zoom In/Out brings it back.
  m_zoom = static_cast<double>(w) / ImageWidth();
  update();
  UpdateCaption();
}

void CImageView::resizeEvent(QResizeEvent* event) {
  // Keep the image point at the pane centre: a view centred before the splitter gave it
  // its size stays centred.
  const QSize old = event->oldSize();
  if (old.isValid() && HasPixels())
    CentreOn(m_scrollX + RoundHalf((old.width() / 2) / m_zoom),
             m_scrollY + RoundHalf((old.height() / 2) / m_zoom));
}

// ---- Commands ------------------------------------------------------------------------

void CImageView::SetToolMode(int mode, bool locked) {
  if (HasPixels()) {
    m_toolMode = mode;
    UpdateCursor();
  }
  m_toolLocked = locked ? 1 : 0;
}

bool CImageView::HandleImageCommand(int id) {
  switch (id) {
    case cmd::kFitToWindow: FitToWindow(); break;
    case cmd::kZoomIn: ZoomIn(); break;
    case cmd::kZoomOut: ZoomOut(); break;
    case cmd::kToolArrow: SetToolMode(kToolArrow, false); break;
    case cmd::kToolPan: SetToolMode(kToolPan, true); break;
    case cmd::kToolZoom: SetToolMode(kToolZoom, true); break;
    case cmd::kToolRoi: SetToolMode(kToolRoi, true); break;
    default: return false;
  }
  NotifyStateChanged();
  return true;
}

bool CImageView::UpdateImageCommand(int id, CommandState& state, bool needPixels) const {
  const bool pixelsOk = !needPixels || HasPixels();
  switch (id) {
    case cmd::kFitToWindow: state.enabled = pixelsOk; return true;
    case cmd::kZoomIn: state.enabled = pixelsOk && m_zoom < m_maxZoom; return true;
    case cmd::kZoomOut: state.enabled = pixelsOk && m_zoom > m_minZoom; return true;
    case cmd::kToolArrow: state.enabled = true; state.checked = m_toolMode == kToolArrow; return true;
    case cmd::kToolPan: state.enabled = true; state.checked = m_toolMode == kToolPan; return true;
    case cmd::kToolZoom: state.enabled = true; state.checked = m_toolMode == kToolZoom; return true;
    case cmd::kToolRoi: state.enabled = true; state.checked = m_toolMode == kToolRoi; return true;
    default: return false;
  }
}

QCursor CImageView::RoiModeCursor(QPoint pane) const {
  if (m_roi && HasPixels())
    for (const RoiHandle& handle : RoiHandles())
      if (handle.area.contains(pane)) return QCursor(handle.shape);
  return QCursor(Qt::ArrowCursor);
}

void CImageView::UpdateCursor() {
  switch (m_toolMode) {
    case kToolPan: setCursor(m_panCursor); break;
    case kToolZoom: setCursor(m_zoomCursor); break;
    case kToolRoi: setCursor(RoiModeCursor(mapFromGlobal(QCursor::pos()))); break;
    default: setCursor(ArrowModeCursor()); break;
  }
}

// ---- Painting ------------------------------------------------------------------------

const QImage& CImageView::RenderFrame() {
  if (width() <= 0 || height() <= 0) return m_surface;
  RenderImage();
  QPainter painter(&m_surface);
  DrawOverlays(painter, m_surface);
  if (HasPixels() && m_roi) DrawRoiTracker(painter);
  return m_surface;
}

void CImageView::paintEvent(QPaintEvent*) {
  if (width() <= 0 || height() <= 0) return;
  RenderFrame();
  QPainter screen(this);
  screen.drawImage(0, 0, m_surface);
}

void CImageView::RenderImage() {
  const int cw = width();
  const int ch = height();
  if (m_surface.width() != cw || m_surface.height() != ch)
    m_surface = QImage(cw, ch, QImage::Format_RGB32);
  const int w = ImageWidth();
  const int h = ImageHeight();

  // 1. Keep the scroll position inside the image.
  int maxX = w - RoundHalf(cw / m_zoom);
  int maxY = h - RoundHalf(ch / m_zoom);
  if (maxX < 1) maxX = 0;
  if (maxY < 1) maxY = 0;
  m_scrollX = std::clamp(m_scrollX, 0, maxX);
  m_scrollY = std::clamp(m_scrollY, 0, maxY);

  // 2. Centre an image smaller than the pane.
  const int zw = RoundHalf(w * m_zoom);
  const int zh = RoundHalf(h * m_zoom);
  m_marginX = zw < cw ? (cw - zw) / 2 : 0;
  m_marginY = zh < ch ? (ch - zh) / 2 : 0;

  const Rect client{0, 0, cw, ch};
  const Rect imageRect{0, 0, w, h};
  const Rect source = Intersect(PaneToImage(client), imageRect);
  const Rect destination = ImageToPane(source);
  m_visible = source;

  // 3. Background and a one-pixel frame around a centred image. A zoomed image may also
  // leave a sliver at the right or bottom edge uncovered.
  const Rect covered = Intersect(destination, client);
  if (m_marginX || m_marginY || !HasPixels() || covered != client) {
    m_surface.fill(m_backgroundColour);
    if (HasPixels() && (m_marginX || m_marginY)) {
      const Rect frame = Intersect(
          Rect{destination.left - 1, destination.top - 1, destination.right + 1, destination.bottom + 1},
          client);
      QPainter painter(&m_surface);
      painter.fillRect(ToQRect(frame), m_frameColour);
    }
  }

  // 4. The visible part of the image only.
  if (!HasPixels() || IsEmpty(source) || IsEmpty(destination)) return;
  ResampleVisiblePart(source, destination);

  // 5. Tint the region of interest while it is not the whole image.
  if (m_roi && (m_roi->width != w || m_roi->height != h)) TintRoi(destination);
}

void CImageView::ResampleVisiblePart(const Rect& source, const Rect& destination) {
  // Nearest neighbour both ways: destination pixel d takes source pixel
  // source.left + (d - destination.left) * sourceWidth / destinationWidth.
  const int64_t sw = source.right - source.left;
  const int64_t sh = source.bottom - source.top;
  const int64_t dw = destination.right - destination.left;
  const int64_t dh = destination.bottom - destination.top;
  const Rect target = Intersect(destination, Rect{0, 0, m_surface.width(), m_surface.height()});
  if (IsEmpty(target)) return;
  const int channels = m_image->Channels();

  std::vector<int> columnOffset(static_cast<size_t>(target.right - target.left));
  for (int x = target.left; x < target.right; ++x) {
    const int64_t sx = source.left + (x - destination.left) * sw / dw;
    columnOffset[static_cast<size_t>(x - target.left)] = static_cast<int>(sx) * channels;
  }
  const size_t rowBytes = columnOffset.size() * sizeof(QRgb);
  int64_t previousRow = -1;
  for (int y = target.top; y < target.bottom; ++y) {
    const int64_t sy = source.top + (y - destination.top) * sh / dh;
    auto* out = reinterpret_cast<QRgb*>(m_surface.scanLine(y)) + target.left;
    if (sy == previousRow) {  // enlarged: repeat the row just written
      std::memcpy(out, reinterpret_cast<const QRgb*>(m_surface.constScanLine(y - 1)) + target.left,
                  rowBytes);
      continue;
    }
    previousRow = sy;
    const uint8_t* in = m_image->Row(static_cast<int>(sy));
    if (channels >= 3) {
      for (size_t i = 0; i < columnOffset.size(); ++i) {
        const uint8_t* p = in + columnOffset[i];  // B, G, R
        out[i] = 0xFF000000u | (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
      }
    } else {
      for (size_t i = 0; i < columnOffset.size(); ++i) {
        const uint32_t g = in[columnOffset[i]];
        out[i] = 0xFF000000u | (g << 16) | (g << 8) | g;
      }
    }
  }
}

void CImageView::TintRoi(const Rect& destination) {
  const Rect roiPane = ImageToPane(RectFromRoi(*m_roi));
  const Rect area = Intersect(Intersect(roiPane, destination),
                              Rect{0, 0, m_surface.width(), m_surface.height()});
  if (IsEmpty(area)) return;
  for (int y = area.top; y < area.bottom; ++y) {
    auto* row = reinterpret_cast<QRgb*>(m_surface.scanLine(y));
    for (int x = area.left; x < area.right; ++x) {
      const uint32_t blue = std::min<uint32_t>((row[x] & 0xFFu) + 30u, 255u);
      row[x] = (row[x] & 0xFFFFFF00u) | blue;
    }
  }
}

std::vector<CImageView::RoiHandle> CImageView::RoiHandles() const {
  // Sizing handles just outside the corners and the middles of the sides.
  constexpr int kHandle = 5;
  const Rect r = ImageToPane(RectFromRoi(*m_roi));
  const int xs[3] = {r.left - kHandle, (r.left + r.right - kHandle) / 2, r.right};
  const int ys[3] = {r.top - kHandle, (r.top + r.bottom - kHandle) / 2, r.bottom};
  const Qt::CursorShape shapes[3][3] = {
      {Qt::SizeFDiagCursor, Qt::SizeHorCursor, Qt::SizeBDiagCursor},
      {Qt::SizeVerCursor, Qt::ArrowCursor, Qt::SizeVerCursor},
      {Qt::SizeBDiagCursor, Qt::SizeHorCursor, Qt::SizeFDiagCursor}};
  std::vector<RoiHandle> handles;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      if (i != 1 || j != 1) handles.push_back({QRect(xs[i], ys[j], kHandle, kHandle), shapes[i][j]});
  return handles;
}

void CImageView::DrawRoiTracker(QPainter& painter) const {
  const Rect r = ImageToPane(RectFromRoi(*m_roi));
  painter.save();
  painter.setPen(QPen(Qt::black, 1, Qt::SolidLine));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(QRect(r.left, r.top, r.right - r.left - 1, r.bottom - r.top - 1));
  for (const RoiHandle& handle : RoiHandles()) painter.fillRect(handle.area, Qt::black);
  if (m_roiTracking) {
    painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
    painter.drawRect(QRect(m_roiStart, m_roiEnd).normalized().adjusted(0, 0, -1, -1));
  }
  painter.restore();
}

// ---- Mouse and keyboard --------------------------------------------------------------

void CImageView::BaseMousePress(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const QPoint p = event->position().toPoint();
  if (m_toolMode == kToolRoi && m_roi && HasPixels()) {
    m_roiTracking = true;
    m_roiStart = m_roiEnd = p;
  } else if (m_toolMode == kToolZoom) {
    m_zoomAnchor = PaneToImage(QPoint(width() / 2, height() / 2));
  }
}

void CImageView::BaseMouseMove(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (m_roiTracking) {
    m_roiEnd = p;
    update();
    return;
  }
  if (!m_toolLocked) {
    int mode = kToolArrow;
    if (m_spaceDown)
      mode = kToolPan;
    else if (event->modifiers() & Qt::ControlModifier)
      mode = kToolZoom;
    else if (m_rDown && m_roi)
      mode = kToolRoi;
    if (mode != m_toolMode) {
      m_toolMode = mode;
      UpdateCursor();
      NotifyStateChanged();
    }
  }
  if (m_toolMode == kToolRoi) setCursor(RoiModeCursor(p));
  const bool leftDown = event->buttons() & Qt::LeftButton;
  int dx = 0;
  int dy = 0;
  // Without a previous position the first move must not jump.
  if (m_toolMode != kToolArrow && leftDown && (m_lastX != 0 || m_lastY != 0)) {
    dx = m_lastX - p.x();
    dy = m_lastY - p.y();
  }
  m_lastX = p.x();
  m_lastY = p.y();
  if (!leftDown || (dx == 0 && dy == 0)) return;
  if (m_toolMode == kToolPan) {
    m_scrollX += RoundHalf(dx / m_zoom);
    m_scrollY += RoundHalf(dy / m_zoom);
    update();
  } else if (m_toolMode == kToolZoom) {
    m_zoom = std::clamp(m_zoom - 0.005 * dy, m_minZoom, m_maxZoom);
    CentreOn(m_zoomAnchor.x(), m_zoomAnchor.y());
    UpdateCaption();
  }
}

void CImageView::BaseMouseRelease(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && m_roiTracking) FinishRoiRubberBand();
}

void CImageView::FinishRoiRubberBand() {
  m_roiTracking = false;
  const Rect pane{std::min(m_roiStart.x(), m_roiEnd.x()), std::min(m_roiStart.y(), m_roiEnd.y()),
                  std::max(m_roiStart.x(), m_roiEnd.x()), std::max(m_roiStart.y(), m_roiEnd.y())};
  if (m_roi && HasPixels() && pane.right - pane.left > 1 && pane.bottom - pane.top > 1) {
    const Rect image = Intersect(PaneToImage(pane), Rect{0, 0, ImageWidth(), ImageHeight()});
    if (!IsEmpty(image)) {
      *m_roi = RoiFromRect(image);
      OnRoiChanged();
    }
  }
  update();
}

void CImageView::keyPressEvent(QKeyEvent* event) {
  if (!BaseKeyPress(event)) event->ignore();  // left to the parent
}

bool CImageView::BaseKeyPress(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Control:
      if (HasPixels()) m_toolMode = kToolZoom;
      break;
    case Qt::Key_Space:
      m_spaceDown = true;
      if (HasPixels()) m_toolMode = kToolPan;
      break;
    case Qt::Key_R:
      m_rDown = true;
      if (m_roi && HasPixels()) m_toolMode = kToolRoi;
      break;
    default:
      return false;
  }
  UpdateCursor();
  NotifyStateChanged();
  return true;
}

void CImageView::keyReleaseEvent(QKeyEvent* event) {
  if (event->isAutoRepeat()) return;
  if (event->key() == Qt::Key_Space) m_spaceDown = false;
  if (event->key() == Qt::Key_R) m_rDown = false;
}

void CImageView::contextMenuEvent(QContextMenuEvent* event) {
  if (m_contextMenu)
    m_contextMenu->exec(event->globalPos());
  else
    event->ignore();  // the frame may offer its own
}

}  // namespace q3d

namespace q3d {

QString CImageView::SizeAndZoomCaption() const {
  if (!HasPixels()) return {};
  return QStringLiteral(" - %1 x %2 - [%3%]")
      .arg(ImageWidth())
      .arg(ImageHeight())
      .arg(RoundHalf(100.0 * m_zoom));
}

}  // namespace q3d
