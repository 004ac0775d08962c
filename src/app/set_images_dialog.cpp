#include "app/set_images_dialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "stereo/image_io.h"
#include "views/wait_cursor.h"

namespace q3d {

SetImagesDialog::SetImagesDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Set Images"));
  auto* layout = new QVBoxLayout(this);
  auto* groups = new QHBoxLayout;
  groups->addWidget(MakeGroup(0));
  groups->addWidget(MakeGroup(1));
  layout->addLayout(groups);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

QWidget* SetImagesDialog::MakeGroup(int index) {
  auto* group = new QGroupBox(index == 0 ? QStringLiteral("Image 1") : QStringLiteral("Image 2"), this);
  auto* grid = new QGridLayout(group);
  grid->addWidget(new QLabel(QStringLiteral("File name:"), group), 0, 0, 1, 2);
  edits_[index] = new QLineEdit(group);
  edits_[index]->setReadOnly(true);
  edits_[index]->setMaxLength(kMaxNameLength);
  edits_[index]->setObjectName(QStringLiteral("fileName%1").arg(index + 1));
  browse_[index] = new QPushButton(QStringLiteral("..."), group);
  browse_[index]->setObjectName(QStringLiteral("browse%1").arg(index + 1));
  browse_[index]->setFixedWidth(28);
  grid->addWidget(edits_[index], 1, 0);
  grid->addWidget(browse_[index], 1, 1);
  grid->addWidget(new QLabel(QStringLiteral("Preview:"), group), 2, 0, 1, 2);
  previews_[index] = new QLabel(group);
  previews_[index]->setObjectName(QStringLiteral("preview%1").arg(index + 1));
  previews_[index]->setFixedSize(kPreviewWidth + 4, kPreviewHeight + 4);
  previews_[index]->setAlignment(Qt::AlignCenter);
  previews_[index]->setFrameShape(QFrame::Box);
  grid->addWidget(previews_[index], 3, 0, 1, 2, Qt::AlignCenter);
  connect(browse_[index], &QPushButton::clicked, this, [this, index] { Browse(index); });
  return group;
}

void SetImagesDialog::Browse(int index) {
  QFileDialog dialog(this, windowTitle(), QString(), QString::fromLatin1(kImageFileFilter));
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  ChooseFile(index, dialog.selectedFiles().first());
}

QImage SetImagesDialog::PreviewOf(const Image& photograph) {
  const cv::Mat bgr = photograph.Mat();
  const QImage whole(bgr.data, bgr.cols, bgr.rows, static_cast<qsizetype>(bgr.step),
                     QImage::Format_BGR888);
  return whole.scaled(kPreviewWidth, kPreviewHeight, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

bool SetImagesDialog::ChooseFile(int index, const QString& path) {
  WaitCursor wait;
  if (path.size() > kMaxNameLength) {
    wait.Restore();
    QMessageBox::warning(this, QStringLiteral("Quorvan 3D"),
                         QStringLiteral("The file name is longer than %1 characters.").arg(kMaxNameLength));
    return false;
  }
  // The photograph is read as the project will read it (orientation applied), so what
  // the preview shows is what loads, and a file the project refuses is refused here.
  Image photograph;
  if (const Status loaded = LoadBitmapImage(photograph, path.toStdString()); !loaded) {
    wait.Restore();
    QMessageBox::warning(this, QStringLiteral("Quorvan 3D"),
                         QString::fromStdString(loaded.Reason()));
    return false;
  }
  previews_[index]->setPixmap(QPixmap::fromImage(PreviewOf(photograph)));
  names_[index] = path;
  edits_[index]->setText(path);
  return true;
}

}  // namespace q3d
