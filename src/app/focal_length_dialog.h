#pragma once
// The focal length of each photograph, as the user knows it: in pixels or as the 35 mm
// equivalent in millimetres that photographs and phone data sheets state. The dialog
// shows what is known and where each value came from; only what the user changes is
// stored as entered.
#include <QDialog>
#include <QMenu>
#include <array>
#include <functional>
#include <optional>

#include "project/project_doc.h"

class QComboBox;
class QDoubleSpinBox;
class QLabel;

namespace q3d {

class FocalLengthDialog : public QDialog {
  Q_OBJECT

 public:
  // shown: per photograph, the value in pixels to start from (0: not known).
  FocalLengthDialog(const CProjectDoc& doc, const std::array<double, 2>& shown, QWidget* parent);

  // Per photograph, the value to enter in pixels (0 forgets an entered one); empty when
  // the user left that photograph's value as it was shown.
  std::optional<double> Entered(int camera) const;
  // How precisely the entered values are known, as a share of them.
  double Precision() const;
  // Whether the render fits the photographs as one camera.
  CameraSharing Sharing() const;

 private:
  void ShowUnit(bool millimetres);
  double ToPixels(int camera, double value) const;
  double FromPixels(int camera, double pixels) const;

  const CProjectDoc& doc_;
  QComboBox* unit_ = nullptr;
  std::array<QDoubleSpinBox*, 2> value_{};
  QDoubleSpinBox* precision_ = nullptr;
  QComboBox* sharing_ = nullptr;
  std::array<bool, 2> edited_{};
  bool converting_ = false;
  bool millimetres_ = false;
};

// The values the dialog starts from: the entered, else the photograph's, else the one the
// last render used when it assumed it.
std::array<double, 2> KnownFocalLengths(const CProjectDoc& doc);

// Opens the dialog on the given values and stores what the user changed; true when an
// entered focal length, its precision or the choice of cameras changed.
bool EditFocalLengths(QWidget* parent, CProjectDoc& doc, const std::array<double, 2>& shown);

// Appends "Focal Lengths..." to the menu, enabled when both photographs are loaded. When a
// change reaches a rendered project, renderAgain is called if the user wants the model
// rendered again with it.
void AddFocalLengthEntry(QMenu* menu, CProjectDoc* doc, std::function<void()> renderAgain);

// After a render that assumed a focal length: says so and offers the dialog with the
// assumed values filled in. True when the user entered a focal length, so the render
// should be run again.
bool OfferFocalLengthsAfterAssumedRender(QWidget* parent, CProjectDoc& doc);

}  // namespace q3d
