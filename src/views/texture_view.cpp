#include "views/texture_view.h"

#include <QApplication>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "views/command_ids.h"
#include "views/fixed_roi_dialog.h"
#include "views/texture_dialogs.h"
#include "views/view_cursors.h"
#include "views/wait_cursor.h"

namespace q3d {

CTextureView::CTextureView(QWidget* parent)
    : CImageView(parent), m_brushAlpha(MakeBrushAlpha()), m_eraserCursor(EraserCursor()) {
  showStopMessage = [this](const QString& text) {
    QMessageBox::critical(this, QStringLiteral("Quorvan 3D"), text);
  };
  UpdateCaption();
}

CTextureView::~CTextureView() { EndStroke(); }

cv::Mat CTextureView::TextureMat() const {
  return Document() ? Document()->m_model.m_texture.Mat() : cv::Mat();
}

cv::Mat CTextureView::TextureRoi() const {
  cv::Mat texture = TextureMat();
  if (texture.empty()) return {};
  const IplROI& roi = Document()->m_model.m_textureRoi;
  const cv::Rect r = cv::Rect(roi.xOffset, roi.yOffset, roi.width, roi.height) &
                     cv::Rect(0, 0, texture.cols, texture.rows);
  return r.area() > 0 ? texture(r) : cv::Mat();
}

// ---- Document updates ----------------------------------------------------------------

void CTextureView::OnDocumentUpdate(DocumentObserver* sender, int hint) {
  if (sender == this || !Document()) return;
  if (hint == kHintDefault) {
    EndStroke();
    FirstUpdate();
  } else if (hint == kHintTextureChanged || hint == kHintRebuildModel) {
    // A rebuild may resample the texture from image 1.
    UpdateCaption();
    update();
  }
}

void CTextureView::FirstUpdate() {
  C3DModel& model = Document()->m_model;
  m_image = &model.m_texture;
  m_roi = &model.m_textureRoi;
  OnRoiChanged();
  CentreOn(C3DModel::kTextureSize / 2, C3DModel::kTextureSize / 2);
  UpdateCaption();
  UpdateCursor();
}

void CTextureView::UpdateCaption() {
  m_caption = QStringLiteral("Texture");
  m_caption += SizeAndZoomCaption();
  NotifyStateChanged();
}

void CTextureView::OnRoiChanged() {
  if (Document()) Document()->UpdateAllViews(this, kHintTextureChanged);
}

// ---- Commands ------------------------------------------------------------------------

bool CTextureView::OnUpdateCommand(int id, CommandState& state) {
  state = CommandState{};
  switch (id) {
    case cmd::kThresholdMedian:
    case cmd::kBlur:
    case cmd::kMedian:
    case cmd::kSharpen:
    case cmd::kRoiFixedSize:
    case cmd::kRoiWholeImage:
      return true;
    case cmd::kEraserTool:
      state.checked = m_eraserOn != 0;
      return true;
    default:
      return UpdateImageCommand(id, state, false);
  }
}

bool CTextureView::OnCommand(int id) {
  if (!Document()) return false;
  switch (id) {
    case cmd::kThresholdMedian: RunCleaningDialog(); break;
    case cmd::kBlur: RunMaskFilterDialog(TextureFilterKind::Blur); break;
    case cmd::kMedian: RunMaskFilterDialog(TextureFilterKind::Median); break;
    case cmd::kSharpen: Sharpen(); break;
    case cmd::kRoiFixedSize: SetFixedSizeRoi(); break;
    case cmd::kRoiWholeImage: SetWholeImageRoi(); break;
    case cmd::kEraserTool: ToggleEraser(); break;
    default: return HandleImageCommand(id);
  }
  NotifyStateChanged();
  return true;
}

void CTextureView::FinishEdit(bool changed) {
  m_work.release();
  m_preview = false;
  if (changed) Document()->SetModifiedFlag();
  Document()->UpdateAllViews(nullptr, kHintTextureChanged);
  Document()->UpdateAllViews(nullptr, kHintRebuildModel);
}

void CTextureView::RunMaskFilterDialog(TextureFilterKind kind) {
  cv::Mat roi = TextureRoi();
  if (roi.empty()) return;
  EditScope edit(*Document(), kind == TextureFilterKind::Blur ? "Blur" : "Median");
  ApplyMaskFilter(kind, roi, m_work, kMinMaskSize);
  m_preview = true;
  update();

  CMaskFilterDialog dialog(kind == TextureFilterKind::Blur ? tr("Blur Filter") : tr("Median Filter"),
                           this);
  connect(&dialog, &CMaskFilterDialog::previewFilter, this, [this, kind, roi](int size) {
    ApplyMaskFilter(kind, roi, m_work, size);
    repaint();
  });
  connect(&dialog, &CMaskFilterDialog::previewEnabled, this, [this](bool on) {
    m_preview = on;
    repaint();
  });
  bool changed = false;
  if (dialog.exec() == QDialog::Accepted) {
    WaitCursor wait;
    changed = ApplyMaskFilter(kind, roi, m_work, dialog.MaskSize());
    if (changed) m_work.copyTo(roi);
  }
  FinishEdit(changed);
}

void CTextureView::RunCleaningDialog() {
  cv::Mat roi = TextureRoi();
  if (roi.empty()) return;
  EditScope edit(*Document(), "Make-up Cleaning");
  m_work = roi.clone();
  m_cleaner.Prepare(m_work);
  CMakeupCleaningDialog dialog(this);
  m_cleaner.Apply(dialog.Threshold(), dialog.MaximumSize(), dialog.MedianSize());
  m_preview = true;
  update();

  connect(&dialog, &CMakeupCleaningDialog::previewCleaning, this,
          [this, roi](int threshold, int maximum, int median) {
            roi.copyTo(m_work);  // same size: the cleaner keeps working on m_work
            m_cleaner.Apply(threshold, maximum, median);
            repaint();
          });
  connect(&dialog, &CMakeupCleaningDialog::previewEnabled, this, [this](bool on) {
    m_preview = on;
    repaint();
  });
  bool changed = false;
  if (dialog.exec() == QDialog::Accepted) {
    WaitCursor wait;
    roi.copyTo(m_work);
    changed = m_cleaner.Apply(dialog.Threshold(), dialog.MaximumSize(), dialog.MedianSize());
    if (changed) m_work.copyTo(roi);
  }
  m_cleaner.Reset();
  FinishEdit(changed);
}

void CTextureView::Sharpen() {
  cv::Mat roi = TextureRoi();
  if (roi.empty()) return;
  EditScope edit(*Document(), "Sharpen");
  WaitCursor wait;
  cv::Mat sharpened;
  const bool changed = ApplySharpen(roi, sharpened);
  if (changed) sharpened.copyTo(roi);
  FinishEdit(changed);
}

void CTextureView::SetFixedSizeRoi() {
  IplROI& roi = Document()->m_model.m_textureRoi;
  CFixedRoiDialog dialog(roi.width, roi.height, false, this);
  if (dialog.exec() != QDialog::Accepted) return;
  roi = FixedSizeRoi(dialog.RoiWidth(), dialog.RoiHeight(), C3DModel::kTextureSize,
                     C3DModel::kTextureSize);
  Document()->UpdateAllViews(nullptr, kHintTextureChanged);
}

void CTextureView::SetWholeImageRoi() {
  Document()->m_model.m_textureRoi =
      MakeRoi(0, 0, 0, C3DModel::kTextureSize, C3DModel::kTextureSize);
  Document()->UpdateAllViews(nullptr, kHintTextureChanged);
}

void CTextureView::ToggleEraser() {
  if (!m_eraserOn) {
    m_eraserOn = 1;
    m_eraserSource.reset();
    m_eraserX = m_eraserY = 0;
    m_eraserAnchored = 0;
  } else {
    EndStroke();
    m_eraserOn = 0;
    Document()->UpdateAllViews(nullptr, kHintTextureChanged);
    Document()->UpdateAllViews(nullptr, kHintRebuildModel);
  }
  UpdateCursor();
  update();
}

// ---- Eraser Tool ---------------------------------------------------------------------

QCursor CTextureView::ArrowModeCursor() const {
  return m_eraserOn ? m_eraserCursor : QCursor(Qt::ArrowCursor);
}

void CTextureView::mousePressEvent(QMouseEvent* event) {
  if (m_toolMode != kToolArrow) {
    BaseMousePress(event);
    return;
  }
  if (event->button() != Qt::LeftButton || !m_eraserOn || !HasPixels()) return;
  const QPoint p = PaneToImage(event->position().toPoint());
  if (event->modifiers() & Qt::ShiftModifier) {
    const Rect source = BrushRectAt(p.x(), p.y());
    if (RectInside(source, ImageWidth(), ImageHeight())) {
      m_eraserSource = source;
      m_eraserAnchored = 0;
    }
  } else {
    if (!m_eraserSource) {
      if (showStopMessage)
        showStopMessage(tr("Please press Shift + Left Button to define the Eraser origin"));
      return;
    }
    if (!m_eraserAnchored) {
      m_eraserX = p.x();
      m_eraserY = p.y();
      m_eraserAnchored = 1;
    }
    // Everything painted until the button is released is one step of the history.
    if (!m_strokeDoc) {
      m_strokeDoc = Document();
      m_strokeDoc->m_history.Begin();
    }
    Stamp();
  }
  update();
}

void CTextureView::mouseMoveEvent(QMouseEvent* event) {
  if (m_toolMode != kToolArrow) {
    BaseMouseMove(event);
    return;
  }
  const QPoint pane = event->position().toPoint();
  m_lastX = pane.x();
  m_lastY = pane.y();
  if (!m_eraserOn || !m_eraserSource || !HasPixels()) return;
  const QPoint p = PaneToImage(pane);
  if (m_eraserAnchored) {
    // The source keeps its offset to the brush; it stops where it would leave the texture.
    const Rect moved = OffsetRect(*m_eraserSource, p.x() - m_eraserX, p.y() - m_eraserY);
    if (RectInside(moved, ImageWidth(), ImageHeight())) {
      m_eraserSource = moved;
      m_eraserX = p.x();
      m_eraserY = p.y();
      update();
    }
  }
  if (event->buttons() & Qt::LeftButton) {
    Stamp();
    update();
  }
}

void CTextureView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) EndStroke();
  BaseMouseRelease(event);
}

