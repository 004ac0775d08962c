#include "cli/terminal_progress.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace q3d::cli {
namespace {
constexpr int kBarWidth = 30;
}

void TerminalProgress::OnPosChanged(bool labelChanged) {
  if (labelChanged) Draw();
}

void TerminalProgress::Draw() {
  const int span = Upper() - Lower();
  const int filled = span > 0 ? std::clamp((Pos() - Lower()) * kBarWidth / span, 0, kBarWidth) : 0;
  const std::string bar = std::string(static_cast<size_t>(filled), '#') +
                          std::string(static_cast<size_t>(kBarWidth - filled), '.');
  // \033[K clears what a longer earlier step text left on the line.
  std::fprintf(stderr, "\r%s [%s] %s\033[K", StepText().c_str(), bar.c_str(), Label().c_str());
  std::fflush(stderr);
  drawn_ = true;
}

void TerminalProgress::Destroy() {
  if (!drawn_) return;
  std::fprintf(stderr, "\r\033[K");
  std::fflush(stderr);
  drawn_ = false;
}

std::unique_ptr<Progress> MakeTerminalProgressIfInteractive() {
  if (isatty(STDERR_FILENO)) return std::make_unique<TerminalProgress>();
  return std::make_unique<Progress>();
}

}  // namespace q3d::cli
