#pragma once
// Progress of a long operation (loading or saving a project, the focal search of a
// render). The core reports through this interface; the GUI shows a window and pumps
// events in Pump(), the command-line tool draws a bar on a terminal.
// An operation that can stop part-way allows cancel before it starts and polls
// CancelRequested() at points where stopping leaves nothing half-done; the front end's
// Cancel sets the request, possibly from another thread than the operation's.
#include <atomic>
#include <memory>
#include <string>

namespace q3d {

class Progress {
 public:
  virtual ~Progress() = default;

  // Shows the window (disabling its owner in the GUI). Returns false when it cannot.
  virtual bool Create() { return true; }
  void SetStep(const std::string& text);
  // Pumps pending events, moves the bar and refreshes the percentage label.
  void SetPos(int pos);
  virtual void Destroy() {}

  void AllowCancel(bool allow);
  bool CancelAllowed() const { return cancel_allowed_; }
  void RequestCancel() { cancel_requested_ = true; }
  virtual bool CancelRequested() const { return cancel_requested_; }

  int Lower() const { return lower_; }
  int Upper() const { return upper_; }
  int Pos() const { return pos_; }
  const std::string& Label() const { return label_; }
  const std::string& StepText() const { return step_text_; }

  // "%d%%" of (pos - lower) * 100 / (upper - lower), 100 kept, other values modulo 100.
  static std::string PercentLabel(int pos, int lower, int upper);

 protected:
  virtual void Pump() {}
  virtual void OnStepChanged() {}
  virtual void OnPosChanged(bool label_changed) { (void)label_changed; }
  virtual void OnCancelAllowed() {}

 private:
  int lower_ = 0;
  int upper_ = 100;
  int pos_ = 0;
  std::string label_ = " 0 %";
  std::string step_text_;
  bool cancel_allowed_ = false;
  std::atomic<bool> cancel_requested_ = false;
};

// True when the operation should stop now.
inline bool ShouldCancel(const Progress* progress) {
  return progress && progress->CancelRequested();
}

// Creates the progress reporter of the front end in use; the core asks for one per
// long operation.
using ProgressFactory = std::unique_ptr<Progress> (*)();
void SetProgressFactory(ProgressFactory factory);
std::unique_ptr<Progress> MakeProgress();

// Creates the reporter and destroys it on every path out of the scope.
class ScopedProgress {
 public:
  explicit ScopedProgress(Progress* external = nullptr);
  ~ScopedProgress();
  ScopedProgress(const ScopedProgress&) = delete;
  ScopedProgress& operator=(const ScopedProgress&) = delete;
  Progress& operator*() { return *progress_; }
  Progress* operator->() { return progress_; }

 private:
  std::unique_ptr<Progress> owned_;
  Progress* progress_;
};

}  // namespace q3d
