#pragma once
// Chooses the two photographs of a stereo pair, each previewed within 176 x 142 with its
// proportions.
#include <QDialog>
#include <QImage>
#include <QString>

#include "stereo/image.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace q3d {

class SetImagesDialog : public QDialog {
 public:
  static constexpr int kPreviewWidth = 176;
  static constexpr int kPreviewHeight = 142;
  static constexpr int kMaxNameLength = 255;
  // The browse dialog offers every format the photographs load from.
  static constexpr const char* kImageFileFilter =
      "Images (*.bmp *.png *.jpg *.jpeg *.tif *.tiff);;Bitmap Files (*.bmp);;PNG Files (*.png);;"
      "JPEG Files (*.jpg *.jpeg);;TIFF Files (*.tif *.tiff)";

  explicit SetImagesDialog(QWidget* parent = nullptr);

  QString FileName(int index) const { return names_[index]; }
  // Takes the file for image 1 (index 0) or image 2 (index 1) as if chosen with "...":
  // any photograph the project loads (BMP above 8 bits per pixel, PNG, JPEG, TIFF). One it
  // refuses (damaged, unsupported, too large, an 8-bit bitmap) is refused with a message
  // naming the file and the reason, and the previous choice stays. Returns true when the
  // file was taken.
  bool ChooseFile(int index, const QString& path);

  QLineEdit* NameEdit(int index) const { return edits_[index]; }
  QLabel* Preview(int index) const { return previews_[index]; }
  // The photograph scaled to fit the preview box, its proportions kept.
  static QImage PreviewOf(const Image& photograph);

 private:
  QWidget* MakeGroup(int index);
  void Browse(int index);

  QString names_[2];
  QLineEdit* edits_[2] = {};
  QLabel* previews_[2] = {};
  QPushButton* browse_[2] = {};
};

}  // namespace q3d
