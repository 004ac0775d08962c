#include "views/fixed_roi_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

namespace q3d {

CFixedRoiDialog::CFixedRoiDialog(int width, int height, bool showSameAsOther, QWidget* parent)
    : QDialog(parent),
      m_widthLabel(new QLabel(tr("Width:"))),
      m_heightLabel(new QLabel(tr("Height:"))),
      m_width(new QSpinBox),
      m_height(new QSpinBox),
      m_sameAsOther(new QCheckBox(tr("Same as homologous image"))),
      m_offerSameAsOther(showSameAsOther) {
  setWindowTitle(tr("Fixed Size ROI"));
  // The spin boxes accept only the allowed range, so a size can never be out of range
  // when the check box is clicked.
  for (QSpinBox* box : {m_width, m_height}) box->setRange(kMinSize, kMaxSize);
  m_width->setValue(width);
  m_height->setValue(height);
  m_widthLabel->setBuddy(m_width);
  m_heightLabel->setBuddy(m_height);

  auto* grid = new QGridLayout;
  grid->addWidget(m_widthLabel, 0, 0);
  grid->addWidget(m_width, 0, 1);
  grid->addWidget(m_heightLabel, 1, 0);
  grid->addWidget(m_height, 1, 1);
  grid->addWidget(m_sameAsOther, 2, 0, 1, 2);
  m_sameAsOther->setVisible(showSameAsOther);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(m_sameAsOther, &QCheckBox::toggled, this, &CFixedRoiDialog::OnSameAsOtherToggled);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(buttons);
}

void CFixedRoiDialog::OnSameAsOtherToggled(bool checked) {
  for (QWidget* w : {static_cast<QWidget*>(m_widthLabel), static_cast<QWidget*>(m_heightLabel),
                     static_cast<QWidget*>(m_width), static_cast<QWidget*>(m_height)})
    w->setEnabled(!checked);
}

int CFixedRoiDialog::RoiWidth() const { return m_width->value(); }
int CFixedRoiDialog::RoiHeight() const { return m_height->value(); }
bool CFixedRoiDialog::SameAsOther() const { return m_offerSameAsOther && m_sameAsOther->isChecked(); }

IplROI ClipRoi(const IplROI& roi, int imageWidth, int imageHeight) {
  const int left = std::clamp(roi.xOffset, 0, imageWidth);
  const int top = std::clamp(roi.yOffset, 0, imageHeight);
  const int right = std::clamp(roi.xOffset + roi.width, left, imageWidth);
  const int bottom = std::clamp(roi.yOffset + roi.height, top, imageHeight);
  return MakeRoi(0, left, top, right - left, bottom - top);
}

IplROI FixedSizeRoi(int width, int height, int imageWidth, int imageHeight) {
  return ClipRoi(MakeRoi(0, 0, 0, width, height), imageWidth, imageHeight);
}

}  // namespace q3d
