#pragma once
// The dialogs of the texture filters. They only collect values and ask the texture view
// for live previews through their signals; the view does the pixel work.
#include <QDialog>

class QCheckBox;
class QLabel;
class QSlider;

namespace q3d {

// Slider positions 2..50 give the odd mask sizes 3..99.
int MaskSizeFromPosition(int position);

// "Blur Filter" and "Median Filter": one mask size and the Preview check box.
class CMaskFilterDialog : public QDialog {
  Q_OBJECT

 public:
  explicit CMaskFilterDialog(const QString& title, QWidget* parent = nullptr);

  int MaskSize() const;
  bool PreviewOn() const;
  QSlider* SizeSlider() const { return m_slider; }
  QLabel* SizeLabel() const { return m_sizeLabel; }
  QCheckBox* PreviewBox() const { return m_preview; }

 signals:
  void previewFilter(int maskSize);
  void previewEnabled(bool on);

 private:
  void OnSliderMoved(int position);
  void OnPreviewClicked(bool checked);

  QSlider* m_slider;
  QLabel* m_sizeLabel;
  QCheckBox* m_preview;
};

// "Make-up Cleaning": threshold, maximum (grow) size, median size and Preview.
class CMakeupCleaningDialog : public QDialog {
  Q_OBJECT

 public:
  explicit CMakeupCleaningDialog(QWidget* parent = nullptr);

  int Threshold() const;
  int MaximumSize() const;
  int MedianSize() const;
  QSlider* ThresholdSlider() const { return m_threshold; }
  QCheckBox* PreviewBox() const { return m_preview; }

 signals:
  void previewCleaning(int threshold, int maximum, int median);
  void previewEnabled(bool on);

 private:
  void OnSliderMoved();
  void OnPreviewClicked(bool checked);

  QSlider* m_threshold;
  QSlider* m_maximum;
  QSlider* m_median;
  QLabel* m_thresholdLabel;
  QLabel* m_maximumLabel;
  QLabel* m_medianLabel;
  QCheckBox* m_preview;
};

}  // namespace q3d
