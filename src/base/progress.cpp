#include "base/progress.h"

#include <cstdio>

namespace q3d {

std::string Progress::PercentLabel(int pos, int lower, int upper) {
  if (upper == lower) return "0%";
  const int p = (pos - lower) * 100 / (upper - lower);
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%d%c", p == 100 ? p : p % 100, '%');
  return buffer;
}

void Progress::SetStep(const std::string& text) {
  step_text_ = text;
  OnStepChanged();
}

void Progress::SetPos(int pos) {
  Pump();
  pos_ = pos;
  std::string label = PercentLabel(pos, lower_, upper_);
  const bool changed = label != label_;
  if (changed) label_ = std::move(label);
  OnPosChanged(changed);
}

void Progress::AllowCancel(bool allow) {
  cancel_allowed_ = allow;
  OnCancelAllowed();
}

namespace {
ProgressFactory& TheFactory() {
  static ProgressFactory factory = nullptr;
  return factory;
}
}  // namespace

void SetProgressFactory(ProgressFactory factory) { TheFactory() = factory; }

std::unique_ptr<Progress> MakeProgress() {
  if (TheFactory()) return TheFactory()();
  return std::make_unique<Progress>();
}

ScopedProgress::ScopedProgress(Progress* external) {
  if (external) {
    progress_ = external;
  } else {
    owned_ = MakeProgress();
    progress_ = owned_.get();
  }
  progress_->Create();
}

ScopedProgress::~ScopedProgress() { progress_->Destroy(); }

}  // namespace q3d
