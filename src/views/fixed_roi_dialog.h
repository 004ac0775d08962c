#pragma once
// "Fixed Size ROI": a region of a given width and height at the image origin, or the
// region of the other image.
#include <QDialog>

#include "stereo/image.h"

class QCheckBox;
class QLabel;
class QSpinBox;

namespace q3d {

class CFixedRoiDialog : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kMinSize = 10;
  static constexpr int kMaxSize = 9999;

  // showSameAsOther: offer "Same as homologous image" (the camera views do, the texture
  // view does not).
  CFixedRoiDialog(int width, int height, bool showSameAsOther, QWidget* parent = nullptr);

  int RoiWidth() const;
  int RoiHeight() const;
  bool SameAsOther() const;

  QSpinBox* WidthEdit() const { return m_width; }
  QSpinBox* HeightEdit() const { return m_height; }
  QCheckBox* SameAsOtherBox() const { return m_sameAsOther; }

 private:
  void OnSameAsOtherToggled(bool checked);

  QLabel* m_widthLabel;
  QLabel* m_heightLabel;
  QSpinBox* m_width;
  QSpinBox* m_height;
  QCheckBox* m_sameAsOther;
  bool m_offerSameAsOther;
};

// The rectangle (0, 0, width, height) clipped to an image of imageWidth x imageHeight.
IplROI FixedSizeRoi(int width, int height, int imageWidth, int imageHeight);
IplROI ClipRoi(const IplROI& roi, int imageWidth, int imageHeight);

}  // namespace q3d