void CTextureView::EndStroke() {
  if (!m_strokeDoc) return;
  CProjectDoc* doc = m_strokeDoc;
  m_strokeDoc = nullptr;
  doc->m_history.End("Eraser Stroke");
}

void CTextureView::Stamp() {
  cv::Mat texture = TextureMat();
  if (!m_eraserSource || texture.empty()) return;
  if (StampCloneBrush(texture, *m_eraserSource, m_eraserX, m_eraserY, m_brushAlpha)) {
    Document()->SetModifiedFlag();
    Document()->UpdateAllViews(this, kHintTextureChanged);  // another texture pane
  }
}

// ---- Drawing -------------------------------------------------------------------------

void CTextureView::DrawOverlays(QPainter& painter, QImage& surface) {
  if (m_preview && !m_work.empty()) DrawPreview(surface);
  if (m_eraserOn && m_eraserSource) {
    const Rect& s = *m_eraserSource;
    const Rect pane = ImageToPane(Rect{s.left + 7, s.top + 7, s.right - 7, s.bottom - 7});
    painter.save();
    painter.setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QRect(pane.left, pane.top, pane.right - pane.left, pane.bottom - pane.top));
    painter.restore();
  }
}

void CTextureView::DrawPreview(QImage& surface) const {
  // The filtered region drawn in place over the region of interest.
  const IplROI& roi = Document()->m_model.m_textureRoi;
  const Rect pane = ImageToPane(Rect{roi.xOffset, roi.yOffset, roi.xOffset + m_work.cols,
                                     roi.yOffset + m_work.rows});
  const int pw = pane.right - pane.left;
  const int ph = pane.bottom - pane.top;
  if (pw <= 0 || ph <= 0) return;
  const int left = std::max(pane.left, 0);
  const int top = std::max(pane.top, 0);
  const int right = std::min(pane.right, surface.width());
  const int bottom = std::min(pane.bottom, surface.height());
  for (int y = top; y < bottom; ++y) {
    const int sy = static_cast<int>(int64_t{y - pane.top} * m_work.rows / ph);
    const uint8_t* in = m_work.ptr<uint8_t>(sy);
    auto* out = reinterpret_cast<QRgb*>(surface.scanLine(y));
    for (int x = left; x < right; ++x) {
      const uint8_t* p = in + 3 * (int64_t{x - pane.left} * m_work.cols / pw);
      out[x] = qRgb(p[2], p[1], p[0]);
    }
  }
}

}  // namespace q3d
