#pragma once
// The progress window of long operations: a small modeless window without a title
// holding a bar, a percentage label and a step label. While it is shown its owner is
// disabled, so no command can re-enter the document; SetPos pumps pending events.
#include <QDialog>
#include <QPointer>
#include <memory>

#include "base/progress.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace q3d {

class ProgressWindow : public Progress {
 public:
  ProgressWindow() = default;
  ~ProgressWindow() override;

  // The window whose top-level window is disabled while a progress window is shown.
  static void SetOwner(QWidget* owner);
  // Installs this window as the core's progress reporter.
  static void Install();

  bool Create() override;
  void Destroy() override;

  QDialog* Window() const { return window_; }
  QProgressBar* Bar() const { return bar_; }
  QLabel* PercentLabel() const { return percent_; }
  QLabel* StepLabel() const { return step_; }
  // Shown only for an operation that allows cancel.
  QPushButton* CancelButton() const { return cancel_; }

 protected:
  void Pump() override;
  void OnStepChanged() override;
  void OnPosChanged(bool labelChanged) override;
  void OnCancelAllowed() override;

 private:
  QPointer<QDialog> window_;
  QProgressBar* bar_ = nullptr;
  QLabel* percent_ = nullptr;
  QLabel* step_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QPointer<QWidget> disabledOwner_;
};

}  // namespace q3d
