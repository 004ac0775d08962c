#include "views/camera_view.h"

#include <QApplication>
#include <QFont>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <optional>

#include "base/error_stack.h"
#include "views/command_ids.h"
#include "views/dot_centring_setting.h"
#include "views/fixed_roi_dialog.h"
#include "views/manual_matching_state.h"
#include "views/point_markers.h"
#include "views/status_message.h"
#include "views/view_cursors.h"
#include "views/wait_cursor.h"

namespace q3d {
namespace {

QPoint Rounded(const CSpPoint& p) { return {RoundHalf(p.m_x), RoundHalf(p.m_y)}; }

bool Inside(const Rect& r, QPoint p) {
  return p.x() >= r.left && p.x() < r.right && p.y() >= r.top && p.y() < r.bottom;
}

Rect Normalized(const Rect& r) {
  return {std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
          std::max(r.top, r.bottom)};
}

CSpPoint* LastPoint(CCamera& camera) {
  return camera.m_points.m_list.empty() ? nullptr : camera.m_points.m_list.back().get();
}

// Removes the selected points of both cameras. Matches of a selected point go first so
// that no match is left pointing at a deleted point.
void RemoveSelectedPoints(CProjectDoc& doc) {
  doc.m_stereoPair.m_matches.RemoveWithSelection(1);
  doc.m_camera1.m_points.RemoveWithSelection(1);
  doc.m_camera2.m_points.RemoveWithSelection(1);
}

}  // namespace

CCameraView::CCameraView(int cameraIndex, QWidget* parent)
    : CImageView(parent),
      m_cameraIndex(cameraIndex == 0 ? 0 : 1),
      m_matchCursor(Qt::CrossCursor),
      m_pendingCursor(PendingMatchCursor()) {
  UpdateCaption();
}

CCameraView::~CCameraView() = default;

CCamera& CCameraView::ThisCamera() const { return Document()->Camera(m_cameraIndex); }
CCamera& CCameraView::OtherCamera() const { return Document()->Camera(1 - m_cameraIndex); }

bool CCameraView::IsMatching() const { return m_matching && m_matching->IsOn(); }

// ---- Document updates ----------------------------------------------------------------

void CCameraView::OnDocumentUpdate(DocumentObserver* sender, int hint) {
  if (sender == this || !Document()) return;
  switch (hint) {
    case kHintDefault:
      FirstUpdate();
      break;
    case kHintImage1Settings:
    case kHintImage2Settings:
      if (hint == RoiHint()) update();
      break;
    case kHintPointsChanged:
      update();
      UpdateCursor();
      break;
    case kHintImage1Replaced:
    case kHintImage2Replaced:
      if (hint - kHintImage1Replaced == m_cameraIndex) {
        m_zoom = 1.0;
        UpdateCaption();
        if (HasPixels()) CentreOn(ImageWidth() / 2, ImageHeight() / 2);
        update();
      }
      break;
    case kHintManualMatchingEnded:
    case kHintManualMatchingStarted:
      UpdateCursor();
      break;
    default:
      return;
  }
  NotifyStateChanged();
}

void CCameraView::FirstUpdate() {
  if (m_matchingDoc != Document()) {
    m_matchingDoc = Document();
    m_matching = ManualMatchingState::For(m_matchingDoc);
  }
  CCamera& camera = ThisCamera();
  m_showGray = 0;
  m_image = &camera.m_image;
  m_roi = &camera.m_roi;
  OnRoiChanged();
  if (HasPixels()) CentreOn(ImageWidth() / 2, ImageHeight() / 2);
  UpdateCaption();
  UpdateCursor();
}

void CCameraView::UpdateCaption() {
  m_caption = m_cameraIndex == 0 ? QStringLiteral("Image 1") : QStringLiteral("Image 2");
  m_caption += SizeAndZoomCaption();
  NotifyStateChanged();
}

void CCameraView::OnRoiChanged() {
  if (Document()) Document()->UpdateAllViews(this, RoiHint());
}

// ---- Commands ------------------------------------------------------------------------

bool CCameraView::OnUpdateCommand(int id, CommandState& state) {
  if (!Document()) return false;
  const CCamera& camera = ThisCamera();
  const int matchCount = Document()->m_stereoPair.m_matches.Count();
  state = CommandState{};
  switch (id) {
    case cmd::kDelete:
      state.enabled = camera.m_points.CountSelected(1) > 0 && !IsMatching();
      return true;
    case cmd::kSelectAll:
    case cmd::kInvertSelection:
      state.enabled = camera.m_points.Count() > 0 && !IsMatching();
      return true;
    case cmd::kManualMatching:
      state.enabled = Document()->ImagesLoaded();
      state.checked = IsMatching();
      return true;
    case cmd::kRoiFixedSize:
    case cmd::kRoiWholeImage:
      state.enabled = HasPixels();
      return true;
    case cmd::kFullColor:
    case cmd::kGrayscale:
      state.enabled = HasPixels();
      state.radio = true;
      state.checked = (id == cmd::kGrayscale) == (m_showGray != 0);
      return true;
    case cmd::kShowPoints:
      state.enabled = camera.m_points.Count() > 0;
      state.checked = m_showPoints != 0;
      return true;
    case cmd::kShowPointIds:
      state.enabled = m_showPoints != 0 && matchCount > 0;
      state.checked = m_showIds != 0;
      return true;
    case cmd::kShowVectors:
      state.enabled = matchCount > 0;
      state.checked = m_showVectors != 0;
      return true;
    default:
      return UpdateImageCommand(id, state, true);
  }
}

bool CCameraView::OnCommand(int id) {
  if (!Document()) return false;
  CommandState state;
  if (!OnUpdateCommand(id, state)) return false;
  if (!state.enabled) return true;  // e.g. an accelerator while the command is unavailable
  CProjectDoc& doc = *Document();
  switch (id) {
    case cmd::kDelete:
      SayDeleted(doc.DeleteSelected());
      break;
    case cmd::kSelectAll: doc.SelectAll(m_cameraIndex); break;
    case cmd::kInvertSelection: doc.InvertSelection(m_cameraIndex); break;
    case cmd::kManualMatching: ToggleManualMatching(); break;
    case cmd::kRoiFixedSize: SetFixedSizeRoi(); break;
    case cmd::kRoiWholeImage: SetWholeImageRoi(); break;
    case cmd::kFullColor: ShowColour(false); break;
    case cmd::kGrayscale: ShowColour(true); break;
    case cmd::kShowPoints: m_showPoints = !m_showPoints; update(); break;
    case cmd::kShowPointIds: m_showIds = !m_showIds; update(); break;
    case cmd::kShowVectors: m_showVectors = !m_showVectors; update(); break;
    default: return HandleImageCommand(id);
  }
  NotifyStateChanged();
  return true;
}

void CCameraView::SayDeleted(const DeletedCounts& deleted) {
  const auto count = [](int n, const char* one, const char* many) {
    return n == 1 ? QStringLiteral("1 %1").arg(QLatin1String(one))
                  : QStringLiteral("%1 %2").arg(n).arg(QLatin1String(many));
  };
  QString text = QStringLiteral("Deleted %1 and %2.")
                     .arg(count(deleted.points, "point", "points"),
                          count(deleted.matches, "match", "matches"));
  if (deleted.matches > 0 && Document()->IsRendered() &&
      Document()->m_stereoPair.m_matches.Count() < 3)
    text += QStringLiteral(" Too few matches are left for a 3D model.");
  ShowStatusMessage(this, text);
}

void CCameraView::ToggleManualMatching() {
  CProjectDoc& doc = *Document();
  if (!IsMatching()) {
    doc.m_camera1.m_points.SetAllSelected(0);
    doc.m_camera2.m_points.SetAllSelected(0);
    m_matching->SetOn(true);
    doc.UpdateAllViews(nullptr, kHintPointsChanged);
    doc.UpdateAllViews(nullptr, kHintManualMatchingStarted);
  } else {
    // Points still waiting for their partner are dropped with the mode.
    RemoveSelectedPoints(doc);
    m_matching->SetOn(false);
    doc.UpdateAllViews(nullptr, kHintManualMatchingEnded);
    doc.UpdateAllViews(nullptr, kHintPointsChanged);
  }
}

void CCameraView::SetWholeImageRoi() {
  ThisCamera().m_roi = MakeRoi(0, 0, 0, ImageWidth(), ImageHeight());
  Document()->UpdateAllViews(nullptr, RoiHint());
}

void CCameraView::SetFixedSizeRoi() {
  CCamera& camera = ThisCamera();
  CFixedRoiDialog dialog(camera.m_roi.width, camera.m_roi.height, true, this);
  if (dialog.exec() != QDialog::Accepted) return;
  const IplROI wanted = dialog.SameAsOther()
                            ? OtherCamera().m_roi
                            : MakeRoi(0, 0, 0, dialog.RoiWidth(), dialog.RoiHeight());
  camera.m_roi = ClipRoi(wanted, ImageWidth(), ImageHeight());
  Document()->UpdateAllViews(nullptr, RoiHint());
}

void CCameraView::ShowColour(bool gray) {
  if ((m_showGray != 0) == gray) return;
  m_image = gray ? &ThisCamera().m_gray : &ThisCamera().m_image;
  m_showGray = gray ? 1 : 0;
  update();
}

// ---- Mouse and keyboard --------------------------------------------------------------

QCursor CCameraView::ArrowModeCursor() const {
  if (!IsMatching() || !Document()) return QCursor(Qt::ArrowCursor);
  const CSpPoint* last = LastPoint(ThisCamera());
  return last && last->m_selected ? m_pendingCursor : m_matchCursor;
}

void CCameraView::mousePressEvent(QMouseEvent* event) {
  if (m_toolMode != kToolArrow) {
    BaseMousePress(event);
    return;
  }
  if (event->button() != Qt::LeftButton || IsMatching() || !Document()) return;
  const QPoint p = PaneToImage(event->position().toPoint());
  m_selectRect = {p.x(), p.y(), p.x(), p.y()};
  m_selecting = true;
}

void CCameraView::mouseMoveEvent(QMouseEvent* event) {
  if (m_toolMode != kToolArrow) {
    BaseMouseMove(event);
    return;
  }
  const QPoint pane = event->position().toPoint();
  m_lastX = pane.x();
  m_lastY = pane.y();
  if (IsMatching()) {
    // Moving over a pane makes it the active one, so Esc and the cursor follow the pointer.
    if (!hasFocus()) setFocus(Qt::MouseFocusReason);
    if (onActivateRequest) onActivateRequest();
    return;
  }
  if ((event->buttons() & Qt::LeftButton) && m_selecting && HasPixels()) {
    const QPoint p = PaneToImage(pane);
    m_selectRect.right = p.x();
    m_selectRect.bottom = p.y();
    update();
  }
}

void CCameraView::mouseReleaseEvent(QMouseEvent* event) {
  if (m_toolMode != kToolArrow) {
    BaseMouseRelease(event);
    return;
  }
  if (event->button() != Qt::LeftButton || !Document()) return;
  const bool shift = event->modifiers() & Qt::ShiftModifier;
  if (IsMatching())
    PlaceMatchingPoint(event->position().toPoint(), shift);
  else if (m_selecting)
    SelectAt(event->position().toPoint(), shift);
}

void CCameraView::SelectAt(QPoint pane, bool addToSelection) {
  m_selecting = false;
  CProjectDoc& doc = *Document();
  CSpPointSet& points = ThisCamera().m_points;
  if (!addToSelection) points.SetAllSelected(0);
  const Rect band = Normalized(m_selectRect);
  m_selectRect = {};
  if (band.right <= band.left || band.bottom <= band.top) {
    const QPoint p = PaneToImage(pane);
    if (CSpPoint* nearest = points.FindNearest(Pixel{p.x(), p.y()}, 5.0 / m_zoom))
      nearest->m_selected = 1;
  } else {
    points.SelectInRect(band, 1);
  }
  doc.m_stereoPair.m_matches.SyncSelection(m_cameraIndex);
  doc.UpdateAllViews(nullptr, kHintPointsChanged);
}

void CCameraView::PlaceMatchingPoint(QPoint pane, bool onMarker) {
  CProjectDoc& doc = *Document();
  CCamera& camera = ThisCamera();
  // This image already holds the new point: its partner must come from the other one.
  if (camera.m_points.CountSelected(1) > 0) return;
  const QPoint p = PaneToImage(pane);
  // A click on the background around a centred image places nothing.
  if (!HasPixels() || p.x() < 0 || p.y() < 0 || p.x() >= ImageWidth() || p.y() >= ImageHeight())
    return;

  // A point waiting for its partner is no edit yet; the click that gives it one adds the
  // match, and undoing it leaves the point waiting again.
  const CSpPoint* waiting = LastPoint(OtherCamera());
  std::optional<EditScope> edit;
  if (waiting && waiting->m_selected) edit.emplace(doc, "Add Match");
  bool added = false;
  if (onMarker) {
    WaitCursor wait;
    int found = 0;
    // A failure places no point and is not shown; its record must not linger for the
    // next command that reports an error.
    if (!camera.AddPointAt(p.x(), p.y(), found, DotCentringSetting())) PopError(true);
    added = found == 1;
  } else {
    added = camera.m_points.Add(std::make_unique<CSpPoint>(Pixel{p.x(), p.y()})) == 1;
  }
  if (added) LastPoint(camera)->m_selected = 1;

  CSpPoint* last1 = LastPoint(doc.m_camera1);
  CSpPoint* last2 = LastPoint(doc.m_camera2);
  if (last1 && last2 && last1->m_selected && last2->m_selected) {
    // Image 1's point always comes first, whichever image was clicked last.
    if (doc.m_stereoPair.m_matches.Add(std::make_unique<CMatch>(last1, last2))) {
      last1->m_selected = 0;
      last2->m_selected = 0;
      doc.SetModifiedFlag();
    }
  }
  doc.UpdateAllViews(nullptr, kHintPointsChanged);
  doc.UpdateAllViews(nullptr, kHintRebuildModel);
}

void CCameraView::keyPressEvent(QKeyEvent* event) {
  const bool choseTool = BaseKeyPress(event);
  if (!EditPointsByKey(event->key()) && !choseTool) event->ignore();
}

bool CCameraView::EditPointsByKey(int key) {
  if (!Document()) return false;
  CProjectDoc& doc = *Document();
  CSpPoint* point = nullptr;
  if (IsMatching()) {
    if (key != Qt::Key_Escape) return false;
  } else {
    if (!doc.IsRendered()) return false;
    point = ThisCamera().m_points.FindFirstSelected(1);
    if (!point) return false;
    if (key != Qt::Key_Left && key != Qt::Key_Up && key != Qt::Key_Right && key != Qt::Key_Down)
      return false;
  }
  std::optional<EditScope> edit;
  if (point) edit.emplace(doc, "Move Point");
  switch (point ? key : 0) {
    case Qt::Key_Left:
      point->m_x -= 1;
      break;
    case Qt::Key_Up:
      point->m_y -= 1;
      break;
    case Qt::Key_Right:
      point->m_x += 1;
      break;
    case Qt::Key_Down:
      point->m_y += 1;
      break;
    default:
      RemoveSelectedPoints(doc);
      break;
  }
  doc.UpdateAllViews(nullptr, kHintPointsChanged);
  doc.UpdateAllViews(nullptr, kHintRebuildModel);
  doc.SetModifiedFlag();
  return true;
}

// ---- Drawing -------------------------------------------------------------------------

void CCameraView::DrawOverlays(QPainter& painter, QImage& surface) {
  m_drawnLine.reset();
  if (!Document()) return;
  if (!HasPixels()) {
    DrawFirstStepHint(painter, surface.rect());
    return;
  }
  DrawVectors(painter);
  DrawPoints(surface);
  DrawMatchNumbers(painter);
  DrawEpipolarLine(painter);
  if (m_selecting) {
    const QRect band = SelectionBandOnPane();
    if (band.width() > 0 && band.height() > 0) {
      painter.save();
      // Inverting the pixels under the outline keeps it visible on any image.
      painter.setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
      painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
      painter.drawRect(band.adjusted(0, 0, -1, -1));
      painter.restore();
    }
  }
}

void CCameraView::DrawFirstStepHint(QPainter& painter, const QRect& area) {
  // An empty pane tells a newcomer where to start.
  painter.save();
  painter.setPen(palette().color(QPalette::Normal, QPalette::WindowText));
  const QString which = m_cameraIndex == 0 ? tr("first") : tr("second");
  painter.drawText(area.adjusted(12, 12, -12, -12), Qt::AlignCenter | Qt::TextWordWrap,
                   tr("No photograph yet.\n\nProject > Set Images... (Ctrl+W) loads the %1 photograph of "
                      "the face here, or File > Open... (Ctrl+O) opens a project such as the sample "
                      "in samples/face.").arg(which));
  painter.restore();
}

QRect CCameraView::SelectionBandOnPane() const {
  const Rect r = ImageToPane(Normalized(m_selectRect));
  return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

void CCameraView::DrawVectors(QPainter& painter) const {
  const CMatchSet& matches = Document()->m_stereoPair.m_matches;
  if (!m_showVectors || matches.Count() == 0) return;
  painter.save();
  for (const auto& match : matches.Matches()) {
    const CSpPoint* here = m_cameraIndex == 0 ? match->m_point1 : match->m_point2;
    const CSpPoint* there = m_cameraIndex == 0 ? match->m_point2 : match->m_point1;
    if (!here || !there) continue;
    const QPoint p = Rounded(*here);
    if (!Inside(VisibleImageRect(), p)) continue;
    painter.setPen(QPen(here->m_selected ? Qt::red : Qt::blue, 1));
    painter.drawLine(ImageToPane(p), ImageToPane(Rounded(*there)));
  }
  painter.restore();
}

void CCameraView::DrawPoints(QImage& surface) const {
  const CSpPointSet& points = ThisCamera().m_points;
  if (!m_showPoints || points.Count() == 0) return;
  for (const auto& point : points.Points()) {
    const QPoint p = Rounded(*point);
    if (!Inside(VisibleImageRect(), p)) continue;
    const QPoint pane = ImageToPane(p);
    DrawPointMarker(surface, pane.x() - 4, pane.y() - 4, point->m_selected != 0);
  }
}

void CCameraView::DrawMatchNumbers(QPainter& painter) const {
  const CMatchSet& matches = Document()->m_stereoPair.m_matches;
  if (!m_showPoints || !m_showIds || m_zoom <= 1.0 || matches.Count() == 0) return;
  painter.save();
  QFont font;
  font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("DejaVu Sans")});
  font.setPointSize(6);
  painter.setFont(font);
  constexpr int kFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip;
  for (const auto& match : matches.Matches()) {
    const CSpPoint* here = m_cameraIndex == 0 ? match->m_point1 : match->m_point2;
    if (!here) continue;
    const QPoint p = Rounded(*here);
    if (!Inside(VisibleImageRect(), p)) continue;
    const QPoint pane = ImageToPane(p);
    const QString text = QString::number(match->m_id);
    painter.setPen(Qt::black);
    painter.drawText(QRect(pane.x() + 9, pane.y() - 6, 0, 0), kFlags, text);
    painter.setPen(here->m_selected ? Qt::red : Qt::green);
    painter.drawText(QRect(pane.x() + 8, pane.y() - 7, 0, 0), kFlags, text);
  }
  painter.restore();
}

