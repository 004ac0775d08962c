#pragma once
// Collects what third-party libraries (image codecs, OpenCV) print on the standard error
// stream while a call runs, so that their lines become part of our one-line message
// instead of reaching the terminal on their own.
#include <mutex>
#include <string>

namespace q3d {

class StderrCapture {
 public:
  StderrCapture();
  StderrCapture(const StderrCapture&) = delete;
  StderrCapture& operator=(const StderrCapture&) = delete;
  ~StderrCapture();

  // Restores the stream and returns what was printed meanwhile (empty if nothing could be
  // captured). Later calls return an empty text.
  std::string Finish();

 private:
  std::unique_lock<std::mutex> lock_;
  int saved_ = -1;
  int sink_ = -1;
};

}  // namespace q3d
