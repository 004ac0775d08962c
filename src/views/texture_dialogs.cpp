#include "views/texture_dialogs.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QSlider>
#include <QVBoxLayout>

namespace q3d {
namespace {

QSlider* MakeSlider(int minimum, int maximum, int position) {
  auto* slider = new QSlider(Qt::Horizontal);
  slider->setRange(minimum, maximum);
  slider->setValue(position);
  slider->setMinimumWidth(220);
  return slider;
}

QDialogButtonBox* OkCancel(QDialog* dialog) {
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  return buttons;
}

}  // namespace

int MaskSizeFromPosition(int position) { return 2 * position - 1; }

// ---- Blur and Median -----------------------------------------------------------------

CMaskFilterDialog::CMaskFilterDialog(const QString& title, QWidget* parent)
    : QDialog(parent),
      m_slider(MakeSlider(2, 50, 2)),
      m_sizeLabel(new QLabel(QString::number(MaskSizeFromPosition(2)))),
      m_preview(new QCheckBox(tr("Preview"))) {
  setWindowTitle(title);
  m_preview->setChecked(true);
  m_sizeLabel->setMinimumWidth(24);

  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel(tr("Mask size")), 0, 0);
  grid->addWidget(m_slider, 0, 1);
  grid->addWidget(m_sizeLabel, 0, 2);
  grid->addWidget(m_preview, 1, 0, 1, 3);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(OkCancel(this));

  connect(m_slider, &QSlider::valueChanged, this, &CMaskFilterDialog::OnSliderMoved);
  connect(m_preview, &QCheckBox::clicked, this, &CMaskFilterDialog::OnPreviewClicked);
}

int CMaskFilterDialog::MaskSize() const { return MaskSizeFromPosition(m_slider->value()); }
bool CMaskFilterDialog::PreviewOn() const { return m_preview->isChecked(); }

void CMaskFilterDialog::OnSliderMoved(int) {
  m_sizeLabel->setText(QString::number(MaskSize()));
  if (PreviewOn()) emit previewFilter(MaskSize());
}

void CMaskFilterDialog::OnPreviewClicked(bool checked) {
  emit previewEnabled(checked);
  if (checked) emit previewFilter(MaskSize());
}

// ---- Make-up cleaning ----------------------------------------------------------------

CMakeupCleaningDialog::CMakeupCleaningDialog(QWidget* parent)
    : QDialog(parent),
      m_threshold(MakeSlider(0, 255, 128)),
      m_maximum(MakeSlider(2, 50, 3)),
      m_median(MakeSlider(2, 50, 10)),
      m_thresholdLabel(new QLabel),
      m_maximumLabel(new QLabel),
      m_medianLabel(new QLabel),
      m_preview(new QCheckBox(tr("Preview"))) {
  setWindowTitle(tr("Make-up Cleaning"));
  m_preview->setChecked(true);

  auto* grid = new QGridLayout;
  const struct {
    const char* name;
    QSlider* slider;
    QLabel* label;
  } rows[] = {{"Threshold", m_threshold, m_thresholdLabel},
              {"Maximum", m_maximum, m_maximumLabel},
              {"Median", m_median, m_medianLabel}};
  int row = 0;
  for (const auto& r : rows) {
    r.label->setMinimumWidth(28);
    grid->addWidget(new QLabel(tr(r.name)), row, 0);
    grid->addWidget(r.slider, row, 1);
    grid->addWidget(r.label, row, 2);
    connect(r.slider, &QSlider::valueChanged, this, &CMakeupCleaningDialog::OnSliderMoved);
    ++row;
  }
  grid->addWidget(m_preview, row, 0, 1, 3);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(OkCancel(this));
  connect(m_preview, &QCheckBox::clicked, this, &CMakeupCleaningDialog::OnPreviewClicked);

  m_thresholdLabel->setText(QString::number(Threshold()));
  m_maximumLabel->setText(QString::number(MaximumSize()));
  m_medianLabel->setText(QString::number(MedianSize()));
}

int CMakeupCleaningDialog::Threshold() const { return m_threshold->value(); }
int CMakeupCleaningDialog::MaximumSize() const { return MaskSizeFromPosition(m_maximum->value()); }
int CMakeupCleaningDialog::MedianSize() const { return MaskSizeFromPosition(m_median->value()); }

void CMakeupCleaningDialog::OnSliderMoved() {
  m_thresholdLabel->setText(QString::number(Threshold()));
  m_maximumLabel->setText(QString::number(MaximumSize()));
  m_medianLabel->setText(QString::number(MedianSize()));
  if (m_preview->isChecked()) emit previewCleaning(Threshold(), MaximumSize(), MedianSize());
}

void CMakeupCleaningDialog::OnPreviewClicked(bool checked) {
  emit previewEnabled(checked);
  if (checked) emit previewCleaning(Threshold(), MaximumSize(), MedianSize());
}

}  // namespace q3d
