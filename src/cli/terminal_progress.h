#pragma once
// A progress bar on stderr for long steps, drawn only when stderr is a terminal so that
// logs and pipes stay clean.
#include <memory>

#include "base/progress.h"

namespace q3d::cli {

class TerminalProgress : public Progress {
 public:
  void Destroy() override;

 protected:
  void OnStepChanged() override { Draw(); }
  void OnPosChanged(bool labelChanged) override;

 private:
  void Draw();
  bool drawn_ = false;
};

// The factory the tool installs: a terminal bar when stderr is a terminal, otherwise the
// silent base reporter.
std::unique_ptr<Progress> MakeTerminalProgressIfInteractive();

}  // namespace q3d::cli
