#include "app/progress_window.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace q3d {

namespace {
QPointer<QWidget>& TheOwner() {
  static QPointer<QWidget> owner;
  return owner;
}

std::unique_ptr<Progress> MakeProgressWindow() { return std::make_unique<ProgressWindow>(); }
}  // namespace

void ProgressWindow::SetOwner(QWidget* owner) { TheOwner() = owner; }

void ProgressWindow::Install() { SetProgressFactory(&MakeProgressWindow); }

ProgressWindow::~ProgressWindow() { Destroy(); }

bool ProgressWindow::Create() {
  if (window_) return true;
  QWidget* owner = TheOwner() ? TheOwner()->window() : QApplication::activeWindow();
  if (owner && owner->isEnabled()) {
    owner->setEnabled(false);
    disabledOwner_ = owner;
  }
  // A window of its own (not a child of the disabled owner, which would disable it too),
  // kept above the owner.
  window_ = new QDialog(nullptr, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
  window_->setObjectName(QStringLiteral("progressWindow"));
  auto* frame = new QGridLayout(window_);
  bar_ = new QProgressBar(window_);
  bar_->setObjectName(QStringLiteral("progressBar"));
  bar_->setRange(Lower(), Upper());
  bar_->setValue(Lower());
  bar_->setTextVisible(false);
  bar_->setMinimumWidth(260);
  percent_ = new QLabel(QString::fromStdString(Label()), window_);
  percent_->setObjectName(QStringLiteral("percentLabel"));
  percent_->setMinimumWidth(40);
  step_ = new QLabel(window_);
  step_->setObjectName(QStringLiteral("stepLabel"));
  cancel_ = new QPushButton(QStringLiteral("Cancel"), window_);
  cancel_->setObjectName(QStringLiteral("cancelButton"));
  QObject::connect(cancel_, &QPushButton::clicked, window_, [this] {
    RequestCancel();
    cancel_->setEnabled(false);
    step_->setText(QStringLiteral("Cancelling..."));
  });
  frame->addWidget(step_, 0, 0, 1, 2);
  frame->addWidget(bar_, 1, 0);
  frame->addWidget(percent_, 1, 1);
  frame->addWidget(cancel_, 2, 0, 1, 2, Qt::AlignRight);
  OnCancelAllowed();
  window_->setStyleSheet(QStringLiteral("QDialog#progressWindow { border: 1px solid palette(dark); }"));
  if (owner) {
    window_->adjustSize();
    window_->move(owner->geometry().center() - window_->rect().center());
  }
  window_->show();
  if (!window_->isVisible()) {
    delete window_;
    if (disabledOwner_) disabledOwner_->setEnabled(true);
    disabledOwner_ = nullptr;
    return false;
  }
  QCoreApplication::processEvents();
  return true;
}

void ProgressWindow::Destroy() {
  if (disabledOwner_) disabledOwner_->setEnabled(true);
  disabledOwner_ = nullptr;
  delete window_;
  bar_ = nullptr;
  percent_ = nullptr;
  step_ = nullptr;
  cancel_ = nullptr;
}

void ProgressWindow::Pump() { QCoreApplication::processEvents(); }

void ProgressWindow::OnStepChanged() {
  if (step_) step_->setText(QString::fromStdString(StepText()));
}

void ProgressWindow::OnCancelAllowed() {
  if (!cancel_) return;
  cancel_->setVisible(CancelAllowed());
  window_->adjustSize();
}

void ProgressWindow::OnPosChanged(bool labelChanged) {
  if (!window_) return;
  bar_->setValue(Pos());
  if (labelChanged) percent_->setText(QString::fromStdString(Label()));
}

}  // namespace q3d