void CCameraView::DrawEpipolarLine(QPainter& painter) {
  const CProjectDoc& doc = *Document();
  const CSpPointSet& other = OtherCamera().m_points;
  const Matrix& F = doc.m_stereoPair.m_F;
  if (!doc.IsRendered() || other.CountSelected(1) != 1 || F.rows() != 3 || F.cols() != 3) return;
  const CSpPoint* point = other.FindFirstSelected(1);
  // The fundamental matrix relates pixel positions counted from 1; the line is found in
  // those coordinates and moved back to the 0-based pixels the view draws in.
  const Vector3 m(point->m_x + 1.0, point->m_y + 1.0, 1.0);
  const Vector3 l = m_cameraIndex == 0 ? Vector3(F * m) : Vector3(F.transpose() * m);
  if (l(1) == 0.0) return;
  m_epipolarLine.slope = -l(0) / l(1);
  const double intercept1 = -l(2) / l(1);
  m_epipolarLine.intercept = intercept1 + m_epipolarLine.slope - 1.0;
  if (!ClipEpipolarLine(m_epipolarLine, ImageWidth(), ImageHeight())) return;
  m_drawnLine = m_epipolarLine;
  painter.save();
  painter.setPen(QPen(QColor(0, 0, 128), 1));
  painter.drawLine(ImageToPane(QPoint(m_epipolarLine.x1, m_epipolarLine.y1)),
                   ImageToPane(QPoint(m_epipolarLine.x2, m_epipolarLine.y2)));
  painter.restore();
}

}  // namespace q3d
