#include "app/auto_match_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

namespace q3d {

namespace {
// Sizes of the dialog's template in pixels (dialog units at the usual 8-point font).
constexpr int kSliderWidth = 150;
constexpr int kRowHeight = 24;
constexpr int kValueWidth = 56;
}  // namespace

AutoMatchDialog::AutoMatchDialog(const AutoMatchParams& params, QWidget* parent)
    : QDialog(parent), params_(params) {
  setWindowTitle(QStringLiteral("Automatic Matching"));
  auto* layout = new QVBoxLayout(this);
  using F = AutoMatchField;
  layout->addWidget(MakeGroup(QStringLiteral("Feature extraction"),
                              {F::kPoints, F::kGaussianSize, F::kGaussianDev, F::kRelativeMinimum}));
  layout->addWidget(MakeGroup(QStringLiteral("Correlation"), {F::kWindowWidth, F::kWindowHeight}));
  layout->addWidget(MakeGroup(QStringLiteral("Matching"), {F::kThreshold, F::kWidthFactor}));

  auto* buttons = new QHBoxLayout;
  defaultButton_ = new QPushButton(QStringLiteral("&Default"), this);
  defaultButton_->setAutoDefault(false);
  buttons->addWidget(defaultButton_);
  buttons->addStretch(1);
  auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->addWidget(box);
  layout->addLayout(buttons);
  connect(defaultButton_, &QPushButton::clicked, this, &AutoMatchDialog::RestoreDefaults);
  connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);

  for (AutoMatchField field : kAutoMatchFields) {
    const QSignalBlocker block(Slider(field));
    Slider(field)->setValue(SliderPositionOf(params_, field));
    ShowValue(field);
  }
}

QWidget* AutoMatchDialog::MakeGroup(const QString& title, std::initializer_list<AutoMatchField> fields) {
  auto* group = new QGroupBox(title, this);
  auto* grid = new QGridLayout(group);
  int row = 0;
  for (AutoMatchField field : fields) {
    const size_t i = Index(field);
    auto* name = new QLabel(QString::fromUtf8(AutoMatchFieldLabel(field)), group);
    auto* slider = new QSlider(Qt::Horizontal, group);
    const SliderRange range = AutoMatchSliderRange(field);
    slider->setRange(range.min, range.max);
    slider->setFixedSize(kSliderWidth, kRowHeight);
    auto* value = new QLabel(group);
    value->setFixedSize(kValueWidth, kRowHeight);
    sliders_[i] = slider;
    values_[i] = value;
    grid->addWidget(name, row, 0);
    grid->addWidget(slider, row, 1);
    grid->addWidget(value, row, 2);
    connect(slider, &QSlider::valueChanged, this, [this, field](int p) { OnSliderMoved(field, p); });
    ++row;
  }
  grid->setColumnStretch(0, 1);
  return group;
}

void AutoMatchDialog::OnSliderMoved(AutoMatchField field, int position) {
  SetFromSlider(params_, field, position);
  ShowValue(field);
}

void AutoMatchDialog::ShowValue(AutoMatchField field) {
  ValueLabel(field)->setText(QString::fromStdString(FormatAutoMatchValue(params_, field)));
}

void AutoMatchDialog::RestoreDefaults() {
  params_ = AutoMatchParams{};
  for (AutoMatchField field : kAutoMatchFields) {
    const QSignalBlocker block(Slider(field));
    Slider(field)->setValue(AutoMatchDefaultSliderPosition(field));
    ShowValue(field);
  }
}

}  // namespace q3d
