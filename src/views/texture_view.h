#pragma once
// The model's 512 x 512 texture, retouched in place: blur, median and make-up cleaning
// with a live preview while their dialog is open, sharpen at once, and a soft clone
// brush (the Eraser Tool) that paints copies of one part of the texture over another.
// Every filter works on the texture's region of interest.
#include <QCursor>
#include <functional>
#include <opencv2/core.hpp>
#include <optional>

#include "model/makeup_cleaner.h"
#include "model/texture_filters.h"
#include "views/image_view.h"

namespace q3d {

class CTextureView : public CImageView {
  Q_OBJECT

 public:
  explicit CTextureView(QWidget* parent = nullptr);
  ~CTextureView() override;

  ViewKind Kind() const override { return ViewKind::Texture; }
  QString Caption() const override { return m_caption; }
  bool OnCommand(int id) override;
  bool OnUpdateCommand(int id, CommandState& state) override;
  void OnDocumentUpdate(DocumentObserver* sender, int hint) override;

  const std::optional<Rect>& EraserSource() const { return m_eraserSource; }
  bool Previewing() const { return m_preview && !m_work.empty(); }

  // Shows a message with a stop icon; a message box unless replaced.
  std::function<void(const QString&)> showStopMessage;

 protected:
  void UpdateCaption() override;
  void OnRoiChanged() override;
  void DrawOverlays(QPainter& painter, QImage& surface) override;
  QCursor ArrowModeCursor() const override;

  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  cv::Mat TextureMat() const;
  // The texture's region of interest, clipped to the texture; empty without pixels.
  cv::Mat TextureRoi() const;
  void FirstUpdate();
  void RunMaskFilterDialog(TextureFilterKind kind);
  void RunCleaningDialog();
  void Sharpen();
  void SetFixedSizeRoi();
  void SetWholeImageRoi();
  void ToggleEraser();
  void FinishEdit(bool changed);
  void Stamp();
  // Ends the clone-brush stroke under way, making it one step of the history.
  void EndStroke();
  void DrawPreview(QImage& surface) const;

  cv::Mat m_work;
  cv::Mat m_brushAlpha;
  bool m_preview = false;
  MakeupCleaner m_cleaner;
  int m_eraserOn = 0;
  std::optional<Rect> m_eraserSource;
  int m_eraserAnchored = 0;
  int m_eraserX = 0;
  int m_eraserY = 0;
  QCursor m_eraserCursor;
  CProjectDoc* m_strokeDoc = nullptr;  // the document of the stroke under way
  QString m_caption;
};

}  // namespace q3d
