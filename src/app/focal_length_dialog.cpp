#include "app/focal_length_dialog.h"

#include <QAction>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

#include "app/message_boxes.h"
#include "base/error_stack.h"
#include "stereo/camera_focal.h"
#include "stereo/camera_sharing.h"

namespace q3d {
namespace {

constexpr char kTitle[] = "Focal Lengths";

QString Pixels(double px) { return QStringLiteral("%1 px").arg(std::round(px), 0, 'f', 0); }

QString CameraName(const CameraFocal& focal) {
  const QString name = QString::fromStdString(focal.make + " " + focal.model).trimmed();
  return name.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(name);
}

// Where each value known for the photograph came from, one fact per line.
QString Provenance(const CProjectDoc& doc, int camera) {
  const CameraFocal& focal = doc.Camera(camera).m_focal;
  QStringList facts;
  if (focal.entered_px > 0) facts << QStringLiteral("Entered: %1.").arg(Pixels(focal.entered_px));
  if (focal.exif_px > 0)
    facts << QStringLiteral("Written in the photograph: %1%2.")
                 .arg(Pixels(focal.exif_px), CameraName(focal));
  else if (!CameraName(focal).isEmpty())
    facts << QStringLiteral("The photograph names its camera%1 but not its focal length.")
                 .arg(CameraName(focal));
  if (doc.IsRendered()) {
    const QString used = Pixels(doc.RenderedFocal(camera));
    switch (doc.m_stereoPair.m_focalSource[camera]) {
      case FocalSource::kMeasured:
        facts << QStringLiteral("The last render measured %1 from the matches.").arg(used);
        break;
      case FocalSource::kAssumed:
        facts << QStringLiteral(
                     "The last render assumed %1 (a phone's lens): the matches "
                     "cannot tell this focal length.")
                     .arg(used);
        break;
      default:
        facts << QStringLiteral("The last render used %1.").arg(used);
    }
  }
  if (facts.isEmpty())
    facts << QStringLiteral(
        "Not known: the render measures it from the matches when they "
        "tell it, and otherwise assumes a phone's lens.");
  return facts.join(QLatin1Char('\n'));
}

}  // namespace

FocalLengthDialog::FocalLengthDialog(const CProjectDoc& doc, const std::array<double, 2>& shown,
                                     QWidget* parent)
    : QDialog(parent), doc_(doc) {
  setWindowTitle(QString::fromLatin1(kTitle));
  auto* layout = new QVBoxLayout(this);
  auto* intro = new QLabel(QStringLiteral(
      "The focal length of the lens that took each photograph. A known focal length lets the "
      "render work from any two positions of the camera."));
  intro->setWordWrap(true);
  layout->addWidget(intro);

  auto* unitRow = new QFormLayout;
  unit_ = new QComboBox;
  unit_->setObjectName(QStringLiteral("focalUnit"));
  unit_->addItems({QStringLiteral("pixels"), QStringLiteral("mm, 35 mm equivalent")});
  unitRow->addRow(QStringLiteral("&Unit:"), unit_);
  layout->addLayout(unitRow);

  for (int c = 0; c < 2; ++c) {
    const CCamera& camera = doc.Camera(c);
    auto* group = new QGroupBox(QStringLiteral("Photograph %1 (%2 x %3 pixels)")
                                    .arg(c + 1)
                                    .arg(camera.Width())
                                    .arg(camera.Height()));
    auto* form = new QFormLayout(group);
    value_[c] = new QDoubleSpinBox;
    value_[c]->setObjectName(QStringLiteral("focal%1").arg(c + 1));
    value_[c]->setSpecialValueText(QStringLiteral("Not known"));
    value_[c]->setAccelerated(true);
    form->addRow(QStringLiteral("Focal length %1:").arg(c + 1), value_[c]);
    auto* source = new QLabel(Provenance(doc, c));
    source->setObjectName(QStringLiteral("focalSource%1").arg(c + 1));
    source->setWordWrap(true);
    form->addRow(source);
    layout->addWidget(group);
    connect(value_[c], &QDoubleSpinBox::valueChanged, this, [this, c] {
      if (!converting_) edited_[c] = true;
    });
  }
  auto* choices = new QFormLayout;
  precision_ = new QDoubleSpinBox;
  precision_->setObjectName(QStringLiteral("focalPrecision"));
  precision_->setRange(100 * kSmallestFocalPrecision, 100 * kLargestFocalPrecision);
  precision_->setDecimals(2);
  precision_->setSingleStep(0.5);
  precision_->setPrefix(QStringLiteral("\u00B1 "));
  precision_->setSuffix(QStringLiteral(" %"));
  double precision = kEnteredFocalSigma;
  for (int c = 0; c < 2; ++c)
    if (doc.Camera(c).m_focal.entered_sigma > 0) precision = doc.Camera(c).m_focal.entered_sigma;
  precision_->setValue(100 * precision);
  precision_->setToolTip(
      QStringLiteral("How precisely you know the focal lengths you enter: the render holds "
                     "them to this and lets the matches decide the rest."));
  choices->addRow(QStringLiteral("Entered values known to:"), precision_);
  sharing_ = new QComboBox;
  sharing_->setObjectName(QStringLiteral("cameraSharing"));
  const bool oneByMetadata = OneCameraByMetadata(doc.Camera(0), doc.Camera(1));
  sharing_->addItem(oneByMetadata ? QStringLiteral("As the photographs say (one camera)")
                                  : QStringLiteral("As the photographs say (two cameras)"),
                    static_cast<int>(CameraSharing::kAutomatic));
  sharing_->addItem(QStringLiteral("One camera, one zoom: one focal length"),
                    static_cast<int>(CameraSharing::kSame));
  sharing_->addItem(QStringLiteral("Two cameras or zooms: a focal length each"),
                    static_cast<int>(CameraSharing::kSeparate));
  sharing_->setCurrentIndex(static_cast<int>(doc.m_stereoPair.m_cameraSharing));
  sharing_->setToolTip(
      QStringLiteral("Photographs of one camera at one zoom have one focal length: the render "
                     "fits one, which makes it more precise."));
  choices->addRow(QStringLiteral("&Cameras:"), sharing_);
  layout->addLayout(choices);

  ShowUnit(false);
  converting_ = true;
  for (int c = 0; c < 2; ++c) value_[c]->setValue(shown[c]);
  converting_ = false;

  auto* hint = new QLabel(QStringLiteral(
      "Where to find it: the photograph's details (its properties in a file manager, or the "
      "information panel of a phone's gallery) list the focal length, often as a 35 mm "
      "equivalent; a phone's main camera is about 26 mm. Choose Not known to let the render "
      "decide."));
  hint->setWordWrap(true);
  layout->addWidget(hint);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  connect(unit_, &QComboBox::currentIndexChanged, this,
          [this](int index) { ShowUnit(index == 1); });
  setMinimumWidth(440);
}

double FocalLengthDialog::ToPixels(int camera, double value) const {
  if (!millimetres_) return value;
  const CCamera& c = doc_.Camera(camera);
  return FocalPxFrom35mm(value, c.Width(), c.Height());
}

double FocalLengthDialog::FromPixels(int camera, double pixels) const {
  if (!millimetres_) return pixels;
  const CCamera& c = doc_.Camera(camera);
  return Focal35mmFromPx(pixels, c.Width(), c.Height());
}

// Switches what the boxes show, keeping each value; the values stay unedited.
void FocalLengthDialog::ShowUnit(bool millimetres) {
  std::array<double, 2> pixels{};
  for (int c = 0; c < 2; ++c) pixels[c] = ToPixels(c, value_[c]->value());
  millimetres_ = millimetres;
  converting_ = true;
  for (int c = 0; c < 2; ++c) {
    QDoubleSpinBox* box = value_[c];
    box->setDecimals(millimetres ? 1 : 0);
    box->setSuffix(millimetres ? QStringLiteral(" mm") : QStringLiteral(" px"));
    box->setSingleStep(millimetres ? 1.0 : 10.0);
    box->setRange(0, FromPixels(c, kLargestFocalPx));
    box->setValue(FromPixels(c, pixels[c]));
  }
  converting_ = false;
}

std::optional<double> FocalLengthDialog::Entered(int camera) const {
  if (!edited_[camera]) return std::nullopt;
  const double value = value_[camera]->value();
  return value > 0 ? ToPixels(camera, value) : 0.0;
}

double FocalLengthDialog::Precision() const { return precision_->value() / 100; }

CameraSharing FocalLengthDialog::Sharing() const {
  return static_cast<CameraSharing>(sharing_->currentData().toInt());
}

std::array<double, 2> KnownFocalLengths(const CProjectDoc& doc) {
  std::array<double, 2> shown{};
  for (int c = 0; c < 2; ++c) {
    const CameraFocal& focal = doc.Camera(c).m_focal;
    if (focal.entered_px > 0)
      shown[c] = focal.entered_px;
    else if (focal.exif_px > 0)
      shown[c] = focal.exif_px;
    else if (doc.IsRendered() && doc.m_stereoPair.m_focalSource[c] == FocalSource::kAssumed)
      shown[c] = doc.RenderedFocal(c);
  }
  return shown;
}

bool EditFocalLengths(QWidget* parent, CProjectDoc& doc, const std::array<double, 2>& shown) {
  FocalLengthDialog dialog(doc, shown, parent);
  if (dialog.exec() != QDialog::Accepted) return false;
  EditScope edit(doc, "Focal Lengths");
  bool changed = false;
  for (int c = 0; c < 2; ++c) {
    const CameraFocal& focal = doc.Camera(c).m_focal;
    const double entered = dialog.Entered(c).value_or(focal.entered_px);
    const double precision = entered > 0 ? dialog.Precision() : 0;
    // The usual precision is stored as none stated, so projects keep their bytes.
    const double stored = precision == kEnteredFocalSigma ? 0 : precision;
    if (entered == focal.entered_px && stored == focal.entered_sigma) continue;
    const int errorsBefore = ErrorCount();
    if (!doc.SetEnteredFocal(c, entered, stored)) {
      ShowFailure(errorsBefore);
      return changed;
    }
    changed = true;
  }
  if (dialog.Sharing() != doc.m_stereoPair.m_cameraSharing) {
    doc.SetCameraSharing(dialog.Sharing());
    changed = true;
  }
  return changed;
}

void AddFocalLengthEntry(QMenu* menu, CProjectDoc* doc, std::function<void()> renderAgain) {
  QAction* entry = menu->addAction(QStringLiteral("&Focal Lengths..."));
  entry->setObjectName(QStringLiteral("focalLengths"));
  entry->setStatusTip(QStringLiteral(
      "Enter the focal length of each photograph, in pixels or as a 35 mm equivalent"));
  QObject::connect(entry, &QAction::triggered, menu, [menu, doc, renderAgain] {
    QWidget* parent = menu->parentWidget() ? menu->parentWidget()->window() : nullptr;
    if (!EditFocalLengths(parent, *doc, KnownFocalLengths(*doc)) || !doc->IsRendered()) return;
    const auto answer = QMessageBox::question(
        parent, QString::fromLatin1(kTitle),
        QStringLiteral("The model was rendered with other focal lengths. Render it again now? "
                       "The model and any retouching of its texture are replaced."),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer == QMessageBox::Yes) renderAgain();
  });
  QObject::connect(menu, &QMenu::aboutToShow, menu,
                   [entry, doc] { entry->setEnabled(doc->ImagesLoaded()); });
}

bool OfferFocalLengthsAfterAssumedRender(QWidget* parent, CProjectDoc& doc) {
  QStringList assumed;
  for (int c = 0; c < 2; ++c)
    if (doc.m_stereoPair.m_focalSource[c] == FocalSource::kAssumed)
      assumed
          << QStringLiteral("%1 for photograph %2").arg(Pixels(doc.RenderedFocal(c))).arg(c + 1);
  if (assumed.isEmpty()) return false;
  QMessageBox box(QMessageBox::Information, QString::fromLatin1(kTitle),
                  QStringLiteral("The matches cannot tell the focal length of the lens, so the "
                                 "model was rendered with that of a typical phone: %1. If the "
                                 "lens was another, the face is out of shape.\n\nEnter the real "
                                 "focal length to render it right.")
                      .arg(assumed.join(QStringLiteral(" and "))),
                  QMessageBox::NoButton, parent);
  QPushButton* enter =
      box.addButton(QStringLiteral("&Enter Focal Lengths..."), QMessageBox::AcceptRole);
  box.addButton(QStringLiteral("&Keep"), QMessageBox::RejectRole);
  box.setDefaultButton(enter);
  box.exec();
  return box.clickedButton() == enter && EditFocalLengths(parent, doc, KnownFocalLengths(doc));
}

}  // namespace q3d
