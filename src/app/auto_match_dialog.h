#pragma once
// The Automatic Matching dialog: eight sliders in three groups, each with its value
// label, "&Default", OK and Cancel. The record changes only through the sliders.
#include <QDialog>
#include <array>

#include "matching/auto_match_params.h"

class QLabel;
class QPushButton;
class QSlider;

namespace q3d {

class AutoMatchDialog : public QDialog {
 public:
  // Opens on the given record (the last accepted one); its sliders are set to the
  // positions nearest its values.
  explicit AutoMatchDialog(const AutoMatchParams& params, QWidget* parent = nullptr);

  const AutoMatchParams& Params() const { return params_; }

  QSlider* Slider(AutoMatchField field) const { return sliders_[Index(field)]; }
  QLabel* ValueLabel(AutoMatchField field) const { return values_[Index(field)]; }
  QPushButton* DefaultButton() const { return defaultButton_; }

  // "&Default": every field, label and slider back to the defaults.
  void RestoreDefaults();

 private:
  static size_t Index(AutoMatchField field) { return static_cast<size_t>(field); }
  QWidget* MakeGroup(const QString& title, std::initializer_list<AutoMatchField> fields);
  void OnSliderMoved(AutoMatchField field, int position);
  void ShowValue(AutoMatchField field);

  AutoMatchParams params_;
  std::array<QSlider*, 8> sliders_{};
  std::array<QLabel*, 8> values_{};
  QPushButton* defaultButton_ = nullptr;
};

}  // namespace q3d
