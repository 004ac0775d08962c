#include "base/stderr_capture.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>

namespace q3d {
namespace {

std::mutex& CaptureLock() {
  static std::mutex lock;
  return lock;
}

constexpr size_t kMaxCapturedBytes = 64 * 1024;

}  // namespace

StderrCapture::StderrCapture() : lock_(CaptureLock()) {
  std::fflush(stderr);
  sink_ = ::memfd_create("stderr-capture", MFD_CLOEXEC);
  if (sink_ < 0) return;
  saved_ = ::dup(STDERR_FILENO);
  if (saved_ < 0 || ::dup2(sink_, STDERR_FILENO) < 0) {
    if (saved_ >= 0) ::close(saved_);
    ::close(sink_);
    saved_ = sink_ = -1;
  }
}

StderrCapture::~StderrCapture() { Finish(); }

std::string StderrCapture::Finish() {
  if (sink_ < 0) return {};
  std::fflush(stderr);
  ::dup2(saved_, STDERR_FILENO);
  ::close(saved_);
  std::string text(kMaxCapturedBytes, '\0');
  const ssize_t n = ::pread(sink_, text.data(), text.size(), 0);
  text.resize(n > 0 ? static_cast<size_t>(n) : 0);
  ::close(sink_);
  saved_ = sink_ = -1;
  return text;
}

}  // namespace q3d
